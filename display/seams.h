#pragma once
// What the display's tests can replace. Each call defaults to the real one;
// null puts the real one back.

#include <windows.h>

// Starts the region worker; null when the thread cannot be started.
using RegionThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE procedure, void* parameter);
void SetRegionThreadStarter(RegionThreadStarter starter);
