// The alarms and log page (tab "アラーム/ログ"): a bound per row, empty for
// none; the readings in a row that start an alarm, the beep, the command
// and the alarm colour; and the readings log. Stored only when the frame
// asks; an entered command counts as confirmed by the user.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/watch.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "foundation/gdiwrap.h"
#include "resources/resource.h"

namespace {

const int kBoundText = 32;
const char kNameNote[] = "名前は .CSV か .TSV で終わること: ログは書かれません";

struct BoundEdit {
    int id;
    bool volts;
    AlarmBound* (*bound)(AppState& app);
};

const BoundEdit kBounds[] = {
    {IDC_ALARM_TEMP_MAX + 0, false, [](AppState& a) { return &a.alarm.tempMax[0]; }},
    {IDC_ALARM_TEMP_MAX + 1, false, [](AppState& a) { return &a.alarm.tempMax[1]; }},
    {IDC_ALARM_TEMP_MAX + 2, false, [](AppState& a) { return &a.alarm.tempMax[2]; }},
    {IDC_ALARM_FAN_MIN + 0, false, [](AppState& a) { return &a.alarm.fanMin[0]; }},
    {IDC_ALARM_FAN_MIN + 1, false, [](AppState& a) { return &a.alarm.fanMin[1]; }},
    {IDC_ALARM_FAN_MIN + 2, false, [](AppState& a) { return &a.alarm.fanMin[2]; }},
    {IDC_ALARM_FAN_MIN + 3, false, [](AppState& a) { return &a.alarm.fanMin[3]; }},
    {IDC_ALARM_IN_MIN + 0, true, [](AppState& a) { return &a.alarm.inMin[0]; }},
    {IDC_ALARM_IN_MIN + 1, true, [](AppState& a) { return &a.alarm.inMin[1]; }},
    {IDC_ALARM_IN_MIN + 2, true, [](AppState& a) { return &a.alarm.inMin[2]; }},
    {IDC_ALARM_IN_MIN + 3, true, [](AppState& a) { return &a.alarm.inMin[3]; }},
    {IDC_ALARM_IN_MIN + 4, true, [](AppState& a) { return &a.alarm.inMin[4]; }},
    {IDC_ALARM_IN_MIN + 5, true, [](AppState& a) { return &a.alarm.inMin[5]; }},
    {IDC_ALARM_IN_MIN + 6, true, [](AppState& a) { return &a.alarm.inMin[6]; }},
    {IDC_ALARM_IN_MIN + 7, true, [](AppState& a) { return &a.alarm.inMin[7]; }},
    {IDC_ALARM_IN_MIN + 8, true, [](AppState& a) { return &a.alarm.inMin[8]; }},
    {IDC_ALARM_IN_MAX + 0, true, [](AppState& a) { return &a.alarm.inMax[0]; }},
    {IDC_ALARM_IN_MAX + 1, true, [](AppState& a) { return &a.alarm.inMax[1]; }},
    {IDC_ALARM_IN_MAX + 2, true, [](AppState& a) { return &a.alarm.inMax[2]; }},
    {IDC_ALARM_IN_MAX + 3, true, [](AppState& a) { return &a.alarm.inMax[3]; }},
    {IDC_ALARM_IN_MAX + 4, true, [](AppState& a) { return &a.alarm.inMax[4]; }},
    {IDC_ALARM_IN_MAX + 5, true, [](AppState& a) { return &a.alarm.inMax[5]; }},
    {IDC_ALARM_IN_MAX + 6, true, [](AppState& a) { return &a.alarm.inMax[6]; }},
    {IDC_ALARM_IN_MAX + 7, true, [](AppState& a) { return &a.alarm.inMax[7]; }},
    {IDC_ALARM_IN_MAX + 8, true, [](AppState& a) { return &a.alarm.inMax[8]; }},
    {IDC_ALARM_CORE_MAX, false, [](AppState& a) { return &a.alarm.coreMax; }},
};

// The working alarm colour and its swatch brush.
struct PageState {
    COLORREF colour;
    WINBRUSH brush;
    bool commandEntered;  // typed or chosen here: OK or Apply confirms it
};
PageState page;

const char* RowName(const AppState& a, int row)
{
    if (row < kTempCount)
        return a.labels.temp[row];
    if (row < kTempCount + kFanCount)
        return a.labels.fan[row - kTempCount];
    return a.labels.in[row - kTempCount - kFanCount];
}

int EditNumber(HWND dialog, int id, int fallback)
{
    BOOL ok = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(dialog, id, &ok, FALSE));
    return ok ? value : fallback;
}

void ShowNameNote(HWND dialog)
{
    char name[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_LOG_NAME, name, sizeof name);
    SetDlgItemTextA(dialog, IDC_LOG_NAME_NOTE, LogNameAllowed(name) ? "" : kNameNote);
}

INT_PTR InitWatchPage(HWND dialog)
{
    AppState& a = App();
    CheckBox(dialog, IDC_ALARM_ENABLE, a.alarm.enable);
    for (int row = 0; row < kRowCount; ++row)
        SetDlgItemTextA(dialog, IDC_ALARM_NAME + row, RowName(a, row));
    for (const BoundEdit& e : kBounds) {
        char text[kBoundText];
        FormatBound(*e.bound(a), e.volts, text, sizeof text);
        SetDlgItemTextA(dialog, e.id, text);
    }
    SendDlgItemMessageA(dialog, IDC_ALARM_COUNT_SPIN, UDM_SETRANGE32, kMinAlarmCount, kMaxAlarmCount);
    SendDlgItemMessageA(dialog, IDC_ALARM_COUNT_SPIN, UDM_SETPOS32, 0, a.alarm.count);
    CheckBox(dialog, IDC_ALARM_BEEP, a.alarm.beep);
    SetDlgItemTextA(dialog, IDC_ALARM_COMMAND, a.alarm.command);
    page.colour = a.alarm.colour;
    page.brush.Create(page.colour);
    CheckBox(dialog, IDC_LOG_ENABLE, a.log.enable);
    SetDlgItemTextA(dialog, IDC_LOG_NAME, a.log.fileName);
    SetDlgItemInt(dialog, IDC_LOG_EVERY, static_cast<UINT>(a.log.every), FALSE);
    SetDlgItemInt(dialog, IDC_LOG_KEEP, static_cast<UINT>(a.log.keep), FALSE);
    HWND separator = GetDlgItem(dialog, IDC_LOG_SEPARATOR);
    SendMessageA(separator, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(","));
    SendMessageA(separator, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kTabSeparator));
    SendMessageA(separator, CB_SETCURSEL, lstrcmpiA(a.log.separator, kTabSeparator) == 0 ? 1 : 0, 0);
    ShowNameNote(dialog);
    page.commandEntered = false;  // filling the edit is not entering
    return TRUE;
}

void Store(HWND dialog)
{
    AppState& a = App();
    a.alarm.enable = Checked(dialog, IDC_ALARM_ENABLE);
    for (const BoundEdit& e : kBounds) {
        char text[kBoundText] = "";
        GetDlgItemTextA(dialog, e.id, text, sizeof text);
        *e.bound(a) = ParseBound(text);
    }
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_ALARM_COUNT_SPIN, UDM_GETPOS32, 0, 0);
    a.alarm.count = count < kMinAlarmCount   ? kMinAlarmCount
                    : count > kMaxAlarmCount ? kMaxAlarmCount
                                             : static_cast<int>(count);
    a.alarm.beep = Checked(dialog, IDC_ALARM_BEEP);
    GetDlgItemTextA(dialog, IDC_ALARM_COMMAND, a.alarm.command, kPathSize);
    if (page.commandEntered)
        ConfirmCommand(a.alarm.command);  // entered here by the user of this machine
    a.alarm.colour = page.colour;
    a.log.enable = Checked(dialog, IDC_LOG_ENABLE);
    GetDlgItemTextA(dialog, IDC_LOG_NAME, a.log.fileName, kPathSize);
    const int every = EditNumber(dialog, IDC_LOG_EVERY, a.log.every);
    a.log.every = every < 1 ? 1 : every > kMaxLogEvery ? kMaxLogEvery : every;
    const int keep = EditNumber(dialog, IDC_LOG_KEEP, a.log.keep);
    a.log.keep = keep < 0 || keep > kMaxKeepDays ? a.log.keep : keep;
    const bool tab = SendDlgItemMessageA(dialog, IDC_LOG_SEPARATOR, CB_GETCURSEL, 0, 0) == 1;
    lstrcpynA(a.log.separator, tab ? kTabSeparator : ",", kTextSize);
    ResumeLogging();  // alarms count afresh, a changed name starts its file
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD code)
{
    char path[kPathSize] = "";
    switch (id) {
    case kStorePage:
        Store(dialog);
        break;
    case IDC_ALARM_COMMAND_FILE:
        // Starts empty: the command line is no file name. A chosen path with
        // blanks is quoted, so that it is the program that runs.
        if (ChooseFileName(dialog, kProgramChooserTitle, kProgramFilter, path, true)) {
            const bool blank = std::strchr(path, ' ') != nullptr;
            char quoted[kPathSize + 2];
            std::snprintf(quoted, sizeof quoted, blank ? "\"%s\"" : "%s", path);
            SetDlgItemTextA(dialog, IDC_ALARM_COMMAND, quoted);
        }
        break;
    case IDC_ALARM_COMMAND:
        if (code == EN_CHANGE)
            page.commandEntered = true;
        break;
    case IDC_LOG_NAME_FILE:
        GetDlgItemTextA(dialog, IDC_LOG_NAME, path, sizeof path);
        if (ChooseFileName(dialog, kLogChooserTitle, kLogFilter, path, false))
            SetDlgItemTextA(dialog, IDC_LOG_NAME, path);
        break;
    case IDC_ALARM_COLOR_PICK:
        PickColor(&page.colour, &page.brush, dialog, IDC_ALARM_COLOR);
        break;
    case IDC_LOG_NAME:
        if (code == EN_CHANGE)
            ShowNameNote(dialog);
        break;
    default:
        break;
    }
    return TRUE;
}

INT_PTR OnCtlColorStatic(HDC dc, HWND control)
{
    if (GetDlgCtrlID(control) != IDC_ALARM_COLOR)
        return FALSE;
    SetBkColor(dc, page.colour);
    return reinterpret_cast<INT_PTR>(page.brush.Handle());
}

}  // namespace

INT_PTR CALLBACK WatchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return InitWatchPage(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
        page.brush.Release();
        return FALSE;
    default: return FALSE;
    }
}
