// The floor a monitor is measured against: the least Win32 program doing the
// monitor's outer work each second. A window with a 1 s timer; each tick
// starts a short-lived thread, which posts back; each post gives one
// repaint. It loads the same system DLLs as the monitor. Runs until closed;
// bench/monitor_load.sh runs it beside the monitor.
// With --device each tick also makes the device traffic of a reading, and
// nothing else: the timer's thread waits until the worker has started, and
// the worker takes the bus mutex without waiting, asks for the sensor block,
// lets the mutex go, then binds itself to each processor in turn and asks
// for its readout. What the monitor costs beyond this floor is its own.

#include <windows.h>

#include <cstring>

#include "driver/protocol.h"

namespace {

const UINT_PTR kTick = 1;
const UINT kTickMs = 1000;
const UINT WM_FLOOR_DONE = WM_APP + 1;
const int kLeft = 400;  // beside the monitor that monitor_load.sh puts at (0, 0)
const char kBusMutexName[] = "Global\\Access_ISABUS.HTP.Method";
const int kBlockBytes = 40;

struct Device {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE bus = nullptr;
    HANDLE started = nullptr;  // the worker's signal to the timer's thread
    DWORD_PTR processors = 0;
};
Device device;
bool withDevice = false;

bool OpenDevice()
{
    device.file = CreateFileA(VK_DEVICE_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    device.bus = CreateMutexA(nullptr, FALSE, kBusMutexName);
    device.started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR process = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &process, &device.processors);
    return device.file != INVALID_HANDLE_VALUE && device.started;
}

void Ask(DWORD code, void* out, DWORD size)
{
    DWORD returned = 0;
    DeviceIoControl(device.file, code, nullptr, 0, out, size, &returned, nullptr);
}

void DeviceTraffic()
{
    SetEvent(device.started);
    char block[kBlockBytes];
    const DWORD bus = device.bus ? WaitForSingleObject(device.bus, 0) : WAIT_FAILED;
    Ask(CTL_READBLOCK, block, sizeof block);
    if (bus == WAIT_OBJECT_0 || bus == WAIT_ABANDONED)
        ReleaseMutex(device.bus);
    for (int i = 0; i < static_cast<int>(8 * sizeof device.processors); ++i) {
        const DWORD_PTR bit = static_cast<DWORD_PTR>(1) << i;
        if (!(device.processors & bit) || !SetThreadAffinityMask(GetCurrentThread(), bit))
            continue;
        GetCurrentProcessorNumber();
        LONG readout = 0;
        Ask(CTL_DTS, &readout, sizeof readout);
    }
}

const char* const kMonitorDlls[] = {"comctl32.dll", "comdlg32.dll", "oleaut32.dll", "shell32.dll",
                                    "version.dll",  "winmm.dll"};

DWORD WINAPI Worker(LPVOID window)
{
    if (withDevice)
        DeviceTraffic();
    PostMessageA(static_cast<HWND>(window), WM_FLOOR_DONE, 0, 0);
    return 0;
}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: {
        HANDLE thread = CreateThread(nullptr, 0, Worker, window, 0, nullptr);
        if (thread && withDevice)
            WaitForSingleObject(device.started, INFINITE);
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

int main(int argc, char** argv)
{
    withDevice = argc > 1 && std::strcmp(argv[1], "--device") == 0;
    if (withDevice && !OpenDevice())
        return 1;
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
