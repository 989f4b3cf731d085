#include "display/geometry.h"

#include "resources/resource.h"

const PanelGroup kPanelGroups[kRowGroupCount] = {
    {IDC_TEMP_FRAME, IDC_TEMP_TITLE, IDC_TEMP_BASE},
    {IDC_FAN_FRAME, IDC_FAN_TITLE, IDC_FAN_BASE},
    {IDC_VOLT_FRAME, IDC_VOLT_TITLE, IDC_VOLT_BASE},
};

const GraphSpec kGraphs[kGraphCount] = {
    {IDC_TEMP_GRAPH + 0, 0, kTempSlot + 0},  {IDC_TEMP_GRAPH + 1, 1, kTempSlot + 1},
    {IDC_TEMP_GRAPH + 2, 2, kTempSlot + 2},  {IDC_FAN_GRAPH + 0, 3, kFanSlot + 0},
    {IDC_FAN_GRAPH + 1, 4, kFanSlot + 1},    {IDC_FAN_GRAPH + 2, 5, kFanSlot + 2},
    {IDC_FAN_GRAPH + 3, 6, kFanSlot + 3},    {IDC_DUTY_GRAPH + 0, 3, kPwmSlot + 0},
    {IDC_DUTY_GRAPH + 1, 4, kPwmSlot + 1},   {IDC_DUTY_GRAPH + 2, 5, kPwmSlot + 2},
    {IDC_DUTY_GRAPH + 3, 6, kPwmSlot + 3},   {IDC_VOLT_GRAPH + 0, 7, kVoltSlot + 0},
    {IDC_VOLT_GRAPH + 1, 8, kVoltSlot + 1},  {IDC_VOLT_GRAPH + 2, 9, kVoltSlot + 2},
    {IDC_VOLT_GRAPH + 3, 10, kVoltSlot + 3}, {IDC_VOLT_GRAPH + 4, 11, kVoltSlot + 4},
    {IDC_VOLT_GRAPH + 5, 12, kVoltSlot + 5}, {IDC_VOLT_GRAPH + 6, 13, kVoltSlot + 6},
    {IDC_VOLT_GRAPH + 7, 14, kVoltSlot + 7}, {IDC_VOLT_GRAPH + 8, 15, kVoltSlot + 8},
    {IDC_CORE_GRAPH, -1, kCoreSource},
};

int LabelId(int row)
{
    const Row r = RowAt(row);
    return kPanelGroups[r.group].baseId + 2 * r.item;
}

int ValueId(int row)
{
    return LabelId(row) + 1;
}

bool GetControlRect(HWND window, int id, RECT* rect)
{
    HWND control = GetDlgItem(window, id);
    if (!control)
        return false;
    RECT r;
    GetWindowRect(control, &r);
    POINT topLeft = {r.left, r.top};
    ScreenToClient(window, &topLeft);
    *rect = RECT{topLeft.x, topLeft.y, topLeft.x + (r.right - r.left), topLeft.y + (r.bottom - r.top)};
    return true;
}

void HidePanelControls(HWND window)
{
    for (const PanelGroup& group : kPanelGroups) {
        ShowWindow(GetDlgItem(window, group.captionId), SW_HIDE);
        ShowWindow(GetDlgItem(window, group.outlineId), SW_HIDE);
    }
    for (int row = 0; row < kRowCount; ++row) {
        ShowWindow(GetDlgItem(window, LabelId(row)), SW_HIDE);
        ShowWindow(GetDlgItem(window, ValueId(row)), SW_HIDE);
    }
    for (const GraphSpec& graph : kGraphs)
        ShowWindow(GetDlgItem(window, graph.id), SW_HIDE);
}

PanelRects MeasurePanelRects(HWND window)
{
    PanelRects rects = {};
    for (int g = 0; g < kRowGroupCount; ++g) {
        rects.hasOutline[g] = GetControlRect(window, kPanelGroups[g].outlineId, &rects.outline[g]);
        rects.hasCaption[g] = GetControlRect(window, kPanelGroups[g].captionId, &rects.caption[g]);
    }
    for (int row = 0; row < kRowCount; ++row) {
        rects.hasLabel[row] = GetControlRect(window, LabelId(row), &rects.label[row]);
        rects.hasValue[row] = GetControlRect(window, ValueId(row), &rects.value[row]);
    }
    for (int g = 0; g < kGraphCount; ++g)
        rects.hasGraph[g] = GetControlRect(window, kGraphs[g].id, &rects.graph[g]);
    return rects;
}

bool HasGraphControls(HWND window)
{
    for (const GraphSpec& graph : kGraphs)
        if (GetDlgItem(window, graph.id))
            return true;
    return false;
}

int RowAtPoint(const PanelRects& at, int x, int y)
{
    for (int row = 0; row < kRowCount; ++row) {
        const RECT& r = at.value[row];
        if (at.hasValue[row] && r.left <= x && x <= r.right && r.top <= y && y <= r.bottom)
            return row;
    }
    return -1;
}
