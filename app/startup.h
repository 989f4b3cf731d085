#pragma once
// The program's start: seeds the defaults, finds and loads the settings, and
// runs the loop that creates and re-creates the main window with the given
// dialog procedure. Returns the process exit code (always 1).

#include <windows.h>

int RunProgram(HINSTANCE instance, const char* commandLine, DLGPROC mainProcedure);

// The pieces of the start, for tests.

// Stores the instance, clears the timers and display marks, seeds the colours
// from the system palette, the fonts and the window icons.
void SeedStartState(HINSTANCE instance);

// Sets the settings file path: the command-line text as it stands (quotes
// and all, cut to 1023 characters), or VESKORA.VKC beside the executable
// when the text is empty; empty when the executable's path is unknown.
void ComputeSettingsPath(const char* commandLine);

// Maps a layout module as data, so that none of its code can run. A name
// without a folder is looked for beside the executable first, then as given.
HMODULE LoadLayoutModule(const char* path);

// The layout module's template 201, or none when the module has no complete
// one. The template lives as long as the module stays mapped.
const DLGTEMPLATE* LayoutTemplate(HMODULE module);

// Creates the main window from template 200, or from template 201 of the
// layout module while the layout is enabled, until a window ends with 0.
void RunCreationLoop(HINSTANCE instance, DLGPROC mainProcedure);
