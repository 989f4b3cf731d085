#pragma once
// The processor information window: the identity found at start-up, a fresh
// clock measurement and the 64 feature flags of CPUID leaf 1. Modeless, one
// at a time, owned by the display window.

#include <windows.h>

extern const char* const kEdxFlagNames[32];
extern const char* const kEcxFlagNames[32];

// Opens the window; does nothing while it is open.
void OpenProcessorWindow(HWND owner, HINSTANCE module);
// The window while it is open, else null.
HWND ProcessorWindow();
