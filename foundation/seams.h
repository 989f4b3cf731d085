#pragma once
// What tests can replace, in one shape: each layer keeps a record of function
// pointers that start out as the real calls (CallsOf), and a setter. A test
// sets a record with the calls it wants replaced and sets a fresh one to put
// the real calls back.

#include <windows.h>

// Starts a worker thread; null when it cannot.
using ThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE procedure, void* parameter);
// The real one: CreateThread.
HANDLE StartThread(LPTHREAD_START_ROUTINE procedure, void* parameter);

// The calls in force for one record type.
template <typename Calls>
Calls& CallsOf()
{
    static Calls calls;
    return calls;
}

// What the user or a debugger sees (foundation/userio.h).
int RealMessageBox(HWND owner, const char* text, const char* caption, UINT style);
void RealDebugLine(const char* line);
struct UserCalls {
    int (*messageBox)(HWND owner, const char* text, const char* caption, UINT style) = RealMessageBox;
    void (*debugLine)(const char* line) = RealDebugLine;
};
void SetUserCalls(const UserCalls& calls);
