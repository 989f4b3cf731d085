#pragma once
// Test fixtures around the application state: a fresh start state with
// settings and theme files in a temporary folder, and the main window created
// modelessly from a template so a test can drive it message by message.

#include <windows.h>

#include <string>

#include "support/tempdir.h"

// The state start-up leaves when neither file exists, with both paths in dir.
void PrepareFreshState(const TempDir& dir);

// The main window from the executable's template (200 unless told), shown,
// with its initialisation done; null when initialisation failed.
HWND CreateMainWindow(int templateId = 200);
// The same from a template lacking one control: it is removed before the
// window initialises, as if the template had never held it.
HWND CreateMainWindowWithout(int controlId);
// The main window from a layout file's template (beside the test program
// when the path is bare), lacking one control when told.
HWND CreateMainWindowFromLayout(const char* path, int withoutId = 0);
// Runs the main window modally, as the creation loop does; returns its end code.
INT_PTR RunMainWindowModal();
