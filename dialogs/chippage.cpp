// The chip page (tab "チップ"): the nine voltage multipliers and the fan
// constant with their defaults beside them, and the core-temperature options.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "foundation/mbcs.h"
#include "resources/resource.h"
#include "sensors/cf718x.h"
#include "sensors/cix86.h"

namespace {

const int kNumberSize = 64;
const int kDividerEdits = kVoltCount + 1;  // the multipliers and the fan constant
const int kProcessorControls[] = {IDC_CHIP_CORE_ENABLE, IDC_CHIP_BALLOON, IDC_CHIP_TJMAX,
                                  IDC_CHIP_TJMAX_SPIN, IDC_CHIP_TITLE};

void SetNumber(HWND page, int id, const char* format, double value)
{
    char text[kNumberSize];
    std::snprintf(text, sizeof text, format, value);
    SetDlgItemTextA(page, id, text);
}

void EnableDividerEdits(HWND page, bool on)
{
    for (int i = 0; i < kDividerEdits; ++i)
        EnableWindow(GetDlgItem(page, IDC_CHIP_DIVIDER + i), on);
}

INT_PTR OnInitDialog(HWND page)
{
    const AppState& app = App();
    EnableDividerEdits(page, app.divid.enable != 0);
    for (int k = 0; k < kVoltCount; ++k)
        SetNumber(page, IDC_CHIP_DEFAULT + k, "%.2f", kDefaultDividers.inScale[k]);
    SetDlgItemInt(page, IDC_CHIP_FAN_DEFAULT, kDefaultDividers.fanConstant, FALSE);
    CheckBox(page, IDC_CHIP_DIVID_ENABLE, app.divid.enable);
    for (int k = 0; k < kVoltCount; ++k)
        SetNumber(page, IDC_CHIP_DIVIDER + k, "%.2f", app.divid.in[k]);
    SetDlgItemInt(page, IDC_CHIP_FAN, app.divid.fan, FALSE);
    for (int id : kProcessorControls)
        EnableWindow(GetDlgItem(page, id), app.cpu.present != 0);
    CheckBox(page, IDC_CHIP_CORE_ENABLE, app.coreTemp.enable);
    CheckBox(page, IDC_CHIP_BALLOON, app.coreTemp.balloon);
    SendDlgItemMessageA(page, IDC_CHIP_TJMAX_SPIN, UDM_SETRANGE32, kTjMaxLowest, kTjMaxHighest);
    SendDlgItemMessageA(page, IDC_CHIP_TJMAX_SPIN, UDM_SETPOS32, 0, app.coreTemp.tjmax);
    const int found = app.cpu.detectedTjMax;
    if (found >= kTjMaxLowest && found <= kTjMaxHighest)
        SetDlgItemInt(page, IDC_CHIP_TJMAX_FOUND, static_cast<UINT>(found), FALSE);
    SetDlgItemTextA(page, IDC_CHIP_TITLE, app.coreTemp.title);
    return TRUE;
}

// Stored even where the controls are disabled, but for TjMax: without
// processor temperatures nothing resolved a stored 0 ("detect"), and the
// disabled up-down control holds its lowest value instead. Nothing is
// checked further.
void Store(HWND page)
{
    AppState& app = App();
    app.divid.enable = Checked(page, IDC_CHIP_DIVID_ENABLE);
    for (int k = 0; k < kVoltCount; ++k) {
        char text[kNumberSize];
        GetDlgItemTextA(page, IDC_CHIP_DIVIDER + k, text, sizeof text);
        app.divid.in[k] = std::atof(text);  // not a number: 0.0
    }
    app.divid.fan = GetDlgItemInt(page, IDC_CHIP_FAN, nullptr, FALSE);
    app.coreTemp.enable = Checked(page, IDC_CHIP_CORE_ENABLE);
    if (app.cpu.present)
        app.coreTemp.tjmax =
            static_cast<int>(SendDlgItemMessageA(page, IDC_CHIP_TJMAX_SPIN, UDM_GETPOS32, 0, 0));
    char title[kTextSize];
    GetDlgItemTextA(page, IDC_CHIP_TITLE, title, sizeof title);
    CopyWholeCharacters(app.coreTemp.title, title, kTextSize - 1);
    app.coreTemp.balloon = Checked(page, IDC_CHIP_BALLOON);
}

INT_PTR OnCommand(HWND page, WORD id)
{
    switch (id) {
    case kStorePage: Store(page); break;
    case IDC_CHIP_DIVID_ENABLE: EnableDividerEdits(page, Checked(page, IDC_CHIP_DIVID_ENABLE)); break;
    default: break;
    }
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ChipPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam));
    default: return FALSE;
    }
}
