// The floor a monitor is measured against: the least Win32 program doing the
// monitor's outer work each second. A window with a 1 s timer; each tick
// starts a short-lived thread, which posts back; each post gives one
// repaint. It loads the same system DLLs as the monitor. Runs until closed;
// bench/monitor_load.sh runs it beside the monitor.
// With --device each tick also makes the device traffic of a reading, and
// nothing else: the timer's thread waits until the worker has started, and
// the worker takes a bus mutex without waiting, asks for the sensor block,
// lets the mutex go, then binds itself to each processor in turn (a
// millisecond's sleep where it has not moved yet) and asks for its readout.
// The mutex is the floor's own, so that it never keeps the monitor waiting.
// What the monitor costs beyond this floor is its own.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "driver/protocol.h"
#include "sensors/sensortypes.h"

namespace {

const UINT_PTR kTick = 1;
const UINT kTickMs = 1000;
const UINT WM_FLOOR_DONE = WM_APP + 1;
const int kLeft = 400;  // beside the monitor that monitor_load.sh puts at (0, 0)

struct Device {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE bus = nullptr;
    HANDLE started = nullptr;  // the worker's signal to the timer's thread
    DWORD_PTR processors = 0;
    WORD group = 0;  // of the main thread, where the walk binds
};
Device device;
bool withDevice = false;

bool Ask(DWORD code, void* out, DWORD size)
{
    DWORD returned = 0;
    return DeviceIoControl(device.file, code, nullptr, 0, out, size, &returned, nullptr) != 0;
}

bool OpenDevice()
{
    device.file = CreateFileA(VK_DEVICE_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    char name[64];
    std::snprintf(name, sizeof name, "Global\\VeskoraFloorBus.%lu", GetCurrentProcessId());
    device.bus = CreateMutexA(nullptr, FALSE, name);
    device.started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD_PTR process = 0;
    GROUP_AFFINITY affinity = {};
    SensorBlock block;
    if (device.file == INVALID_HANDLE_VALUE || !device.bus || !device.started ||
        !GetProcessAffinityMask(GetCurrentProcess(), &process, &device.processors) ||
        !GetThreadGroupAffinity(GetCurrentThread(), &affinity) || !Ask(CTL_READBLOCK, &block, sizeof block)) {
        std::fprintf(stderr, "vk_bench_floor: the device %s cannot be read (error %lu)\n", VK_DEVICE_PATH,
                     GetLastError());
        return false;
    }
    device.group = affinity.Group;
    return true;
}

void DeviceTraffic()
{
    SetEvent(device.started);
    SensorBlock block;
    const DWORD bus = WaitForSingleObject(device.bus, 0);
    if (bus == WAIT_OBJECT_0 || bus == WAIT_ABANDONED) {
        Ask(CTL_READBLOCK, &block, sizeof block);
        ReleaseMutex(device.bus);
    }
    for (int i = 0; i < static_cast<int>(8 * sizeof device.processors); ++i) {
        GROUP_AFFINITY affinity = {};
        affinity.Mask = static_cast<DWORD_PTR>(1) << i;
        affinity.Group = device.group;
        if (!(device.processors & affinity.Mask) ||
            !SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr))
            continue;
        if (GetCurrentProcessorNumber() != static_cast<DWORD>(i))
            Sleep(1);
        LONG readout = 0;
        Ask(CTL_DTS, &readout, sizeof readout);
    }
}

// What the monitor loads at start; the picture loader (oleaut32.dll) only
// comes once a JPEG or GIF skin is read.
const char* const kMonitorDlls[] = {"comctl32.dll", "comdlg32.dll", "shell32.dll", "version.dll", "winmm.dll"};

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
