#include "display/graphs.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

#include "app/alarms.h"
#include "app/appstate.h"
#include "display/pixels.h"
#include "foundation/gdiwrap.h"
#include "foundation/owner.h"

int SamplesPerColumn(int samples, int width)
{
    if (width <= 0 || samples <= width)
        return 1;
    return (samples + width - 1) / width;
}

void GraphColumns::Reset(int width)
{
    ring.assign(std::max(width, 0), GraphColumn{0, 0, false});
    per = 1;
    seen = 0;
    shown = 0;
    newest = 0;
}

void GraphColumns::ClearAll()
{
    std::fill(ring.begin(), ring.end(), GraphColumn{0, 0, false});
}

void GraphColumns::Take(unsigned long long serial, bool has, double value)
{
    GraphColumn& c = ring[(serial / per) % ring.size()];
    if (serial % per == 0)
        c = GraphColumn{0, 0, false};
    if (!has)
        return;
    const float v = static_cast<float>(value);
    c.low = c.any ? std::min(c.low, v) : v;
    c.high = c.any ? std::max(c.high, v) : v;
    c.any = true;
}

void GraphColumns::Follow(const History& history, int source)
{
    if (ring.empty())
        return;
    const unsigned long long added = history.Added();
    const unsigned long long firstHeld = added - history.Count();
    // Until the ring is full the samples per column grow with the samples
    // held, and the columns are taken again from the ring each time.
    const int wanted = SamplesPerColumn(history.Count(), static_cast<int>(ring.size()));
    if (history.Generation() != generation || added < seen || seen < firstHeld || wanted != per) {
        ClearAll();
        seen = firstHeld;
        per = wanted;
        generation = history.Generation();
    }
    for (; seen < added; ++seen) {
        double value = 0;
        const bool has = history.Value(static_cast<int>(seen - firstHeld), source, &value);
        Take(seen, has, value);
    }
    // Only the columns of samples the ring holds: it may be narrower than
    // the graph. Worked out once here, as drawing asks for every column.
    shown = 0;
    if (seen > firstHeld) {
        const unsigned long long last = (seen - 1) / per;
        shown = static_cast<int>(std::min<unsigned long long>(last - firstHeld / per + 1, ring.size()));
        newest = static_cast<size_t>(last % ring.size());
    }
}

const GraphColumn& GraphColumns::Column(int i) const
{
    return ring[(newest + ring.size() - static_cast<size_t>(shown - 1 - i)) % ring.size()];
}

void GraphScale::Take(double v)
{
    low = std::min(low, v);
    high = std::max(high, v);
}

int GraphScale::Y(const RECT& r, double v) const
{
    const int h = r.bottom - r.top;
    if (high <= low)
        return r.top + h / 2;
    const double f = (v - low) / (high - low);  // 0 to 1: the scale spans every value drawn
    return r.bottom - 1 - static_cast<int>(f * (h - 1) + 0.5);
}

namespace {

bool IsDutyGraph(const GraphSpec& graph)
{
    return graph.source >= kPwmSlot && graph.source < kPwmSlot + kFanCount;
}

void TakeBounds(GraphScale& scale, int row)
{
    AppState& app = App();
    const AlarmBound* low = row >= 0 ? RowLowBound(app, row) : nullptr;
    const AlarmBound* high = row >= 0 ? RowHighBound(app, row) : &app.alarm.coreMax;
    if (low && low->set)
        scale.Take(low->value);
    if (high && high->set)
        scale.Take(high->value);
}

// One source's line from column `from` on, the oldest column at the left
// edge: a pixel column from each column's lowest to its highest value,
// stretched to meet the column before it; a column without a value leaves a
// gap. Each pixel column is a segment that ends below its last pixel; the
// lines are drawn together later.
void AddLine(GraphSegments& segments, const RECT& r, const GraphColumns& columns, const GraphScale& scale,
             COLORREF colour, int from)
{
    const int shown = columns.Shown();
    const GraphColumn* before = from > 0 && columns.Column(from - 1).any ? &columns.Column(from - 1) : nullptr;
    for (int i = std::max(from, 0); i < shown; ++i) {
        const GraphColumn& c = columns.Column(i);
        if (!c.any) {
            before = nullptr;
            continue;
        }
        double low = c.low, high = c.high;
        if (before) {
            low = std::min(low, static_cast<double>(before->high));
            high = std::max(high, static_cast<double>(before->low));
        }
        const int x = r.left + i;
        segments.Add(colour, POINT{x, scale.Y(r, high)}, POINT{x, scale.Y(r, low) + 1});
        before = &c;
    }
}

bool GraphShown(const GraphSpec& graph)
{
    AppState& app = App();
    if (graph.source == kCoreSource)
        return app.history.Cores() > 0;
    return *RowShown(app, graph.row) == 1;
}

COLORREF SourceColour(const GraphSpec& graph, int source)
{
    const AppState& app = App();
    const bool alarm = graph.row >= 0 ? RowAlarm(graph.row) : CoreAlarm(source);
    return alarm ? app.alarm.colour : app.colors.slot[kColorValue].colour;
}

// Text is drawn unclipped: a label or value may reach a little past its
// rectangle, by half its height to either side and a few pixels up and down.
const int kTextReachY = 2;

bool NearText(const RECT& graph, const RECT& text)
{
    RECT reach = text, meet;
    InflateRect(&reach, (text.bottom - text.top) / 2, kTextReachY);
    return IntersectRect(&meet, &reach, &graph) != 0;
}

bool GraphNearText(const PanelRects& at, const RECT& graph)
{
    for (int row = 0; row < kRowCount; ++row)
        if ((at.hasLabel[row] && NearText(graph, at.label[row])) ||
            (at.hasValue[row] && NearText(graph, at.value[row])))
            return true;
    for (int g = 0; g < kRowGroupCount; ++g)
        if (at.hasCaption[g] && NearText(graph, at.caption[g]))
            return true;
    return false;
}

// Graphs drawn one over another are drawn anew together every time.
bool GraphOverGraph(const PanelRects& at, int g)
{
    RECT meet;
    for (int other = 0; other < g; ++other)
        if (at.hasGraph[other] && IntersectRect(&meet, &at.graph[other], &at.graph[g]))
            return true;
    return false;
}

// FNV-1a over what decides a graph's pixels.
class Digest {
public:
    Digest() = default;
    // Goes on from where another stopped.
    explicit Digest(unsigned long long state) : hash(state) {}
    template <typename T>
    void Add(const T& value)
    {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&value);
        for (size_t i = 0; i < sizeof value; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    // A column is two words, a step each: there are thousands of them.
    void Add(const GraphColumn& column)
    {
        uint32_t low = kNoValue, high = kNoValue;
        if (column.any) {
            std::memcpy(&low, &column.low, sizeof low);
            std::memcpy(&high, &column.high, sizeof high);
        }
        Step(low);
        Step(high);
    }
    // Never 0, which stands for a graph not drawn yet.
    unsigned long long Value() const { return hash | 1; }
    unsigned long long State() const { return hash; }

private:
    static const uint32_t kNoValue = 0x7FC00001;  // a NaN: a column's values are finite
    void Step(uint32_t word) { hash = (hash ^ word) * 1099511628211ull; }

    unsigned long long hash = 14695981039346656037ull;
};

const unsigned long long kHiddenGraph = 2;  // even: no digest is

// Column i of every source.
void AddColumns(Digest& digest, const std::vector<GraphColumns>& sources, int i)
{
    for (const GraphColumns& c : sources)
        digest.Add(c.Column(i));
}

}  // namespace

bool GraphSegments::Reserve(size_t count, size_t sources)
{
    try {
        points.reserve(2 * count);
        pairs.assign(count, 2);
        runs.reserve(sources);
        return true;
    } catch (const std::bad_alloc&) {
        points = std::vector<POINT>();
        pairs = std::vector<DWORD>();
        runs = std::vector<Run>();
        return false;
    }
}

// Within the room reserved, so that drawing never allocates: a graph that
// found none is not drawn.
void GraphSegments::Add(COLORREF colour, POINT top, POINT end)
{
    const bool newRun = runs.empty() || runs.back().colour != colour;
    if (points.size() / 2 >= pairs.size() || (newRun && runs.size() == runs.capacity()))
        return;
    if (newRun)
        runs.push_back(Run{colour, points.size()});
    points.push_back(top);
    points.push_back(end);
}

// Each run of one colour in one call, in the order they were added: where
// lines cross, the later one shows, as if each had been drawn in turn.
void GraphSegments::Draw(HDC dc)
{
    if (points.empty())
        return;
    const HGDIOBJ pen = SelectObject(dc, GetStockObject(DC_PEN));
    for (size_t r = 0; r < runs.size(); ++r) {
        const size_t end = r + 1 < runs.size() ? runs[r + 1].first : points.size();
        SetDCPenColor(dc, runs[r].colour);
        PolyPolyline(dc, points.data() + runs[r].first, pairs.data(), static_cast<DWORD>((end - runs[r].first) / 2));
    }
    SelectObject(dc, pen);
    points.clear();
    runs.clear();
}

void GraphSegments::Put(DWORD* bits, int width, int height)
{
    GdiFlush();  // what GDI drew there before is in the bits
    const PixelTarget surface(bits, width, height, RECT{0, 0, width, height});
    for (size_t r = 0; r < runs.size(); ++r) {
        const size_t end = r + 1 < runs.size() ? runs[r + 1].first : points.size();
        const DWORD pixel = PixelOf(runs[r].colour);
        for (size_t p = runs[r].first; p + 1 < end; p += 2)
            surface.Line(points[p], points[p + 1], pixel);
    }
    points.clear();
    runs.clear();
}

namespace {

RECT NewestColumn(const RECT& graph, int shown)
{
    return RECT{graph.left + shown - 1, graph.top, graph.left + shown, graph.bottom};
}

// The layer's pixels back in the areas, in one copy through a clip region.
void PutLayerBack(HDC dc, HDC layer, const RECT* areas, int count)
{
    RegionOwner clip(RegionOfRects(areas, count));
    RECT all = {0, 0, 0, 0};
    for (int i = 0; i < count; ++i)
        UnionRect(&all, &all, &areas[i]);
    if (!clip.Valid()) {
        for (int i = 0; i < count; ++i)
            BitBlt(dc, areas[i].left, areas[i].top, areas[i].right - areas[i].left, areas[i].bottom - areas[i].top,
                   layer, areas[i].left, areas[i].top, SRCCOPY);
        return;
    }
    SelectClipRgn(dc, clip.Get());
    BitBlt(dc, all.left, all.top, all.right - all.left, all.bottom - all.top, layer, all.left, all.top, SRCCOPY);
    SelectClipRgn(dc, nullptr);
}

}  // namespace

void PanelGraphs::Prepare(const PanelRects& at)
{
    const History& history = App().history;
    if (prepared && capacity == history.Capacity() && cores == history.Cores())
        return;
    prepared = true;
    any = overlap = false;
    capacity = history.Capacity();
    cores = history.Cores();
    std::fill(std::begin(drawn), std::end(drawn), Look());
    size_t room = 0, sourceCount = 0;
    for (int g = 0; g < kGraphCount; ++g) {
        columns[g].clear();
        if (!at.hasGraph[g])
            continue;
        any = true;
        overlap = overlap || GraphNearText(at, at.graph[g]) || GraphOverGraph(at, g);
        const int width = at.graph[g].right - at.graph[g].left;
        const int sources = kGraphs[g].source == kCoreSource ? history.Cores() : 1;
        columns[g].resize(sources);
        for (GraphColumns& c : columns[g])
            c.Reset(width);
        room += static_cast<size_t>(sources) * std::max(width, 0);
        sourceCount += sources;
    }
    // Without room to draw in, the graphs are laid out again next time.
    prepared = segments.Reserve(room, sourceCount);
}

// Catches the graph's columns up with the history. The head covers the
// scale, each source's colour and every column but the newest, oldest
// first; the tail the newest: a reading that changed only the newest
// columns leaves the head as it was, and one that added a column goes on
// from it. A graph whose row is hidden has a look of its own and an empty
// scale.
PanelGraphs::Look PanelGraphs::LookOf(int g, GraphScale* scale)
{
    const GraphSpec& graph = kGraphs[g];
    const History& history = App().history;
    *scale = GraphScale{DBL_MAX, -DBL_MAX};
    if (!GraphShown(graph))
        return Look{kHiddenGraph, 0, 0, 0};
    for (size_t s = 0; s < columns[g].size(); ++s) {
        GraphColumns& c = columns[g][s];
        c.Follow(history, graph.source + static_cast<int>(s));
        for (int i = 0; i < c.Shown(); ++i)
            if (c.Column(i).any) {
                scale->Take(c.Column(i).low);
                scale->Take(c.Column(i).high);
            }
    }
    Digest head, tail;
    if (scale->low > scale->high)
        return Look{head.Value(), tail.Value(), head.State(), 0};  // nothing to draw yet
    if (!IsDutyGraph(graph))
        TakeBounds(*scale, graph.row);  // a fan's bounds are in rpm, its duty in per cent
    head.Add(scale->low);
    head.Add(scale->high);
    for (size_t s = 0; s < columns[g].size(); ++s)
        head.Add(SourceColour(graph, static_cast<int>(s)));
    // Every source follows the same history into as many columns.
    const int shown = columns[g].empty() ? 0 : columns[g][0].Shown();
    for (int i = 0; i + 1 < shown; ++i)
        AddColumns(head, columns[g], i);
    if (shown > 0)
        AddColumns(tail, columns[g], shown - 1);
    return Look{head.Value(), tail.Value(), head.State(), shown};
}

// Every source's line, or only the newest pixel column of each, to the
// lines to draw. A graph is drawn only within its rectangle: the scale
// spans every value it shows.
void PanelGraphs::AddGraph(const PanelRects& at, int g, const GraphScale& scale, bool newestOnly)
{
    const RECT& r = at.graph[g];
    if (scale.low > scale.high || IsRectEmpty(&r))
        return;
    for (size_t s = 0; s < columns[g].size(); ++s) {
        const GraphColumns& c = columns[g][s];
        AddLine(segments, r, c, scale, SourceColour(kGraphs[g], static_cast<int>(s)), newestOnly ? c.Shown() - 1 : 0);
    }
}

void PanelGraphs::DrawAll(const PanelRects& at, HDC dc, bool buffer)
{
    Prepare(at);
    changedCount = 0;
    for (int g = 0; any && g < kGraphCount; ++g) {
        if (!at.hasGraph[g])
            continue;
        GraphScale scale;
        const Look look = LookOf(g, &scale);
        AddGraph(at, g, scale, false);
        // Drawn elsewhere, the back buffer's graph is no longer known.
        drawn[g] = buffer ? look : Look();
    }
    segments.Draw(dc);
}

// The graph as drawn before with a column more on its right: its head goes
// on over the columns that were the newest, and they look as they did.
bool PanelGraphs::Grew(int g, const Look& now) const
{
    const Look& before = drawn[g];
    if (before.shown == 0 || before.head == kHiddenGraph || now.shown != before.shown + 1)
        return false;
    Digest head(before.headState), was;
    AddColumns(head, columns[g], before.shown - 1);
    AddColumns(was, columns[g], before.shown - 1);
    return head.Value() == now.head && was.Value() == before.tail;
}

void PanelGraphs::Update(const PanelRects& at, const WINMEMDC& buffer, HDC layer, const RECT& spoiled)
{
    Prepare(at);
    changedCount = 0;
    for (int g = 0; any && g < kGraphCount; ++g) {
        if (!at.hasGraph[g])
            continue;
        GraphScale scale;
        const Look look = LookOf(g, &scale);
        const bool moved = look.head != drawn[g].head;
        const bool grew = moved && Grew(g, look);
        RECT meet;
        const bool whole = (moved && !grew) || IntersectRect(&meet, &spoiled, &at.graph[g]);
        if (!whole && !grew && look.tail == drawn[g].tail)
            continue;
        changed[changedCount++] = whole ? at.graph[g] : NewestColumn(at.graph[g], look.shown);
        AddGraph(at, g, scale, !whole);
        drawn[g] = look;
    }
    PutLayerBack(buffer.dc.Get(), layer, changed, changedCount);
    if (buffer.bits)
        segments.Put(buffer.bits, buffer.width, buffer.height);
    else
        segments.Draw(buffer.dc.Get());
}
