#include "dialogs/historywindow.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "app/appstate.h"
#include "app/historydata.h"
#include "app/logname.h"
#include "dialogs/pickers.h"
#include "display/historyplot.h"
#include "display/placement.h"
#include "foundation/gdiwrap.h"
#include "foundation/userio.h"
#include "resources/resource.h"

namespace {

const char kClassName[] = "VeskoraHistory";
const char kCaption[] = "履歴グラフ";
// Each separator on its own too, beside the settings page's one filter for both.
const char kReadLogFilter[] = "ログファイル (*.csv;*.tsv)\0*.csv;*.tsv\0CSV (*.csv)\0*.csv\0TSV (*.tsv)\0*.tsv\0"
                          "すべてのファイル (*.*)\0*.*\0";
const char kNotALog[] = "このファイルは本プログラムの記録ログではありません。";
const char kUnreadable[] = "ログファイルを読み込めませんでした。";
const int kSpans[] = {5, 10, 30, 60};  // minutes; then the whole ring
const int kSpanCount = sizeof kSpans / sizeof kSpans[0];
const int kDefaultWidth = 720, kDefaultHeight = 540;
const int kMinWidth = 420, kMinHeight = 320;
const int kBarHeight = 30;      // the controls along the top
const int kReadoutHeight = 18;  // the value under the pointer, along the bottom
const int kControlHeight = 22, kComboDrop = 160, kMargin = 4;

struct Control {
    int id;
    const char* type;
    const char* text;
    int width;
    DWORD style;
};
const Control kControls[] = {
    {IDC_HISTORY_SPAN, "COMBOBOX", "", 120, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {IDC_HISTORY_CLEAR, "BUTTON", "クリア", 70, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_HISTORY_OPEN, "BUTTON", "ログを開く...", 100, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_HISTORY_LIVE, "BUTTON", "現在の履歴", 90, BS_PUSHBUTTON | WS_TABSTOP},
};

// Behind the window while it lives.
struct HistoryView {
    HWND window = nullptr;
    PlotData live, log;
    bool showingLog = false;
    int minutes = 0;
    bool stale = true;     // the live span is taken again before the next drawing
    DWORD drawnAt = 0;     // GetTickCount when the span was last taken
    bool redrawAsked = true;  // the whole window was invalidated: all of it that shows is painted
    char readout[512] = "";
};

HistoryView* ViewOf(HWND window)
{
    return reinterpret_cast<HistoryView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

RECT PlotArea(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    r.top += kBarHeight;
    r.bottom = std::max(r.top, r.bottom - kReadoutHeight);
    return r;
}

RECT ReadoutArea(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    r.top = std::max(r.top + kBarHeight, r.bottom - kReadoutHeight);
    return r;
}

const PlotData& Shown(const HistoryView& v)
{
    return v.showingLog ? v.log : v.live;
}

void TakeLive(HistoryView& v)
{
    AppState& app = App();
    app.updateLock.Enter();
    try {  // without memory the lock is still let go, and a span taken in part dropped
        TakeLiveHistory(app.history, v.minutes, &v.live);
    } catch (const std::bad_alloc&) {
        v.live = PlotData();
    }
    app.updateLock.Leave();
}

void Redraw(HistoryView& v)
{
    v.stale = true;
    v.redrawAsked = true;
    InvalidateRect(v.window, nullptr, FALSE);
}

// The span choices and the buttons that only make sense for the ring.
void SyncControls(HistoryView& v)
{
    EnableWindow(GetDlgItem(v.window, IDC_HISTORY_SPAN), !v.showingLog);
    EnableWindow(GetDlgItem(v.window, IDC_HISTORY_CLEAR), !v.showingLog);
    EnableWindow(GetDlgItem(v.window, IDC_HISTORY_LIVE), v.showingLog);
}

void FillSpans(HWND combo)
{
    char text[32];
    for (int minutes : kSpans) {
        std::snprintf(text, sizeof text, "%d 分", minutes);
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    std::snprintf(text, sizeof text, "全体 (%d 分)", App().historyMinutes);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(combo, CB_SETCURSEL, kSpanCount, 0);
}

// One line over its own background: no buffer needed.
void PaintReadout(const HistoryView& v, HDC dc, const RECT& r)
{
    const AppState& app = App();
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkColor(dc, app.colors.slot[kColorBack].colour);
    SetTextColor(dc, app.colors.slot[kColorValue].colour);
    ExtTextOutA(dc, r.left + kMargin, r.top + 2, ETO_OPAQUE, &r, v.readout, lstrlenA(v.readout), nullptr);
    RestoreDC(dc, saved);
}

// The bar behind the controls and the plot. A new span is taken only for
// the whole of it: a part drawn from another span than the rest on the
// screen would not match it.
void PaintPlot(HistoryView& v, HDC dc, const RECT& area, bool whole)
{
    // Drawn off screen, then copied: into a DIB section that lives for one
    // paint, so an open window keeps no second copy of its pixels, and whose
    // pages go back to the system as soon as it is deleted.
    WINMEMDC buffer;
    if (!buffer.CreatePixelSurfaceLike(dc, std::max<int>(area.right, 1), std::max<int>(area.bottom, 1)))
        return;
    HDC back = buffer.dc.Get();
    if (v.stale && whole) {
        if (!v.showingLog)
            TakeLive(v);
        v.stale = false;
        v.drawnAt = GetTickCount();
    }
    SetDCBrushColor(back, App().colors.slot[kColorBack].colour);
    SelectObject(back, GetStockObject(DC_BRUSH));
    PatBlt(back, 0, 0, area.right, kBarHeight, PATCOPY);
    DrawHistoryPlot(buffer, PlotArea(v.window), Shown(v));
    BitBlt(dc, 0, 0, area.right, area.bottom, back, 0, 0, SRCCOPY);
}

void Paint(HistoryView& v, HDC dc, const RECT& dirty)
{
    const RECT readout = ReadoutArea(v.window);
    RECT above, meet;
    GetClientRect(v.window, &above);
    above.bottom = readout.top;
    if (IntersectRect(&meet, &above, &dirty)) {
        // Partly off the screen, a window never gets the whole plot to paint.
        PaintPlot(v, dc, above, v.redrawAsked || EqualRect(&meet, &above));
        v.redrawAsked = false;
    }
    if (IntersectRect(&meet, &readout, &dirty))
        PaintReadout(v, dc, readout);
}

// How long one pixel column of the plot stands for: a new reading moves
// the picture only once that much time went by.
DWORD ColumnMilliseconds(const HistoryView& v)
{
    const RECT plot = PlotLayout(PlotArea(v.window)).plot[0];
    const int width = std::max(1, static_cast<int>(plot.right - plot.left));
    return static_cast<DWORD>(static_cast<long long>(v.minutes) * 60 * 1000 / width);
}

// --- Commands ------------------------------------------------------------

void OnSpan(HistoryView& v)
{
    const LRESULT choice = SendDlgItemMessageA(v.window, IDC_HISTORY_SPAN, CB_GETCURSEL, 0, 0);
    v.minutes = choice >= 0 && choice < kSpanCount ? kSpans[choice] : App().historyMinutes;
    Redraw(v);
}

void OnClear(HistoryView& v)
{
    AppState& app = App();
    app.updateLock.Enter();
    app.history.Clear();
    app.updateLock.Leave();
    Redraw(v);
}

void ShowLive(HistoryView& v)
{
    v.log = PlotData();  // a log is kept only while it is shown
    v.showingLog = false;
    SetWindowTextA(v.window, kCaption);
    SyncControls(v);
    Redraw(v);
}

void OnOpen(HistoryView& v)
{
    char path[kPathSize] = "";
    if (ChooseFileName(v.window, kLogChooserTitle, kReadLogFilter, path, true))
        ShowLogInHistoryWindow(path);
}

void OnCommand(HistoryView& v, WORD id, WORD code)
{
    if (id == IDC_HISTORY_SPAN && code == CBN_SELCHANGE)
        OnSpan(v);
    else if (id == IDC_HISTORY_CLEAR)
        OnClear(v);
    else if (id == IDC_HISTORY_OPEN)
        OnOpen(v);
    else if (id == IDC_HISTORY_LIVE)
        ShowLive(v);
}

// --- Messages ------------------------------------------------------------

LRESULT OnCreate(HWND window, const CREATESTRUCTA& create)
{
    HistoryView* v = new (std::nothrow) HistoryView;
    if (!v)
        return -1;
    v->window = window;
    v->minutes = App().historyMinutes;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(v));
    int x = kMargin;
    for (const Control& c : kControls) {
        const int height = c.id == IDC_HISTORY_SPAN ? kComboDrop : kControlHeight;
        HWND control = CreateWindowExA(0, c.type, c.text, WS_CHILD | WS_VISIBLE | c.style, x, kMargin, c.width,
                                       height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       create.hInstance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        x += c.width + kMargin;
    }
    FillSpans(GetDlgItem(window, IDC_HISTORY_SPAN));
    SyncControls(*v);
    return 0;
}

void OnMouseMove(HistoryView& v, POINT at)
{
    char text[sizeof v.readout] = "";
    PlotReadout(PlotArea(v.window), Shown(v), at, text, sizeof text);
    if (lstrcmpA(text, v.readout) == 0)
        return;
    lstrcpynA(v.readout, text, sizeof v.readout);
    const RECT r = ReadoutArea(v.window);
    InvalidateRect(v.window, &r, FALSE);
}

// The theme file keeps the place the window had when it was last moved or
// sized in its normal state.
void OnPlaced(HWND window)
{
    RECT r;
    if (IsIconic(window) || IsZoomed(window) || !GetWindowRect(window, &r))
        return;
    HistoryWindowRecord& place = App().historyWindow;
    place.left = r.left;
    place.top = r.top;
    place.width = r.right - r.left;
    place.height = r.bottom - r.top;
}

void OnDestroy(HWND window)
{
    HistoryWindowRecord& record = App().historyWindow;
    if (record.window == window)
        record.window = nullptr;
}

LRESULT CALLBACK HistoryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HistoryView* v = ViewOf(window);
    switch (message) {
    case WM_CREATE: return OnCreate(window, *reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (v)
            Paint(*v, dc, ps.rcPaint);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        if (v)
            Paint(*v, reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_SIZE:
        if (v)
            Redraw(*v);
        return 0;
    case WM_MOUSEMOVE:
        if (v)
            OnMouseMove(*v, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_COMMAND:
        if (v)
            OnCommand(*v, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{kMinWidth, kMinHeight};
        return 0;
    case WM_WINDOWPOSCHANGED: OnPlaced(window); break;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete v;
        break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool Register(HINSTANCE& module)
{
    if (!module)
        module = GetModuleHandleA(nullptr);
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    if (GetClassInfoExA(module, kClassName, &c))
        return true;
    c.lpfnWndProc = HistoryWindowProc;
    c.hInstance = module;
    c.hCursor = LoadCursor(nullptr, IDC_ARROW);
    c.hIcon = App().largeIcon;
    c.hIconSm = App().smallIcon;
    c.lpszClassName = kClassName;
    return RegisterClassExA(&c) != 0;
}

}  // namespace

void OpenHistoryWindow(HWND owner, HINSTANCE module)
{
    HistoryWindowRecord& record = App().historyWindow;
    if (record.window) {
        if (IsIconic(record.window))
            ShowWindow(record.window, SW_RESTORE);
        SetForegroundWindow(record.window);
        return;
    }
    if (!Register(module))
        return;
    const bool placed = record.width > 0 && record.height > 0;
    HWND window = CreateWindowExA(0, kClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  placed ? record.left : CW_USEDEFAULT, placed ? record.top : CW_USEDEFAULT,
                                  placed ? record.width : kDefaultWidth, placed ? record.height : kDefaultHeight,
                                  owner, nullptr, module, nullptr);
    if (!window)
        return;
    record.window = window;
    KeepOnAMonitor(window);  // a place kept from a screen that is gone
    ShowWindow(window, SW_SHOW);
}

HWND HistoryWindow()
{
    return App().historyWindow.window;
}

void FollowHistoryWindow(bool now)
{
    HWND window = HistoryWindow();
    HistoryView* v = window ? ViewOf(window) : nullptr;
    if (!v || v->showingLog)
        return;
    v->stale = true;  // whatever paints next shows the new reading
    const bool seen = IsWindowVisible(window) && !IsIconic(window);
    if (now || (seen && GetTickCount() - v->drawnAt >= ColumnMilliseconds(*v)))
        Redraw(*v);
}

void CloseHistoryWindow()
{
    if (HWND window = HistoryWindow())
        DestroyWindow(window);
}

bool ShowLogInHistoryWindow(const char* path)
{
    HWND window = HistoryWindow();
    HistoryView* v = window ? ViewOf(window) : nullptr;
    if (!v)
        return false;
    const LogRead result = ReadReadingsLog(path, &v->log);
    if (result != LogRead::kShown) {
        ShowError(window, result == LogRead::kNotALog ? kNotALog : kUnreadable);
        return false;
    }
    const char* name = path + FolderLength(path);
    char caption[kPathSize + 32];
    std::snprintf(caption, sizeof caption, "%s - %s", kCaption, name);
    SetWindowTextA(window, caption);
    v->showingLog = true;
    SyncControls(*v);
    Redraw(*v);
    return true;
}
