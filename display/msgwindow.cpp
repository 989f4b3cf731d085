#include "display/msgwindow.h"

#include "app/appstate.h"
#include "display/placement.h"
#include "resources/resource.h"

namespace {

const char kDefaultTitle[] = "メッセージ画面";
const UINT WM_END_MESSAGE_WINDOW = WM_APP + 1;  // wParam: the result

MessageWindowRecord& State()
{
    return App().messageWindow;
}

SectionLock& StateLock()
{
    return App().messageWindowLock;
}

// Back to the closed state.
void ForgetMessageWindow()
{
    StateLock().Enter();
    State() = MessageWindowRecord();
    StateLock().Leave();
}

void FillWindow(HWND dialog)
{
    MessageWindowRecord& state = State();
    HICON icon = state.icon ? state.icon : LoadIconA(nullptr, IDI_EXCLAMATION);
    SendDlgItemMessageA(dialog, IDC_MSG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    SetWindowTextA(dialog, state.title ? state.title : kDefaultTitle);
    for (int i = 0; i < IDC_MSG_LINES && state.lines && state.lines[i]; ++i)
        SetDlgItemTextA(dialog, IDC_MSG_LINE1 + i, state.lines[i]);
}

INT_PTR OnInitDialog(HWND dialog)
{
    MessageWindowRecord& state = State();
    StateLock().Enter();
    state.dialog = dialog;
    const bool ended = state.endPending;
    const INT_PTR result = state.pendingResult;
    state.endPending = false;
    StateLock().Leave();
    FillWindow(dialog);
    CenterWindow(dialog);
    SetForegroundWindow(dialog);
    ShowWindow(dialog, SW_SHOW);
    if (ended)
        PostMessageA(dialog, WM_END_MESSAGE_WINDOW, static_cast<WPARAM>(result), 0);
    return TRUE;
}

INT_PTR OnDestroy()
{
    MessageWindowRecord& state = State();
    StateLock().Enter();
    state.dialog = nullptr;
    StateLock().Leave();
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
    MessageWindowRecord& state = State();
    StateLock().Enter();
    if (state.open) {
        StateLock().Leave();
        return 0;
    }
    state.open = true;
    state.module = module;
    state.owner = owner;
    state.icon = nullptr;
    state.title = kDefaultTitle;
    state.lines = lines;
    StateLock().Leave();
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_MESSAGE), owner,
                                     MessageWindowProc, 0);
    ForgetMessageWindow();
    return result;
}

void EndMessageWindow(INT_PTR result)
{
    MessageWindowRecord& state = State();
    StateLock().Enter();
    if (state.dialog) {
        PostMessageA(state.dialog, WM_END_MESSAGE_WINDOW, static_cast<WPARAM>(result), 0);
    } else if (state.expected) {
        state.endPending = true;
        state.pendingResult = result;
    }
    state.expected = false;
    StateLock().Leave();
}

void ExpectMessageWindowEnd()
{
    MessageWindowRecord& state = State();
    StateLock().Enter();
    state.expected = true;
    state.endPending = false;
    state.pendingResult = 0;
    StateLock().Leave();
}

HWND MessageWindow()
{
    MessageWindowRecord& state = State();
    StateLock().Enter();
    HWND dialog = state.dialog;
    StateLock().Leave();
    return dialog;
}
