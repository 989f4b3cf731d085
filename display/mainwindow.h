#pragma once
// The main window: a modal dialog whose procedure owns the window's whole life.

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
