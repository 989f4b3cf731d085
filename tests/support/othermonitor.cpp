#include "support/othermonitor.h"

#include "sensors/csensor.h"

OtherMonitor::OtherMonitor(bool abandon) : abandon(abandon)
{
    thread.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    WaitForSingleObject(abandon ? thread.Get() : holding.Get(), 5000);
}

void OtherMonitor::LetGo()
{
    SetEvent(release.Get());
    WaitForSingleObject(thread.Get(), 5000);
}

DWORD WINAPI OtherMonitor::Run(LPVOID self)
{
    auto* monitor = static_cast<OtherMonitor*>(self);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kBusMutexName);
    WaitForSingleObject(mutex, INFINITE);  // it exists already: ownership is waited for
    SetEvent(monitor->holding.Get());
    if (!monitor->abandon) {
        WaitForSingleObject(monitor->release.Get(), INFINITE);
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return 0;  // still owning it when abandoning: the mutex is abandoned
}
