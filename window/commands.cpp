#include "window/commands.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "app/appstate.h"
#include "app/exporter.h"
#include "app/history.h"
#include "app/settings.h"
#include "dialogs/cpuwindow.h"
#include "dialogs/historywindow.h"
#include "dialogs/pickers.h"
#include "dialogs/settings.h"
#include "display/commands.h"
#include "display/msgwindow.h"
#include "display/panels.h"
#include "display/placement.h"
#include "display/readings.h"
#include "display/skin.h"
#include "foundation/userio.h"
#include "sensors/csensor.h"
#include "window/mainwindow.h"

namespace {

const char kSkinError[] = "スキンオブジェクト生成エラーが発生しました。";

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

}  // namespace

INT_PTR OnMainDropFiles(HWND window, HDROP drop)
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

namespace {

// Commands: one handler each.

void CmdUpdate(HWND window, LPARAM)
{
    TakeReading(window);
    FollowHistoryWindow();
}
void CmdReload(HWND window, LPARAM) { EndDialog(window, 1); }

void CmdMonitorStop(HWND window, LPARAM) { StopMonitoring(window); }
void CmdMonitorStart(HWND window, LPARAM) { StartMonitoring(window); }

// A ring made for another interval would hold more or fewer minutes than
// asked for: it starts over at the new one, as the graphs do with it.
void FitHistoryToInterval(HWND window)
{
    AppState& app = App();
    app.updateLock.Enter();
    const bool other = app.history.Interval() != std::max(app.timer, 1u);
    if (other)
        StartHistory();
    app.updateLock.Leave();
    if (!other)
        return;
    FollowHistoryWindow(true);
    UpdateDisplay(window);
}

// Timers and the endpoint belong to this thread: the settings dialog asks
// for the restart with the new interval here, and only a running monitor is
// restarted; the endpoint follows its keys whether the monitor runs or not.
void CmdRestartMonitor(HWND window, LPARAM)
{
    if (StopMonitoring(window))
        StartMonitoring(window);
    ApplyExport(window);
    FitHistoryToInterval(window);
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
void CmdHistory(HWND window, LPARAM) { OpenHistoryWindow(window, App().instance); }

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
    {ID_HISTORY, CmdHistory},
    {ID_REGION_READY, CmdRegionReady},
    {ID_EXIT, CmdExit},
};

}  // namespace

// Every command is answered as handled; ids without an entry (IDOK and
// IDCANCEL among them) do nothing, so only the menu ends the window.
INT_PTR OnMainCommand(HWND window, WPARAM wParam, LPARAM lParam)
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
