#pragma once
// Another monitor on this machine at the chip: a thread that holds the bus
// mutex until it is let go, or ends without releasing it.

#include <windows.h>

#include "foundation/owner.h"

class OtherMonitor {
public:
    explicit OtherMonitor(bool abandon);
    ~OtherMonitor() { LetGo(); }
    void LetGo();

private:
    static DWORD WINAPI Run(LPVOID self);
    bool abandon;
    HandleOwner holding{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HandleOwner release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HandleOwner thread;
};
