#pragma once
// CSENSOR: the acquisition object. One static instance; all state is
// class-wide. It opens the driver, identifies the chip, keeps the current and
// maximum readings and the core table, and runs acquisition cycles guarded by
// the READ lock.

#include "foundation/namedlock.h"
#include "foundation/owner.h"
#include "sensors/cf718x.h"
#include "sensors/cix86.h"

class CSENSOR {
public:
    virtual ~CSENSOR();

    static uint32_t Open(int dummy);  // the status flags
    static bool CheckVersion();
    // False when no cycle could be started (no event, no thread).
    static bool Start(ReadRequest* request);
    static void Cycle(ReadRequest* request);
    static void ResetMaximum();
    static void SetTjMax(int value);
    // Waits for a cycle still running, then closes; harmless when repeated.
    static void Close();
    static void DumpReadings(const SensorBlock& block);
    static void DumpCores(const CoreTable& table);

    // Readers: copies taken under the READ lock.
    static void CopyBlocks(SensorBlock* current, SensorBlock* maximum);
    static void CopyCores(CoreTable* table);
    static ChipIdent Identity();

    // Starts the worker thread of a threaded cycle; null when it cannot.
    // Tests replace it to see a thread that cannot start.
    using ThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE procedure, void* parameter);
    static void SetThreadStarter(ThreadStarter starter);  // null: CreateThread

    static CF718X chip;
    static CIX86 cpu;
    static NamedLock readLock;

private:
    static ChipIdent identity;
    static SensorBlock current;
    static SensorBlock maximum;
    static CoreTable cores;
    static HandleOwner worker;  // the last worker thread started
    static int failedReads;     // block requests failed in a row
};

// The reset form of a block: every word 0 except the fans, 0xFFFF.
SensorBlock ResetBlock();
// A block in which no input has a value.
SensorBlock NoValueBlock();
