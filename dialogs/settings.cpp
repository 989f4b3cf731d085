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
#include "resources/resource.h"
#include "sensors/csensor.h"

const SettingsPage kSettingsPages[] = {
    {"基本", IDD_PAGE_BASIC, BasicPageProc},
    {"チップ", IDD_PAGE_CHIP, ChipPageProc},
    {"ラベル", IDD_PAGE_LABELS, LabelsPageProc},
    {"カラー/フォント", IDD_PAGE_COLORS, ColorPageProc},
    {"スキン/マスク", IDD_PAGE_SKIN, SkinPageProc},
    {"アラーム/ログ", IDD_PAGE_WATCH, WatchPageProc},
    {"バージョン", IDD_PAGE_VERSION, VersionPageProc},
    {nullptr, 0, nullptr},
};

namespace {

const char kCaption[] = "設定画面";
const int kHeaderSize = 64;
const LONG kHeaderHeight = -15;
const INT_PTR kDialogFailed = -1;

// The one settings dialog. The display window's thread opens it; the
// dialog's own thread runs it and ends it.
struct FrameState {
    volatile LONG open;  // from the request until the dialog's thread ends
    HINSTANCE module;
    HWND display;
    HWND frame;
    Owner<IconTraits> smallIcon;
    Owner<IconTraits> largeIcon;
    INT_PTR result;  // 1 once an apply asked for the window to be re-created
    HWND tabs;
    HWND* pages;     // one per entry of the page table
    int count;
    int current;
    LPARAM commandParameter;  // of the OK or Apply command being carried out
};

FrameState state;
WINFONT headerFont;

// Between the display thread asking for a re-creation and the dialog's
// thread ending: exactly one of them posts the request.
struct CloseRequest {
    CloseRequest() { InitializeCriticalSection(&section); }
    ~CloseRequest() { DeleteCriticalSection(&section); }
    CRITICAL_SECTION section;
    bool recreate = false;
};
CloseRequest closeRequest;

HICON LoadSizedIcon(HINSTANCE module, int id, int metricX, int metricY)
{
    return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY),
                                         LR_DEFAULTCOLOR));
}

// Back to the closed state once the dialog's thread is done with it.
void EndOfDialog()
{
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

void SetUpHeader(HWND frame)
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
void PlacePage(HWND frame, HWND page)
{
    RECT r;
    GetClientRect(state.tabs, &r);
    SendMessageA(state.tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(state.tabs, frame, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

void CreatePages(HWND frame)
{
    int count = 0;
    while (kSettingsPages[count].text)
        ++count;
    state.pages = new (std::nothrow) HWND[count]();
    if (!state.pages)
        return;  // the frame shows an empty tab control
    state.count = count;
    for (int i = 0; i < count; ++i) {
        const SettingsPage& p = kSettingsPages[i];
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(p.text);
        SendMessageA(state.tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        state.pages[i] = CreateDialogParamA(state.module, MAKEINTRESOURCEA(p.templateId), frame,
                                            p.procedure, 0);
        if (state.pages[i])
            PlacePage(frame, state.pages[i]);
    }
}

INT_PTR OnFrameNotify(LPARAM lParam)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->idFrom != IDC_SETTINGS_TABS || header->code != TCN_SELCHANGE)
        return FALSE;
    state.current = static_cast<int>(SendMessageA(state.tabs, TCM_GETCURSEL, 0, 0));
    ShowSettingsPage(state.current, false);
    return TRUE;
}

INT_PTR OnFrameCommand(HWND frame, WORD id, LPARAM lParam)
{
    switch (id) {
    case IDOK:
    case IDC_APPLY:
        state.commandParameter = lParam;  // the pages see the frame's own parameter
        ApplySettings(frame, id);
        return TRUE;
    case IDCANCEL:  // also the close box and Escape
        EndDialog(frame, state.result);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnFrameDestroy()
{
    headerFont.Release();
    delete[] state.pages;
    state.pages = nullptr;
    state.count = 0;
    state.current = 0;
    state.tabs = nullptr;
    state.frame = nullptr;
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
    const INT_PTR result = DialogBoxParamA(state.module, MAKEINTRESOURCEA(IDD_SETTINGS),
                                           state.display, SettingsFrameProc, 0);
    // Posted, not sent: the display window re-creates itself on its own
    // thread once this one has let go. Posted before the dialog counts as
    // closed, and under the section, so that a request of the display
    // thread is either seen here or posted there.
    EnterCriticalSection(&closeRequest.section);
    if ((result != 0 && result != kDialogFailed) || closeRequest.recreate)
        PostCommand(state.display, ID_RELOAD);
    closeRequest.recreate = false;
    EndOfDialog();
    LeaveCriticalSection(&closeRequest.section);
    return 0;
}

bool RecreateWhenSettingsClose()
{
    EnterCriticalSection(&closeRequest.section);
    const bool open = state.open != 0;
    if (open)
        closeRequest.recreate = true;
    LeaveCriticalSection(&closeRequest.section);
    return open;
}

INT_PTR CALLBACK SettingsFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: InitSettingsFrame(frame); return TRUE;
    case WM_NOTIFY: return OnFrameNotify(lParam);
    case WM_COMMAND: return OnFrameCommand(frame, LOWORD(wParam), lParam);
    case WM_SYSCOLORCHANGE: InvalidateRect(frame, nullptr, FALSE); return TRUE;
    case WM_DESTROY: return OnFrameDestroy();
    default: return FALSE;
    }
}

void InitSettingsFrame(HWND frame)
{
    state.tabs = GetDlgItem(frame, IDC_SETTINGS_TABS);
    SetWindowTextA(frame, kCaption);
    SendMessageA(frame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon.Get()));
    SendMessageA(frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.largeIcon.Get()));
    SetUpHeader(frame);
    CreatePages(frame);
    state.current = 0;  // every opening starts on the first page
    ShowSettingsPage(0, true);
    state.frame = frame;  // the frame counts as open once its pages exist
}

void ShowSettingsPage(int index, bool selectTab)
{
    if (selectTab)
        SendMessageA(state.tabs, TCM_SETCURSEL, index, 0);
    for (int i = 0; i < state.count; ++i)
        if (state.pages[i])
            ShowWindow(state.pages[i], i == index ? SW_SHOW : SW_HIDE);
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
    HWND display = state.display;
    SendMessageA(display, WM_SETREDRAW, FALSE, 0);
    app.updateLock.Enter();
    // DRAW as well: the display thread's blink and hover redraws read the
    // settings and draw with the objects rebuilt here without taking UPDATE.
    app.drawLock.Enter();
    for (int i = 0; i < state.count; ++i)
        if (state.pages[i])
            SendMessageA(state.pages[i], WM_COMMAND, kStorePage, state.commandParameter);
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

void ResetSettingsDialog()
{
    if (state.open)
        return;
    EndOfDialog();
    OnFrameDestroy();
}

HWND SettingsDialog()
{
    return state.frame;
}

bool SettingsDialogOpen()
{
    return state.open != 0;
}

HWND SettingsPageWindow(int index)
{
    return index >= 0 && index < state.count ? state.pages[index] : nullptr;
}
