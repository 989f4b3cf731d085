// The alarms and log page (tab "アラーム/ログ"): a bound per row, empty for
// none; the readings in a row that start an alarm, the beep, the command
// and the alarm colour; and the readings log. Stored only when the frame
// asks; an entered command counts as confirmed by the user.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/alarms.h"
#include "app/appstate.h"
#include "app/command.h"
#include "app/logname.h"
#include "app/readingslog.h"
#include "app/rows.h"
#include "app/watch.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "foundation/gdiwrap.h"
#include "foundation/windowdata.h"
#include "resources/resource.h"

namespace {

const int kBoundText = 32;
const int kHeadingText = kTextSize + 8;
// What a group's heading names after its title: the kind of its bounds. The
// voltages' two columns name theirs in the template.
const char* const kBoundKinds[kRowGroupCount] = {"上限", "下限", ""};
const char kNameNote[] = "名前は .CSV か .TSV で終わること: ログは書かれません";
const char kCommandNote[] = "%L と %V は引用符の外に単独で置くこと: コマンドは実行されません";
const char kProgramNote[] = "プログラムが見つかりません: コマンドは実行されません";

// The edits of a group's bounds: item i's at base + i; none where 0.
struct BoundIds {
    int low;
    int high;
};
const BoundIds kBoundIds[kRowGroupCount] = {
    {0, IDC_ALARM_TEMP_MAX},
    {IDC_ALARM_FAN_MIN, 0},
    {IDC_ALARM_IN_MIN, IDC_ALARM_IN_MAX},
};

// The working alarm colour and its swatch brush.
struct PageState {
    COLORREF colour;
    WINBRUSH brush;
    bool commandEntered;  // typed or chosen here: OK or Apply confirms it
};

// Every bound edit of the page with the bound it holds; voltages keep
// their decimals.
template <typename Visit>
void ForEachBound(AppState& a, Visit visit)
{
    for (int row = 0; row < kRowCount; ++row) {
        const Row r = RowAt(row);
        const BoundIds& ids = kBoundIds[r.group];
        const bool volts = r.group == kVoltRows;
        if (ids.low)
            visit(ids.low + r.item, volts, *RowLowBound(a, row));
        if (ids.high)
            visit(ids.high + r.item, volts, *RowHighBound(a, row));
    }
    visit(IDC_ALARM_CORE_MAX, false, a.alarm.coreMax);
}

int EditNumber(HWND dialog, int id, int fallback)
{
    BOOL ok = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(dialog, id, &ok, FALSE));
    return ok ? value : fallback;
}

// A command whose label or value could add arguments, or whose program is
// not there, is never run.
const char* CommandNote(const char* command)
{
    if (!FieldsOutsideQuotes(command))
        return kCommandNote;
    if (command[0] && ResolveCommand(command, App().settingsPath).empty())
        return kProgramNote;
    return "";
}

void ShowCommandNote(HWND dialog)
{
    char command[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_ALARM_COMMAND, command, sizeof command);
    SetDlgItemTextA(dialog, IDC_ALARM_COMMAND_NOTE, CommandNote(command));
}

// An entered command is refused when its fields do not stand alone; one
// that is kept is confirmed, and the page shows it as it will run.
void StoreCommand(HWND dialog, PageState& page)
{
    char command[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_ALARM_COMMAND, command, sizeof command);
    if (!FieldsOutsideQuotes(command))
        return;
    lstrcpynA(App().alarm.command, command, kPathSize);
    if (!page.commandEntered || !ConfirmCommand(App().alarm.command))
        return;  // entered here by the user of this machine, so confirmed
    SetDlgItemTextA(dialog, IDC_ALARM_COMMAND, App().alarm.command);
    page.commandEntered = false;
}

void ShowNameNote(HWND dialog)
{
    char name[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_LOG_NAME, name, sizeof name);
    SetDlgItemTextA(dialog, IDC_LOG_NAME_NOTE, LogNameAllowed(name) ? "" : kNameNote);
}

// The heading over group g's bounds: its title and the kind of its bounds.
void ShowHeading(HWND dialog, const AppState& a, int g)
{
    char heading[kHeadingText];
    const char* kind = kBoundKinds[g];
    const char* title = GroupTitle(a, static_cast<RowGroup>(g));
    std::snprintf(heading, sizeof heading, "%s%s%s", title, *kind ? " " : "", kind);
    SetDlgItemTextA(dialog, IDC_ALARM_GROUP + g, heading);
}

INT_PTR InitWatchPage(HWND dialog)
{
    AppState& a = App();
    PageState* kept = AttachWindowData<PageState>(dialog);
    if (!kept)
        return TRUE;
    PageState& page = *kept;
    CheckBox(dialog, IDC_ALARM_ENABLE, a.alarm.enable);
    for (int g = 0; g < kRowGroupCount; ++g)
        ShowHeading(dialog, a, g);
    for (int row = 0; row < kRowCount; ++row)
        SetDlgItemTextA(dialog, IDC_ALARM_NAME + row, RowLabel(a, row));
    ForEachBound(a, [dialog](int id, bool volts, AlarmBound& bound) {
        char text[kBoundText];
        FormatBound(bound, volts, text, sizeof text);
        SetDlgItemTextA(dialog, id, text);
    });
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
    ShowCommandNote(dialog);
    page.commandEntered = false;  // filling the edit is not entering
    return TRUE;
}

void Store(HWND dialog, PageState& page)
{
    AppState& a = App();
    a.alarm.enable = Checked(dialog, IDC_ALARM_ENABLE);
    ForEachBound(a, [dialog](int id, bool, AlarmBound& bound) {
        char text[kBoundText] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        bound = ParseBound(text);
    });
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_ALARM_COUNT_SPIN, UDM_GETPOS32, 0, 0);
    a.alarm.count = count < kMinAlarmCount   ? kMinAlarmCount
                    : count > kMaxAlarmCount ? kMaxAlarmCount
                                             : static_cast<int>(count);
    a.alarm.beep = Checked(dialog, IDC_ALARM_BEEP);
    StoreCommand(dialog, page);
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

INT_PTR OnCommand(HWND dialog, PageState& page, WORD id, WORD code)
{
    char path[kPathSize] = "";
    switch (id) {
    case kStorePage:
        Store(dialog, page);
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
        if (code == EN_CHANGE) {
            page.commandEntered = true;
            ShowCommandNote(dialog);
        }
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

INT_PTR OnCtlColorStatic(const PageState& page, HDC dc, HWND control)
{
    if (GetDlgCtrlID(control) != IDC_ALARM_COLOR)
        return FALSE;
    SetBkColor(dc, page.colour);
    return reinterpret_cast<INT_PTR>(page.brush.Handle());
}

}  // namespace

INT_PTR CALLBACK WatchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return InitWatchPage(dialog);
    PageState* page = WindowDataOf<PageState>(dialog);
    if (!page)
        return FALSE;
    switch (message) {
    case WM_COMMAND: return OnCommand(dialog, *page, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(*page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
        FreeWindowData<PageState>(dialog);
        return FALSE;
    default: return FALSE;
    }
}
