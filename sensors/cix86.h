#pragma once
// CIX86: the channel to the processor — identity, voltage range and ratio,
// TjMax detection and the per-processor temperature walk.

#include "sensors/cvkdrv.h"
#include "sensors/sensortypes.h"

struct TjMaxRow {
    const char* fragment;
    uint8_t stepping;  // 0xFF: any stepping
    uint8_t tjmax;
};
const int kTjMaxRows = 91;
extern const TjMaxRow kTjMaxTable[kTjMaxRows];
const int kVidEntries = 78;
extern const uint16_t kVidTable[kVidEntries];  // 0.1 mV units

// Result codes of DetectTjMax.
enum TjMaxSource { TJMAX_NONE = 0, TJMAX_TABLE = 1, TJMAX_RULE = 2, TJMAX_READ = 3 };

// TjMax values outside this range are no value; 100 stands in for none.
const int kTjMaxLowest = 60;
const int kTjMaxHighest = 120;
const int kTjMaxFallback = 100;

class CIX86 : public CVKDRV {
public:
    bool ReadSignature(CpuInfo* info) const;
    // Fails as soon as one piece fails, keeping the pieces already read.
    bool ReadBrand(char brand[kBrandSize]) const;
    static void TrimBrand(char brand[kBrandSize]);
    bool ReadVid(CpuInfo* info) const;
    // The TjMax value, and through code the way it was found (TjMaxSource).
    int DetectTjMax(int* code) const;
    // The processor's own TjMax when it reads within range, else 0.
    int ReadTjMax() const;
    // The thermal readout of the processor the calling thread runs on.
    bool ReadDts(int32_t* degreesBelowTjMax) const;
    // Walks every processor of the system mask for its temperature. Only the
    // calling thread is bound while it walks, and it gets its mask back
    // unless it ends right after (restoreThread false); a process mask that
    // leaves processors out is widened for the walk only.
    void ReadCores(CoreTable* table, bool restoreThread = true) const;
    static uint64_t MeasureClock();
    static void DumpSignature(const CpuInfo& info, bool toDebugger);
    static void DumpVid(const CpuInfo& info, bool toDebugger);

    // Whether the brand holds the fragment: its first character exactly,
    // the rest in either case.
    static bool BrandHolds(const char brand[kBrandSize], const char* fragment);

    // The processors of the machine, asked once of the walk calls in force.
    void ForgetSystemMask() { systemMask = 0; }

private:
    bool Cpuid(uint32_t leaf, uint32_t result[4]) const;
    DWORD_PTR SystemMask() const;
    void ReadCore(CoreEntry* entry) const;

    mutable DWORD_PTR systemMask = 0;
};
