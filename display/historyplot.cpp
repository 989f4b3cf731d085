#include "display/historyplot.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "display/pixels.h"
#include "foundation/gdiwrap.h"

namespace {

const int kAxisHeight = 18;
const int kScaleWidth = 52;
const int kLegendWidth = 280;
const int kLineHeight = 14;
const int kGap = 4;
const int kMinTickSpacing = 70;
const int kScaleSteps = 4;  // value grid lines per pane, less one
const double kDutyTop = 100.0;
const int kTickChoices[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 240, 360, 720, 1440};
const char* const kPaneTitles[kPaneCount] = {"温度", "ファン / デューティ", "電圧"};
// Lines after the first take these, the first the theme's value colour.
const COLORREF kLineColours[] = {RGB(0xFF, 0x80, 0x40), RGB(0x40, 0xC0, 0xFF), RGB(0x80, 0xE0, 0x60),
                                 RGB(0xE0, 0x60, 0xE0), RGB(0xFF, 0xD0, 0x40), RGB(0x60, 0x80, 0xFF),
                                 RGB(0xC0, 0xC0, 0xC0), RGB(0xFF, 0x60, 0x80)};
const int kLineColourCount = sizeof kLineColours / sizeof kLineColours[0];

COLORREF Blend(COLORREF a, COLORREF b)
{
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
               (GetBValue(a) + GetBValue(b)) / 2);
}

struct Span {
    size_t begin, end;
};

Span SpanOf(const PlotData& data)
{
    const auto first = std::lower_bound(data.times.begin(), data.times.end(), data.from);
    const auto last = std::upper_bound(first, data.times.end(), data.to);
    return {static_cast<size_t>(first - data.times.begin()), static_cast<size_t>(last - data.times.begin())};
}

// std::lround's result without its library call, which the 32-bit build
// would make for each of many thousand points; |v| well within an int.
int RoundHalfAway(double v)
{
    int n = static_cast<int>(v);
    const double fraction = v - n;
    n += fraction >= 0.5 ? 1 : fraction <= -0.5 ? -1 : 0;
    return n;
}

struct Scale {
    double low = DBL_MAX, high = -DBL_MAX;

    void Take(double v)
    {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    void Settle()
    {
        if (low > high || !std::isfinite(high - low))
            low = 0, high = 1;
        const double room = high > low ? (high - low) / 20 : 1;
        low -= room;
        high += room;
    }
    int Y(const RECT& r, double v) const
    {
        // A value far outside (a log's 1e308) stays a little past the edge;
        // rows of one huge value (a log's 1e20), which the room cannot
        // widen, go through the middle.
        const double f = high > low ? std::min(std::max((v - low) / (high - low), -1.0), 2.0) : 0.5;
        return r.bottom - 1 - RoundHalfAway(f * (r.bottom - r.top - 1));
    }
};

int X(const RECT& r, const PlotData& d, HistoryTime t)
{
    if (d.to <= d.from)
        return r.right - 1;
    const double f = static_cast<double>(t - d.from) / static_cast<double>(d.to - d.from);
    return r.left + static_cast<int>(f * (r.right - r.left - 1));
}

// The plot's colours, read once per drawing.
struct Palette {
    COLORREF back, label, value, alarm, grid;
};

Palette ThemePalette()
{
    const AppState& app = App();
    Palette p;
    p.back = app.colors.slot[kColorBack].colour;
    p.label = app.colors.slot[kColorLabel].colour;
    p.value = app.colors.slot[kColorValue].colour;
    p.alarm = app.alarm.colour;
    p.grid = Blend(Blend(p.back, p.label), p.back);
    return p;
}

COLORREF LineColour(const Palette& p, int nth)
{
    return nth == 0 ? p.value : kLineColours[(nth - 1) % kLineColourCount];
}

void HLine(HDC dc, int left, int right, int y, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    PatBlt(dc, left, y, right - left, 1, PATCOPY);
}

void VLine(HDC dc, int x, int top, int bottom, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    PatBlt(dc, x, std::min(top, bottom), 1, std::abs(bottom - top) + 1, PATCOPY);
}

void Text(HDC dc, int x, int y, COLORREF colour, const char* text)
{
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, lstrlenA(text));
}

std::string Number(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// A series' line as runs of points, one run per stretch without a gap:
// each pixel column goes from its highest to its lowest value, joined to
// the column before when the samples between are close enough. They go
// into the surface's pixels rather than through GDI, whose clipping and
// drawing of each segment cost more than the drawing: a row of an hour at
// a reading a second has thousands of points.
class Polyline {
public:
    void Add(int x, int y)
    {
        const POINT p = {x, y};
        if (points.size() > start && points.back().x == x && points.back().y == y)
            return;
        // A point that goes on straight along a level or upright line moves
        // that line's end: the same pixels, and far fewer points for a
        // steady reading.
        if (points.size() >= start + 2 && Straight(points[points.size() - 2], points.back(), p)) {
            points.back() = p;
            return;
        }
        points.push_back(p);
    }
    bool Empty() const { return points.size() == start; }
    int LastY() const { return points.back().y; }
    void EndRun()
    {
        if (points.size() == start)
            return;
        points.push_back(POINT{points.back().x + 1, points.back().y});  // the last pixel too
        counts.push_back(points.size() - start);
        start = points.size();
    }
    // Each run as GDI would draw it with a one-pixel pen, every segment
    // without its end point, straight into the pixels.
    void Put(const PixelTarget& to, DWORD pixel)
    {
        EndRun();
        size_t first = 0;
        for (size_t count : counts) {
            for (size_t i = first; i + 1 < first + count; ++i)
                to.Line(points[i], points[i + 1], pixel);
            first += count;
        }
    }

private:
    static bool Straight(POINT a, POINT b, POINT c)
    {
        if (a.y == b.y && b.y == c.y)
            return (a.x < b.x && b.x < c.x) || (a.x > b.x && b.x > c.x);
        if (a.x == b.x && b.x == c.x)
            return (a.y < b.y && b.y < c.y) || (a.y > b.y && b.y > c.y);
        return false;
    }

    std::vector<POINT> points;
    std::vector<size_t> counts;
    size_t start = 0;
};

// columns: the pixel column of each sample of the span, the same for
// every row.
void DrawSeries(const PixelTarget& to, const RECT& r, const PlotData& d, const PlotSeries& s, Span span,
                const std::vector<int>& columns, const Scale& scale, COLORREF colour)
{
    Polyline line;
    bool have = false, before = false;
    int x = 0;
    float low = 0, high = 0;
    HistoryTime firstTime = 0, lastTime = 0, beforeTime = 0;
    auto flush = [&]() {
        if (!have)
            return;
        if (!before || firstTime - beforeTime > d.longestStep)
            line.EndRun();
        // Two points a column: from the end nearer the line's last point.
        const int top = scale.Y(r, high), bottom = scale.Y(r, low);
        const bool down = line.Empty() || std::abs(line.LastY() - top) <= std::abs(line.LastY() - bottom);
        line.Add(x, down ? top : bottom);
        line.Add(x, down ? bottom : top);
        before = true;
        beforeTime = lastTime;
        have = false;
    };
    for (size_t i = span.begin; i < span.end; ++i) {
        const float v = s.values[i];
        const HistoryTime t = d.times[i];
        if (!std::isfinite(v)) {
            flush();
            before = false;
            continue;
        }
        const int at = columns[i - span.begin];
        if (!have || at != x) {
            flush();
            have = true;
            x = at;
            low = high = v;
            firstTime = t;
        }
        low = std::min(low, v);
        high = std::max(high, v);
        lastTime = t;
    }
    flush();
    line.Put(to, PixelOf(colour));
}

std::string LegendLine(const PlotSeries& s, const SpanStats& st)
{
    const char* unit = s.duty ? "%" : "";
    if (!st.any)
        return s.name + unit + "  ---";
    const int meanDecimals = s.decimals + 1;
    return s.name + unit + "  最小 " + Number(st.low, s.decimals) + "  平均 " + Number(st.mean, meanDecimals) +
           "  最大 " + Number(st.high, s.decimals);
}

void DrawTimeGrid(HDC dc, const RECT& r, const PlotData& d, const Palette& p, const RECT* axis)
{
    const int step = TickMinutes(d.to - d.from, r.right - r.left, kMinTickSpacing);
    const HistoryTime ticks = static_cast<HistoryTime>(step) * 60 * kTicksPerSecond;
    for (HistoryTime t = (d.from + ticks - 1) / ticks * ticks; ticks && t <= d.to; t += ticks) {
        const int x = X(r, d, t);
        VLine(dc, x, r.top, r.bottom - 1, p.grid);
        if (!axis)
            continue;
        FILETIME f = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        SYSTEMTIME st;
        FileTimeToSystemTime(&f, &st);
        char label[16];
        std::snprintf(label, sizeof label, "%02u:%02u", st.wHour, st.wMinute);
        SIZE size;
        GetTextExtentPoint32A(dc, label, lstrlenA(label), &size);
        const int left = std::min(std::max(x - static_cast<int>(size.cx) / 2, static_cast<int>(axis->left)),
                                  static_cast<int>(axis->right - size.cx));
        Text(dc, left, axis->top + 2, p.label, label);
    }
}

// The rows' alarm bounds and lines, in the rows' order, straight into the
// pixels (after what GDI drew there).
void DrawRows(const WINMEMDC& surface, const RECT& r, int pane, const PlotData& d, Span span, const Scale& scale,
              const Scale& duty, const Palette& p)
{
    GdiFlush();
    const PixelTarget to(surface.bits, surface.width, surface.height, r);
    const DWORD alarm = PixelOf(p.alarm);
    std::vector<int> columns(span.end - span.begin);
    for (size_t i = span.begin; i < span.end; ++i)
        columns[i - span.begin] = X(r, d, d.times[i]);
    auto bound = [&](int y) { to.Line({r.left, y}, {r.right, y}, alarm); };
    int nth = 0;
    for (const PlotSeries& ps : d.series) {
        if (ps.pane != pane)
            continue;
        const Scale& own = ps.duty ? duty : scale;
        if (ps.hasLow)
            bound(own.Y(r, ps.low));
        if (ps.hasHigh)
            bound(own.Y(r, ps.high));
        DrawSeries(to, r, d, ps, span, columns, own, LineColour(p, nth++));
    }
}

void DrawPane(const WINMEMDC& surface, const PlotGeometry& g, int pane, const PlotData& d, Span span,
              const Palette& p)
{
    HDC dc = surface.dc.Get();
    const RECT& r = g.plot[pane];
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    std::vector<SpanStats> stats(d.series.size());
    Scale scale, duty;
    duty.Take(0);
    duty.Take(kDutyTop);
    duty.Settle();
    int decimals = 0;
    for (size_t s = 0; s < d.series.size(); ++s) {
        const PlotSeries& ps = d.series[s];
        if (ps.pane != pane)
            continue;
        stats[s] = SummariseSpan(ps.values.data() + span.begin, span.end - span.begin);
        if (ps.duty)
            continue;
        decimals = std::max(decimals, ps.decimals);
        if (stats[s].any)
            scale.Take(stats[s].low), scale.Take(stats[s].high);
        if (ps.hasLow)
            scale.Take(ps.low);
        if (ps.hasHigh)
            scale.Take(ps.high);
    }
    scale.Settle();
    SetDCBrushColor(dc, p.grid);
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    for (int i = 0; i <= kScaleSteps; ++i) {
        const double v = scale.low + (scale.high - scale.low) * i / kScaleSteps;
        const int y = scale.Y(r, v);
        HLine(dc, r.left, r.right, y, p.grid);
        Text(dc, g.pane[pane].left, std::max(y - kLineHeight / 2, static_cast<int>(g.pane[pane].top)), p.label,
             Number(v, decimals).c_str());
    }
    DrawTimeGrid(dc, r, d, p, pane == kPaneCount - 1 ? &g.axis : nullptr);
    DrawRows(surface, r, pane, d, span, scale, duty, p);
    const int x = r.right + kGap;
    int y = g.pane[pane].top;
    Text(dc, x, y, p.label, kPaneTitles[pane]);
    int nth = 0;
    for (size_t s = 0; s < d.series.size(); ++s)
        if (d.series[s].pane == pane)
            Text(dc, x, y += kLineHeight, LineColour(p, nth++), LegendLine(d.series[s], stats[s]).c_str());
}

}  // namespace

int TickMinutes(HistoryTime span, int width, int minSpacing)
{
    const double minutes = static_cast<double>(span) / (60.0 * kTicksPerSecond);
    const double labels = std::max(1.0, static_cast<double>(width) / std::max(minSpacing, 1));
    for (int choice : kTickChoices)
        if (choice >= minutes / labels)
            return choice;
    return kTickChoices[sizeof kTickChoices / sizeof kTickChoices[0] - 1];
}

PlotGeometry PlotLayout(const RECT& area)
{
    PlotGeometry g;
    const int height = std::max(0, static_cast<int>(area.bottom - area.top) - kAxisHeight);
    const int legend = std::min(kLegendWidth, std::max(0, static_cast<int>(area.right - area.left) * 2 / 5));
    for (int p = 0; p < kPaneCount; ++p) {
        RECT& pane = g.pane[p];
        pane = {area.left + kGap, area.top + height * p / kPaneCount + kGap, area.right - kGap,
                area.top + height * (p + 1) / kPaneCount};
        g.plot[p] = {pane.left + kScaleWidth, pane.top + kLineHeight / 2, pane.right - legend, pane.bottom};
    }
    g.axis = {g.plot[kPaneCount - 1].left, area.bottom - kAxisHeight, g.plot[kPaneCount - 1].right, area.bottom};
    return g;
}

void DrawHistoryPlot(const WINMEMDC& surface, const RECT& area, const PlotData& data)
{
    if (!surface.bits)
        return;
    const Palette p = ThemePalette();
    HDC dc = surface.dc.Get();
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetDCBrushColor(dc, p.back);
    PatBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, PATCOPY);
    const PlotGeometry g = PlotLayout(area);
    const Span span = SpanOf(data);
    try {  // no exception leaves the window's procedure: without memory the plot stops where it got
        for (int pane = 0; pane < kPaneCount; ++pane)
            DrawPane(surface, g, pane, data, span, p);
    } catch (const std::bad_alloc&) {
    }
    RestoreDC(dc, saved);
}

bool PlotReadout(const RECT& area, const PlotData& data, POINT at, char* text, size_t size)
{
    const PlotGeometry g = PlotLayout(area);
    int pane = -1;
    for (int p = 0; p < kPaneCount; ++p)
        if (PtInRect(&g.plot[p], at))
            pane = p;
    const Span span = SpanOf(data);
    if (pane < 0 || span.begin == span.end || data.to <= data.from)
        return false;
    const RECT& r = g.plot[pane];
    const double f = static_cast<double>(at.x - r.left) / std::max(1, static_cast<int>(r.right - r.left - 1));
    const HistoryTime t = data.from + static_cast<HistoryTime>(f * static_cast<double>(data.to - data.from));
    size_t i = std::lower_bound(data.times.begin() + span.begin, data.times.begin() + span.end, t) - data.times.begin();
    if (i == span.end || (i > span.begin && t - data.times[i - 1] < data.times[i] - t))
        i = i == span.begin ? i : i - 1;
    FILETIME ft = {static_cast<DWORD>(data.times[i]), static_cast<DWORD>(data.times[i] >> 32)};
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
    try {  // no exception leaves the window's procedure: without memory, no readout
        std::string line = clock;
        for (const PlotSeries& s : data.series) {
            if (s.pane != pane)
                continue;
            const float v = s.values[i];
            line += "  " + s.name + " " + (!std::isfinite(v) ? std::string("---") : Number(v, s.decimals)) +
                    (s.duty ? "%" : "");
        }
        lstrcpynA(text, line.c_str(), static_cast<int>(size));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
