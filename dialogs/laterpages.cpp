// Pages that come with the next step: they follow the page protocol and
// show nothing yet.

#include "dialogs/pages.h"

namespace {

INT_PTR CALLBACK EmptyPage(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

}  // namespace

INT_PTR CALLBACK ColorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return EmptyPage(page, message, wParam, lParam);
}

INT_PTR CALLBACK SkinPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return EmptyPage(page, message, wParam, lParam);
}

INT_PTR CALLBACK VersionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return EmptyPage(page, message, wParam, lParam);
}
