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

class CIX86 : public CVKDRV {
public:
    bool ReadSignature(CpuInfo* info) const;
    bool ReadBrand(char brand[kBrandSize]) const;
    static void TrimBrand(char brand[kBrandSize]);
    bool ReadVid(CpuInfo* info) const;
    // The TjMax value, and through code the way it was found (TjMaxSource).
    int DetectTjMax(int* code) const;
    // Walks every processor of the system mask for its temperature.
    void ReadCores(CoreTable* table) const;
    static uint64_t MeasureClock();
    static void DumpSignature(const CpuInfo& info, bool toDebugger);
    static void DumpVid(const CpuInfo& info, bool toDebugger);
};

// Processor initialisation at window start-up: fills the processor state and
// the core-temperature settings of the application state.
void InitializeProcessor(HWND window, int available);
