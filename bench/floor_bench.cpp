// The floor a monitor is measured against: the least Win32 program doing the
// monitor's outer work each second. A window with a 1 s timer; each tick
// starts a short-lived thread, which posts back; each post gives one
// repaint. It loads the same system DLLs as the monitor. Runs until closed;
// bench/monitor_load.sh runs it beside the monitor.

#include <windows.h>

namespace {

const UINT_PTR kTick = 1;
const UINT kTickMs = 1000;
const UINT WM_FLOOR_DONE = WM_APP + 1;
const int kLeft = 400;  // beside the monitor that monitor_load.sh puts at (0, 0)
const char* const kMonitorDlls[] = {"comctl32.dll", "comdlg32.dll", "oleaut32.dll", "shell32.dll",
                                    "version.dll",  "winmm.dll"};

DWORD WINAPI Worker(LPVOID window)
{
    PostMessageA(static_cast<HWND>(window), WM_FLOOR_DONE, 0, 0);
    return 0;
}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: {
        HANDLE thread = CreateThread(nullptr, 0, Worker, window, 0, nullptr);
        if (thread)
            CloseHandle(thread);
        return 0;
    }
    case WM_FLOOR_DONE:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int main()
{
    for (const char* dll : kMonitorDlls)
        LoadLibraryA(dll);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA type = {};
    type.lpfnWndProc = FloorProc;
    type.hInstance = instance;
    type.lpszClassName = "VeskoraFloor";
    RegisterClassA(&type);
    HWND window = CreateWindowExA(0, type.lpszClassName, "floor", WS_POPUP | WS_VISIBLE, kLeft, 0, 360,
                                  270, nullptr, nullptr, instance, nullptr);
    if (!window || !SetTimer(window, kTick, kTickMs, nullptr))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
