#pragma once
// What the user asks of the main window: the commands of its menu (and the
// program's own posted ones, one handler each) and files dropped on it.

#include <windows.h>
#include <shellapi.h>

INT_PTR OnMainCommand(HWND window, WPARAM wParam, LPARAM lParam);
// A skin picture, theme (.VKT) or settings file (.VKC) dropped on the window.
INT_PTR OnMainDropFiles(HWND window, HDROP drop);
