#include "display/layer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "app/appstate.h"
#include "app/alarms.h"
#include "display/skin.h"
#include "display/straighttext.h"

namespace {

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

// What the back buffer holds on top of the layer: the values it shows and
// where their ink lies. A redraw that finds the same layer redraws only the
// values that changed, over the layer's pixels of their own boxes.
struct BufferRecord {
    bool valid;
    LayerKey key;  // of the layer under it
    bool shown[kRowCount];
    bool alarm[kRowCount];  // drawn in the alarm colour
    char text[kRowCount][kReadingTextSize];
    RECT box[kRowCount];
};

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
    for (int row = 0; row < kRowCount; ++row)
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
    CentringCache* centrings;
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

}  // namespace

// Everything a window's redraws keep between them: the layer's and the back
// buffer's records, and the measures of fonts and texts.
struct LayerCache {
    LayerRecord layer;
    BufferRecord buffer;
    InkFontCache inkFonts[kFontElements];
    ExtentMemo labelExtents[kRowCount], valueExtents[kRowCount];
    CentringCache centrings;
};

namespace {

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

InkFont MeasureFont(LayerCache& c, HDC dc, int fontSlot, int colorSlot)
{
    const AppState& app = App();
    InkFontCache& cache = c.inkFonts[fontSlot];
    const HFONT font = app.fonts.slot[fontSlot].font.Handle();
    if (cache.font != font || cache.generation != app.skinState.generation || !cache.tm.tmHeight) {
        cache.font = font;
        cache.generation = app.skinState.generation;
        ++cache.epoch;
        FillInkFont(dc, &cache);
    }
    InkFont f = {font, cache.epoch, cache.tm.tmHeight, cache.overhang, cache.tm.tmMaxCharWidth / 2 + 1, 0,
                 &cache.advances, &c.centrings};
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
uint32_t LayerLabels(LayerCache& c, const PanelRects& at, HDC dc, const RowPlan& plan, RECT values[kRowCount])
{
    RECT labels[kRowCount];
    const InkFont valueFont = MeasureFont(c, dc, kFontValue, kColorValue);
    for (int row = 0; row < kRowCount; ++row)
        if (plan.drawn[row] && at.hasValue[row])
            values[row] =
                InkBox(dc, valueFont, at.value[row], plan.value[row], kValueFormat, &c.valueExtents[row]);
    const InkFont labelFont = MeasureFont(c, dc, kFontLabel, kColorLabel);
    uint32_t safe = 0, earlierValues = 0, earlierLoose = 0;
    for (int row = 0; row < kRowCount; ++row) {
        if (!plan.drawn[row])
            continue;
        if (at.hasLabel[row]) {
            labels[row] =
                InkBox(dc, labelFont, at.label[row], plan.label[row], kLabelFormat, &c.labelExtents[row]);
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

void BuildLayer(LayerRecord& layer, const PanelRects& at, const RowPlan& plan, const LayerKey& key, uint32_t labels)
{
    HDC dc = App().skinState.layer.dc.Get();
    PrepareContext(dc);
    DrawStatic(at, dc);
    layer.labels = labels;
    for (int row = 0; row < kRowCount; ++row)
        if ((layer.labels >> row) & 1)
            DrawLabel(at, dc, row, plan.label[row]);
    layer.key = key;
    layer.built = true;
}

// The values drawn now, and the rows whose value differs from what the back
// buffer shows.
struct ValueChange {
    bool shown[kRowCount];
    bool alarm[kRowCount];
    uint32_t changed;
};

ValueChange CompareValues(const BufferRecord& buffer, const PanelRects& at, const RowPlan& plan)
{
    ValueChange c = {};
    for (int row = 0; row < kRowCount; ++row) {
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
RECT DirtyArea(const BufferRecord& buffer, int row, const ValueChange& c, const RECT boxes[kRowCount])
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
bool AreasApart(const BufferRecord& buffer, const ValueChange& c, const RECT boxes[kRowCount])
{
    for (int row = 0; row < kRowCount; ++row) {
        if (!((c.changed >> row) & 1))
            continue;
        const RECT area = DirtyArea(buffer, row, c, boxes);
        for (int other = 0; other < kRowCount; ++other) {
            if (other == row)
                continue;
            if ((buffer.shown[other] && Touch(area, buffer.box[other])) ||
                (c.shown[other] && Touch(area, boxes[other])))
                return false;
        }
    }
    return true;
}

void RecordBuffer(BufferRecord& buffer, const LayerKey& key, const ValueChange& c, const RowPlan& plan,
                  const RECT boxes[kRowCount])
{
    buffer.valid = true;
    buffer.key = key;
    for (int row = 0; row < kRowCount; ++row) {
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
        !f.centrings->Offset(dc, f.font, *f.advances, f.epoch, f.height, r.bottom - r.top, &offset))
        return ValuePlace{false, {0, 0}};
    return ValuePlace{true, {r.right - width, r.top + offset}};
}

// Draws the values of the rows given in one colour, each shifted by d: those
// placed straight with one call, the others each with DrawTextA.
void DrawValueTexts(const PanelRects& at, HDC dc, const InkFont& f, const RowPlan& plan,
                    const ValuePlace place[kRowCount], uint32_t rows, COLORREF colour, int d)
{
    if (!rows)
        return;
    SetTextColor(dc, colour);
    PlacedText straight[kRowCount];
    int count = 0;
    for (int row = 0; row < kRowCount; ++row) {
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
void DrawChangedValues(LayerCache& cache, const PanelRects& at, HDC dc, const RowPlan& plan, const ValueChange& c)
{
    AppState& app = App();
    uint32_t rows = 0, alarms = 0;
    for (int row = 0; row < kRowCount; ++row) {
        if (((c.changed >> row) & 1) && c.shown[row]) {
            rows |= 1u << row;
            if (c.alarm[row])
                alarms |= 1u << row;
        }
    }
    if (!rows)
        return;
    const InkFont f = MeasureFont(cache, dc, kFontValue, kColorValue);
    ValuePlace place[kRowCount] = {};
    for (int row = 0; row < kRowCount; ++row)
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

// Puts the layer back under each changed row's area and draws its value
// anew; returns where the back buffer changed.
Repaint RedrawChanged(LayerCache& cache, const PanelRects& at, HDC dc, const RowPlan& plan, const ValueChange& c,
                      const RECT boxes[kRowCount])
{
    const SkinState& skin = App().skinState;
    const RECT whole = {0, 0, skin.layer.width, skin.layer.height};
    Repaint repaint = {false, {0, 0, 0, 0}};
    for (int row = 0; row < kRowCount; ++row) {
        if (!((c.changed >> row) & 1))
            continue;
        RECT area = DirtyArea(cache.buffer, row, c, boxes);
        if (IntersectRect(&area, &area, &whole)) {
            BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   skin.layer.dc.Get(), area.left, area.top, SRCCOPY);
            UnionRect(&repaint.area, &repaint.area, &area);
        }
    }
    DrawChangedValues(cache, at, dc, plan, c);
    return repaint;
}

}  // namespace

PanelLayer::PanelLayer() : data(new LayerCache()) {}

PanelLayer::~PanelLayer() = default;

void PanelLayer::Reset()
{
    *data = LayerCache();
}

// With the layer: only changed values where the buffer already lies on this
// layer and nothing else can be touched; otherwise a copy of the layer and
// every row it lacks, in the order of a full redraw. Returns where the back
// buffer changed. Changed values need nothing of the context that the last
// full redraw of this buffer did not leave in it (transparent text), and
// they set their colours and font themselves; a new buffer has a new skin
// generation, so its first redraw is a full one.
Repaint PanelLayer::Redraw(HWND window, const PanelRects& at, HDC dc, const RowPlan& plan)
{
    LayerCache& cache = *data;
    LayerRecord& layer = cache.layer;
    BufferRecord& buffer = cache.buffer;
    const SkinState& skin = App().skinState;
    RECT boxes[kRowCount] = {};
    const uint32_t labels = LayerLabels(cache, at, skin.layer.dc.Get(), plan, boxes);
    const LayerKey key = KeyOf(window, DrawnRows(plan), labels);
    if (!layer.built || layer.key != key) {
        BuildLayer(layer, at, plan, key, labels);
        buffer.valid = false;
    }
    uint32_t loose = 0;
    for (int row = 0; row < kRowCount; ++row)
        if (plan.drawn[row] && at.hasLabel[row] && !((labels >> row) & 1))
            loose |= 1u << row;
    const ValueChange c = CompareValues(buffer, at, plan);
    Repaint repaint = kWholeRepaint;
    if (buffer.valid && buffer.key == key && !loose && AreasApart(buffer, c, boxes)) {
        repaint = RedrawChanged(cache, at, dc, plan, c, boxes);
    } else {
        PrepareContext(dc);
        BitBlt(dc, 0, 0, skin.layer.width, skin.layer.height, skin.layer.dc.Get(), 0, 0, SRCCOPY);
        DrawRows(at, dc, plan, labels);
    }
    RecordBuffer(buffer, key, c, plan, boxes);
    return repaint;
}

