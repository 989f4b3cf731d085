// History window benchmark: the repaint after a new reading with a full
// ring (an hour at one reading a second, every row shown, eight cores), the
// readout under the pointer, and the GDI and USER object counts around many
// openings of the window. Runs the real main window through the real
// creation loop against the substitute driver.

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/historydata.h"
#include "app/rows.h"
#include "dialogs/historywindow.h"
#include "display/historyplot.h"
#include "display/commands.h"
#include "foundation/gdiwrap.h"
#include "support/benchstart.h"
#include "support/guicount.h"
#include "window/mainwindow.h"

namespace {

const int kRepaints = 200;
const int kOpenings = 500;
const int kCores = 8;
const UINT WM_BENCH_MEASURE = WM_APP + 1;

LARGE_INTEGER frequency;
bool measured = false;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Step>
void TimeEach(const char* what, int rounds, Step step)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMs();
        step(i);
        samples.push_back(NowMs() - start);
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s (%d runs): median %.3f ms, max %.3f ms\n", what, rounds, samples[samples.size() / 2],
                samples.back());
}

// Every slot holds a value that moves, every core too.
void FillRing()
{
    AppState& app = App();
    for (int row = 0; row < kRowCount; ++row)
        *RowShown(app, row) = 1;
    app.updateLock.Enter();
    app.history.Allocate(kDefaultHistoryMinutes, 1, kCores);
    SensorBlock block = {};
    CoreTable cores = {};
    cores.count = kCores;
    for (int i = 0; i < app.history.Capacity(); ++i) {
        for (int s = 0; s < kReadingCount; ++s)
            block.word[s] = static_cast<uint16_t>(40 + (i + 7 * s) % 30);
        for (int c = 0; c < kCores; ++c) {
            cores.core[c].valid = 1;
            cores.core[c].temp = 40 + (i + c) % 25;
        }
        app.history.Add(block, cores, (static_cast<HistoryTime>(13000000000) + i) * kTicksPerSecond);
    }
    app.updateLock.Leave();
}

void Measure(HWND window)
{
    FillRing();
    SendMessageA(window, WM_COMMAND, ID_HISTORY, 0);
    HWND history = HistoryWindow();
    UpdateWindow(history);
    std::printf("Ring: %d samples, %u bytes\n", App().history.Count(),
                static_cast<unsigned int>(App().history.Bytes()));
    // The repaint a reading brings once it has moved the plot by a column.
    TimeEach("History window repaint after a new reading", kRepaints, [&](int) {
        FollowHistoryWindow();
        RedrawWindow(history, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    // The two halves of that repaint: the span taken from the ring under
    // the lock, and the plot drawn from it.
    PlotData data;
    TimeEach("  the span taken from the ring", kRepaints, [&](int) {
        App().updateLock.Enter();
        TakeLiveHistory(App().history, kDefaultHistoryMinutes, &data);
        App().updateLock.Leave();
    });
    RECT r;
    GetClientRect(history, &r);
    WINMEMDC surface;  // as the window paints into
    if (!surface.CreatePixelSurface(history, r.right, r.bottom)) {
        std::printf("no %ld x %ld surface to draw the plot into\n", r.right, r.bottom);
        return;
    }
    TimeEach("  the plot drawn from it", kRepaints, [&](int) { DrawHistoryPlot(surface, r, data); });
    PlotData frame = data;  // the same span without its rows: grid, scales and clock times
    frame.series.clear();
    TimeEach("  the plot's frame alone", kRepaints, [&](int) { DrawHistoryPlot(surface, r, frame); });
    PlotData legends = data;  // every row's legend, no line to draw
    for (PlotSeries& series : legends.series)
        std::fill(series.values.begin(), series.values.end(), std::nanf(""));
    TimeEach("  the frame and the legends without lines", kRepaints,
             [&](int) { DrawHistoryPlot(surface, r, legends); });
    surface.Release();  // not counted with the window's objects below
    TimeEach("History window readout under the pointer", kRepaints, [&](int i) {
        SendMessageA(history, WM_MOUSEMOVE, 0, MAKELPARAM(60 + i % (r.right - 120), r.bottom / 2));
        UpdateWindow(history);
    });
    const GuiCounts before = CountGuiObjects();
    for (int i = 0; i < kOpenings; ++i) {
        CloseHistoryWindow();
        SendMessageA(window, WM_COMMAND, ID_HISTORY, 0);
        UpdateWindow(HistoryWindow());
    }
    const GuiCounts after = CountGuiObjects();
    std::printf("GUI objects around %d openings: GDI %d -> %d, windows %d -> %d\n", kOpenings, before.gdi,
                after.gdi, before.windows, after.windows);
}

INT_PTR CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_PAINT && !measured) {
        measured = true;
        PostMessageA(window, WM_BENCH_MEASURE, 0, 0);
    } else if (message == WM_BENCH_MEASURE) {
        Measure(window);
        PostCommand(window, ID_EXIT);
    }
    return result;
}

std::string TempSettingsPath()
{
    return FreshBenchSettings("vk_history_bench", "1");
}

}  // namespace

int main()
{
    QueryPerformanceFrequency(&frequency);
    RunBenchWindows(TempSettingsPath(), BenchProc);
    return 0;
}
