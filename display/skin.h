#pragma once
// The skin stretched behind the panels, and the window's shape (mask).

#include <windows.h>

// The error a failed bitmap mask shows.
extern const char kMaskError[];

// Builds the back buffer and the stretched skin for the window's client area,
// reading the skin file afresh and keeping its bytes. False only when the
// back buffer cannot be created; a skin that cannot be loaded or stretched
// switches the skin setting off.
bool BuildSkin(HWND window);
// The stretched skin is kept only while the skin is shown: made again from
// the bytes the build kept when the skin has been switched on (the picture
// of the build, whatever became of its file since), dropped when it has been
// switched off. A surface that cannot be made switches the skin off.
void SyncSkinSurface(HWND window);
// Lets the skin file's bytes, its image, its stretched surface, the layer
// and the back buffer go.
void ReleaseSkinSurfaces();
// The skin is on and has its surface (settings loaded for a window about to
// be made again may switch it on before there is one).
bool SkinShown();
// Gives the window the shape of the current mask mode. disableWindow is kept
// disabled while a bitmap region is generated.
void ApplyWindowShape(HWND window, HWND disableWindow);
