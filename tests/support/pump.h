#pragma once
// Message pumping for GUI tests: dispatch what is queued, for at most a given
// time, instead of sleeping.

#include <windows.h>

#include <functional>

// Dispatches messages until the queue stays empty or ms have passed.
void PumpMessages(DWORD ms = 200);
// Dispatches messages until done() holds or ms have passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 5000);
