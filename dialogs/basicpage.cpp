// The basic page (tab "基本"): measurement interval, units, position lock,
// and the settings and theme file names.

#include <windows.h>
#include <commctrl.h>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "resources/resource.h"

namespace {

const int kShortestInterval = 1;   // seconds
const int kLongestInterval = 60;

INT_PTR OnInitDialog(HWND page)
{
    const AppState& app = App();
    SendDlgItemMessageA(page, IDC_BASIC_TIMER_SPIN, UDM_SETRANGE32, kShortestInterval, kLongestInterval);
    SendDlgItemMessageA(page, IDC_BASIC_TIMER_SPIN, UDM_SETPOS32, 0, app.timer);
    CheckBox(page, IDC_BASIC_UNITS, app.units.enable);
    CheckBox(page, IDC_BASIC_STABLE, app.stable);
    SetDlgItemTextA(page, IDC_BASIC_CONFIG_NAME, app.settingsPath);
    SetDlgItemTextA(page, IDC_BASIC_THEME_NAME, app.themePath);
    return TRUE;
}

void Store(HWND page)
{
    AppState& app = App();
    int interval = static_cast<int>(SendDlgItemMessageA(page, IDC_BASIC_TIMER_SPIN, UDM_GETPOS32, 0, 0));
    if (interval < kShortestInterval || interval > kLongestInterval)
        interval = static_cast<int>(app.timer);  // the arrows never leave 1..60
    app.timer = static_cast<unsigned int>(interval);
    app.units.enable = Checked(page, IDC_BASIC_UNITS);
    app.stable = Checked(page, IDC_BASIC_STABLE);
    GetDlgItemTextA(page, IDC_BASIC_CONFIG_NAME, app.settingsPath, kPathSize);
    GetDlgItemTextA(page, IDC_BASIC_THEME_NAME, app.themePath, kPathSize);
}

// The chooser writes the live name at once: a chosen file counts even if
// the dialog is cancelled afterwards.
void Choose(HWND page, const char* title, const char* filter, char* path, int editId)
{
    if (ChooseFileName(page, title, filter, path, true))
        SetDlgItemTextA(page, editId, path);
}

INT_PTR OnCommand(HWND page, WORD id)
{
    AppState& app = App();
    switch (id) {
    case kStorePage: Store(page); break;
    case IDC_BASIC_CONFIG_BUTTON:
        Choose(page, kSettingsChooserTitle, kSettingsFilter, app.settingsPath, IDC_BASIC_CONFIG_NAME);
        break;
    case IDC_BASIC_THEME_BUTTON:
        Choose(page, kThemeChooserTitle, kThemeFilter, app.themePath, IDC_BASIC_THEME_NAME);
        break;
    default: return FALSE;
    }
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK BasicPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam));
    default: return FALSE;
    }
}
