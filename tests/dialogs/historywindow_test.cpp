// The history window on the real main window: opened once, clearing the
// ring, and showing a readings log the program wrote itself.

#include <windows.h>

#include <cmath>
#include <limits>
#include <string>

#include "app/historydata.h"
#include "dialogs/historywindow.h"
#include "display/commands.h"
#include "display/historyplot.h"
#include "display/pixels.h"
#include "foundation/gdiwrap.h"
#include "resources/resource.h"
#include "support/display_fixture.h"
#include "support/pump.h"

namespace {

const float kNone = std::numeric_limits<float>::quiet_NaN();

TEST(HistoryDataTest, SpanStatsSkipReadingsWithoutValue)
{
    const struct {
        float values[4];
        size_t count;
        bool any;
        double low, mean, high;
    } kCases[] = {
        {{40, 50, 45, 45}, 4, true, 40, 45, 50},
        {{kNone, 3.3f, kNone, 3.1f}, 4, true, 3.1, 3.2, 3.3},
        {{kNone, kNone, 1, 1}, 2, false, 0, 0, 0},
        {{7, 0, 0, 0}, 0, false, 0, 0, 0},
        {{-5, 5, 0, 0}, 2, true, -5, 0, 5},
    };
    for (const auto& c : kCases) {
        const SpanStats s = SummariseSpan(c.values, c.count);
        SCOPED_TRACE(c.count);
        EXPECT_EQ(c.any, s.any);
        EXPECT_NEAR(c.low, s.low, 1e-5);
        EXPECT_NEAR(c.mean, s.mean, 1e-5);
        EXPECT_NEAR(c.high, s.high, 1e-5);
    }
}

// More columns than any log has, a header of sixty million, a reading past
// a float's range, a file past four gigabytes (sparse).
TEST(HistoryDataTest, HostileLogsAreRefusedOrHoldNoInfinity)
{
    std::string wide = "Time", line = "\n2024-05-01 10:00:00";
    for (int i = 0; i < 60; ++i)
        wide += ",CORE 00", line += ",1";
    PlotData data;
    EXPECT_EQ(LogRead::kNotALog, ParseReadingsLog(wide + line, &data));
    EXPECT_EQ(LogRead::kNotALog, ParseReadingsLog("Time" + std::string(60u << 20, ','), &data));
    ASSERT_EQ(LogRead::kShown, ParseReadingsLog("Time,CORE 00,CORE 01" + line.substr(0, 20) + ",1e39,-1e300", &data));
    EXPECT_TRUE(std::isnan(data.series[0].values[0]) && std::isnan(data.series[1].values[0]));
    TempDir dir;
    const std::string big = dir.File("BIG.CSV");
    WriteWholeFile(big, "Time,CORE 00" + line.substr(0, 20) + ",45\n");
    HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 36;
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(LogRead::kNotALog, ReadReadingsLog(big.c_str(), &data));
}

// A row of one value too large for the scale's room to widen still gets
// its line, through the middle of its pane.
TEST(HistoryDataTest, ARowOfOneHugeValueIsDrawnInItsPane)
{
    PlotData data;
    ASSERT_EQ(LogRead::kShown,
              ParseReadingsLog("Time,X (Q)\n2024-05-01 10:00:00,1e20\n2024-05-01 10:00:01,1e20", &data));
    const RECT area = {0, 0, 400, 300};
    WINMEMDC surface;
    ASSERT_TRUE(surface.CreatePixelSurface(nullptr, area.right, area.bottom));
    COLORREF& back = App().colors.slot[kColorBack].colour;
    COLORREF& value = App().colors.slot[kColorValue].colour;
    const COLORREF kept[] = {back, value};
    back = RGB(0, 0, 0);
    value = RGB(255, 0, 0);
    DrawHistoryPlot(surface, area, data);
    GdiFlush();
    back = kept[0];
    value = kept[1];
    const RECT plot = PlotLayout(area).plot[data.series[0].pane];
    int drawn = 0;
    for (int y = plot.top; y < plot.bottom; ++y)
        for (int x = plot.left; x < plot.right; ++x)
            drawn += (surface.bits[y * area.right + x] & 0xFFFFFF) == PixelOf(RGB(255, 0, 0));
    EXPECT_GT(drawn, 0);
}

class HistoryWindowTest : public DisplayTest {
protected:
    HWND OpenHistory()
    {
        SendMessageA(window, WM_COMMAND, ID_HISTORY, 0);
        return HistoryWindow();
    }
    std::string Caption(HWND w) const
    {
        char text[512] = "";
        GetWindowTextA(w, text, sizeof text);
        return text;
    }
};

TEST_F(HistoryWindowTest, OpensOnceClearsTheRingAndClosesWithTheMainWindow)
{
    ASSERT_TRUE(Open());
    ReadNow();
    ReadNow();
    HWND history = OpenHistory();
    ASSERT_NE(nullptr, history);
    EXPECT_EQ(window, GetWindow(history, GW_OWNER));
    EXPECT_EQ("履歴グラフ", Caption(history));
    EXPECT_EQ(history, OpenHistory());  // the open one comes forward
    PumpMessages(50);
    ASSERT_GT(App().history.Count(), 0);
    const unsigned int generation = App().history.Generation();
    SendMessageA(history, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_CLEAR, BN_CLICKED), 0);
    EXPECT_EQ(0, App().history.Count());
    EXPECT_NE(generation, App().history.Generation());
    DestroyWindow(window);
    window = nullptr;
    EXPECT_FALSE(IsWindow(history));
    EXPECT_EQ(nullptr, HistoryWindow());
}

TEST_F(HistoryWindowTest, ReadsBackALogTheProgramWroteAndRefusesOtherFiles)
{
    AppState& a = App();
    a.log.enable = 1;
    a.coreTemp.enable = 0;
    lstrcpynA(a.log.fileName, dir.File("LOG_%Y%m%d.CSV").c_str(), kPathSize);
    ASSERT_TRUE(Open());
    for (int i = 0; i < 3; ++i)
        ReadNow();
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(dir.File("LOG_*.CSV").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    const std::string log = dir.File(found.cFileName);
    // A line cut short by a crash is left out.
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "2020-01-01 00:00", 16, &written, nullptr);
    CloseHandle(file);

    PlotData data;
    ASSERT_EQ(LogRead::kShown, ReadReadingsLog(log.c_str(), &data));
    const size_t samples = data.times.size();
    EXPECT_TRUE(samples == 3 || samples == 4) << samples;  // the window's first reading may be logged too
    ASSERT_FALSE(data.series.empty());
    EXPECT_EQ("CPU", data.series[0].name);
    EXPECT_EQ(kPaneTemps, data.series[0].pane);
    EXPECT_FLOAT_EQ(45.0f, data.series[0].values[samples - 1]);
    bool sawVolts = false;
    for (const PlotSeries& s : data.series)
        if (s.pane == kPaneVolts && !std::isnan(s.values[0]) && std::fabs(s.values[0] - 2.64f) < 1e-4)
            sawVolts = true;
    EXPECT_TRUE(sawVolts);

    HWND history = OpenHistory();
    ASSERT_TRUE(ShowLogInHistoryWindow(log.c_str()));
    EXPECT_NE(std::string::npos, Caption(history).find(found.cFileName));
    EXPECT_TRUE(io.Messages().empty());

    const std::string notes = dir.File("NOTES.CSV");
    WriteWholeFile(notes, "name,amount\r\napples,3\r\n");
    const std::string before = Caption(history);
    EXPECT_FALSE(ShowLogInHistoryWindow(notes.c_str()));
    ASSERT_EQ(1u, io.Messages().size());
    EXPECT_NE(std::string::npos, io.Messages()[0].text.find("ログ"));
    EXPECT_EQ(before, Caption(history));  // the log shown stays
    EXPECT_EQ(LogRead::kNotALog, ReadReadingsLog(notes.c_str(), &data));
    EXPECT_EQ(samples, data.times.size());  // and the data it was given too
}

}  // namespace
