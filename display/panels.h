#pragma once
// The panel of a window: its control rectangles and its layer, kept with
// the window (in its DWLP_USER slot) from CachePanelRects to ForgetPanel;
// the back buffer's redraws and the window's repaints; and the drawing
// objects (brushes, skin surfaces, fonts) the window draws with.

#include <windows.h>

// Looks the panel controls' rectangles up once for this window and gives it
// its layer; drawing and the hover test use them from then on.
void CachePanelRects(HWND window);
// Lets the window's panel data go (when the window is destroyed).
void ForgetPanel(HWND window);

// Redraws the back buffer from the layer of what does not change between
// readings, and of the values only those that changed; invalidates what
// changed.
void DrawPanels(HWND window);
// Draws everything anew into dc, a surface like the back buffer: the same
// pixels as DrawPanels gives.
void DrawPanelsFull(HWND window, HDC dc);
// Copies the back buffer to the window (WM_PAINT).
void PaintPanels(HWND window);

// The row whose value rectangle holds the client point, or -1.
int HoverRowAt(HWND window, int x, int y);

// The drawing objects: every colour's brushes, the skin surfaces and back
// buffer, the display fonts. Creating stops at the first that fails.
bool CreateDrawingObjects(HWND window);
void ReleaseDrawingObjects();
// The settings changed: everything made anew from them.
bool RebuildDrawingObjects(HWND window);
