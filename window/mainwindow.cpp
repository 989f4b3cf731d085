#include "window/mainwindow.h"

#include <shellapi.h>

#include <cstring>

#include "app/appstate.h"
#include "app/exporter.h"
#include "app/hardware.h"
#include "app/settings.h"
#include "dialogs/historywindow.h"
#include "dialogs/settings.h"
#include "display/commands.h"
#include "display/coretip.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/placement.h"
#include "display/readings.h"
#include "display/skin.h"
#include "display/tray.h"
#include "driver/protocol.h"
#include "foundation/userio.h"
#include "sensors/csensor.h"
#include "window/commands.h"

const char kWindowTitle[] = "Veskora! for Fintek";

namespace {

const char kObjectError[] = "オブジェクト生成エラーが発生しました。";
const char kVersionError[] = "ドライバのバージョンが一致しません。";
const char kDeviceError[] = "デバイス初期化エラーが発生しました。";
const char kMonitorError[] = "モニタ開始エラーが発生しました。";

const UINT kMillisecondsPerSecond = 1000;
// After a resume the device may come back a little after the window.
const DWORD kResumeDeviceWaitMs = 30000;
const DWORD kResumeDeviceRetryMs = 500;

ReadRequest MakeRequest(HWND window, int sync)
{
    const AppState& app = App();
    ReadRequest request = {};
    request.sync = sync;
    request.dummy = app.dummy;
    request.cores = app.coreTemp.enable;
    request.window = window;
    request.wParam = ID_UPDATE;
    request.lParam = 0;
    return request;
}

// Opens the driver and checks its version and the chip; the error to show
// when one fails, null when both hold.
const char* TryOpenSensors(uint32_t* status)
{
    *status = CSENSOR::Open(App().dummy);
    if (!CSENSOR::CheckVersion())
        return kVersionError;
    if (!(*status & VK_STATUS_CHIP))
        return kDeviceError;
    return nullptr;
}

// Shows what failed. After a resume the device is given some time to come
// back before the window says it is missing.
bool OpenSensors(HWND window, uint32_t* status, bool resumed)
{
    const ULONGLONG until = GetTickCount64() + (resumed ? kResumeDeviceWaitMs : 0);
    const char* error = TryOpenSensors(status);
    while (error && GetTickCount64() < until) {
        CSENSOR::Close();
        Sleep(kResumeDeviceRetryMs);
        error = TryOpenSensors(status);
    }
    if (error)
        ShowError(window, error);
    return error == nullptr;
}

void ShapeAndPlace(HWND window)
{
    SetWindowTextA(window, kWindowTitle);
    RemoveCaption(window);
    FitWindowToClient(window);
    HidePanelControls(window);
    CachePanelRects(window);
    PlaceWindow(window);
    KeepOnAMonitor(window);
    ApplyWindowShape(window, window);
}

// The window's procedure before the tick path was put in front of it, and
// the dialog procedure the window was made with; kept in the window's
// GWLP_USERDATA slot until it goes.
struct TickPath {
    WNDPROC next;
    WNDPROC dialog;
};

// Each tick brings three messages: the monitor timer, the cycle's posted
// update and the repaint. They go straight to the dialog procedure, which
// answers all three itself; through the dialog manager and the tooltip's
// subclass each would also cost window-property lookups (three server
// calls a message under Wine) for nothing. Everything else takes the
// usual way.
LRESULT CALLBACK TickPathProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TickPath* path = reinterpret_cast<TickPath*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!path)
        return CallWindowProcA(DefDlgProcA, window, message, wParam, lParam);
    if (message == WM_TIMER || message == WM_COMMAND || message == WM_PAINT) {
        CallWindowProcA(path->dialog, window, message, wParam, lParam);
        return 0;
    }
    const WNDPROC next = path->next;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete path;
    }
    return CallWindowProcA(next, window, message, wParam, lParam);
}

// Before the tooltip goes: removing its subclass puts the window's own
// procedure back, which would cut the tick path out with its record.
void CloseTickPath(HWND window)
{
    TickPath* path = reinterpret_cast<TickPath*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!path)
        return;
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(TickPathProc))
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(path->next));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete path;
}

// Once per window, after its tooltip has subclassed it.
void OpenTickPath(HWND window)
{
    const LONG_PTR before = GetWindowLongPtrA(window, GWLP_WNDPROC);
    const LONG_PTR dialog = GetWindowLongPtrA(window, DWLP_DLGPROC);
    if (!before || !dialog || before == reinterpret_cast<LONG_PTR>(TickPathProc))
        return;
    auto* path = new TickPath{reinterpret_cast<WNDPROC>(before), reinterpret_cast<WNDPROC>(dialog)};
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(path));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TickPathProc));
}

// A new window takes the focus; after a resume it comes back as the old
// one was: minimised without taking the focus, and stopped if the user
// had stopped monitoring.
void ComeBack(HWND window, bool resumed)
{
    AppState& app = App();
    if (resumed && app.resumeStopped)
        StopMonitoring(window);
    if (resumed && app.resumeMinimized)
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    else
        SetForegroundWindow(window);
    app.resumeMinimized = app.resumeStopped = 0;
}

bool InitializeWindow(HWND window)
{
    AppState& app = App();
    const bool resumed = app.resumeReload != 0;
    app.resumeReload = 0;
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app.smallIcon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app.largeIcon));
    DragAcceptFiles(window, TRUE);
    app.updateLock.Create("UPDATE");
    app.drawLock.Create("DRAW");
    if (!CreateDrawingObjects(window)) {
        ShowError(window, kObjectError);
        return false;
    }
    uint32_t status = 0;
    if (!OpenSensors(window, &status, resumed))
        return false;
    ApplyDividers();
    InitializeProcessor((status & VK_STATUS_DTS) ? 1 : 0);
    if (app.cpu.present)
        CreateCoreTooltip(window);
    StartHistory();
    ReadRequest first = MakeRequest(window, 1);
    if (resumed && app.resumeStopped)
        first.window = nullptr;  // shown, but not acted on: monitoring stays stopped
    CSENSOR::Start(&first);
    RecordChip();
    if (!StartMonitoring(window)) {
        ShowError(window, kMonitorError);
        return false;
    }
    ShapeAndPlace(window);
    OpenTickPath(window);
    UpdateDisplay(window);
    OpenTray(window);
    ComeBack(window, resumed);
    StartExport(window);
    return true;
}

INT_PTR OnInitDialog(HWND window)
{
    if (!InitializeWindow(window))
        EndDialog(window, 0);
    return 0;
}

INT_PTR OnDestroy(HWND window)
{
    AppState& app = App();
    // Before the ring and the lock it reads under go.
    CloseHistoryWindow();
    StopMonitoring(window);
    CloseTray(window);
    // The blink timer goes with this window; the next one starts afresh.
    KillTimer(window, TIMER_BLINK);
    app.blinkTimer = 0;
    app.blinkPhase = 0;
    CloseTickPath(window);
    ForgetPanel(window);
    ReleaseDrawingObjects();
    app.coreTip.Destroy();
    app.history.Release();
    StopExport();
    app.updateLock.Delete();
    app.drawLock.Delete();
    CSENSOR::Close();
    return 1;
}

INT_PTR OnSize(HWND window, WPARAM kind)
{
    if (kind == SIZE_RESTORED) {
        SetWindowTextA(window, kWindowTitle);
        KeepOnAMonitor(window);  // the screens may have changed while it was minimised
        UpdateDisplay(window);
    } else if (kind == SIZE_MINIMIZED) {
        UpdateDisplay(window);
        HideToTray(window);
    }
    return 1;
}

INT_PTR OnNotify(LPARAM lParam)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->code != TTN_GETDISPINFOA)
        return 0;
    reinterpret_cast<NMTTDISPINFOA*>(lParam)->lpszText = App().tipText;
    return 1;
}

INT_PTR OnTimer(HWND window, WPARAM id)
{
    AppState& app = App();
    if (app.monitorTimer && id == app.monitorTimer) {
        ReadRequest request = MakeRequest(window, 0);
        return CSENSOR::Start(&request) ? 1 : 0;
    }
    if (app.blinkTimer && id == app.blinkTimer) {
        app.blinkPhase = !app.blinkPhase;
        DrawPanels(window);
        return 1;
    }
    return 0;
}

// The hover rows are only tried, never waited for: an update or an apply in
// progress must not stall the pointer.
INT_PTR OnMouseMove(HWND window, LPARAM lParam)
{
    AppState& app = App();
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    if (!app.updateLock.TryEnter())
        return 0;
    int x = LOWORD(lParam);
    int y = HIWORD(lParam);
    // Only the row under the pointer is hovered: a row passed over earlier
    // must not go on showing its second value.
    std::memset(app.hover, 0, sizeof app.hover);
    const int row = HoverRowAt(window, x, y);
    if (row >= 0)
        app.hover[row] = 1;
    app.updateLock.Leave();
    DrawPanels(window);
    return row >= 0 ? 1 : 0;
}

INT_PTR OnMouseLeave(HWND window)
{
    AppState& app = App();
    if (!app.updateLock.TryEnter())
        return 0;
    std::memset(app.hover, 0, sizeof app.hover);
    app.updateLock.Leave();
    DrawPanels(window);
    return 0;
}

INT_PTR OnLButtonDown(HWND window)
{
    if (!App().stable)
        PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return 1;
}

INT_PTR OnLButtonDblClk(HWND window)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return 1;
}

INT_PTR OnRButtonDown(HWND window)
{
    ShowContextMenu(window);
    PostMessageA(window, WM_NULL, 0, 0);
    return 1;
}

// A new window, now or, while the settings dialog is open (its thread works
// on this window), as soon as the dialog has closed.
void RequestRecreation(HWND window)
{
    if (!RecreateWhenSettingsClose())
        PostCommand(window, ID_RELOAD);
}

// A monitor unplugged or the resolution changed: the window comes back onto
// a screen if it lies on none.
INT_PTR OnDisplayChange(HWND window)
{
    KeepOnAMonitor(window);
    OnTrayDisplayChange(window);
    return 0;
}

INT_PTR OnSettingChange(HWND window, WPARAM what)
{
    if (what == SPI_SETWORKAREA)
        KeepOnAMonitor(window);
    OnTrayDisplayChange(window);
    return 0;
}

// After sleep the chip and the driver were reset underneath: the window is
// created anew, which opens the device, identifies the chip and sets up the
// processor again. One request, however many resume messages arrive.
INT_PTR OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND)
        return FALSE;
    AppState& app = App();
    if (!app.resumeReload) {
        app.resumeReload = 1;
        app.resumeMinimized = IsIconic(window) ? 1 : 0;
        app.resumeStopped = app.monitorTimer ? 0 : 1;
        // The new window opens where this one is now, as after a settings change.
        if (!IsIconic(window))
            SaveWindowPosition(window);
        RequestRecreation(window);
    }
    return TRUE;
}

}  // namespace

int StartMonitoring(HWND window)
{
    AppState& app = App();
    if (app.monitorTimer)
        return 0;
    app.monitorTimer = SetTimer(window, TIMER_MONITOR, app.timer * kMillisecondsPerSecond, nullptr);
    if (!app.monitorTimer)
        return 0;
    if (app.blinkTimer) {
        KillTimer(window, app.blinkTimer);
        app.blinkTimer = 0;
        app.blinkPhase = 0;
        DrawPanels(window);
    }
    return 1;
}

int StopMonitoring(HWND window)
{
    AppState& app = App();
    if (!app.monitorTimer)
        return 0;
    KillTimer(window, app.monitorTimer);
    app.monitorTimer = 0;
    if (!app.blinkTimer)
        app.blinkTimer = SetTimer(window, TIMER_BLINK, kBlinkPeriod, nullptr);
    return 1;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_SIZE: return OnSize(window, wParam);
    case WM_PAINT: PaintPanels(window); return 1;
    case WM_NOTIFY: return OnNotify(lParam);
    case WM_COMMAND: return OnMainCommand(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, lParam);
    case WM_MOUSELEAVE: return OnMouseLeave(window);
    case WM_LBUTTONDOWN: return OnLButtonDown(window);
    case WM_LBUTTONDBLCLK: return OnLButtonDblClk(window);
    case WM_RBUTTONDOWN: return OnRButtonDown(window);
    case WM_DROPFILES: return OnMainDropFiles(window, reinterpret_cast<HDROP>(wParam));
    case WM_DISPLAYCHANGE: return OnDisplayChange(window);
    case WM_SETTINGCHANGE: return OnSettingChange(window, wParam);
    case WM_POWERBROADCAST: return OnPowerBroadcast(window, wParam);
    case WM_TRAY_NOTIFY: return OnTrayNotify(window, wParam, lParam);
    default: return IsTaskbarCreated(message) ? OnTaskbarCreated(window) : 0;
    }
}
