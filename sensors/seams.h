#pragma once
// What the sensors' tests can replace (the shape: foundation/seams.h).

#include <cstdint>

#include "foundation/seams.h"

class CIX86;

// The calls the core walk makes. Tests replace them for what the driver
// cannot show: a processor whose readout fails, a system mask with gaps.
struct CoreWalkCalls {
    // The process and system affinity masks of this process.
    BOOL (*affinity)(DWORD_PTR* processMask, DWORD_PTR* systemMask);
    // Binds the calling thread to the mask; its previous mask, 0 on failure.
    DWORD_PTR (*bindThread)(DWORD_PTR mask);
    // Binds the calling thread to the mask without asking for the previous
    // one (a request less); false on failure.
    BOOL (*moveThread)(DWORD_PTR mask);
    // Sets the process mask, which every thread of the process then takes.
    BOOL (*bindProcess)(DWORD_PTR mask);
    // The thermal readout of the processor the calling thread is bound to.
    bool (*readout)(const CIX86& cpu, int32_t* degreesBelowTjMax);
};
extern const CoreWalkCalls kRealCoreWalk;

struct SensorCalls {
    ThreadStarter startCycleThread = StartThread;  // the worker of a threaded cycle
    CoreWalkCalls coreWalk = kRealCoreWalk;
};
// The processors' mask is asked again of the new calls.
void SetSensorCalls(const SensorCalls& calls);
