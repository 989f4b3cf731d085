#include "display/paint.h"

#include <cstdio>

#include "app/appstate.h"
#include "app/alarms.h"
#include "display/skin.h"
#include "display/straighttext.h"

namespace {

const int kFrameDrop = 8;  // the frame's top edge lies this far below the control's top
const UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;

// What one row shows: its label, the source text and unit for the current
// hover state, and its display switch. Hovered, a fan shows its duty and
// the other rows their maximum.
struct RowView {
    int enabled;
    const char* label;
    const char* text;
    const char* unit;
};

RowView DescribeRow(int row, bool hovered)
{
    AppState& app = App();
    const Row r = RowAt(row);
    RowView view = {*RowShown(app, row), RowLabel(app, row), nullptr, RowUnit(app, row)};
    if (r.group == kFanRows) {
        view.text = app.current.text[hovered ? r.dutySlot : r.slot];
        if (hovered)
            view.unit = app.units.pwm;
    } else {
        view.text = (hovered ? app.maximum : app.current).text[r.slot];
    }
    return view;
}

// Two overlapping one-pixel frames: a two-pixel outline whose four outermost
// corner pixels stay empty.
void FrameTwice(HDC dc, const RECT& r, HBRUSH brush)
{
    FrameRect(dc, &r, brush);
    RECT inner = {r.left + 1, r.top - 1, r.right - 1, r.bottom + 1};
    FrameRect(dc, &inner, brush);
}

// Draws text with its optional shadow first, so the text lies on top; in
// the slot's colour or the one given.
void DrawShadowedText(HDC dc, const char* text, const RECT& r, const ColorSlot& colour, UINT format,
                      const COLORREF* instead = nullptr)
{
    int d = App().colors.shadowOffset;
    if (colour.shadow) {
        RECT s = Shifted(r, d);
        SetTextColor(dc, colour.shadowColour);
        DrawTextA(dc, text, -1, &s, format);
    }
    RECT target = r;
    SetTextColor(dc, instead ? *instead : colour.colour);
    DrawTextA(dc, text, -1, &target, format);
}

void DrawGroup(const PanelRects& at, HDC dc, int g, const char* caption)
{
    AppState& app = App();
    const DisplayColorSet& colors = app.colors;
    if (app.labels.line && at.hasOutline[g]) {
        RECT r = at.outline[g];
        const ColorSlot& line = colors.slot[kColorLine];
        if (line.shadow) {
            int d = colors.shadowOffset;
            RECT s = {r.left + d, r.top + d + kFrameDrop, r.right + d, r.bottom + d};
            FrameTwice(dc, s, line.shadowBrush.Handle());
        }
        r.top += kFrameDrop;
        FrameTwice(dc, r, line.brush.Handle());
    }
    if (at.hasCaption[g]) {
        SelectObject(dc, app.fonts.slot[kFontFrame].font.Handle());
        DrawShadowedText(dc, caption, at.caption[g], colors.slot[kColorFrame], kCaptionFormat);
    }
}

void DrawValue(const PanelRects& at, HDC dc, int row, const char* value)
{
    AppState& app = App();
    if (app.blinkPhase == 0 && at.hasValue[row]) {
        SelectObject(dc, app.fonts.slot[kFontValue].font.Handle());
        DrawShadowedText(dc, value, at.value[row], app.colors.slot[kColorValue], kValueFormat,
                         RowAlarm(row) ? &app.alarm.colour : nullptr);
    }
}

void DrawBackground(HDC dc)
{
    AppState& app = App();
    const SkinState& skin = app.skinState;
    if (SkinShown()) {
        BitBlt(dc, skin.x, skin.y, skin.width, skin.height, skin.surface.dc.Get(), 0, 0, SRCCOPY);
    } else {
        FillRect(dc, &skin.client, app.colors.slot[kColorBack].brush.Handle());
    }
}

}  // namespace

RowPlan PlanRows()
{
    AppState& app = App();
    RowPlan plan = {};
    for (int row = 0; row < kRowCount; ++row) {
        RowView view = DescribeRow(row, app.hover[row] != 0);
        bool tempFromCurrent = row < kTempCount && !app.hover[row];
        if (!view.enabled)
            continue;
        plan.drawn[row] = RowValueText(row, plan.value[row]);
        plan.label[row] = view.label;
        if (tempFromCurrent)
            app.tempShown[row] = plan.drawn[row] ? 1 : 0;
    }
    return plan;
}

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

RECT Shifted(const RECT& r, int d)
{
    return RECT{r.left + d, r.top + d, r.right + d, r.bottom + d};
}

void PrepareContext(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
}

void DrawStatic(const PanelRects& at, HDC dc)
{
    const AppState& app = App();
    DrawBackground(dc);
    for (int g = 0; g < kRowGroupCount; ++g)
        DrawGroup(at, dc, g, GroupTitle(app, static_cast<RowGroup>(g)));
}

void DrawLabel(const PanelRects& at, HDC dc, int row, const char* label)
{
    AppState& app = App();
    if (at.hasLabel[row]) {
        SelectObject(dc, app.fonts.slot[kFontLabel].font.Handle());
        DrawShadowedText(dc, label, at.label[row], app.colors.slot[kColorLabel], kLabelFormat);
    }
}

void DrawRows(const PanelRects& at, HDC dc, const RowPlan& plan, uint32_t labelsDrawn)
{
    for (int row = 0; row < kRowCount; ++row) {
        if (!plan.drawn[row])
            continue;
        if (!(labelsDrawn & (1u << row)))
            DrawLabel(at, dc, row, plan.label[row]);
        DrawValue(at, dc, row, plan.value[row]);
    }
}
