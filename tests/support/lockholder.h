#pragma once
// Holds a lock on another thread: the constructor returns once that thread
// owns it; Release (or the destructor) lets it go and waits for the thread.

#include <windows.h>

class NamedLock;

class LockHeldElsewhere {
public:
    explicit LockHeldElsewhere(NamedLock& lock);
    ~LockHeldElsewhere();
    LockHeldElsewhere(const LockHeldElsewhere&) = delete;
    LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;

    bool Holding() const { return holding; }
    void Release();

private:
    static DWORD WINAPI Hold(void* self);

    NamedLock& lock;
    HANDLE held;
    HANDLE release;
    HANDLE thread;
    bool holding;
};
