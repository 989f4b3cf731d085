#pragma once
// What the application's tests can replace (the shape: foundation/seams.h).

#include <windows.h>

#include "foundation/seams.h"

// Starts the alarm command's program (an absolute path) with the command
// line, hidden and not waited for, in the program's own folder, with the
// alarm's label and value in its environment.
bool StartHidden(const char* program, char* commandLine, const char* label, const char* value);
void RealSound(UINT type);

struct WatchCalls {
    bool (*startProcess)(const char* program, char* commandLine, const char* label, const char* value) =
        StartHidden;
    void (*playSound)(UINT type) = RealSound;  // the alarm's beep
    void(WINAPI* readClock)(SYSTEMTIME* now) = GetLocalTime;  // the log's lines and file names
    ULONGLONG(WINAPI* tickCount)() = GetTickCount64;        // how long ago a row beeped
};
void SetWatchCalls(const WatchCalls& calls);
