#include "display/placement.h"

#include "app/appstate.h"
#include "display/commands.h"

static void ForceForeground(HWND window);

namespace {

// One entry of the popup menu. Check and gray conditions read the state at
// the moment the menu is built.
enum class Menu { Main, Mask, Layout, Settings, Theme };

struct MenuEntry {
    Menu menu;
    const char* text;  // null: separator
    WORD id;           // 0 with a text: the submenu named by sub
    Menu sub;
    bool (*checked)();
    bool (*grayed)();
    bool (*present)();
};

bool Never() { return false; }
bool Always() { return true; }
bool Stable() { return App().stable != 0; }
bool SkinEnabled() { return App().skin.enable != 0; }
bool NoSkinLoaded() { return App().skinState.loaded == 0; }
bool LayoutEnabled() { return App().layoutEnable != 0; }
bool ProcessorPresent() { return App().cpu.present != 0; }
template <unsigned int Mode>
bool MaskIs() { return App().mask.mode == Mode; }

const MenuEntry kMenuEntries[] = {
    {Menu::Main, "最大値を初期化", ID_RESET_MAX, Menu::Main, Never, Never, Always},
    {Menu::Main, "画面を最小化", ID_MINIMIZE, Menu::Main, Never, Never, Always},
    {Menu::Main, nullptr, 0, Menu::Main, Never, Never, Always},
    {Menu::Main, "位置を固定", ID_LOCK_POSITION, Menu::Main, Stable, Never, Always},
    {Menu::Main, "スキンを有効", ID_SKIN, Menu::Main, SkinEnabled, NoSkinLoaded, Always},
    {Menu::Mask, "マスクを無効", ID_MASK_NONE, Menu::Main, MaskIs<MASK_NONE>, Never, Always},
    {Menu::Mask, "ラウンドを有効", ID_MASK_ROUND, Menu::Main, MaskIs<MASK_ROUND>, Never, Always},
    {Menu::Mask, "自動を有効", ID_MASK_AUTO, Menu::Main, MaskIs<MASK_AUTO>, Never, Always},
    {Menu::Mask, "カラーを有効", ID_MASK_COLOR, Menu::Main, MaskIs<MASK_COLOR>, Never, Always},
    {Menu::Mask, "ビットマップを有効", ID_MASK_BITMAP, Menu::Main, MaskIs<MASK_BITMAP>, Never, Always},
    {Menu::Main, "マスク", 0, Menu::Mask, Never, Never, Always},
    {Menu::Layout, "レイアウトを有効", ID_LAYOUT_ENABLE, Menu::Main, LayoutEnabled, Never, Always},
    {Menu::Layout, "レイアウトを選択...", ID_LAYOUT_SELECT, Menu::Main, Never, Never, Always},
    {Menu::Main, "レイアウト", 0, Menu::Layout, Never, Never, Always},
    {Menu::Main, nullptr, 0, Menu::Main, Never, Never, Always},
    {Menu::Main, "設定画面...", ID_SETTINGS, Menu::Main, Never, Never, Always},
    {Menu::Settings, "ロード...", ID_CONFIG_LOAD, Menu::Main, Never, Never, Always},
    {Menu::Settings, "セーブ...", ID_CONFIG_SAVE, Menu::Main, Never, Never, Always},
    {Menu::Main, "設定ファイル", 0, Menu::Settings, Never, Never, Always},
    {Menu::Theme, "ロード...", ID_THEME_LOAD, Menu::Main, Never, Never, Always},
    {Menu::Theme, "セーブ...", ID_THEME_SAVE, Menu::Main, Never, Never, Always},
    {Menu::Main, "テーマファイル", 0, Menu::Theme, Never, Never, Always},
    {Menu::Main, nullptr, 0, Menu::Main, Never, Never, Always},
    {Menu::Main, "プロセッサ情報...", ID_PROCESSOR_INFO, Menu::Main, Never, Never, ProcessorPresent},
    {Menu::Main, "履歴グラフ...", ID_HISTORY, Menu::Main, Never, Never, Always},
    {Menu::Main, "終了", ID_EXIT, Menu::Main, Never, Never, Always},
};

HMENU Handle(const ContextMenu& m, Menu which)
{
    switch (which) {
    case Menu::Mask: return m.mask;
    case Menu::Layout: return m.layout;
    case Menu::Settings: return m.settings;
    case Menu::Theme: return m.theme;
    default: return m.main;
    }
}

void AppendEntry(const ContextMenu& m, const MenuEntry& e)
{
    HMENU target = Handle(m, e.menu);
    if (!e.present())
        return;
    if (!e.text) {
        AppendMenuA(target, MF_SEPARATOR, 0, nullptr);
    } else if (e.id == 0) {
        AppendMenuA(target, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(Handle(m, e.sub)),
                    e.text);
    } else {
        UINT flags = MF_STRING | (e.checked() ? MF_CHECKED : 0) | (e.grayed() ? MF_GRAYED : 0);
        AppendMenuA(target, flags, e.id, e.text);
    }
}

void MoveKeepingSize(HWND window, int x, int y)
{
    RECT r;
    GetWindowRect(window, &r);
    MoveWindow(window, x, y, r.right - r.left, r.bottom - r.top, TRUE);
}

}  // namespace

ContextMenu::ContextMenu()
    : main(CreatePopupMenu()), mask(CreatePopupMenu()), layout(CreatePopupMenu()),
      theme(CreatePopupMenu()), settings(CreatePopupMenu())
{
    if (App().monitorTimer)
        AppendMenuA(main, MF_STRING, ID_MONITOR_STOP, "モニタ停止");
    else
        AppendMenuA(main, MF_STRING, ID_MONITOR_START, "モニタ開始");
    for (const MenuEntry& e : kMenuEntries)
        AppendEntry(*this, e);
}

ContextMenu::~ContextMenu()
{
    // The main menu owns its submenus: destroying it takes them along.
    DestroyMenu(main);
}

void ShowContextMenu(HWND window)
{
    ContextMenu menu;
    POINT at;
    GetCursorPos(&at);
    ForceForeground(window);
    TrackPopupMenu(menu.main, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
}

void ForceForeground(HWND window)
{
    DWORD version = GetVersion();
    DWORD major = LOBYTE(LOWORD(version));
    DWORD minor = HIBYTE(LOWORD(version));
    bool nt = (version & 0x80000000u) == 0;
    bool modern = nt ? major >= 5 : (major >= 4 && minor >= 10);
    if (!modern) {
        SetForegroundWindow(window);
        return;
    }
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD self = GetCurrentThreadId();
    bool attach = foreground && foreground != self;
    if (attach)
        AttachThreadInput(self, foreground, TRUE);
    SetForegroundWindow(window);
    if (attach)
        AttachThreadInput(self, foreground, FALSE);
    BringWindowToTop(window);
}

void RemoveCaption(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    if (style & WS_CAPTION) {
        r.top += GetSystemMetrics(SM_CYCAPTION);
        style ^= WS_BORDER | WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX;
    }
    SetWindowLongPtrA(window, GWL_STYLE, style);
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void FitWindowToClient(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) & ~DS_MODALFRAME);
    SetWindowLongPtrA(window, GWL_EXSTYLE,
                      GetWindowLongPtrA(window, GWL_EXSTYLE) & ~WS_EX_DLGMODALFRAME);
    const RECT& client = App().skinState.client;
    MoveWindow(window, r.left, r.top, client.right - client.left, client.bottom - client.top, TRUE);
}

void PlaceWindow(HWND window)
{
    const AppState& app = App();
    if (app.x == -1 && app.y == -1)
        CenterWindow(window);
    else
        MoveKeepingSize(window, app.x, app.y);
}

void CenterWindow(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    MoveKeepingSize(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                    (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

void SaveWindowPosition(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    App().x = r.left;
    App().y = r.top;
}

void KeepOnAMonitor(HWND window)
{
    RECT r;
    // A minimised window lies far off every screen on purpose; it is
    // brought back when it is restored.
    if (IsIconic(window) || !GetWindowRect(window, &r) || MonitorFromRect(&r, MONITOR_DEFAULTTONULL))
        return;
    MONITORINFO primary = {};
    primary.cbSize = sizeof primary;
    const POINT origin = {0, 0};
    if (!GetMonitorInfoA(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &primary))
        return;
    const RECT& work = primary.rcWork;
    const int width = r.right - r.left, height = r.bottom - r.top;
    MoveWindow(window, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, TRUE);
}
