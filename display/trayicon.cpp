#include "display/trayicon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <new>
#include <vector>

#include "app/alarms.h"
#include "app/appstate.h"
#include "app/rows.h"

namespace {

// Whole numbers a three-character text holds.
const double kLowestWhole = -99;
const double kHighestWhole = 999;

void WholeText(double value, char (&text)[kTrayTextSize])
{
    const double clamped = std::min(std::max(value, kLowestWhole), kHighestWhole);
    std::snprintf(text, kTrayTextSize, "%ld", std::lround(clamped));
}

void RpmText(double value, char (&text)[kTrayTextSize])
{
    const long rpm = std::lround(std::min(std::max(value, 0.0), 1e6));
    const long tenths = (rpm + 50) / 100;  // of a thousand
    if (rpm < 1000)
        std::snprintf(text, kTrayTextSize, "%ld", rpm);
    else if (tenths < 100)
        std::snprintf(text, kTrayTextSize, "%ld.%ldk", tenths / 10, tenths % 10);
    else
        std::snprintf(text, kTrayTextSize, "%ldk", std::min((rpm + 500) / 1000, 999L));
}

void VoltText(double value, char (&text)[kTrayTextSize])
{
    const long tenths = std::lround(std::min(std::max(value, kLowestWhole), kHighestWhole) * 10);
    if (tenths > -100 && tenths < 100)
        std::snprintf(text, kTrayTextSize, "%s%ld.%ld", tenths < 0 ? "-" : "", std::labs(tenths) / 10,
                      std::labs(tenths) % 10);
    else
        WholeText(value, text);
}

}  // namespace

void TrayIconText(TrayUnit unit, bool has, double value, char (&text)[kTrayTextSize])
{
    if (!has || !std::isfinite(value)) {
        lstrcpynA(text, "--", kTrayTextSize);
        return;
    }
    switch (unit) {
    case TrayUnit::Rpm: RpmText(value, text); break;
    case TrayUnit::Volts: VoltText(value, text); break;
    default: WholeText(value, text); break;
    }
}

namespace {

struct SourceValue {
    const char* label;
    char labelText[kTextSize];
    const char* shown;  // the value's text as the panel shows it; empty: none
    char shownText[kReadingTextSize];
    const char* unit;
    TrayUnit kind;
    bool alarm;
};

SourceValue RowValue(const AppState& app, const TraySource& source)
{
    const Row row = RowAt(source.row);
    const bool duty = source.kind == kTrayDuty;
    SourceValue v = {};
    v.label = RowLabel(app, source.row);
    v.shown = app.current.text[duty ? row.dutySlot : row.slot];
    v.alarm = RowAlarm(source.row);
    if (duty) {
        v.unit = app.units.pwm;
        v.kind = TrayUnit::Percent;
    } else if (row.group == kTempRows) {
        v.unit = app.units.title;  // the panel's degree sign is not a character of the ANSI code page
        v.kind = TrayUnit::Degrees;
    } else {
        v.unit = RowUnit(app, source.row);
        v.kind = row.group == kFanRows ? TrayUnit::Rpm : TrayUnit::Volts;
    }
    return v;
}

SourceValue HottestCore(const AppState& app, const CoreTable& cores)
{
    SourceValue v = {};
    v.label = v.labelText;
    v.shown = v.shownText;
    v.unit = app.units.title;
    v.kind = TrayUnit::Degrees;
    int hottest = -1;
    const int count = static_cast<int>(std::min<uint32_t>(cores.count, kCoreSlots));
    for (int i = 0; i < count; ++i) {
        if (!cores.core[i].valid)
            continue;
        v.alarm = v.alarm || CoreAlarm(i);
        if (hottest < 0 || cores.core[i].temp > cores.core[hottest].temp)
            hottest = i;
    }
    lstrcpynA(v.labelText, "Core", sizeof v.labelText);
    if (hottest < 0)
        return v;
    std::snprintf(v.labelText, sizeof v.labelText, "Core %d", hottest);
    std::snprintf(v.shownText, sizeof v.shownText, "%d", static_cast<int>(cores.core[hottest].temp));
    return v;
}

}  // namespace

TrayReading ReadTraySource(const TraySource& source, const CoreTable& cores)
{
    const AppState& app = App();
    const SourceValue v = source.kind == kTrayHottestCore ? HottestCore(app, cores) : RowValue(app, source);
    TrayReading reading = {};
    const bool has = v.shown[0] != '\0';
    TrayIconText(v.kind, has, has ? std::strtod(v.shown, nullptr) : 0.0, reading.text);
    reading.colour = v.alarm ? app.alarm.colour : app.colors.slot[kColorValue].colour;
    std::snprintf(reading.line, sizeof reading.line, "%s: %s%s", v.label, has ? v.shown : "--",
                  has ? v.unit : "");
    return reading;
}

namespace {

// Glyphs are rendered white on black: a pixel's grey level is how much of
// it they cover, whichever colour the icon takes.
class CoverageCanvas {
public:
    CoverageCanvas(int w, int h) : width(w), height(h)
    {
        const BITMAPINFO info = TopDownBitmapInfo(w, h);
        void* pixels = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
        dc.Reset(CreateCompatibleDC(nullptr));
        bits = static_cast<const uint32_t*>(pixels);
        if (dc.Valid() && bitmap.Valid())
            SelectObject(dc.Get(), bitmap.Get());
    }
    bool Valid() const { return dc.Valid() && bitmap.Valid() && bits; }

    // Draws the text alone in the font; false when the font cannot be had.
    bool Draw(const char* text, const LOGFONTA& description)
    {
        FontOwner next(CreateFontIndirectA(&description));
        if (!next.Valid())
            return false;
        PatBlt(dc.Get(), 0, 0, width, height, BLACKNESS);
        SelectObject(dc.Get(), next.Get());  // the font before is no longer selected when it goes
        font.Reset(next.Detach());
        TEXTMETRICA metrics = {};
        GetTextMetricsA(dc.Get(), &metrics);
        averageWidth = metrics.tmAveCharWidth;
        SetTextColor(dc.Get(), RGB(255, 255, 255));
        SetBkMode(dc.Get(), TRANSPARENT);
        TextOutA(dc.Get(), height / 8, 0, text, lstrlenA(text));  // room for an overhang
        GdiFlush();
        return true;
    }
    // The rectangle the ink covers; empty without ink.
    RECT Ink() const
    {
        RECT ink = {width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y)) {
                    ink.left = std::min<LONG>(ink.left, x);
                    ink.top = std::min<LONG>(ink.top, y);
                    ink.right = std::max<LONG>(ink.right, x + 1);
                    ink.bottom = std::max<LONG>(ink.bottom, y + 1);
                }
        return ink.right > ink.left ? ink : RECT{0, 0, 0, 0};
    }
    // Greyscale anti-aliasing gives equal channels; a renderer that does
    // subpixels anyway counts its strongest.
    int At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0;
        const uint32_t p = bits[y * width + x];
        return static_cast<int>(std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}));
    }
    int AverageWidth() const { return averageWidth; }

private:
    int width, height;
    const uint32_t* bits = nullptr;
    int averageWidth = 0;
    // Released in this order: the context, then what was selected into it.
    FontOwner font;
    BitmapOwner bitmap;
    MemoryDcOwner dc;
};

const char kTrayFace[] = "Tahoma";
// Sizes an icon can have here: below the smallest no digit has room.
const int kSmallestIcon = 8;
const int kLargestIcon = 256;
const int kShrinkRounds = 4;

LOGFONTA TrayFont(int size)
{
    LOGFONTA lf = {};
    lf.lfHeight = -(size + size / 8);  // digits about as tall as the icon allows
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynA(lf.lfFaceName, kTrayFace, LF_FACESIZE);
    return lf;
}

// The font each recent text was fitted with: an icon's text comes back
// often, and every font tried is dear. Only the window's thread draws icons.
struct FittedFont {
    char text[kTrayTextSize];
    int room;
    LOGFONTA font;
};
const int kFittedFonts = 16;
FittedFont fitted[kFittedFonts];
int nextFitted = 0;

}  // namespace

void ForgetFittedFonts()
{
    for (FittedFont& f : fitted)
        f = FittedFont{};
}

namespace {

const LOGFONTA* FittedBefore(const char* text, int room)
{
    for (const FittedFont& f : fitted)
        if (f.room == room && room > 0 && std::strcmp(f.text, text) == 0)
            return &f.font;
    return nullptr;
}

void RememberFit(const char* text, int room, const LOGFONTA& font)
{
    FittedFont& f = fitted[nextFitted];
    nextFitted = (nextFitted + 1) % kFittedFonts;
    lstrcpynA(f.text, text, kTrayTextSize);
    f.room = room;
    f.font = font;
}

// Draws the text as large as fits in room pixels square: a text too wide
// is drawn narrower rather than smaller, so that three digits stay tall.
RECT FitText(CoverageCanvas& canvas, const char* text, int room)
{
    if (const LOGFONTA* before = FittedBefore(text, room))
        return canvas.Draw(text, *before) ? canvas.Ink() : RECT{0, 0, 0, 0};
    LOGFONTA lf = TrayFont(room + 2);
    RECT ink = {0, 0, 0, 0};
    for (int round = 0; round < kShrinkRounds && canvas.Draw(text, lf); ++round) {
        ink = canvas.Ink();
        const int w = ink.right - ink.left, h = ink.bottom - ink.top;
        if ((w <= room && h <= room) || round + 1 == kShrinkRounds) {
            RememberFit(text, room, lf);  // the font the ink was drawn with
            break;
        }
        if (h > room)
            lf.lfHeight = lf.lfHeight * room / h;
        if (w > room)
            lf.lfWidth = std::max(1L, (lf.lfWidth ? lf.lfWidth : canvas.AverageWidth()) * room / w);
    }
    return ink;
}

// Dark around a light colour, light around a dark one.
COLORREF OutlineFor(COLORREF colour)
{
    const int luma = (299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour)) / 1000;
    return luma >= 128 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

uint32_t Blend(int text, int outline, COLORREF colour, COLORREF ring)
{
    // The glyph's colour over its outline, with straight (not premultiplied)
    // alpha, as icons take it: the system multiplies when it draws.
    const int weight = text * 255 + outline * (255 - text);  // the alpha times 255, unrounded
    if (weight == 0)
        return 0;
    const int alpha = (weight + 127) / 255;
    auto channel = [&](int c, int o) {
        const int num = c * text * 255 + o * outline * (255 - text);
        return static_cast<uint32_t>((num + weight / 2) / weight);  // 255 at most
    };
    return static_cast<uint32_t>(alpha) << 24 | channel(GetRValue(colour), GetRValue(ring)) << 16 |
           channel(GetGValue(colour), GetGValue(ring)) << 8 | channel(GetBValue(colour), GetBValue(ring));
}

// The icon's pixels: the ink centred, ringed one pixel wide.
std::vector<uint32_t> Compose(const CoverageCanvas& canvas, const RECT& ink, int size, COLORREF colour)
{
    const int x0 = ink.left - (size - (ink.right - ink.left)) / 2;
    const int y0 = ink.top - (size - (ink.bottom - ink.top)) / 2;
    std::vector<uint32_t> pixels(size * size);
    const COLORREF ring = OutlineFor(colour);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int outline = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    outline = std::max(outline, canvas.At(x0 + x + dx, y0 + y + dy));
            pixels[y * size + x] = Blend(canvas.At(x0 + x, y0 + y), outline, colour, ring);
        }
    return pixels;
}

// The mask for systems that draw icons without their alpha: the mostly
// covered pixels shown, the rest transparent.
BitmapOwner MaskOf(const std::vector<uint32_t>& pixels, int size)
{
    const int stride = (size + 15) / 16 * 2;  // monochrome rows end on a WORD
    std::vector<BYTE> bits(stride * size, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if ((pixels[y * size + x] >> 24) < 128)
                bits[y * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    return BitmapOwner(CreateBitmap(size, size, 1, 1, bits.data()));
}

}  // namespace

HICON BuildTrayIcon(const char* text, COLORREF colour, int size)
{
    if (size < kSmallestIcon || size > kLargestIcon)
        return nullptr;
    CoverageCanvas canvas(4 * size, 2 * size);
    if (!canvas.Valid())
        return nullptr;
    const RECT ink = FitText(canvas, text, size - 2);
    std::vector<uint32_t> pixels;
    try {  // no exception leaves the window's procedure
        pixels = Compose(canvas, ink, size, colour);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const BITMAPINFO info = TopDownBitmapInfo(size, size);
    void* bits = nullptr;
    BitmapOwner image(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    BitmapOwner mask = MaskOf(pixels, size);
    if (!image.Valid() || !bits || !mask.Valid())
        return nullptr;
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    ICONINFO icon = {TRUE, 0, 0, mask.Get(), image.Get()};
    return CreateIconIndirect(&icon);
}
