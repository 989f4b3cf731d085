#include "window/mainwindow.h"

#include <shellapi.h>

#include <cstring>

#include "app/appstate.h"
#include "app/hardware.h"
#include "app/settings.h"
#include "dialogs/cpuwindow.h"
#include "display/msgwindow.h"
#include "dialogs/pickers.h"
#include "dialogs/settings.h"
#include "display/commands.h"
#include "display/coretip.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "display/placement.h"
#include "display/skin.h"
#include "driver/protocol.h"
#include "foundation/userio.h"
#include "sensors/csensor.h"

const char kWindowTitle[] = "Veskora! for Fintek";

namespace {

const char kObjectError[] = "オブジェクト生成エラーが発生しました。";
const char kVersionError[] = "ドライバのバージョンが一致しません。";
const char kDeviceError[] = "デバイス初期化エラーが発生しました。";
const char kMonitorError[] = "モニタ開始エラーが発生しました。";
const char kSkinError[] = "スキンオブジェクト生成エラーが発生しました。";

const UINT kMillisecondsPerSecond = 1000;

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

// Opens the driver and checks its version and the chip; shows what failed.
bool OpenSensors(HWND window, uint32_t* status)
{
    *status = CSENSOR::Open(App().dummy);
    if (!CSENSOR::CheckVersion()) {
        ShowError(window, kVersionError);
        return false;
    }
    if (!(*status & VK_STATUS_CHIP)) {
        ShowError(window, kDeviceError);
        return false;
    }
    return true;
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
// the dialog procedure the window was made with.
struct TickPath {
    HWND window;
    WNDPROC next;
    WNDPROC dialog;
};
TickPath tickPath = {};

// Each tick brings three messages: the monitor timer, the cycle's posted
// update and the repaint. They go straight to the dialog procedure, which
// answers all three itself; through the dialog manager and the tooltip's
// subclass each would also cost window-property lookups (three server
// calls a message under Wine) for nothing. Everything else takes the
// usual way.
LRESULT CALLBACK TickPathProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window != tickPath.window)
        return CallWindowProcA(DefDlgProcA, window, message, wParam, lParam);
    if (message == WM_TIMER || message == WM_COMMAND || message == WM_PAINT) {
        CallWindowProcA(tickPath.dialog, window, message, wParam, lParam);
        return 0;
    }
    return CallWindowProcA(tickPath.next, window, message, wParam, lParam);
}

// Once per window, after its tooltip has subclassed it.
void OpenTickPath(HWND window)
{
    const LONG_PTR before = GetWindowLongPtrA(window, GWLP_WNDPROC);
    const LONG_PTR dialog = GetWindowLongPtrA(window, DWLP_DLGPROC);
    if (!before || !dialog || before == reinterpret_cast<LONG_PTR>(TickPathProc))
        return;
    tickPath = {window, reinterpret_cast<WNDPROC>(before), reinterpret_cast<WNDPROC>(dialog)};
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TickPathProc));
}

bool InitializeWindow(HWND window)
{
    AppState& app = App();
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
    if (!OpenSensors(window, &status))
        return false;
    ApplyDividers();
    InitializeProcessor((status & VK_STATUS_DTS) ? 1 : 0);
    if (app.cpu.present)
        CreateCoreTooltip(window);
    ReadRequest first = MakeRequest(window, 1);
    CSENSOR::Start(&first);
    RecordChip();
    if (!StartMonitoring(window)) {
        ShowError(window, kMonitorError);
        return false;
    }
    ShapeAndPlace(window);
    OpenTickPath(window);
    UpdateDisplay(window);
    SetForegroundWindow(window);
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
    StopMonitoring(window);
    // The blink timer goes with this window; the next one starts afresh.
    KillTimer(window, TIMER_BLINK);
    app.blinkTimer = 0;
    app.blinkPhase = 0;
    ForgetPanel(window);
    ReleaseDrawingObjects();
    app.coreTip.Destroy();
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

// Loads the settings (and theme) or only the theme, and has the window re-created.
void ReloadFrom(HWND window, int withConfig)
{
    StopMonitoring(window);
    LoadSettings(withConfig);
    PostCommand(window, ID_RELOAD);
}

// Shows or hides the skin; setting and surface change under the locks an
// apply of the settings dialog's thread holds while it rebuilds.
void SwitchSkin(HWND window, int enable)
{
    AppState& app = App();
    app.updateLock.Enter();
    app.drawLock.Enter();
    app.skin.enable = enable;
    SyncSkinSurface(window);
    app.drawLock.Leave();
    app.updateLock.Leave();
}

void TakeDroppedSkin(HWND window, const char* path)
{
    AppState& app = App();
    app.updateLock.Enter();
    lstrcpynA(app.skin.fileName, path, kPathSize);
    ReleaseSkinSurfaces();
    bool built = BuildSkin(window);
    app.updateLock.Leave();
    if (!built)
        ShowError(window, kSkinError);
    if (app.skinState.loaded && !app.skin.enable)
        SwitchSkin(window, 1);
    DrawPanels(window);
    ApplyWindowShape(window, window);
}

bool IsSkinExtension(const char* extension)
{
    static const char* const kSkinExtensions[] = {".BMP", ".JPG", ".JPEG", ".GIF", ".PNG"};
    for (const char* e : kSkinExtensions)
        if (lstrcmpiA(extension, e) == 0)
            return true;
    return false;
}

INT_PTR OnDropFiles(HWND window, HDROP drop)
{
    AppState& app = App();
    char path[kPathSize] = "";
    // A name too long for the buffer is refused whole: cut, it would name
    // another file.
    const bool fits = DragQueryFileA(drop, 0, nullptr, 0) < static_cast<UINT>(kPathSize);
    DragQueryFileA(drop, 0, path, kPathSize);
    DragFinish(drop);
    const char* extension = std::strrchr(path, '.');
    if (!fits || !extension)
        return 0;
    if (IsSkinExtension(extension)) {
        TakeDroppedSkin(window, path);
    } else if (lstrcmpiA(extension, ".VKT") == 0) {
        lstrcpynA(app.themePath, path, kPathSize);
        ReloadFrom(window, 0);
    } else if (lstrcmpiA(extension, ".VKC") == 0) {
        lstrcpynA(app.settingsPath, path, kPathSize);
        ReloadFrom(window, 1);
    } else {
        return 0;
    }
    return 1;
}

// Commands: one handler each.

void CmdUpdate(HWND window, LPARAM) { TakeReading(window); }
void CmdReload(HWND window, LPARAM) { EndDialog(window, 1); }

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
    return 0;
}

INT_PTR OnSettingChange(HWND window, WPARAM what)
{
    if (what == SPI_SETWORKAREA)
        KeepOnAMonitor(window);
    return 0;
}

// After sleep the chip and the driver were reset underneath: the window is
// created anew, which opens the device, identifies the chip and sets up the
// processor again. One request, however many resume messages arrive.
INT_PTR OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND)
        return FALSE;
    if (!App().resumeReload) {
        App().resumeReload = 1;
        // The new window opens where this one is now, as after a settings change.
        if (!IsIconic(window))
            SaveWindowPosition(window);
        RequestRecreation(window);
    }
    return TRUE;
}
void CmdMonitorStop(HWND window, LPARAM) { StopMonitoring(window); }
void CmdMonitorStart(HWND window, LPARAM) { StartMonitoring(window); }

// Timers belong to this thread: the settings dialog asks for the restart
// with the new interval here, and only a running monitor is restarted.
void CmdRestartMonitor(HWND window, LPARAM)
{
    if (StopMonitoring(window))
        StartMonitoring(window);
}

void CmdResetMax(HWND window, LPARAM)
{
    CSENSOR::ResetMaximum();
    UpdateDisplay(window);
}

void CmdMinimize(HWND window, LPARAM) { PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0); }
// Any stored value counts as locked; one click unlocks it.
void CmdLockPosition(HWND, LPARAM) { App().stable = !App().stable; }

void CmdSkin(HWND window, LPARAM)
{
    SwitchSkin(window, !App().skin.enable);
    UpdateDisplay(window);
}

template <unsigned int Mode>
void CmdMask(HWND window, LPARAM)
{
    App().mask.mode = Mode;
    ApplyWindowShape(window, window);
}

void CmdLayoutEnable(HWND window, LPARAM)
{
    App().layoutEnable = !App().layoutEnable;
    SaveWindowPosition(window);
    EndDialog(window, 1);
}

void CmdLayoutSelect(HWND window, LPARAM)
{
    AppState& app = App();
    SaveWindowPosition(window);
    if (!ChooseFileName(window, kLayoutChooserTitle, kLayoutFilter, app.layoutPath, true))
        return;
    StopMonitoring(window);
    app.layoutEnable = 1;
    PostCommand(window, ID_RELOAD);
}

void CmdSettings(HWND window, LPARAM)
{
    SaveWindowPosition(window);
    OpenSettingsDialog(window, App().instance);
}

void CmdConfigLoad(HWND window, LPARAM)
{
    if (ChooseFileName(window, kSettingsChooserTitle, kSettingsFilter, App().settingsPath, true))
        ReloadFrom(window, 1);
}

void CmdConfigSave(HWND window, LPARAM)
{
    SaveWindowPosition(window);
    if (ChooseFileName(window, kSettingsChooserTitle, kSettingsFilter, App().settingsPath, false))
        ReportSaveFailures(window, SaveSettings(1));
}

void CmdThemeLoad(HWND window, LPARAM)
{
    if (ChooseFileName(window, kThemeChooserTitle, kThemeFilter, App().themePath, true))
        ReloadFrom(window, 0);
}

void CmdThemeSave(HWND window, LPARAM)
{
    SaveWindowPosition(window);
    if (ChooseFileName(window, kThemeChooserTitle, kThemeFilter, App().themePath, false))
        ReportSaveFailures(window, SaveSettings(0));
}

void CmdProcessorInfo(HWND window, LPARAM) { OpenProcessorWindow(window, App().instance); }

void CmdRegionReady(HWND window, LPARAM succeeded)
{
    EndMessageWindow(succeeded);
    if (!succeeded)
        ShowError(window, kMaskError);
}

void CmdExit(HWND window, LPARAM) { EndDialog(window, 0); }

struct CommandEntry {
    WORD id;
    void (*run)(HWND window, LPARAM lParam);
};

const CommandEntry kCommands[] = {
    {ID_UPDATE, CmdUpdate},
    {ID_RELOAD, CmdReload},
    {ID_MONITOR_STOP, CmdMonitorStop},
    {ID_MONITOR_START, CmdMonitorStart},
    {ID_RESTART_MONITOR, CmdRestartMonitor},
    {ID_RESET_MAX, CmdResetMax},
    {ID_MINIMIZE, CmdMinimize},
    {ID_LOCK_POSITION, CmdLockPosition},
    {ID_SKIN, CmdSkin},
    {ID_MASK_NONE, CmdMask<MASK_NONE>},
    {ID_MASK_ROUND, CmdMask<MASK_ROUND>},
    {ID_MASK_AUTO, CmdMask<MASK_AUTO>},
    {ID_MASK_COLOR, CmdMask<MASK_COLOR>},
    {ID_MASK_BITMAP, CmdMask<MASK_BITMAP>},
    {ID_LAYOUT_ENABLE, CmdLayoutEnable},
    {ID_LAYOUT_SELECT, CmdLayoutSelect},
    {ID_SETTINGS, CmdSettings},
    {ID_CONFIG_LOAD, CmdConfigLoad},
    {ID_CONFIG_SAVE, CmdConfigSave},
    {ID_THEME_LOAD, CmdThemeLoad},
    {ID_THEME_SAVE, CmdThemeSave},
    {ID_PROCESSOR_INFO, CmdProcessorInfo},
    {ID_REGION_READY, CmdRegionReady},
    {ID_EXIT, CmdExit},
};

// Every command is answered as handled; ids without an entry (IDOK and
// IDCANCEL among them) do nothing, so only the menu ends the window.
INT_PTR OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    WORD id = LOWORD(wParam);
    for (const CommandEntry& c : kCommands) {
        if (c.id == id) {
            c.run(window, lParam);
            break;
        }
    }
    return 1;
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
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, lParam);
    case WM_MOUSELEAVE: return OnMouseLeave(window);
    case WM_LBUTTONDOWN: return OnLButtonDown(window);
    case WM_LBUTTONDBLCLK: return OnLButtonDblClk(window);
    case WM_RBUTTONDOWN: return OnRButtonDown(window);
    case WM_DROPFILES: return OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
    case WM_DISPLAYCHANGE: return OnDisplayChange(window);
    case WM_SETTINGCHANGE: return OnSettingChange(window, wParam);
    case WM_POWERBROADCAST: return OnPowerBroadcast(window, wParam);
    default: return 0;
    }
}
