#pragma once
// The history graphs a layout may carry: each graph keeps its columns (the
// lowest and highest value of the samples each pixel column covers), so a
// new reading adds to the newest column rather than going over the history
// again; drawing puts the columns over what the back buffer holds in the
// graph's rectangle, as a line.

#include <windows.h>

#include <vector>

#include "app/history.h"
#include "display/geometry.h"
#include "foundation/gdiwrap.h"

struct GraphColumn {
    float low, high;
    bool any;  // some sample of the column has a value
};

// How many samples a pixel column takes: one, until the ring holds more
// samples than the graph has columns.
int SamplesPerColumn(int samples, int width);

// One source's columns, one per pixel column of its graph, kept in step
// with the history. A column stands for samples number c * per to
// (c + 1) * per - 1 counted since the history began, per growing with the
// samples held so that the whole ring fits the width.
class GraphColumns {
public:
    void Reset(int width);
    // Takes the samples the history gained since the last call; starts
    // over when the history was cleared or lost samples not yet taken.
    void Follow(const History& history, int source);
    // The columns in use, oldest first (at most the width).
    int Shown() const { return shown; }
    const GraphColumn& Column(int i) const;

private:
    void Take(unsigned long long serial, bool has, double value);
    void ClearAll();

    std::vector<GraphColumn> ring;
    int per = 1;
    unsigned long long seen = 0;  // serial of the next sample to take
    int shown = 0;      // columns of samples held, at most the width
    size_t newest = 0;  // the newest column's place in the ring
    unsigned int generation = 0;  // of the history taken from
};

// The value range a graph spans: its columns' values, and the row's alarm
// bounds where they are set, so that a bound is always in sight.
struct GraphScale {
    double low, high;

    void Take(double v);
    // The pixel row of a value in the graph's rectangle.
    int Y(const RECT& r, double v) const;
};

// The lines of the graphs to draw: segments of two points each, in runs of
// one colour, drawn together; the room is reserved once.
class GraphSegments {
public:
    // False when there is no room for count segments of that many sources.
    bool Reserve(size_t count, size_t sources);
    void Add(COLORREF colour, POINT top, POINT end);
    // Draws them with the DC's pen and forgets them.
    void Draw(HDC dc);
    // The same pixels put straight into a surface's bits (32-bit, top row
    // first, width x height); forgets them.
    void Put(DWORD* bits, int width, int height);

private:
    struct Run {
        COLORREF colour;
        size_t first;  // point
    };
    std::vector<POINT> points;
    std::vector<DWORD> pairs;  // 2 each
    std::vector<Run> runs;
};

// The graphs of one window: their columns follow the history, and every
// graph is drawn from them, its oldest column at the left edge. A graph is
// drawn again only where a reading changed how it looks: not at all when
// nothing did, only its newest pixel column when a reading added a column
// or widened the newest one and left the scale and the older columns as
// they were, else from the layer up.
class PanelGraphs {
public:
    // Sizes the columns for the template's graph rectangles and the
    // window's ring, when it has not yet or the ring changed.
    void Prepare(const PanelRects& at);
    bool Any() const { return any; }
    // Some graph lies where a label or value may put ink, or over another
    // graph: such a window redraws everything each time rather than graphs
    // over the layer.
    bool Overlap() const { return overlap; }
    // Draws every graph whose row is shown into dc, over what it holds (a
    // panel drawn anew). buffer: dc is the back buffer, which later
    // updates build on; any other dc is drawn for itself.
    void DrawAll(const PanelRects& at, HDC dc, bool buffer);
    // Catches the columns up with the history and brings the back buffer's
    // graphs up to date over the layer's pixels; spoiled is the area the
    // layer's own redraw just put back (a graph it meets is drawn anew).
    // A surface whose bits are known (width x height) is drawn on directly.
    void Update(const PanelRects& at, const WINMEMDC& buffer, HDC layer, const RECT& spoiled);
    // The areas the last Update changed.
    int ChangedCount() const { return changedCount; }
    const RECT& Changed(int i) const { return changed[i]; }

private:
    // What decides a graph's pixels: head all but its newest pixel column,
    // tail that column.
    struct Look {
        unsigned long long head = 0, tail = 0;  // 0: never drawn
        unsigned long long headState = 0;       // the head's digest before it closed, to go on from
        int shown = 0;                          // pixel columns, from the left edge
    };
    Look LookOf(int g, GraphScale* scale);
    bool Grew(int g, const Look& now) const;
    void AddGraph(const PanelRects& at, int g, const GraphScale& scale, bool newestOnly);

    bool any = false;
    bool overlap = false;
    bool prepared = false;
    int capacity = 0;
    int cores = 0;  // the ring's, when the columns were laid out
    Look drawn[kGraphCount];  // on the back buffer
    int changedCount = 0;
    RECT changed[kGraphCount] = {};
    std::vector<GraphColumns> columns[kGraphCount];  // a single source; every core for the core graph
    GraphSegments segments;
};
