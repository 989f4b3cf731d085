#include "display/geometry.h"

#include "resources/resource.h"

const PanelGroup kPanelGroups[kRowGroupCount] = {
    {IDC_TEMP_FRAME, IDC_TEMP_TITLE, IDC_TEMP_BASE},
    {IDC_FAN_FRAME, IDC_FAN_TITLE, IDC_FAN_BASE},
    {IDC_VOLT_FRAME, IDC_VOLT_TITLE, IDC_VOLT_BASE},
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
    return rects;
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
