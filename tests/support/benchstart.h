#pragma once
// How the benchmarks that run the real window start: settings files of
// their own, then the program's start-up and creation loop.

#include <windows.h>

#include <string>

// A settings file and the theme file it names, made afresh in a folder of
// that name under the temporary directory, with [Global] Timer in the
// theme; returns the settings file's path.
std::string FreshBenchSettings(const char* folder, const char* timer);

// Starts as the program does on that settings file and runs its windows
// with the procedure until one ends the loop.
void RunBenchWindows(const std::string& settings, DLGPROC procedure);
