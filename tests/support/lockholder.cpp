#include "support/lockholder.h"

#include "foundation/namedlock.h"

namespace {

const DWORD kHoldTimeout = 10000;  // ms

}  // namespace

LockHeldElsewhere::LockHeldElsewhere(NamedLock& l)
    : lock(l), held(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      release(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread(CreateThread(nullptr, 0, Hold, this, 0, nullptr)), holding(false)
{
    holding = thread && WaitForSingleObject(held, kHoldTimeout) == WAIT_OBJECT_0;
}

LockHeldElsewhere::~LockHeldElsewhere()
{
    Release();
    CloseHandle(held);
    CloseHandle(release);
}

void LockHeldElsewhere::Release()
{
    if (!thread)
        return;
    SetEvent(release);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
    holding = false;
}

DWORD WINAPI LockHeldElsewhere::Hold(void* self)
{
    auto* h = static_cast<LockHeldElsewhere*>(self);
    h->lock.Enter();
    SetEvent(h->held);
    WaitForSingleObject(h->release, INFINITE);
    h->lock.Leave();
    return 0;
}
