#include "display/panels.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "app/appstate.h"
#include "app/watch.h"
#include "display/coretip.h"
#include "display/skin.h"
#include "display/straighttext.h"
#include "resources/resource.h"
#include "sensors/csensor.h"

const PanelGroup kPanelGroups[kGroupCount] = {
    {IDC_TEMP_FRAME, IDC_TEMP_TITLE, IDC_TEMP_BASE, kTempCount, 0},
    {IDC_FAN_FRAME, IDC_FAN_TITLE, IDC_FAN_BASE, kFanCount, kTempCount},
    {IDC_VOLT_FRAME, IDC_VOLT_TITLE, IDC_VOLT_BASE, kVoltCount, kTempCount + kFanCount},
};
static_assert(kTempCount + kFanCount + kVoltCount == kHoverRows, "one hover flag per row");

namespace {

const int kFrameDrop = 8;         // the frame's top edge lies this far below the control's top
const int kTitleSize = 64;        // the minimised window title
const UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
const UINT kLabelFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
// The two characters that some code pages read otherwise: ExtTextOutA reads
// the font's, DrawTextA the system's.
const char kCodePageSensitive[] = "\\~";

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

// The panel controls' rectangles in client coordinates, looked up once per
// window: they never move while it lives.
struct PanelRects {
    HWND window;
    bool hasOutline[kGroupCount], hasCaption[kGroupCount];
    RECT outline[kGroupCount], caption[kGroupCount];
    bool hasLabel[kHoverRows], hasValue[kHoverRows];
    RECT label[kHoverRows], value[kHoverRows];
};
PanelRects rects;

const PanelRects& RectsOf(HWND window)
{
    if (rects.window != window)
        CachePanelRects(window);
    return rects;
}

// What every row draws this time: nothing, or its label and value text.
struct RowPlan {
    bool drawn[kHoverRows];
    const char* label[kHoverRows];
    char value[kHoverRows][kReadingTextSize];
};

// Everything the layer is drawn from, compared byte for byte: zeroed
// first, so that the padding between fields compares too.
struct LayerKey {
    struct Colour {
        COLORREF colour, shadowColour;
        int shadow;
        HBRUSH brush, shadowBrush;
    };
    HWND window;
    int generation;
    int skinShown;
    uint32_t drawnRows, labels;
    LabelSettings labelTexts;
    int shadowOffset;
    Colour colour[kColorElements];
    HFONT font[kFontElements];

    bool operator==(const LayerKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
    bool operator!=(const LayerKey& other) const { return !(*this == other); }
};
static_assert(std::is_trivially_copyable<LayerKey>::value, "the layer key is compared as bytes");

// The layer holds what does not change between readings: background or
// skin, frame lines, group captions, and the labels that no value drawn
// before them can touch. It is rebuilt when anything it was drawn from
// changes; the key covers all of that.
struct LayerRecord {
    bool built;
    LayerKey key;
    uint32_t labels;  // rows whose label is in the layer
};
LayerRecord layer;

// What the back buffer holds on top of the layer: the values it shows and
// where their ink lies. A redraw that finds the same layer redraws only the
// values that changed, over the layer's pixels of their own boxes.
struct BufferRecord {
    bool valid;
    LayerKey key;  // of the layer under it
    bool shown[kHoverRows];
    bool alarm[kHoverRows];  // drawn in the alarm colour
    char text[kHoverRows][kReadingTextSize];
    RECT box[kHoverRows];
};
BufferRecord buffer;

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
void DrawShadowedText(HDC dc, const char* text, const RECT& r, const ColorSlot& colour,
                      UINT format, const COLORREF* instead = nullptr)
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

void DrawLabel(const PanelRects& at, HDC dc, int row, const char* label)
{
    AppState& app = App();
    if (at.hasLabel[row]) {
        SelectObject(dc, app.fonts.slot[kFontLabel].font.Handle());
        DrawShadowedText(dc, label, at.label[row], app.colors.slot[kColorLabel], kLabelFormat);
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

// Background, frames and captions: what every redraw starts from.
void DrawStatic(const PanelRects& at, HDC dc)
{
    AppState& app = App();
    DrawBackground(dc);
    const char* captions[kGroupCount] = {app.labels.tempTitle, app.labels.fanTitle,
                                         app.labels.inTitle};
    for (int g = 0; g < kGroupCount; ++g)
        DrawGroup(at, dc, g, captions[g]);
}

void PrepareContext(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
}

RowPlan PlanRows()
{
    AppState& app = App();
    RowPlan plan = {};
    for (int row = 0; row < kHoverRows; ++row) {
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

// The rows, in order; labels already in the layer are left out.
void DrawRows(const PanelRects& at, HDC dc, const RowPlan& plan, uint32_t labelsDrawn)
{
    for (int row = 0; row < kHoverRows; ++row) {
        if (!plan.drawn[row])
            continue;
        if (!(labelsDrawn & (1u << row)))
            DrawLabel(at, dc, row, plan.label[row]);
        DrawValue(at, dc, row, plan.value[row]);
    }
}

// --- the layer's key and which labels it may hold ---------------------------------

LayerKey KeyOf(HWND window, uint32_t drawnRows, uint32_t labels)
{
    const AppState& app = App();
    LayerKey key;
    std::memset(&key, 0, sizeof key);
    key.window = window;
    key.generation = app.skinState.generation;
    key.skinShown = SkinShown();
    key.drawnRows = drawnRows;
    key.labels = labels;
    key.labelTexts = app.labels;
    key.shadowOffset = app.colors.shadowOffset;
    for (int i = 0; i < kColorElements; ++i) {
        const ColorSlot& slot = app.colors.slot[i];
        key.colour[i].colour = slot.colour;
        key.colour[i].shadowColour = slot.shadowColour;
        key.colour[i].shadow = slot.shadow;
        key.colour[i].brush = slot.brush.Handle();
        key.colour[i].shadowBrush = slot.shadowBrush.Handle();
    }
    for (int i = 0; i < kFontElements; ++i)
        key.font[i] = app.fonts.slot[i].font.Handle();
    return key;
}

uint32_t DrawnRows(const RowPlan& plan)
{
    uint32_t rows = 0;
    for (int row = 0; row < kHoverRows; ++row)
        if (plan.drawn[row])
            rows |= 1u << row;
    return rows;
}

// What the ink test needs of a font, asked once per redraw.
struct InkFont {
    HFONT font;
    unsigned epoch;  // of the font's measures: changes with the font
    int height;
    int slack;  // room for overhangs and smoothing
    int wide;   // more room for glyphs beyond plain ASCII
    int d;      // the shadow's offset, 0 without shadow
    const Advances* advances;
};

// How far glyphs reach past their advance: the widest overhang of the
// printable single-byte characters, where the font tells it (outline
// fonts), a quarter of the widest character otherwise; one more pixel for
// smoothing.
int Overhang(const TEXTMETRICA& tm, const ABC* widths)
{
    if (!widths)
        return tm.tmOverhang + tm.tmMaxCharWidth / 4 + 1;
    int reach = 0;
    for (int i = 0; i < kPrintableCount; ++i) {
        const ABC& w = widths[i];
        reach = std::max(reach, -w.abcA);
        reach = std::max(reach, -w.abcC);
    }
    return tm.tmOverhang + reach + 1;
}

// The ink measures of the display fonts, asked again only for a new font.
struct InkFontCache {
    HFONT font;
    int generation;
    unsigned epoch;
    TEXTMETRICA tm;
    int overhang;
    Advances advances;
};
InkFontCache inkFonts[kFontElements];

void FillInkFont(HDC dc, InkFontCache* cache)
{
    SelectObject(dc, cache->font);
    cache->tm = TEXTMETRICA{};
    GetTextMetricsA(dc, &cache->tm);
    ABC widths[kPrintableCount];
    const bool abc = GetCharABCWidthsA(dc, kFirstPrintable, kLastPrintable, widths) != 0;
    cache->overhang = Overhang(cache->tm, abc ? widths : nullptr);
    FillAdvances(dc, abc ? widths : nullptr, &cache->advances);
}

InkFont MeasureFont(HDC dc, int fontSlot, int colorSlot)
{
    const AppState& app = App();
    InkFontCache& cache = inkFonts[fontSlot];
    const HFONT font = app.fonts.slot[fontSlot].font.Handle();
    if (cache.font != font || cache.generation != app.skinState.generation || !cache.tm.tmHeight) {
        cache.font = font;
        cache.generation = app.skinState.generation;
        ++cache.epoch;
        FillInkFont(dc, &cache);
    }
    InkFont f = {font, cache.epoch, cache.tm.tmHeight, cache.overhang, cache.tm.tmMaxCharWidth / 2 + 1, 0,
                 &cache.advances};
    f.d = app.colors.slot[colorSlot].shadow ? app.colors.shadowOffset : 0;
    return f;
}

bool PlainAscii(const char* text)
{
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        if (*c >= 0x80)
            return false;
    return true;
}

// A text's width in a font, and the room its glyphs need beyond the font's
// slack. Each row's label and value keep their last measure: most texts
// are the same as at the last redraw.
struct Extent {
    int width;
    int extra;
};
struct ExtentMemo {
    HFONT font;
    unsigned epoch;
    char text[kReadingTextSize];
    Extent extent;
};
ExtentMemo labelExtents[kHoverRows], valueExtents[kHoverRows];

Extent MeasureText(HDC dc, const InkFont& f, const char* text)
{
    // The font's widths of '\\' and '~', in the table and in
    // GetTextExtentPoint32A, may not be of the characters DrawTextA draws.
    const bool plain = PlainAscii(text) && !std::strpbrk(text, kCodePageSensitive);
    const int added = plain ? AdvanceWidth(*f.advances, text) : -1;
    if (added >= 0)
        return Extent{added, 0};
    SelectObject(dc, f.font);
    if (plain) {
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        return Extent{size.cx, 0};
    }
    // Measured as the drawing decodes it; the overhangs of such glyphs are
    // not asked, so they get room of their own.
    RECT calc = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return Extent{calc.right - calc.left, f.wide};
}

Extent MemoText(HDC dc, const InkFont& f, const char* text, ExtentMemo* memo)
{
    // A text longer than the memo holds is measured every time.
    if (lstrlenA(text) >= kReadingTextSize)
        return MeasureText(dc, f, text);
    if (memo->font != f.font || memo->epoch != f.epoch || std::strcmp(memo->text, text) != 0) {
        memo->font = f.font;
        memo->epoch = f.epoch;
        lstrcpynA(memo->text, text, kReadingTextSize);
        memo->extent = MeasureText(dc, f, text);
    }
    return memo->extent;
}

// Where a text can put pixels in r, shadow included: its line cell, placed
// as the format places it, with the font's slack around it.
RECT InkBox(HDC dc, const InkFont& f, const RECT& r, const char* text, UINT format, ExtentMemo* memo)
{
    const Extent measured = MemoText(dc, f, text, memo);
    const int width = measured.width;
    const int slack = f.slack + measured.extra;
    // Centred lines are placed as (h - cy) / 2 or as h / 2 - cy / 2 below
    // the top, which differ by a pixel: the box holds both.
    const int h = r.bottom - r.top;
    const int first = r.top + (h - f.height) / 2, second = r.top + h / 2 - f.height / 2;
    const int top = first < second ? first : second, bottom = (first > second ? first : second) + f.height;
    const int left = (format & DT_RIGHT) ? r.right - width : r.left;
    const int low = f.d < 0 ? f.d : 0, high = f.d > 0 ? f.d : 0;
    const int rise = 1;  // smoothing
    return RECT{left - slack + low, top - rise + low, left + width + slack + high, bottom + rise + high};
}

bool Touch(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The labels that may be drawn before everything else: none of the values
// drawn before them, nor any label left out before them, can touch them.
// The values' widths count (shown or blinking), so this is asked at every
// redraw.
uint32_t LayerLabels(const PanelRects& at, HDC dc, const RowPlan& plan, RECT values[kHoverRows])
{
    RECT labels[kHoverRows];
    const InkFont valueFont = MeasureFont(dc, kFontValue, kColorValue);
    for (int row = 0; row < kHoverRows; ++row)
        if (plan.drawn[row] && at.hasValue[row])
            values[row] =
                InkBox(dc, valueFont, at.value[row], plan.value[row], kValueFormat, &valueExtents[row]);
    const InkFont labelFont = MeasureFont(dc, kFontLabel, kColorLabel);
    uint32_t safe = 0, earlierValues = 0, earlierLoose = 0;
    for (int row = 0; row < kHoverRows; ++row) {
        if (!plan.drawn[row])
            continue;
        if (at.hasLabel[row]) {
            labels[row] =
                InkBox(dc, labelFont, at.label[row], plan.label[row], kLabelFormat, &labelExtents[row]);
            bool clear = true;
            for (int i = 0; i < row && clear; ++i) {
                if ((earlierValues >> i) & 1)
                    clear = !Touch(values[i], labels[row]);
                if (clear && ((earlierLoose >> i) & 1))
                    clear = !Touch(labels[i], labels[row]);
            }
            (clear ? safe : earlierLoose) |= 1u << row;
        }
        if (at.hasValue[row])
            earlierValues |= 1u << row;
    }
    return safe;
}

void BuildLayer(const PanelRects& at, const RowPlan& plan, const LayerKey& key, uint32_t labels)
{
    HDC dc = App().skinState.layer.dc.Get();
    PrepareContext(dc);
    DrawStatic(at, dc);
    layer.labels = labels;
    for (int row = 0; row < kHoverRows; ++row)
        if ((layer.labels >> row) & 1)
            DrawLabel(at, dc, row, plan.label[row]);
    layer.key = key;
    layer.built = true;
}

// The values drawn now, and the rows whose value differs from what the back
// buffer shows.
struct ValueChange {
    bool shown[kHoverRows];
    bool alarm[kHoverRows];
    uint32_t changed;
};

ValueChange CompareValues(const PanelRects& at, const RowPlan& plan)
{
    ValueChange c = {};
    for (int row = 0; row < kHoverRows; ++row) {
        c.shown[row] = plan.drawn[row] && at.hasValue[row] && App().blinkPhase == 0;
        c.alarm[row] = RowAlarm(row);
        if (c.shown[row] != buffer.shown[row] ||
            (c.shown[row] && (std::strcmp(plan.value[row], buffer.text[row]) != 0 ||
                              c.alarm[row] != buffer.alarm[row])))
            c.changed |= 1u << row;
    }
    return c;
}

// The area a changed row needs from the layer: its old and its new box.
RECT DirtyArea(int row, const ValueChange& c, const RECT boxes[kHoverRows])
{
    RECT area = {};
    if (buffer.shown[row])
        area = buffer.box[row];
    if (c.shown[row])
        UnionRect(&area, &area, &boxes[row]);
    return area;
}

// True when every changed row's area keeps clear of every other row's ink,
// old and new: then those areas can be redrawn alone.
bool AreasApart(const ValueChange& c, const RECT boxes[kHoverRows])
{
    for (int row = 0; row < kHoverRows; ++row) {
        if (!((c.changed >> row) & 1))
            continue;
        const RECT area = DirtyArea(row, c, boxes);
        for (int other = 0; other < kHoverRows; ++other) {
            if (other == row)
                continue;
            if ((buffer.shown[other] && Touch(area, buffer.box[other])) ||
                (c.shown[other] && Touch(area, boxes[other])))
                return false;
        }
    }
    return true;
}

void RecordBuffer(const LayerKey& key, const ValueChange& c, const RowPlan& plan, const RECT boxes[kHoverRows])
{
    buffer.valid = true;
    buffer.key = key;
    for (int row = 0; row < kHoverRows; ++row) {
        buffer.shown[row] = c.shown[row];
        buffer.alarm[row] = c.alarm[row];
        if (c.shown[row]) {
            lstrcpynA(buffer.text[row], plan.value[row], kReadingTextSize);
            buffer.box[row] = boxes[row];
        }
    }
}

// Where a value's line starts when it is drawn straight, as DrawTextA
// would place it in its cell; straight is false where that is not known
// and DrawTextA draws it.
struct ValuePlace {
    bool straight;
    POINT at;
};

ValuePlace PlaceValue(const PanelRects& at, HDC dc, const InkFont& f, int row, const char* text)
{
    const RECT& r = at.value[row];
    const int width = AdvanceWidth(*f.advances, text);
    int offset = 0;
    if (width < 0 || std::strpbrk(text, kCodePageSensitive) ||
        !CentredOffset(dc, f.font, *f.advances, f.epoch, f.height, r.bottom - r.top, &offset))
        return ValuePlace{false, {0, 0}};
    return ValuePlace{true, {r.right - width, r.top + offset}};
}

// Draws the values of the rows given in one colour, each shifted by d: those
// placed straight with one call, the others each with DrawTextA.
void DrawValueTexts(const PanelRects& at, HDC dc, const InkFont& f, const RowPlan& plan,
                    const ValuePlace place[kHoverRows], uint32_t rows, COLORREF colour, int d)
{
    if (!rows)
        return;
    SetTextColor(dc, colour);
    PlacedText straight[kHoverRows];
    int count = 0;
    for (int row = 0; row < kHoverRows; ++row) {
        if (!((rows >> row) & 1))
            continue;
        if (place[row].straight) {
            straight[count++] = PlacedText{plan.value[row], place[row].at};
        } else {
            RECT r = Shifted(at.value[row], d);
            DrawTextA(dc, plan.value[row], -1, &r, kValueFormat);
        }
    }
    DrawPlacedTexts(dc, *f.advances, straight, count, d);
}

// The changed rows' values, as DrawValue draws each, straight where the
// place is known. The rows keep clear of each other's ink, so the order
// among them cannot matter: one font for all, the shadows first, then the
// values in their colour, then those in the alarm colour.
void DrawChangedValues(const PanelRects& at, HDC dc, const RowPlan& plan, const ValueChange& c)
{
    AppState& app = App();
    uint32_t rows = 0, alarms = 0;
    for (int row = 0; row < kHoverRows; ++row) {
        if (((c.changed >> row) & 1) && c.shown[row]) {
            rows |= 1u << row;
            if (c.alarm[row])
                alarms |= 1u << row;
        }
    }
    if (!rows)
        return;
    const InkFont f = MeasureFont(dc, kFontValue, kColorValue);
    ValuePlace place[kHoverRows] = {};
    for (int row = 0; row < kHoverRows; ++row)
        if ((rows >> row) & 1)
            place[row] = PlaceValue(at, dc, f, row, plan.value[row]);
    const ColorSlot& slot = app.colors.slot[kColorValue];
    // Mostly still there from the last redraw; asking costs less than
    // selecting it again.
    if (GetCurrentObject(dc, OBJ_FONT) != f.font)
        SelectObject(dc, f.font);
    if (slot.shadow)
        DrawValueTexts(at, dc, f, plan, place, rows, slot.shadowColour, app.colors.shadowOffset);
    DrawValueTexts(at, dc, f, plan, place, rows & ~alarms, slot.colour, 0);
    DrawValueTexts(at, dc, f, plan, place, alarms, app.alarm.colour, 0);
}

// What a redraw changed in the back buffer, for the window to repaint: all
// of it, or the rectangle around the areas of the rows redrawn alone
// (empty when none was).
struct Repaint {
    bool whole;
    RECT area;
};
const Repaint kWholeRepaint = {true, {0, 0, 0, 0}};

// Puts the layer back under each changed row's area and draws its value
// anew; returns where the back buffer changed.
Repaint RedrawChanged(const PanelRects& at, HDC dc, const RowPlan& plan, const ValueChange& c,
                      const RECT boxes[kHoverRows])
{
    const SkinState& skin = App().skinState;
    const RECT whole = {0, 0, skin.layer.width, skin.layer.height};
    Repaint repaint = {false, {0, 0, 0, 0}};
    for (int row = 0; row < kHoverRows; ++row) {
        if (!((c.changed >> row) & 1))
            continue;
        RECT area = DirtyArea(row, c, boxes);
        if (IntersectRect(&area, &area, &whole)) {
            BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   skin.layer.dc.Get(), area.left, area.top, SRCCOPY);
            UnionRect(&repaint.area, &repaint.area, &area);
        }
    }
    DrawChangedValues(at, dc, plan, c);
    return repaint;
}

// With the layer: only changed values where the buffer already lies on this
// layer and nothing else can be touched; otherwise a copy of the layer and
// every row it lacks, in the order of a full redraw. Returns where the back
// buffer changed. Changed values need nothing of the context that the last
// full redraw of this buffer did not leave in it (transparent text), and
// they set their colours and font themselves; a new buffer has a new skin
// generation, so its first redraw is a full one.
Repaint DrawOverLayer(HWND window, const PanelRects& at, HDC dc, const RowPlan& plan)
{
    const SkinState& skin = App().skinState;
    RECT boxes[kHoverRows] = {};
    const uint32_t labels = LayerLabels(at, skin.layer.dc.Get(), plan, boxes);
    const LayerKey key = KeyOf(window, DrawnRows(plan), labels);
    if (!layer.built || layer.key != key) {
        BuildLayer(at, plan, key, labels);
        buffer.valid = false;
    }
    uint32_t loose = 0;
    for (int row = 0; row < kHoverRows; ++row)
        if (plan.drawn[row] && at.hasLabel[row] && !((labels >> row) & 1))
            loose |= 1u << row;
    const ValueChange c = CompareValues(at, plan);
    Repaint repaint = kWholeRepaint;
    if (buffer.valid && buffer.key == key && !loose && AreasApart(c, boxes)) {
        repaint = RedrawChanged(at, dc, plan, c, boxes);
    } else {
        PrepareContext(dc);
        BitBlt(dc, 0, 0, skin.layer.width, skin.layer.height, skin.layer.dc.Get(), 0, 0, SRCCOPY);
        DrawRows(at, dc, plan, labels);
    }
    RecordBuffer(key, c, plan, boxes);
    return repaint;
}

// A full redraw invalidates the whole window; a redraw of changed values
// only the rectangle around what it changed, and nothing when it changed
// nothing: the window's other pixels are the back buffer's already. WM_PAINT
// copies the buffer.
void ShowChanged(HWND window, const Repaint& repaint)
{
    if (repaint.whole) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    if (IsRectEmpty(&repaint.area))
        return;
    const SkinState& skin = App().skinState;
    RECT area = repaint.area;
    OffsetRect(&area, skin.x, skin.y);
    InvalidateRect(window, &area, FALSE);
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

void CachePanelRects(HWND window)
{
    rects = PanelRects{};
    rects.window = window;
    for (int g = 0; g < kGroupCount; ++g) {
        rects.hasOutline[g] = GetControlRect(window, kPanelGroups[g].outlineId, &rects.outline[g]);
        rects.hasCaption[g] = GetControlRect(window, kPanelGroups[g].captionId, &rects.caption[g]);
    }
    for (int row = 0; row < kHoverRows; ++row) {
        rects.hasLabel[row] = GetControlRect(window, LabelId(row), &rects.label[row]);
        rects.hasValue[row] = GetControlRect(window, ValueId(row), &rects.value[row]);
    }
}

int HoverRowAt(HWND window, int x, int y)
{
    const PanelRects& at = RectsOf(window);
    for (int row = 0; row < kHoverRows; ++row) {
        const RECT& r = at.value[row];
        if (at.hasValue[row] && r.left <= x && x <= r.right && r.top <= y && y <= r.bottom)
            return row;
    }
    return -1;
}

// Every redraw starts from the layer; what the layer cannot hold is drawn
// on it in the order of a full redraw, so the result is the same to the byte.
void DrawPanels(HWND window)
{
    AppState& app = App();
    app.drawLock.Enter();
    const PanelRects& at = RectsOf(window);
    SkinState& skin = app.skinState;
    HDC dc = skin.backBuffer.dc.Get();
    const RowPlan plan = PlanRows();
    Repaint repaint = kWholeRepaint;
    if (skin.layer.dc.Valid()) {
        repaint = DrawOverLayer(window, at, dc, plan);
    } else {
        PrepareContext(dc);
        DrawStatic(at, dc);
        DrawRows(at, dc, plan, 0);
    }
    ShowChanged(window, repaint);
    app.drawLock.Leave();
}

void DrawPanelsFull(HWND window, HDC dc)
{
    AppState& app = App();
    app.drawLock.Enter();
    const PanelRects& at = RectsOf(window);
    PrepareContext(dc);
    DrawStatic(at, dc);
    DrawRows(at, dc, PlanRows(), 0);
    app.drawLock.Leave();
}

void BuildMinimizedTitle(HWND window)
{
    AppState& app = App();
    char title[kTitleSize] = "";
    if (AnyAlarm())
        std::strcpy(title, "!");
    for (int i = 0; i < kTempCount; ++i) {
        if (app.tempShown[i] != 1)
            continue;
        size_t used = std::strlen(title);
        std::snprintf(title + used, sizeof title - used, "%s%s%s", app.current.text[kTempSlot + i],
                      app.units.title, i < kTempCount - 1 ? "/" : "");
    }
    SetWindowTextA(window, title);
}

namespace {

void Refresh(HWND window, bool newReading)
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
    if (newReading)
        EvaluateAlarms(cores);
    if (IsIconic(window))
        BuildMinimizedTitle(window);
    else
        DrawPanels(window);
    if (app.coreTemp.enable)
        BuildCoreTooltipText(cores);
    app.updateLock.Leave();
}

}  // namespace

void UpdateDisplay(HWND window)
{
    Refresh(window, false);
}

void TakeReading(HWND window)
{
    Refresh(window, true);
    ActOnReading(window);
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
    skin.layer.Release();
    skin.backBuffer.Release();
}

void ReleaseDisplayObjects()
{
    rects.window = nullptr;  // a later window may get the same handle value
    ReleaseBrushes();
    ReleaseSurfaces();
    App().fonts.ReleaseFonts();
}
