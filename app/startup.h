#pragma once
// The program's start: seeds the defaults, finds and loads the settings, and
// runs the loop that creates and re-creates the main window with the given
// dialog procedure. Returns the process exit code (always 1).

#include <windows.h>

int RunProgram(HINSTANCE instance, const char* commandLine, DLGPROC mainProcedure);
