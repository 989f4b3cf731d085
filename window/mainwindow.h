#pragma once
// The main window: a modal dialog whose procedure owns the window's whole life
// — initialisation, the monitor and blink timers, commands, hover tracking,
// dropped files and shutdown. It ends with 1 to be created again and with 0 to
// end the program.

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when the monitor timer was started, 0 when it ran already or could not be set.
int StartMonitoring(HWND window);
// 1 when the monitor timer was running and is now stopped, else 0.
int StopMonitoring(HWND window);

// The window text while the window is not minimised.
extern const char kWindowTitle[];
