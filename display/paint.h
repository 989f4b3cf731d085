#pragma once
// Painting the panel into a device context: what every row shows now, and
// the background or skin, group frames and captions, labels and values,
// with their colours, fonts and shadows. The back buffer, the layer and a
// test's surface are all drawn by these.

#include <windows.h>

#include <cstdint>

#include "display/geometry.h"
#include "sensors/sensortypes.h"

const UINT kLabelFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
// The two characters that some code pages read otherwise: ExtTextOutA reads
// the font's, DrawTextA the system's.
const char kCodePageSensitive[] = "\\~";

// What every row draws this time: nothing, or its label and value text.
struct RowPlan {
    bool drawn[kRowCount];
    const char* label[kRowCount];
    char value[kRowCount][kReadingTextSize];
};
// Also records which temperatures the minimised title may show.
RowPlan PlanRows();

// The value text a row draws now (source text and unit for its hover state);
// false when the row is not drawn (switched off, or nothing to show).
bool RowValueText(int row, char value[kReadingTextSize]);

RECT Shifted(const RECT& r, int d);
void PrepareContext(HDC dc);
// Background, frames and captions: what every redraw starts from.
void DrawStatic(const PanelRects& at, HDC dc);
void DrawLabel(const PanelRects& at, HDC dc, int row, const char* label);
// The rows, in order; labels already drawn (labelsDrawn, a bit per row) are left out.
void DrawRows(const PanelRects& at, HDC dc, const RowPlan& plan, uint32_t labelsDrawn);
