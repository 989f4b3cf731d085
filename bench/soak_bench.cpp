// A long run: 100,000 threaded acquisition cycles with core temperatures
// against the substitute driver's live simulation, each redrawn by the
// window, then 1,000 re-creations of the window through ID_RELOAD in the
// real creation loop, then as many with the graph layout, the history
// window open and three icons in the notification area. Prints the
// process's kernel handles, GDI and USER objects and private bytes at the
// start, at every tenth and at the end.
//     vk_bench_soak [CYCLES] [RECREATIONS]

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/appstate.h"
#include "app/startup.h"
#include "display/commands.h"
#include "window/mainwindow.h"
#include "sensors/csensor.h"
#include "support/appfixture.h"
#include "support/capture.h"
#include "support/guicount.h"
#include "support/scenario.h"
#include "support/tempdir.h"

namespace {

int recreations = 0;
int wanted = 1000;
bool withHistory = false;  // every window opens the history window too

// Committed private memory: the process's own heaps, stacks and buffers.
// (The memory counters' private usage answers 0 under Wine.)
size_t PrivateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < at)
            break;  // the top of the address space
    }
    return total;
}

void Report(const char* phase, long done)
{
    const GuiCounts gui = CountGuiObjects();
    std::printf("%-12s %7ld  kernel %4d  GDI %4d  windows %3d  menus %2d  icons %3d  private %7lu kB\n",
                phase, done, CountKernelHandles(), gui.gdi, gui.windows, gui.menus, gui.icons,
                static_cast<unsigned long>(PrivateBytes() / 1024));
    std::fflush(stdout);
}

void Pump()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
}

// Every window asks for the next one as soon as it stands, until enough.
INT_PTR CALLBACK Recreating(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        ++recreations;
        if (recreations % (wanted / 10 ? wanted / 10 : 1) == 0)
            Report("re-creations", recreations);
        if (withHistory)
            PostCommand(window, ID_HISTORY);
        PostCommand(window, recreations < wanted ? ID_RELOAD : ID_EXIT);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    const long cycles = argc > 1 ? std::atol(argv[1]) : 100000;
    wanted = argc > 2 ? std::atoi(argv[2]) : 1000;
    InitCommonControls();
    TempDir dir;
    PrepareFreshState(dir);
    UserIoCapture quiet;
    HWND window = CreateMainWindow();
    if (!window) {
        std::printf("the main window did not open (is the substitute driver running?)\n");
        return 1;
    }
    Report("start", 0);
    for (long i = 1; i <= cycles; ++i) {
        ReadRequest request = {0, 0, 1, window, ID_UPDATE, 0, nullptr};
        CSENSOR::Start(&request);
        Pump();
        if (i % (cycles / 10 ? cycles / 10 : 1) == 0)
            Report("cycles", i);
    }
    DestroyWindow(window);
    Pump();
    RunCreationLoop(App().instance, Recreating);
    Report("end", recreations);
    // The same without processor temperatures, so without the core tooltip,
    // whose title icon Wine's tooltip copies and never frees (three GDI
    // objects and one icon per window): everything should stay flat.
    Scenario scenario;
    scenario.Set("Status", 0x001);
    recreations = 0;
    wanted /= 5;
    std::printf("again without the core tooltip:\n");
    RunCreationLoop(App().instance, Recreating);
    Report("end", recreations);
    // What the graphs, the history window and the icons hold is given back
    // with each window.
    AppState& app = App();
    app.layoutEnable = 1;
    lstrcpynA(app.layoutPath, "VKL_GRAPH.VKL", kPathSize);
    app.tray.enable = 1;
    lstrcpynA(app.tray.rows, "0,3,c", kTrayRowsSize);
    withHistory = true;
    wanted *= 5;
    recreations = 0;
    std::printf("again with the graph layout, the history window and three icons:\n");
    RunCreationLoop(App().instance, Recreating);
    Report("end", recreations);
    return 0;
}
