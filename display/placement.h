#pragma once
// The right-button menu and the window's shape and place: caption removal,
// fitting to the panel, centring, restoring and recording the position.

#include <windows.h>

// The popup menu with its four submenus, rebuilt from the current state at
// every right click.
struct ContextMenu {
    HMENU main = nullptr;
    HMENU mask = nullptr;
    HMENU layout = nullptr;
    HMENU theme = nullptr;
    HMENU settings = nullptr;

    ContextMenu();
    ~ContextMenu();
    ContextMenu(const ContextMenu&) = delete;
    ContextMenu& operator=(const ContextMenu&) = delete;
};

void ShowContextMenu(HWND window);
void RemoveCaption(HWND window);
void FitWindowToClient(HWND window);
void PlaceWindow(HWND window);
void SaveWindowPosition(HWND window);
// A window that lies on no monitor (a screen was unplugged, the resolution
// changed) is centred on the primary monitor's work area; one that touches
// any monitor stays exactly where it is. The stored position is not changed.
void KeepOnAMonitor(HWND window);
// Moves a window to the middle of the primary screen, keeping its size.
void CenterWindow(HWND window);
