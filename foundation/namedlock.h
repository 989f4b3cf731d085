#pragma once
// NamedLock: a critical section with a name, an informational state code and
// a contention count. A lock that was never created lets enter and leave pass
// through without locking, so code that runs before the lock exists runs
// unlocked; try-enter never waits and fails on such a lock.

#include <windows.h>

class NamedLock {
public:
    enum State : LONG { NotCreated = 0, Created = 1, Held = 2, Trying = 3, Released = 4 };
    static const int kNameSize = 260;

    NamedLock();
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // Only from NotCreated; 0 when the lock exists already.
    int Create(const char* name);
    void Enter();
    // 1 when the lock was taken; 0 (and one more contention) otherwise.
    int TryEnter();
    void Leave();
    void Delete();

    bool Exists() const { return state != NotCreated; }
    LONG StateCode() const { return state; }
    LONG Contention() const { return contention; }
    const char* Name() const { return name; }

private:
    CRITICAL_SECTION section;
    char name[kNameSize];
    volatile LONG state;
    volatile LONG contention;
};

// A plain critical section, ready from construction to destruction, for
// records that are touched from more than one thread.
class SectionLock {
public:
    SectionLock() { InitializeCriticalSection(&section); }
    ~SectionLock() { DeleteCriticalSection(&section); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;
    void Enter() { EnterCriticalSection(&section); }
    void Leave() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};
