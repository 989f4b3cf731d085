// The readings ring and the graphs' column decimation, as plain functions of
// the samples put in; lines put straight into pixels against GDI's.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/history.h"
#include "app/appstate.h"
#include "app/rows.h"
#include "display/graphs.h"
#include "display/pixels.h"
#include "sensors/csensor.h"

namespace {

// A block whose first temperature reads `degrees` (kNoTemp: no value).
SensorBlock Block(uint16_t degrees)
{
    SensorBlock b = {};
    b.temp[0] = degrees;
    return b;
}

const int kTemp = kTempSlot;

// Fills a ring from a script: a number is a reading of that many degrees,
// '-' a reading with no value, 'g' a gap; sample i is taken at second i.
void Fill(History& h, const std::string& script)
{
    CoreTable cores = {};
    HistoryTime t = 0;
    size_t i = 0;
    while (i < script.size()) {
        if (script[i] == ' ') {
            ++i;
            continue;
        }
        t += kTicksPerSecond;
        if (script[i] == 'g') {
            h.AddGap(t);
            ++i;
        } else if (script[i] == '-') {
            h.Add(Block(kNoTemp), cores, t);
            ++i;
        } else {
            size_t used = 0;
            h.Add(Block(static_cast<uint16_t>(std::stoi(script.substr(i), &used))), cores, t);
            i += used;
        }
    }
}

// The ring's values, oldest first: "g" for a gap or no value.
std::string Values(const History& h)
{
    std::string out;
    for (int i = 0; i < h.Count(); ++i) {
        double v = 0;
        out += (out.empty() ? "" : " ") + (h.Value(i, kTemp, &v) ? std::to_string(static_cast<int>(v)) : "g");
    }
    return out;
}

TEST(History, KeepsTheLastSamplesAndGaps)
{
    const struct {
        int capacity;
        const char* script;
        const char* held;
    } kCases[] = {
        {3, "", ""},
        {3, "40 41", "40 41"},
        {3, "40 41 42 43 44", "42 43 44"},  // wrapped: the oldest went
        {4, "40 g 42 -", "40 g 42 g"},      // a gap and a reading without a value are both holes
        {2, "g g g 50", "g 50"},
    };
    for (const auto& c : kCases) {
        History h;
        ASSERT_TRUE(h.Allocate(c.capacity, 60, 0));  // one a minute: minutes = samples
        Fill(h, c.script);
        EXPECT_EQ(c.held, Values(h)) << c.script;
    }
}

TEST(History, AnInfiniteValueIsNone)
{
    Dividers huge = kDefaultDividers;
    double v = 0;
    for (double scale : {HUGE_VAL, 1e300}) {  // dividers of 1e999 and 1e300 in the settings file
        huge.inScale[0] = scale;
        CSENSOR::chip.SetDividers(&huge);
        EXPECT_FALSE(SlotValue(kVoltSlot, 100, &v)) << scale;
    }
    CSENSOR::chip.SetDividers(&kDefaultDividers);
    EXPECT_TRUE(SlotValue(kVoltSlot, 100, &v));
}

TEST(History, SizesSpansAndClears)
{
    History h;
    ASSERT_TRUE(h.Allocate(60, 5, 4));
    EXPECT_EQ(720, h.Capacity());
    EXPECT_EQ(720u * (56 + 4 * 2), h.Bytes());
    ASSERT_TRUE(h.Allocate(5000, 0, 99));  // minutes and cores held to their ranges
    EXPECT_EQ(kMaxHistoryMinutes * 60, h.Capacity());
    EXPECT_EQ(kCoreSlots, h.Cores());
    ASSERT_TRUE(h.Allocate(10, 60, 0));
    Fill(h, "1 2 3 4 5 6 7 8 9 10 11 12");  // seconds 1..12, the first two gone
    EXPECT_EQ(0, h.FirstAtOrAfter(0));
    EXPECT_EQ(2, h.FirstAtOrAfter(5 * kTicksPerSecond));
    EXPECT_EQ(10, h.FirstAtOrAfter(13 * kTicksPerSecond));
    EXPECT_EQ(12u, h.Added());
    h.Clear();
    EXPECT_EQ(0, h.Count());
    EXPECT_EQ(0u, h.Added());
}

TEST(History, CoresKeepTheirDegrees)
{
    History h;
    ASSERT_TRUE(h.Allocate(5, 60, 2));
    CoreTable cores = {};
    cores.count = 2;
    cores.core[0] = {1, 100, 55, 60};
    cores.core[1] = {0, 100, 70, 70};  // not valid: no value
    h.Add(Block(40), cores, 1);
    double v = 0;
    EXPECT_TRUE(h.Value(0, kCoreSource, &v));
    EXPECT_EQ(55, v);
    EXPECT_FALSE(h.Value(0, kCoreSource + 1, &v));
}

// The columns of a graph `width` pixels wide over a ring of `capacity`.
std::string Columns(int capacity, int width, const std::string& script)
{
    History h;
    h.Allocate(capacity, 60, 0);
    GraphColumns columns;
    columns.Reset(width);
    Fill(h, script);
    columns.Follow(h, kTemp);
    std::string out;
    for (int i = 0; i < columns.Shown(); ++i) {
        const GraphColumn& c = columns.Column(i);
        out += (out.empty() ? "" : " ") +
               (c.any ? std::to_string(static_cast<int>(c.low)) + "-" + std::to_string(static_cast<int>(c.high))
                      : std::string("g"));
    }
    return out;
}

TEST(GraphColumns, TakeEachPixelColumnsLowestAndHighest)
{
    const struct {
        int capacity, width;
        const char* script;
        const char* columns;
    } kCases[] = {
        {4, 10, "40 42 41", "40-40 42-42 41-41"},             // fewer samples than columns: one each
        {8, 4, "40 42 41 45 g g 30", "40-42 41-45 g 30-30"},  // two a column; a column of gaps is a gap
        {6, 2, "1 2 3 4 5 6 7 8 9", "4-6 7-9"},                // the ring wrapped: the newest columns
        {3, 10, "1 2 3 4 5", "3-3 4-4 5-5"},                  // a ring narrower: only the samples held
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.columns, Columns(c.capacity, c.width, c.script)) << c.script;
}

TEST(GraphColumns, FollowAddsAColumnWidensThemAsTheRingFillsAndStartsOverAfterAClear)
{
    History h;
    h.Allocate(8, 60, 0);
    GraphColumns columns;
    columns.Reset(4);
    Fill(h, "40 42 41");
    columns.Follow(h, kTemp);
    Fill(h, "47");
    columns.Follow(h, kTemp);
    ASSERT_EQ(4, columns.Shown());  // one sample a column while they fit
    EXPECT_EQ(47, columns.Column(3).high);
    Fill(h, "50");
    columns.Follow(h, kTemp);
    ASSERT_EQ(3, columns.Shown());  // five samples: two a column
    EXPECT_EQ(41, columns.Column(1).low);
    EXPECT_EQ(47, columns.Column(1).high);
    h.Clear();
    Fill(h, "30");
    columns.Follow(h, kTemp);
    ASSERT_EQ(1, columns.Shown());
    EXPECT_EQ(30, columns.Column(0).low);
}

// A surface whose every pixel column has a colour of its own, as a skin's
// layer under a graph; with bits of its own or as the screen's bitmaps.
struct Surface : WINMEMDC {
    Surface(int w, int h, bool pixels = true)
    {
        if (pixels ? !CreatePixelSurface(nullptr, w, h) : !CreateSurface(nullptr, w, h))
            return;
        SelectObject(dc.Get(), GetStockObject(DC_BRUSH));
        for (int x = 0; x < w; ++x) {
            SetDCBrushColor(dc.Get(), RGB(0, 0, 40 + 10 * x));
            PatBlt(dc.Get(), x, 0, 1, h, PATCOPY);
        }
    }
    std::string Pixels() const
    {
        std::string out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out += std::to_string(GetPixel(dc.Get(), x, y)) + ' ';
        return out;
    }
};

// Lines put into the pixels are the lines of GDI's one-pixel pen: every
// direction, every way of breaking a tie, cut by the clip at either end.
TEST(PixelTarget, LinesAreThoseOfGdisPen)
{
    const POINT kMiddle = {8, 8};
    const POINT kEnds[] = {{8, 8},   {15, 8},  {1, 8},   {8, 15},   {8, 1},   {14, 11}, {14, 5}, {2, 11},
                           {2, 5},   {11, 14}, {5, 14},  {11, 2},   {5, 2},   {12, 10}, {12, 6}, {4, 10},
                           {4, 6},   {10, 12}, {6, 12},  {10, 4},   {6, 4},   {13, 13}, {3, 13}, {3, 3},
                           {13, 3},  {-5, 21}, {30, -3}, {8, 40},   {-20, 8}, {40, 12}};
    const RECT clip = {1, 2, 15, 14};
    for (const POINT& end : kEnds)
        for (bool outward : {true, false}) {
            const POINT from = outward ? kMiddle : end, to = outward ? end : kMiddle;
            Surface gdi(16, 16), put(16, 16);
            ASSERT_TRUE(gdi.bits && put.bits);
            SelectObject(gdi.dc.Get(), GetStockObject(DC_PEN));
            SetDCPenColor(gdi.dc.Get(), RGB(255, 0, 0));
            IntersectClipRect(gdi.dc.Get(), clip.left, clip.top, clip.right, clip.bottom);
            MoveToEx(gdi.dc.Get(), from.x, from.y, nullptr);
            LineTo(gdi.dc.Get(), to.x, to.y);
            GdiFlush();
            PixelTarget(put.bits, put.width, put.height, clip).Line(from, to, PixelOf(RGB(255, 0, 0)));
            EXPECT_EQ(gdi.Pixels(), put.Pixels()) << from.x << ", " << from.y << " to " << to.x << ", " << to.y;
        }
}

// A reading repaints a graph only where it looks different: nothing when
// it looks the same, the newest pixel column when it added a column or
// changed only the newest, else the whole graph; and what the back buffer
// then holds is what drawing it anew gives.
TEST(PanelGraphs, AReadingRepaintsOnlyWhatLooksDifferent)
{
    AppState& app = App();
    const int shown = *RowShown(app, 0);
    *RowShown(app, 0) = 1;
    PanelRects at = {};
    at.hasGraph[0] = true;  // the first temperature's
    const RECT graph = {2, 0, 6, 20};
    at.graph[0] = graph;
    const RECT second = {3, 0, 4, 20}, last = {5, 0, 6, 20};
    const struct {
        const char* reading;
        const RECT* repainted;
        bool spoiled;  // the layer's redraw went over the graph
    } kSteps[] = {
        {"40", &graph, false},        // the first
        {"40", &second, false},       // a column more, on the same scale
        {"42", &graph, false},        // a column more, on a new scale
        {"40 40 40", &graph, false},  // six held: two a column, the columns taken again
        {"40", &last, false},         // a column more
        {"41", &last, false},         // within the range, the newest column alone widens
        {"42", &graph, false},        // the ring is full: the columns move on
        {"g", nullptr, false},        // a gap in a column that has a value
        {"45", &graph, false},        // beyond the range: a new scale
        {"", &graph, true},
    };
    // Drawn on the bits of a back buffer that has them, else with GDI.
    for (bool pixels : {true, false}) {
        ASSERT_TRUE(app.history.Allocate(8, 60, 0));  // 8 samples over 4 columns: two a column once full
        Surface layer(8, 20), buffer(8, 20, pixels);
        ASSERT_EQ(pixels, buffer.bits != nullptr);
        PanelGraphs graphs;
        for (const auto& step : kSteps) {
            Fill(app.history, step.reading);
            graphs.Update(at, buffer, layer.dc.Get(), step.spoiled ? RECT{0, 5, 3, 6} : RECT{0, 0, 0, 0});
            EXPECT_EQ(step.repainted ? 1 : 0, graphs.ChangedCount()) << step.reading;
            EXPECT_TRUE(!step.repainted ||
                        (graphs.ChangedCount() == 1 && EqualRect(step.repainted, &graphs.Changed(0))))
                << step.reading;
            Surface anew(8, 20);
            PanelGraphs().DrawAll(at, anew.dc.Get(), true);
            EXPECT_EQ(anew.Pixels(), buffer.Pixels()) << step.reading << (pixels ? " on the bits" : " with GDI");
        }
        // Drawn into another dc, the back buffer's graph is drawn anew next time.
        Surface other(8, 20);
        graphs.DrawAll(at, other.dc.Get(), false);
        graphs.Update(at, buffer, layer.dc.Get(), RECT{0, 0, 0, 0});
        EXPECT_EQ(1, graphs.ChangedCount());
        app.history.Release();
    }
    *RowShown(app, 0) = shown;
}

}  // namespace

// The graphs in a real window from the graph layout file.

#include "app/alarms.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "resources/resource.h"
#include "support/display_fixture.h"
#include "support/appfixture.h"

namespace {

class GraphWindowTest : public DisplayTest {
protected:
    // Pixels of the colour in a control's rectangle of the back buffer.
    int Count(int id, COLORREF colour)
    {
        RECT r = {};
        return GetControlRect(window, id, &r) ? Count(r, colour) : -1;
    }
    int Count(const RECT& r, COLORREF colour)
    {
        HDC dc = App().skinState.backBuffer.dc.Get();
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += GetPixel(dc, x, y) == colour;
        return n;
    }
};

TEST_F(GraphWindowTest, AGraphControlGetsTheRowsLineAndNoControlNone)
{
    const COLORREF value = App().colors.slot[kColorValue].colour;
    App().historyMinutes = 1;
    App().timer = 1;  // a ring of 60 samples, narrower than the graphs: a pixel column each
    window = CreateMainWindowFromLayout("VKL_GRAPH.VKL", IDC_FAN_GRAPH);
    ASSERT_NE(nullptr, window);
    const int first = Count(IDC_TEMP_GRAPH, value);  // the window's own first reading
    for (int i = 0; i < 3; ++i)
        ReadNow();
    EXPECT_EQ(first + 3, Count(IDC_TEMP_GRAPH, value));  // a flat line, one pixel a reading
    EXPECT_EQ(0, Count(IDC_FAN_GRAPH + 1, value));  // its fan does not turn: no value, no line
    EXPECT_TRUE(LayeredRedrawIsTheFullOne(window));
    RECT value0 = {}, duty0 = {};
    ASSERT_TRUE(GetControlRect(window, IDC_FAN_BASE + 1, &value0));
    ASSERT_TRUE(GetControlRect(window, IDC_DUTY_GRAPH, &duty0));
    EXPECT_EQ(0, Count(RECT{value0.right + 2, duty0.top, duty0.left, duty0.bottom}, value));  // the fan's graph is gone
    EXPECT_LT(0, Count(IDC_DUTY_GRAPH, value));
    App().alarm.fanMin[0] = {1, 100000};  // rpm, no bound of the duty's: its line stays off the bottom row
    ReadNow();
    EXPECT_LT(0, Count(RECT{duty0.left, duty0.top, duty0.right, duty0.bottom - 2}, value));
    App().alarm.enable = 1;
    App().alarm.tempMax[0] = {1, 30};
    App().alarm.count = 1;
    ReadNow();
    EXPECT_EQ(first + 5, Count(IDC_TEMP_GRAPH, App().alarm.colour));  // the whole line, while the row alarms
    EXPECT_TRUE(LayeredRedrawIsTheFullOne(window));
}

}  // namespace
