#pragma once
// CSENSOR: the acquisition object. One static instance; all state is
// class-wide. It opens the driver, identifies the chip, keeps the current and
// maximum readings and the core table, and runs acquisition cycles guarded by
// the READ lock.

#include "foundation/namedlock.h"
#include "sensors/cf718x.h"
#include "sensors/cix86.h"

class CSENSOR {
public:
    virtual ~CSENSOR();

    static uint32_t Open(int dummy);  // the status flags
    static bool CheckVersion();
    static bool Start(ReadRequest* request);
    static void Cycle(ReadRequest* request);
    static void ResetMaximum();
    static void SetTjMax(int value);
    static void Close();
    static void DumpReadings(const SensorBlock& block);
    static void DumpCores(const CoreTable& table);

    // Readers: copies taken under the READ lock.
    static void CopyBlocks(SensorBlock* current, SensorBlock* maximum);
    static void CopyCores(CoreTable* table);
    static ChipIdent Identity();

    static CF718X chip;
    static CIX86 cpu;
    static NamedLock readLock;
};
