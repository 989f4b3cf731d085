#include "display/tray.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/rows.h"
#include "display/placement.h"
#include "display/trayicon.h"
#include "foundation/mbcs.h"
#include "foundation/userio.h"
#include "sensors/csensor.h"

namespace {

const char kTaskbarCreated[] = "TaskbarCreated";
const DWORD kLongTipShell = 5;  // shell32 from 5.0 takes the 128-byte tooltip
const UINT kEveryPart = NIF_ICON | NIF_TIP | NIF_MESSAGE;
// Each message to the shell costs a round trip to another process, so the
// tooltip, which changes with nearly every reading, is handed over only
// while someone may be reading it: for this long after the pointer last
// moved over an icon, and on while it rests on one where the shell can say.
const DWORD kTipFollowMs = 10000;

template <typename Call>
Call Entry(const char* module, const char* name)
{
    HMODULE loaded = GetModuleHandleA(module);
    FARPROC entry = loaded ? GetProcAddress(loaded, name) : nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(entry));
}

// The shell before 5.0 knows only the first record, with 64-byte tooltips.
DWORD NotifyDataSize()
{
    auto version = Entry<DLLGETVERSIONPROC>("shell32.dll", "DllGetVersion");
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof info;
    if (version && SUCCEEDED(version(&info)) && info.dwMajorVersion >= kLongTipShell)
        return NOTIFYICONDATAA_V2_SIZE;
    return NOTIFYICONDATAA_V1_SIZE;
}

// An elevated program (the driver asks for it) gets the shell's broadcast
// only when it lets it through; systems before the filter get it anyway.
void AcceptFromShell(UINT message)
{
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    const Filter allow = Entry<Filter>("user32.dll", "ChangeWindowMessageFilter");
    if (allow)
        allow(message, MSGFLT_ADD);
}

// The small-icon size at the system's DPI, which the shell draws icons
// at. This program is not DPI-aware and is told 16 at any DPI, so the size
// is asked for as a system-aware thread would, where the system knows how.
int TrayIconSize()
{
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    static const SetContext setContext = Entry<SetContext>("user32.dll", "SetThreadDpiAwarenessContext");
    const HANDLE systemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
    const HANDLE before = setContext ? setContext(systemAware) : nullptr;
    const int size = GetSystemMetrics(SM_CXSMICON);
    if (before)
        setContext(before);
    return size;
}

size_t TipLimit(DWORD dataSize)
{
    return dataSize >= NOTIFYICONDATAA_V2_SIZE ? 127 : 63;
}

NOTIFYICONDATAA NotifyData(const TrayState& tray, int index, UINT parts)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = tray.dataSize;
    data.hWnd = tray.window;
    data.uID = static_cast<UINT>(index);
    data.uFlags = parts;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = tray.icon[index].icon.Get();
    lstrcpynA(data.szTip, tray.tip, sizeof data.szTip);
    return data;
}

// Hands the icon to the shell; one the shell lost (it restarted without
// saying so) is added again.
void Push(TrayState& tray, int index, UINT parts)
{
    TrayIconRecord& icon = tray.icon[index];
    NOTIFYICONDATAA data = NotifyData(tray, index, parts);
    if (icon.added && Shell_NotifyIconA(NIM_MODIFY, &data)) {
        icon.tipStale = icon.tipStale && !(parts & NIF_TIP);
        return;
    }
    data.uFlags = kEveryPart;
    if (Shell_NotifyIconA(NIM_ADD, &data)) {
        icon.added = true;
        icon.tipStale = false;
    }
}

// Where the shell can tell where its icons are (from Windows 7): whether
// the pointer rests on one of ours.
bool PointerOnAnIcon(const TrayState& tray)
{
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const GetRect getRect = Entry<GetRect>("shell32.dll", "Shell_NotifyIconGetRect");
    POINT at;
    if (!getRect || !GetCursorPos(&at))
        return false;
    for (int i = 0; i < tray.count; ++i) {
        NOTIFYICONIDENTIFIER icon = {};
        icon.cbSize = sizeof icon;
        icon.hWnd = tray.window;
        icon.uID = static_cast<UINT>(i);
        RECT r;
        if (tray.icon[i].added && SUCCEEDED(getRect(&icon, &r)) && PtInRect(&r, at))
            return true;
    }
    return false;
}

bool TipFollowed(TrayState& tray)
{
    if (!tray.hovered)
        return false;
    const DWORD now = GetTickCount();
    if (now - tray.hoverAt >= kTipFollowMs) {
        tray.hovered = PointerOnAnIcon(tray);
        tray.hoverAt = now;
    }
    return tray.hovered;
}

// The size is asked for once, and again after the display or its settings
// changed; true when it is not what the pictures were drawn at.
bool TakeIconSize(TrayState& tray)
{
    if (tray.sizeKnown)
        return false;
    const int size = TrayIconSize();
    const bool resized = size != tray.iconSize;
    tray.iconSize = size;
    tray.sizeKnown = true;
    return resized;
}

void WriteDebugLine(int index, const char* text)
{
    if (!App().debug)
        return;
    char line[32];
    std::snprintf(line, sizeof line, "TRAY %d : %s", index, text);
    DebugLine(line);
}

// Every icon's tooltip lists every shown reading, a line each in the
// panel's order, as many whole lines as the shell takes; true when it
// changed.
bool TakeTip(TrayState& tray, const CoreTable& cores)
{
    AppState& app = App();
    const size_t limit = TipLimit(tray.dataSize);
    char tip[sizeof tray.tip] = "";
    size_t used = 0;
    for (int row = 0; row < kRowCount; ++row) {
        if (*RowShown(app, row) != 1)
            continue;
        const TrayReading reading = ReadTraySource(TraySource{kTrayReading, row}, cores);
        if (used == 0) {  // the first line, cut to the limit when it must be
            CopyWholeCharacters(tip, reading.line, limit);
            used = std::strlen(tip);
            continue;
        }
        const size_t length = std::strlen(reading.line);
        if (used + 1 + length > limit)
            break;
        tip[used++] = '\n';
        std::memcpy(tip + used, reading.line, length + 1);
        used += length;
    }
    if (std::strcmp(tip, tray.tip) == 0)
        return false;
    std::memcpy(tray.tip, tip, sizeof tip);
    return true;
}

// A new picture for the icon; the shell's copy of the old one is replaced
// before the old one goes.
void Redraw(TrayState& tray, int index)
{
    TrayIconRecord& icon = tray.icon[index];
    HICON fresh = BuildTrayIcon(icon.nextText, icon.nextColour, tray.iconSize);
    if (!fresh)
        return;
    Owner<IconTraits> old(icon.icon.Detach());
    icon.icon.Reset(fresh);
    lstrcpynA(icon.text, icon.nextText, kTrayTextSize);
    icon.colour = icon.nextColour;
    Push(tray, index, NIF_ICON | NIF_TIP);
    WriteDebugLine(index, icon.text);
}

bool AnyAdded(const TrayState& tray)
{
    for (int i = 0; i < tray.count; ++i)
        if (tray.icon[i].added)
            return true;
    return false;
}

}  // namespace

void OpenTray(HWND window)
{
    AppState& app = App();
    if (!app.tray.enable)
        return;
    TrayState& tray = app.trayIcons;
    TraySource sources[kMaxTrayIcons];
    tray.count = ParseTrayRows(app.tray.rows, sources, kMaxTrayIcons);
    for (int i = 0; i < tray.count; ++i)
        tray.icon[i].source = sources[i];
    tray.window = window;
    tray.dataSize = NotifyDataSize();
    tray.taskbarCreated = RegisterWindowMessageA(kTaskbarCreated);
    AcceptFromShell(tray.taskbarCreated);
    CoreTable cores;
    CSENSOR::CopyCores(&cores);
    app.updateLock.Enter();
    TakeTrayReadings(window, cores);
    app.updateLock.Leave();
    UpdateTray(window);
}

void TakeTrayReadings(HWND window, const CoreTable& cores)
{
    AppState& app = App();
    TrayState& tray = app.trayIcons;
    if (!app.tray.enable || tray.window != window)
        return;
    for (int i = 0; i < tray.count; ++i) {
        const TrayReading reading = ReadTraySource(tray.icon[i].source, cores);
        lstrcpynA(tray.icon[i].nextText, reading.text, kTrayTextSize);
        tray.icon[i].nextColour = reading.colour;
    }
    if (TakeTip(tray, cores))
        for (int i = 0; i < tray.count; ++i)
            tray.icon[i].tipStale = true;
}

void UpdateTray(HWND window)
{
    AppState& app = App();
    TrayState& tray = app.trayIcons;
    if (!app.tray.enable || tray.window != window)
        return;
    const bool resized = TakeIconSize(tray);
    const bool followed = TipFollowed(tray);
    for (int i = 0; i < tray.count; ++i) {
        const TrayIconRecord& icon = tray.icon[i];
        if (resized || !icon.icon.Valid() || std::strcmp(icon.text, icon.nextText) != 0 ||
            icon.colour != icon.nextColour)
            Redraw(tray, i);  // the tooltip goes with the picture
        if (icon.icon.Valid() && (!icon.added || (icon.tipStale && followed)))
            Push(tray, i, NIF_TIP);
    }
}

// Taken up with the next reading: this may arrive while the thread waits
// for the shell within an update.
void OnTrayDisplayChange(HWND window)
{
    TrayState& tray = App().trayIcons;
    if (tray.window == window)
        tray.sizeKnown = false;
    ForgetFittedFonts();  // the fonts or their smoothing may have changed
}

void CloseTray(HWND window)
{
    TrayState& tray = App().trayIcons;
    if (!tray.window || tray.window != window)
        return;
    for (int i = 0; i < tray.count; ++i) {
        TrayIconRecord& icon = tray.icon[i];
        NOTIFYICONDATAA data = NotifyData(tray, i, 0);
        if (icon.added)
            Shell_NotifyIconA(NIM_DELETE, &data);
        icon.added = false;
        icon.tipStale = false;
        icon.icon.Reset();
        icon.text[0] = icon.nextText[0] = '\0';
    }
    tray.count = 0;
    tray.window = nullptr;
    tray.taskbarCreated = 0;
    tray.tip[0] = '\0';
    tray.sizeKnown = false;
    tray.hovered = false;
}

namespace {

// The pointer over an icon: its tooltip is brought up to date before the
// shell shows it, and kept so while the pointer stays.
void OnHover(HWND window, WPARAM index)
{
    TrayState& tray = App().trayIcons;
    if (tray.window != window)
        return;
    tray.hovered = true;
    tray.hoverAt = GetTickCount();
    if (index < static_cast<WPARAM>(tray.count) && tray.icon[index].added && tray.icon[index].tipStale)
        Push(tray, static_cast<int>(index), NIF_TIP);
}

}  // namespace

INT_PTR OnTrayNotify(HWND window, WPARAM index, LPARAM mouse)
{
    switch (LOWORD(mouse)) {
    case WM_MOUSEMOVE:
        OnHover(window, index);
        return 1;
    case WM_LBUTTONUP:
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(window);
        return 1;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        ShowContextMenu(window);
        PostMessageA(window, WM_NULL, 0, 0);
        return 1;
    default:
        return 0;
    }
}

bool IsTaskbarCreated(UINT message)
{
    const UINT broadcast = App().trayIcons.taskbarCreated;
    return broadcast != 0 && message == broadcast;
}

INT_PTR OnTaskbarCreated(HWND window)
{
    TrayState& tray = App().trayIcons;
    if (tray.window != window)
        return 0;
    tray.sizeKnown = false;  // a new shell may draw at another size
    for (int i = 0; i < tray.count; ++i) {
        tray.icon[i].added = false;
        if (!tray.icon[i].icon.Valid())
            continue;
        Push(tray, i, kEveryPart);
        WriteDebugLine(i, tray.icon[i].text);
    }
    return 0;
}

void HideToTray(HWND window)
{
    const AppState& app = App();
    if (app.tray.enable && app.tray.hideOnMinimize && app.trayIcons.window == window && AnyAdded(app.trayIcons))
        ShowWindow(window, SW_HIDE);
}
