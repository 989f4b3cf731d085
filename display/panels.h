#pragma once
// Panel drawing: the readings become texts and are painted, with the group
// frames, titles, labels, colours, fonts and shadows, into the back buffer;
// WM_PAINT only copies that buffer to the window.

#include <windows.h>

#include "sensors/sensortypes.h"

// One group of rows and the ids of its template controls.
struct PanelGroup {
    int outlineId;
    int captionId;
    int baseId;    // row i: label baseId + 2i, value baseId + 2i + 1
    int rows;
    int firstRow;  // index of its first row among the 16 hover rows
};
const int kGroupCount = 3;
extern const PanelGroup kPanelGroups[kGroupCount];  // temperatures, fans, voltages

int LabelId(int row);  // row 0-15: temperatures 0-2, fans 3-6, voltages 7-15
int ValueId(int row);

// The value text a row draws now (source text and unit for its hover state);
// false when the row is not drawn (switched off, or nothing to show).
bool RowValueText(int row, char value[kReadingTextSize]);

void UpdateDisplay(HWND window);
// A new reading (ID_UPDATE): shown as UpdateDisplay shows it, alarms
// counted, then acted on and logged with no lock held.
void TakeReading(HWND window);
// Redraws the back buffer from the layer of what does not change between
// readings, and of the values only those that changed.
void DrawPanels(HWND window);
// Draws everything anew into dc, a surface like the back buffer: the same
// pixels as DrawPanels gives.
void DrawPanelsFull(HWND window, HDC dc);
// A control's rectangle in client coordinates, asked of the window.
bool GetControlRect(HWND window, int id, RECT* rect);
void HidePanelControls(HWND window);
// Looks the panel controls' rectangles up once for this window; drawing and
// the hover test use them from then on.
void CachePanelRects(HWND window);
// The row whose value rectangle holds the client point, or -1.
int HoverRowAt(HWND window, int x, int y);
void BuildMinimizedTitle(HWND window);
// Copies the back buffer to the window (WM_PAINT).
void PaintPanels(HWND window);

int CreateColorBrushes();
int CreateDisplayFonts();
void ReleaseBrushes();
void ReleaseSurfaces();
void ReleaseDisplayObjects();
