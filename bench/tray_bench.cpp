// Notification-area benchmark: the cost of drawing one icon, of one icon
// update as a new reading brings it (the picture drawn again and handed to
// the shell, the old one destroyed), and the process's GDI and USER objects
// before and after 10,000 icon updates. Runs the real main window with three
// icons (a temperature, a fan, the hottest core) in Wine's shell.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "display/commands.h"
#include "display/tray.h"
#include "display/trayicon.h"
#include "sensors/csensor.h"
#include "support/benchstart.h"
#include "support/guicount.h"
#include "window/mainwindow.h"

namespace {

const int kBuilds = 1000;
const int kUpdateRounds = 3334;  // three icons each: 10,002 icon updates
const UINT WM_BENCH_MEASURE = WM_APP + 1;

LARGE_INTEGER frequency;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PrintFigures(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s (%zu runs): median %.3f ms, max %.3f ms\n", what, samples.size(),
                samples[samples.size() / 2], samples.back());
}

void PrintCounts(const char* when, const GuiCounts& c)
{
    std::printf("  %-36s GDI %5d   USER: windows %3d, menus %3d, icons %3d\n", when, c.gdi, c.windows,
                c.menus, c.icons);
}

// Every icon drawn again: the value colour changes, as an alarm would
// change it, so every update builds and hands over a new picture.
void UpdateAllIcons(HWND window, const CoreTable& cores, int round)
{
    AppState& app = App();
    app.colors.slot[kColorValue].colour = (round & 1) ? RGB(250, 250, 0) : RGB(0, 200, 255);
    app.updateLock.Enter();
    TakeTrayReadings(window, cores);
    app.updateLock.Leave();
    UpdateTray(window);
}

void Measure(HWND window)
{
    const int size = GetSystemMetrics(SM_CXSMICON);
    std::vector<double> builds, updates;
    for (int i = 0; i < kBuilds; ++i) {
        const double start = NowMs();
        DestroyIcon(BuildTrayIcon(i & 1 ? "1.2k" : "45", RGB(250, 250, 0), size));
        builds.push_back(NowMs() - start);
    }
    std::printf("Icon size: %d x %d pixels, icons shown: %d\n", size, GetSystemMetrics(SM_CYSMICON),
                App().trayIcons.count);
    PrintFigures("BuildTrayIcon (draw one icon)", builds);
    CoreTable cores;
    CSENSOR::CopyCores(&cores);
    const GuiCounts before = CountGuiObjects();
    for (int round = 0; round < kUpdateRounds; ++round) {
        const double start = NowMs();
        UpdateAllIcons(window, cores, round);
        updates.push_back((NowMs() - start) / App().trayIcons.count);
    }
    const GuiCounts after = CountGuiObjects();
    PrintFigures("Icon update (draw + NIM_MODIFY), per icon", updates);
    std::printf("GUI objects of the process around %d icon updates:\n", kUpdateRounds * App().trayIcons.count);
    PrintCounts("before", before);
    PrintCounts("after", after);
}

INT_PTR CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        PostMessageA(window, WM_BENCH_MEASURE, 0, 0);
    } else if (message == WM_BENCH_MEASURE) {
        Measure(window);
        PostCommand(window, ID_EXIT);
    }
    return result;
}

std::string TempSettingsPath()
{
    const std::string settings = FreshBenchSettings("vk_tray_bench", "60");
    WritePrivateProfileStringA("Tray", "Enable", "1", settings.c_str());
    WritePrivateProfileStringA("Tray", "Rows", "0,3,c", settings.c_str());
    return settings;
}

}  // namespace

int main()
{
    QueryPerformanceFrequency(&frequency);
    RunBenchWindows(TempSettingsPath(), BenchProc);
    return 0;
}
