// Display benchmark: the cost of one DrawPanels, one UpdateDisplay and a repaint for
// the default, the wide and the graph layout, plain and hovered, and after a new
// reading; the time from process start to the first painted panel; and the
// GDI and USER object counts after the first window, after its redraws and
// after many re-creations of the window; and the history's cost per reading. Runs the real main window through the real
// creation loop against the substitute driver (live simulation).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "display/commands.h"
#include "window/mainwindow.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "sensors/csensor.h"
#include "support/benchstart.h"
#include "support/guicount.h"

namespace {

const int kRedraws = 1000;
const int kRecreations = 50;
const int kFreshReadings = 200;
const UINT WM_BENCH_MEASURE = WM_APP + 1;
enum Measurement { kMeasureDefault, kMeasureWide, kMeasureGraph, kMeasureCounts };

LARGE_INTEGER frequency;
double firstPaintMs = -1.0;
int windowsCreated = 0;
GuiCounts afterFirst, afterRedraws, afterRecreations;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds since the process was created, by the system clock.
double SinceProcessStartMs()
{
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a = {{created.dwLowDateTime, created.dwHighDateTime}};
    ULARGE_INTEGER b = {{now.dwLowDateTime, now.dwHighDateTime}};
    return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

struct Figures {
    double median;
    double max;
};

Figures Summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

template <typename Step>
Figures TimeEach(int rounds, Step step)
{
    std::vector<double> samples;
    samples.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        double start = NowMs();
        step();
        samples.push_back(NowMs() - start);
    }
    return Summarise(samples);
}

void PrintCounts(const char* when, const GuiCounts& c)
{
    std::printf("  %-32s GDI %5d   USER: windows %3d, menus %3d, icons %3d\n", when, c.gdi,
                c.windows, c.menus, c.icons);
}

// A sensor cycle on this thread, as the timer's worker would run one.
void ReadOnce()
{
    ReadRequest request = {1, App().dummy, App().coreTemp.enable, nullptr, ID_UPDATE, 0, nullptr};
    CSENSOR::Start(&request);
}

void HoverFirstValue(HWND window, bool on)
{
    RECT r = {};
    GetControlRect(window, ValueId(0), &r);
    if (on)
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    else
        SendMessageA(window, WM_MOUSELEAVE, 0, 0);
}

void PrintFigures(const char* what, const char* layout, const char* state, const Figures& f)
{
    std::printf("%-13s %-7s %-8s (%d runs): median %.3f ms, max %.3f ms\n", what, layout, state,
                kRedraws, f.median, f.max);
}

void MeasureRedraws(HWND window, const char* layout)
{
    for (bool hovered : {false, true}) {
        HoverFirstValue(window, hovered);
        const char* state = hovered ? "hovered" : "plain";
        PrintFigures("DrawPanels", layout, state, TimeEach(kRedraws, [&] { DrawPanels(window); }));
        PrintFigures("UpdateDisplay", layout, state, TimeEach(kRedraws, [&] { UpdateDisplay(window); }));
    }
    HoverFirstValue(window, false);
    // Every value drawn or taken away each time: the dearest redraw.
    PrintFigures("DrawPanels", layout, "blinking", TimeEach(kRedraws, [&] {
                     App().blinkPhase = !App().blinkPhase;
                     DrawPanels(window);
                 }));
    App().blinkPhase = 0;
    // Each redraw after a fresh reading, as every tick of the monitor timer
    // gives one, and the repaint that follows it, in which the window takes
    // what changed from the back buffer; the reading itself is not timed.
    std::vector<double> samples, repaints;
    UpdateWindow(window);  // what the redraws above left to paint
    for (int i = 0; i < kFreshReadings; ++i) {
        ReadOnce();
        double start = NowMs();
        UpdateDisplay(window);
        samples.push_back(NowMs() - start);
        start = NowMs();
        UpdateWindow(window);
        repaints.push_back(NowMs() - start);
    }
    Figures fresh = Summarise(samples), repaint = Summarise(repaints);
    std::printf("UpdateDisplay %-7s after a new reading (%d runs): median %.3f ms, max %.3f ms\n",
                layout, kFreshReadings, fresh.median, fresh.max);
    std::printf("Repaint       %-7s after a new reading (%d runs): median %.3f ms, max %.3f ms\n",
                layout, kFreshReadings, repaint.median, repaint.max);
}

// The first window (default layout) is measured once it has painted, the
// second with the wide layout; the later ones are ended as soon as they
// have initialised.
INT_PTR CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_PAINT && firstPaintMs < 0) {
        firstPaintMs = SinceProcessStartMs();
        PostMessageA(window, WM_BENCH_MEASURE, kMeasureDefault, 0);
    } else if (message == WM_INITDIALOG) {
        ++windowsCreated;
        if (windowsCreated == 2)
            PostMessageA(window, WM_BENCH_MEASURE, kMeasureWide, 0);
        else if (windowsCreated == 3)
            PostMessageA(window, WM_BENCH_MEASURE, kMeasureGraph, 0);
        else if (windowsCreated > 3 && windowsCreated <= kRecreations)
            PostCommand(window, ID_RELOAD);
        else if (windowsCreated > kRecreations)
            PostMessageA(window, WM_BENCH_MEASURE, kMeasureCounts, 0);
    } else if (message == WM_BENCH_MEASURE && wParam == kMeasureDefault) {
        afterFirst = CountGuiObjects();
        MeasureRedraws(window, "default");
        afterRedraws = CountGuiObjects();
        App().layoutEnable = 1;
        PostCommand(window, ID_RELOAD);
    } else if (message == WM_BENCH_MEASURE && wParam == kMeasureWide) {
        MeasureRedraws(window, "wide");
        lstrcpynA(App().layoutPath, "VKL_GRAPH.VKL", kPathSize);
        PostCommand(window, ID_RELOAD);
    } else if (message == WM_BENCH_MEASURE && wParam == kMeasureGraph) {
        MeasureRedraws(window, "graph");
        App().layoutEnable = 0;
        PostCommand(window, ID_RELOAD);
    } else if (message == WM_BENCH_MEASURE) {
        afterRecreations = CountGuiObjects();
        PostCommand(window, ID_EXIT);
    }
    return result;
}

std::string TempSettingsPath()
{
    return FreshBenchSettings("vk_display_bench", "1");
}

// One reading into a ring of an hour at one a second, with eight cores.
void MeasureHistory()
{
    History history;
    history.Allocate(kDefaultHistoryMinutes, 1, 8);
    SensorBlock block = {};
    CoreTable cores = {};
    cores.count = 8;
    const int rounds = 100000;
    const double start = NowMs();
    for (int i = 0; i < rounds; ++i) {
        block.temp[0] = static_cast<uint16_t>(i & 0x3F);
        history.Add(block, cores, static_cast<HistoryTime>(i) * kTicksPerSecond);
    }
    std::printf("History::Add (%d runs, ring of %d samples, %u bytes): %.4f us per reading\n", rounds,
                history.Capacity(), static_cast<unsigned int>(history.Bytes()),
                1000.0 * (NowMs() - start) / rounds);
}

}  // namespace

int main()
{
    QueryPerformanceFrequency(&frequency);
    RunBenchWindows(TempSettingsPath(), BenchProc);
    MeasureHistory();

    std::printf("Process start to first painted panel: %.1f ms\n", firstPaintMs);
    std::printf("Windows created: %d (1 + %d re-creations)\n", windowsCreated, windowsCreated - 1);
    std::printf("GUI objects of the process:\n");
    PrintCounts("after the first window", afterFirst);
    PrintCounts("after the default window's redraws", afterRedraws);
    PrintCounts("after the re-creations", afterRecreations);
    return 0;
}
