#include "dialogs/settings.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>

#include "app/appstate.h"
#include "app/settings.h"
#include "dialogs/pages.h"
#include "display/commands.h"
#include "display/coretip.h"
#include "app/hardware.h"
#include "display/panels.h"
#include "display/placement.h"
#include "display/skin.h"
#include "foundation/gdiwrap.h"
#include "foundation/windowdata.h"
#include "resources/resource.h"
#include "sensors/csensor.h"

static INT_PTR CALLBACK SettingsFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
static DWORD WINAPI SettingsDialogThread(LPVOID unused);
static void InitSettingsFrame(HWND frame);
// Command 1 (OK) or 4 (Apply).
static void ApplySettings(HWND frame, WORD command);

const SettingsPage kSettingsPages[] = {
    {"基本", IDD_PAGE_BASIC, BasicPageProc},
    {"チップ", IDD_PAGE_CHIP, ChipPageProc},
    {"ラベル", IDD_PAGE_LABELS, LabelsPageProc},
    {"カラー/フォント", IDD_PAGE_COLORS, ColorPageProc},
    {"スキン/マスク", IDD_PAGE_SKIN, SkinPageProc},
    {"アラーム/ログ", IDD_PAGE_WATCH, WatchPageProc},
    {"外部出力", IDD_PAGE_EXPORT, ExportPageProc},
    {"バージョン", IDD_PAGE_VERSION, VersionPageProc},
    {nullptr, 0, nullptr},
};

namespace {

const char kCaption[] = "設定画面";
const int kHeaderSize = 64;
const LONG kHeaderHeight = -15;
const INT_PTR kDialogFailed = -1;

// The one settings dialog (its record: AppState). The display window's
// thread opens it; the dialog's own thread runs it and ends it.
SettingsDialogRecord& State()
{
    return App().settingsDialog;
}

// What the frame keeps while it is open.
struct FrameData {
    ~FrameData() { delete[] pages; }
    HWND tabs = nullptr;
    HWND* pages = nullptr;  // one per entry of the page table
    int count = 0;
    int current = 0;
    LPARAM commandParameter = 0;  // of the OK or Apply command being carried out
    WINFONT headerFont;
};

FrameData* FrameOf(HWND frame)
{
    return frame ? WindowDataOf<FrameData>(frame) : nullptr;
}

void ShowPage(const FrameData& data, int index, bool selectTab)
{
    if (selectTab)
        SendMessageA(data.tabs, TCM_SETCURSEL, index, 0);
    for (int i = 0; i < data.count; ++i)
        if (data.pages[i])
            ShowWindow(data.pages[i], i == index ? SW_SHOW : SW_HIDE);
}

// Back to the closed state once the dialog's thread is done with it.
void EndOfDialog()
{
    SettingsDialogRecord& state = State();
    state.module = nullptr;
    state.display = nullptr;
    state.smallIcon.Reset();
    state.largeIcon.Reset();
    state.result = 0;
    InterlockedExchange(&state.open, 0);
}

// The chip's maker and model as the display window recorded them; a name
// that is absent is left out, so an unknown chip shows nothing.
void HeaderText(char text[kHeaderSize])
{
    const ChipState& chip = App().chip;
    text[0] = '\0';
    for (const char* name : {chip.vendorName, chip.chipName}) {
        if (!name)
            continue;
        size_t used = std::strlen(text);
        std::snprintf(text + used, kHeaderSize - used, "%s%s", used ? " " : "", name);
    }
}

void SetUpHeader(HWND frame, WINFONT& headerFont)
{
    LOGFONTA lf = {};
    lf.lfHeight = kHeaderHeight;
    lf.lfWeight = FW_BOLD;
    lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
    if (headerFont.Create(lf))
        SendDlgItemMessageA(frame, IDC_SETTINGS_HEADER, WM_SETFONT,
                            reinterpret_cast<WPARAM>(headerFont.Handle()), FALSE);
    char text[kHeaderSize];
    HeaderText(text);
    SetDlgItemTextA(frame, IDC_SETTINGS_HEADER, text);
}

// Moves a page onto the tab control's display area.
void PlacePage(HWND frame, HWND tabs, HWND page)
{
    RECT r;
    GetClientRect(tabs, &r);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(tabs, frame, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

void CreatePages(HWND frame, FrameData& data)
{
    int count = 0;
    while (kSettingsPages[count].text)
        ++count;
    data.pages = new (std::nothrow) HWND[count]();
    if (!data.pages)
        return;  // the frame shows an empty tab control
    data.count = count;
    // Every tab first: the tabs take as many rows as they need, and the
    // pages go below the last of them.
    for (int i = 0; i < count; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kSettingsPages[i].text);
        SendMessageA(data.tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    for (int i = 0; i < count; ++i) {
        const SettingsPage& p = kSettingsPages[i];
        data.pages[i] = CreateDialogParamA(State().module, MAKEINTRESOURCEA(p.templateId), frame,
                                           p.procedure, 0);
        if (data.pages[i])
            PlacePage(frame, data.tabs, data.pages[i]);
    }
}

INT_PTR OnFrameNotify(FrameData& data, LPARAM lParam)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->idFrom != IDC_SETTINGS_TABS || header->code != TCN_SELCHANGE)
        return FALSE;
    data.current = static_cast<int>(SendMessageA(data.tabs, TCM_GETCURSEL, 0, 0));
    ShowPage(data, data.current, false);
    return TRUE;
}

INT_PTR OnFrameCommand(HWND frame, FrameData& data, WORD id, LPARAM lParam)
{
    switch (id) {
    case IDOK:
    case IDC_APPLY:
        data.commandParameter = lParam;  // the pages see the frame's own parameter
        ApplySettings(frame, id);
        return TRUE;
    case IDCANCEL:  // also the close box and Escape
        EndDialog(frame, State().result);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnFrameDestroy(HWND frame)
{
    State().frame = nullptr;
    FreeWindowData<FrameData>(frame);
    return FALSE;
}

}  // namespace

void CheckBox(HWND page, int id, int on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

int Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
}

void OpenSettingsDialog(HWND display, HINSTANCE module)
{
    SettingsDialogRecord& state = State();
    if (InterlockedCompareExchange(&state.open, 1, 0) != 0)
        return;  // open already: nothing more happens
    state.module = module;
    state.display = display;
    state.result = 0;
    state.smallIcon.Reset(LoadSizedIcon(module, IDI_SETTINGS_SMALL, SM_CXSMICON, SM_CYSMICON));
    state.largeIcon.Reset(LoadSizedIcon(module, IDI_SETTINGS_LARGE, SM_CXICON, SM_CYICON));
    HANDLE thread = CreateThread(nullptr, 0, SettingsDialogThread, nullptr, 0, nullptr);
    if (!thread) {
        EndOfDialog();
        return;
    }
    CloseHandle(thread);
}

DWORD WINAPI SettingsDialogThread(LPVOID)
{
    SettingsDialogRecord& state = State();
    const INT_PTR result = DialogBoxParamA(state.module, MAKEINTRESOURCEA(IDD_SETTINGS),
                                           state.display, SettingsFrameProc, 0);
    // Posted, not sent: the display window re-creates itself on its own
    // thread once this one has let go. Posted before the dialog counts as
    // closed, and under the section, so that a request of the display
    // thread is either seen here or posted there.
    state.closeLock.Enter();
    if ((result != 0 && result != kDialogFailed) || state.recreate)
        PostCommand(state.display, ID_RELOAD);
    state.recreate = false;
    EndOfDialog();
    state.closeLock.Leave();
    return 0;
}

bool RecreateWhenSettingsClose()
{
    SettingsDialogRecord& state = State();
    state.closeLock.Enter();
    const bool open = state.open != 0;
    if (open)
        state.recreate = true;
    state.closeLock.Leave();
    return open;
}

INT_PTR CALLBACK SettingsFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitSettingsFrame(frame);
        return TRUE;
    }
    FrameData* data = FrameOf(frame);
    if (!data)
        return FALSE;
    switch (message) {
    case WM_NOTIFY: return OnFrameNotify(*data, lParam);
    case WM_COMMAND: return OnFrameCommand(frame, *data, LOWORD(wParam), lParam);
    case WM_SYSCOLORCHANGE: InvalidateRect(frame, nullptr, FALSE); return TRUE;
    case WM_DESTROY: return OnFrameDestroy(frame);
    default: return FALSE;
    }
}

void InitSettingsFrame(HWND frame)
{
    SettingsDialogRecord& state = State();
    SetWindowTextA(frame, kCaption);
    SendMessageA(frame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon.Get()));
    SendMessageA(frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.largeIcon.Get()));
    FrameData* data = AttachWindowData<FrameData>(frame);
    if (!data)
        return;
    data->tabs = GetDlgItem(frame, IDC_SETTINGS_TABS);
    SetUpHeader(frame, data->headerFont);
    CreatePages(frame, *data);
    data->current = 0;  // every opening starts on the first page
    ShowPage(*data, 0, true);
    state.frame = frame;  // the frame counts as open once its pages exist
}

// The rule of the apply: locks in the order UPDATE, DRAW, READ. While this
// thread holds UPDATE or DRAW it makes no
// synchronous call into a window of the display window's thread (no
// SendMessage, nothing that sends one), because that thread may be waiting
// for the same lock. So the redraw is stopped before UPDATE is taken and
// resumed after it is released, the tooltip style and the shape are applied
// after the release, and the monitor timer, which belongs to the display
// window's thread, is restarted there through a posted command.
void ApplySettings(HWND frame, WORD command)
{
    AppState& app = App();
    SettingsDialogRecord& state = State();
    const FrameData* data = FrameOf(frame);
    if (!data)
        return;
    HWND display = state.display;
    SendMessageA(display, WM_SETREDRAW, FALSE, 0);
    app.updateLock.Enter();
    // DRAW as well: the display thread's blink and hover redraws read the
    // settings and draw with the objects rebuilt here without taking UPDATE.
    app.drawLock.Enter();
    for (int i = 0; i < data->count; ++i)
        if (data->pages[i])
            SendMessageA(data->pages[i], WM_COMMAND, kStorePage, data->commandParameter);
    ApplyDividers();
    if (app.cpu.present)
        CSENSOR::SetTjMax(app.coreTemp.tjmax);
    RebuildDrawingObjects(display);
    DrawPanels(display);
    app.drawLock.Leave();
    app.updateLock.Leave();
    SendMessageA(display, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(display, nullptr, FALSE);
    // The balloon style takes full effect only in a new window: once an
    // apply asked for one, later applies of this opening keep the request.
    if (app.cpu.present && ApplyTooltipStyle())
        state.result = 1;
    ApplyWindowShape(display, frame);
    PostCommand(display, ID_RESTART_MONITOR);
    if (command != IDOK)
        return;
    SaveWindowPosition(display);
    ReportSaveFailures(frame, SaveSettings(1));  // the dialog closes all the same
    EndDialog(frame, state.result);
}

HWND SettingsDialog()
{
    return State().frame;
}

bool SettingsDialogOpen()
{
    return State().open != 0;
}

HWND SettingsPageWindow(int index)
{
    const FrameData* data = FrameOf(State().frame);
    return data && index >= 0 && index < data->count ? data->pages[index] : nullptr;
}
