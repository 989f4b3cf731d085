#include "display/panels.h"

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "display/coretip.h"
#include "sensors/csensor.h"

const PanelGroup kPanelGroups[kGroupCount] = {
    {1001, 1010, 1100, kTempCount, 0},
    {1002, 1011, 1200, kFanCount, kTempCount},
    {1003, 1012, 1300, kVoltCount, kTempCount + kFanCount},
};
static_assert(kTempCount + kFanCount + kVoltCount == kHoverRows, "one hover flag per row");

namespace {

const int kFrameDrop = 8;         // the frame's top edge lies this far below the control's top
const int kTitleSize = 64;        // the minimised window title
const UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
const UINT kLabelFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
const UINT kValueFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;

enum GroupIndex { kTempGroup, kFanGroup, kVoltGroup };

const PanelGroup& GroupOf(int row, int* item)
{
    int g = kVoltGroup;
    while (row < kPanelGroups[g].firstRow)
        --g;
    *item = row - kPanelGroups[g].firstRow;
    return kPanelGroups[g];
}

// What one row shows: its label, the source text and unit for the current
// hover state, and its display switch.
struct RowView {
    int enabled;
    const char* label;
    const char* text;
    const char* unit;
};

RowView DescribeRow(int row, bool hovered)
{
    AppState& app = App();
    int item = 0;
    int group = static_cast<int>(&GroupOf(row, &item) - kPanelGroups);
    switch (group) {
    case kTempGroup: {
        const SensorText& source = hovered ? app.maximum : app.current;
        return {app.show.temp[item], app.labels.temp[item], source.text[kTempSlot + item],
                app.units.temp};
    }
    case kFanGroup:
        if (hovered)
            return {app.show.fan[item], app.labels.fan[item], app.current.text[kPwmSlot + item],
                    app.units.pwm};
        return {app.show.fan[item], app.labels.fan[item], app.current.text[kFanSlot + item],
                app.units.fan};
    default: {
        const SensorText& source = hovered ? app.maximum : app.current;
        return {app.show.in[item], app.labels.in[item], source.text[kVoltSlot + item],
                app.units.in};
    }
    }
}

RECT Shifted(const RECT& r, int d)
{
    return RECT{r.left + d, r.top + d, r.right + d, r.bottom + d};
}

// Two overlapping one-pixel frames: a two-pixel outline whose four outermost
// corner pixels stay empty.
void FrameTwice(HDC dc, const RECT& r, HBRUSH brush)
{
    FrameRect(dc, &r, brush);
    RECT inner = {r.left + 1, r.top - 1, r.right - 1, r.bottom + 1};
    FrameRect(dc, &inner, brush);
}

// Draws text with its optional shadow first, so the text lies on top.
void DrawShadowedText(HDC dc, const char* text, const RECT& r, const ColorSlot& colour,
                      UINT format)
{
    int d = App().colors.shadowOffset;
    if (colour.shadow) {
        RECT s = Shifted(r, d);
        SetTextColor(dc, colour.shadowColour);
        DrawTextA(dc, text, -1, &s, format);
    }
    RECT target = r;
    SetTextColor(dc, colour.colour);
    DrawTextA(dc, text, -1, &target, format);
}

void DrawGroup(HWND window, HDC dc, const PanelGroup& group, const char* caption)
{
    AppState& app = App();
    const DisplayColorSet& colors = app.colors;
    RECT r;
    if (app.labels.line && GetControlRect(window, group.outlineId, &r)) {
        const ColorSlot& line = colors.slot[kColorLine];
        if (line.shadow) {
            int d = colors.shadowOffset;
            RECT s = {r.left + d, r.top + d + kFrameDrop, r.right + d, r.bottom + d};
            FrameTwice(dc, s, line.shadowBrush.Handle());
        }
        r.top += kFrameDrop;
        FrameTwice(dc, r, line.brush.Handle());
    }
    if (GetControlRect(window, group.captionId, &r)) {
        SelectObject(dc, app.fonts.slot[kFontFrame].font.Handle());
        DrawShadowedText(dc, caption, r, colors.slot[kColorFrame], kCaptionFormat);
    }
}

void DrawRow(HWND window, HDC dc, int row, const char* label, const char* value)
{
    AppState& app = App();
    RECT r;
    if (GetControlRect(window, LabelId(row), &r)) {
        SelectObject(dc, app.fonts.slot[kFontLabel].font.Handle());
        DrawShadowedText(dc, label, r, app.colors.slot[kColorLabel], kLabelFormat);
    }
    if (app.blinkPhase == 0 && GetControlRect(window, ValueId(row), &r)) {
        SelectObject(dc, app.fonts.slot[kFontValue].font.Handle());
        DrawShadowedText(dc, value, r, app.colors.slot[kColorValue], kValueFormat);
    }
}

void DrawBackground(HDC dc)
{
    AppState& app = App();
    const SkinState& skin = app.skinState;
    if (app.skin.enable) {
        BitBlt(dc, skin.x, skin.y, skin.width, skin.height, skin.surface.dc.Get(), 0, 0, SRCCOPY);
    } else {
        FillRect(dc, &skin.client, app.colors.slot[kColorBack].brush.Handle());
    }
}

void DrawRows(HWND window, HDC dc)
{
    AppState& app = App();
    for (int row = 0; row < kHoverRows; ++row) {
        RowView view = DescribeRow(row, app.hover[row] != 0);
        bool tempFromCurrent = row < kTempCount && !app.hover[row];
        char value[kReadingTextSize];
        if (!view.enabled)
            continue;
        if (!RowValueText(row, value)) {
            if (tempFromCurrent)
                app.tempShown[row] = 0;
            continue;
        }
        DrawRow(window, dc, row, view.label, value);
        if (tempFromCurrent)
            app.tempShown[row] = 1;
    }
}

}  // namespace

bool RowValueText(int row, char value[kReadingTextSize])
{
    AppState& app = App();
    RowView view = DescribeRow(row, app.hover[row] != 0);
    if (!view.enabled || !view.text[0])
        return false;
    if (app.units.enable)
        std::snprintf(value, kReadingTextSize, "%s%s", view.text, view.unit);
    else
        std::snprintf(value, kReadingTextSize, "%s", view.text);
    return true;
}

int LabelId(int row)
{
    int item = 0;
    return GroupOf(row, &item).baseId + 2 * item;
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
    *rect = RECT{topLeft.x, topLeft.y, topLeft.x + (r.right - r.left),
                 topLeft.y + (r.bottom - r.top)};
    return true;
}

void HidePanelControls(HWND window)
{
    for (const PanelGroup& group : kPanelGroups) {
        ShowWindow(GetDlgItem(window, group.captionId), SW_HIDE);
        ShowWindow(GetDlgItem(window, group.outlineId), SW_HIDE);
    }
    for (int row = 0; row < kHoverRows; ++row) {
        ShowWindow(GetDlgItem(window, LabelId(row)), SW_HIDE);
        ShowWindow(GetDlgItem(window, ValueId(row)), SW_HIDE);
    }
}

void DrawPanels(HWND window)
{
    AppState& app = App();
    app.drawLock.Enter();
    HDC dc = app.skinState.backBuffer.dc.Get();
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawBackground(dc);
    const char* captions[kGroupCount] = {app.labels.tempTitle, app.labels.fanTitle,
                                         app.labels.inTitle};
    for (int g = 0; g < kGroupCount; ++g)
        DrawGroup(window, dc, kPanelGroups[g], captions[g]);
    DrawRows(window, dc);
    app.drawLock.Leave();
    InvalidateRect(window, nullptr, FALSE);
}

void BuildMinimizedTitle(HWND window)
{
    AppState& app = App();
    char title[kTitleSize] = "";
    for (int i = 0; i < kTempCount; ++i) {
        if (app.tempShown[i] != 1)
            continue;
        size_t used = std::strlen(title);
        std::snprintf(title + used, sizeof title - used, "%s%s%s", app.current.text[kTempSlot + i],
                      app.units.title, i < kTempCount - 1 ? "/" : "");
    }
    SetWindowTextA(window, title);
}

void UpdateDisplay(HWND window)
{
    AppState& app = App();
    app.updateLock.Enter();
    SensorBlock current, maximum;
    CSENSOR::CopyBlocks(&current, &maximum);
    CSENSOR::chip.Format(current, &app.current);
    CSENSOR::chip.Format(maximum, &app.maximum);
    CoreTable cores;
    CSENSOR::CopyCores(&cores);
    if (app.debug) {
        CSENSOR::DumpReadings(current);
        CSENSOR::DumpCores(cores);
    }
    if (IsIconic(window))
        BuildMinimizedTitle(window);
    else
        DrawPanels(window);
    if (app.coreTemp.enable)
        BuildCoreTooltipText(cores);
    app.updateLock.Leave();
}

// Under DRAW: the settings dialog's thread may be replacing the back buffer.
// DRAW is taken before the window's paint context, never while holding it:
// that thread takes the window's context (for a new surface) under DRAW.
void PaintPanels(HWND window)
{
    AppState& app = App();
    const SkinState& skin = app.skinState;
    app.drawLock.Enter();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc)
        BitBlt(dc, skin.x, skin.y, skin.width, skin.height, skin.backBuffer.dc.Get(), 0, 0, SRCCOPY);
    EndPaint(window, &ps);
    app.drawLock.Leave();
}

int CreateColorBrushes()
{
    return App().colors.CreateBrushes();
}

int CreateDisplayFonts()
{
    return App().fonts.CreateFonts();
}

void ReleaseBrushes()
{
    App().colors.ReleaseBrushes();
}

void ReleaseSurfaces()
{
    SkinState& skin = App().skinState;
    skin.image.Release();
    skin.surface.Release();
    skin.backBuffer.Release();
}

void ReleaseDisplayObjects()
{
    ReleaseBrushes();
    ReleaseSurfaces();
    App().fonts.ReleaseFonts();
}
