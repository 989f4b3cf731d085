#include "foundation/namedlock.h"

NamedLock::NamedLock() : section(), name(), state(NotCreated), contention(0) {}

NamedLock::~NamedLock()
{
    Delete();
}

int NamedLock::Create(const char* lockName)
{
    if (state != NotCreated)
        return 0;
    InitializeCriticalSection(&section);
    lstrcpynA(name, lockName ? lockName : "", kNameSize);
    contention = 0;
    InterlockedExchange(&state, Created);
    return 1;
}

void NamedLock::Enter()
{
    if (state == NotCreated)
        return;
    InterlockedExchange(&state, Trying);
    EnterCriticalSection(&section);
    InterlockedExchange(&state, Held);
}

int NamedLock::TryEnter()
{
    if (state == NotCreated || !TryEnterCriticalSection(&section)) {
        InterlockedIncrement(&contention);
        return 0;
    }
    InterlockedExchange(&state, Held);
    return 1;
}

void NamedLock::Leave()
{
    if (state == NotCreated)
        return;
    InterlockedExchange(&state, Released);
    LeaveCriticalSection(&section);
}

void NamedLock::Delete()
{
    if (state == NotCreated)
        return;
    DeleteCriticalSection(&section);
    name[0] = '\0';
    contention = 0;
    InterlockedExchange(&state, NotCreated);
}
