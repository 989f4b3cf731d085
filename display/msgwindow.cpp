#include "display/msgwindow.h"

#include "resources/resource.h"

namespace {

const char kDefaultTitle[] = "メッセージ画面";
const UINT WM_END_MESSAGE_WINDOW = WM_APP + 1;  // wParam: the result

// The record of the one message window. The display window's thread ends
// it while another thread may be opening it, so every access is locked.
struct MessageWindowState {
    HINSTANCE module;
    HWND owner;
    HWND dialog;
    HICON icon;  // null: the system's exclamation icon
    const char* title;  // null: the default title
    const char* const* lines;
    bool open;          // from the request until the window is gone
    bool expected;      // work that will end the next window is running
    bool endPending;    // that work ended before the window could be told
    INT_PTR pendingResult;
};

class StateLock {
public:
    StateLock() { InitializeCriticalSection(&section); }
    ~StateLock() { DeleteCriticalSection(&section); }
    void Enter() { EnterCriticalSection(&section); }
    void Leave() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

MessageWindowState state;
StateLock stateLock;

void FillWindow(HWND dialog)
{
    HICON icon = state.icon ? state.icon : LoadIconA(nullptr, IDI_EXCLAMATION);
    SendDlgItemMessageA(dialog, IDC_MSG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    SetWindowTextA(dialog, state.title ? state.title : kDefaultTitle);
    for (int i = 0; i < IDC_MSG_LINES && state.lines && state.lines[i]; ++i)
        SetDlgItemTextA(dialog, IDC_MSG_LINE1 + i, state.lines[i]);
}

void CentreOnScreen(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, TRUE);
}

INT_PTR OnInitDialog(HWND dialog)
{
    stateLock.Enter();
    state.dialog = dialog;
    const bool ended = state.endPending;
    const INT_PTR result = state.pendingResult;
    state.endPending = false;
    stateLock.Leave();
    FillWindow(dialog);
    CentreOnScreen(dialog);
    SetForegroundWindow(dialog);
    ShowWindow(dialog, SW_SHOW);
    if (ended)
        PostMessageA(dialog, WM_END_MESSAGE_WINDOW, static_cast<WPARAM>(result), 0);
    return TRUE;
}

INT_PTR OnDestroy()
{
    stateLock.Enter();
    state.dialog = nullptr;
    stateLock.Leave();
    return FALSE;
}

// No command is handled: neither the user nor the keyboard can close it.
INT_PTR CALLBACK MessageWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_END_MESSAGE_WINDOW: EndDialog(dialog, static_cast<INT_PTR>(wParam)); return TRUE;
    case WM_DESTROY: return OnDestroy();
    default: return FALSE;
    }
}

}  // namespace

INT_PTR ShowMessageWindow(HWND owner, HINSTANCE module, const char* const* lines)
{
    stateLock.Enter();
    if (state.open) {
        stateLock.Leave();
        return 0;
    }
    state.open = true;
    state.module = module;
    state.owner = owner;
    state.icon = nullptr;
    state.title = kDefaultTitle;
    state.lines = lines;
    stateLock.Leave();
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_MESSAGE), owner,
                                     MessageWindowProc, 0);
    ResetMessageWindow();
    return result;
}

void EndMessageWindow(INT_PTR result)
{
    stateLock.Enter();
    if (state.dialog) {
        PostMessageA(state.dialog, WM_END_MESSAGE_WINDOW, static_cast<WPARAM>(result), 0);
    } else if (state.expected) {
        state.endPending = true;
        state.pendingResult = result;
    }
    state.expected = false;
    stateLock.Leave();
}

void ExpectMessageWindowEnd()
{
    stateLock.Enter();
    state.expected = true;
    state.endPending = false;
    state.pendingResult = 0;
    stateLock.Leave();
}

void ResetMessageWindow()
{
    stateLock.Enter();
    state = MessageWindowState();
    stateLock.Leave();
}

HWND MessageWindow()
{
    stateLock.Enter();
    HWND dialog = state.dialog;
    stateLock.Leave();
    return dialog;
}
