// Display benchmark: the cost of one DrawPanels and one UpdateDisplay, the
// time from process start to the first painted panel, and the GDI and USER
// object counts after the first window, after many redraws and after many
// re-creations of the window. Runs the real main window through the real
// creation loop against the substitute driver (live simulation).

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/settings.h"
#include "app/startup.h"
#include "display/commands.h"
#include "display/mainwindow.h"
#include "display/panels.h"
#include "support/guicount.h"

namespace {

const int kRedraws = 1000;
const int kRecreations = 50;
const UINT WM_BENCH_MEASURE = WM_APP + 1;

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

void MeasureRedraws(HWND window)
{
    afterFirst = CountGuiObjects();
    Figures draw = TimeEach(kRedraws, [&] { DrawPanels(window); });
    Figures update = TimeEach(kRedraws, [&] { UpdateDisplay(window); });
    afterRedraws = CountGuiObjects();
    std::printf("DrawPanels    (%d runs): median %.3f ms, max %.3f ms\n", kRedraws, draw.median,
                draw.max);
    std::printf("UpdateDisplay (%d runs): median %.3f ms, max %.3f ms\n", kRedraws, update.median,
                update.max);
}

// The first window is measured once it has painted; the later ones are
// ended as soon as they have initialised.
INT_PTR CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_PAINT && firstPaintMs < 0) {
        firstPaintMs = SinceProcessStartMs();
        PostMessageA(window, WM_BENCH_MEASURE, 0, 0);
    } else if (message == WM_INITDIALOG) {
        ++windowsCreated;
        if (windowsCreated > 1 && windowsCreated <= kRecreations)
            PostCommand(window, ID_RELOAD);
        else if (windowsCreated > kRecreations)
            PostMessageA(window, WM_BENCH_MEASURE, 1, 0);
    } else if (message == WM_BENCH_MEASURE && wParam == 0) {
        MeasureRedraws(window);
        PostCommand(window, ID_RELOAD);
    } else if (message == WM_BENCH_MEASURE) {
        afterRecreations = CountGuiObjects();
        PostCommand(window, ID_EXIT);
    }
    return result;
}

std::string TempSettingsPath()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string base = std::string(folder) + "vk_display_bench";
    CreateDirectoryA(base.c_str(), nullptr);
    std::string settings = base + "\\bench.vkc";
    std::string theme = base + "\\bench.vkt";
    DeleteFileA(settings.c_str());
    DeleteFileA(theme.c_str());
    WritePrivateProfileStringA("Config", "FileName", theme.c_str(), settings.c_str());
    WritePrivateProfileStringA("Global", "Timer", "1", theme.c_str());
    return settings;
}

}  // namespace

int main()
{
    QueryPerformanceFrequency(&frequency);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::string settings = TempSettingsPath();
    SeedStartState(instance);
    ComputeSettingsPath(settings.c_str());
    LoadSettings(1);
    InitCommonControls();
    RunCreationLoop(instance, BenchProc);

    std::printf("Process start to first painted panel: %.1f ms\n", firstPaintMs);
    std::printf("Windows created: %d (1 + %d re-creations)\n", windowsCreated, windowsCreated - 1);
    std::printf("GUI objects of the process:\n");
    PrintCounts("after the first window", afterFirst);
    PrintCounts("after 1000 redraws and updates", afterRedraws);
    PrintCounts("after 50 re-creations", afterRecreations);
    return 0;
}
