#pragma once
// What the display's tests can replace (the shape: foundation/seams.h).

#include "foundation/seams.h"

struct DisplayCalls {
    ThreadStarter startRegionThread = StartThread;  // the region worker
};
void SetDisplayCalls(const DisplayCalls& calls);
