#pragma once
// Where the panel draws: the ids of a template's controls for every group
// and row, and their rectangles, looked up once per window.

#include <windows.h>

#include "app/history.h"
#include "app/rows.h"

// One group of rows and the ids of its template controls.
struct PanelGroup {
    int outlineId;
    int captionId;
    int baseId;  // row item i: label baseId + 2i, value baseId + 2i + 1
};
extern const PanelGroup kPanelGroups[kRowGroupCount];  // temperatures, fans, voltages

// A history graph a template may carry: its control, the row whose colour,
// alarm and bounds it takes, and what it shows (a reading slot, or
// kCoreSource for every core).
struct GraphSpec {
    int id;
    int row;
    int source;
};
const int kGraphCount = kTempCount + 2 * kFanCount + kVoltCount + 1;  // 21
extern const GraphSpec kGraphs[kGraphCount];

int LabelId(int row);
int ValueId(int row);

// A control's rectangle in client coordinates, asked of the window.
bool GetControlRect(HWND window, int id, RECT* rect);
void HidePanelControls(HWND window);

// The panel controls' rectangles in client coordinates: they never move
// while the window lives. A template may lack any of them.
struct PanelRects {
    bool hasOutline[kRowGroupCount], hasCaption[kRowGroupCount];
    RECT outline[kRowGroupCount], caption[kRowGroupCount];
    bool hasLabel[kRowCount], hasValue[kRowCount];
    RECT label[kRowCount], value[kRowCount];
    bool hasGraph[kGraphCount];
    RECT graph[kGraphCount];
};
PanelRects MeasurePanelRects(HWND window);

// The template carries a graph.
bool HasGraphControls(HWND window);

// The row whose value rectangle holds the client point, or -1.
int RowAtPoint(const PanelRects& at, int x, int y);
