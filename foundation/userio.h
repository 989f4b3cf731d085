#pragma once
// What the user or a debugger sees goes through these two calls, so tests can
// record it instead of clicking message boxes away (UserCalls,
// foundation/seams.h).

#include <windows.h>

// Caption and style of every error message of the program.
extern const char kErrorCaption[];
const UINT kErrorStyle = MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);
// An error message box with the program's caption and style.
int ShowError(HWND owner, const char* text);
// One diagnostic line to the debugger (OutputDebugStringA), without a line end.
void DebugLine(const char* line);
