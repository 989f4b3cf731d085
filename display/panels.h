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
void DrawPanels(HWND window);
bool GetControlRect(HWND window, int id, RECT* rect);
void HidePanelControls(HWND window);
void BuildMinimizedTitle(HWND window);
// Copies the back buffer to the window (WM_PAINT).
void PaintPanels(HWND window);

int CreateColorBrushes();
int CreateDisplayFonts();
void ReleaseBrushes();
void ReleaseSurfaces();
void ReleaseDisplayObjects();
