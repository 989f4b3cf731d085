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
    // The last cycle read the chip (a busy bus or a failed request read
    // nothing: such a cycle counts for no alarm and no log line).
    static bool LastCycleRead();
    static ChipIdent Identity();

    static CF718X chip;
    static CIX86 cpu;
    static NamedLock readLock;

private:
    // The bus mutex, waited for at most kBusWaitMs; true when it is ours
    // (or abandoned by its last owner, or there is none to share).
    static bool TakeBus();
    static void NoteCycle(bool fresh);

    static ChipIdent identity;
    static SensorBlock current;
    static SensorBlock maximum;
    static CoreTable cores;
    static HandleOwner worker;  // the last worker thread started
    static int failedReads;     // block requests failed in a row
    static int unreadCycles;    // cycles in a row that read nothing
    static bool everRead;       // since the device was opened
    static bool lastRead;       // the last cycle read the chip
    static HandleOwner busMutex;  // shared with other monitors, or none
    static HandleOwner handshake; // Start's event, made at the first threaded cycle
};

// The mutex other monitors on this machine hold around each access to the
// chip's ports, and how long a cycle waits for it.
extern const char kBusMutexName[];
const DWORD kBusWaitMs = 100;
// Cycles in a row that read nothing before the values go empty.
const int kUnreadCyclesShown = 5;

// The reset form of a block: every word 0 except the fans, 0xFFFF.
SensorBlock ResetBlock();
