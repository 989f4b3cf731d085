#include "foundation/seams.h"

HANDLE StartThread(LPTHREAD_START_ROUTINE procedure, void* parameter)
{
    return CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
}

int RealMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return MessageBoxA(owner, text, caption, style);
}

void RealDebugLine(const char* line)
{
    OutputDebugStringA(line);
}

void SetUserCalls(const UserCalls& calls)
{
    CallsOf<UserCalls>() = calls;
}
