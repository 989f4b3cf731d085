#pragma once
// What the application's tests can replace (the shape: foundation/seams.h).

#include <windows.h>

#include "foundation/seams.h"

// Starts the alarm command's process, hidden and not waited for.
bool StartHidden(char* commandLine);
void RealSound(UINT type);

struct WatchCalls {
    bool (*startProcess)(char* commandLine) = StartHidden;
    void (*playSound)(UINT type) = RealSound;  // the alarm's beep
    void(WINAPI* readClock)(SYSTEMTIME* now) = GetLocalTime;  // the log's lines and file names
};
void SetWatchCalls(const WatchCalls& calls);
