#include "app/hardware.h"

#include <cstring>

#include "app/appstate.h"
#include "sensors/cf718x.h"
#include "sensors/csensor.h"

void InitializeProcessor(int available)
{
    AppState& app = App();
    ProcessorState& state = app.cpu;
    if (!available) {
        state.present = 0;
        app.coreTemp.enable = 0;  // so no cycle asks for core temperatures
        std::memset(state.brand, 0, sizeof(state.brand));
        return;
    }
    state.present = 1;
    const bool toDebugger = app.debug != 0;
    const CIX86& cpu = CSENSOR::cpu;
    if (cpu.ReadSignature(&state.info))
        CIX86::DumpSignature(state.info, toDebugger);
    if (cpu.ReadVid(&state.info))
        CIX86::DumpVid(state.info, toDebugger);

    int code = TJMAX_NONE;
    state.detectedTjMax = cpu.DetectTjMax(&code);
    if (app.coreTemp.tjmax == 0) {
        const bool usable = state.detectedTjMax >= kTjMaxLowest && state.detectedTjMax <= kTjMaxHighest;
        app.coreTemp.tjmax = usable ? state.detectedTjMax : kTjMaxFallback;
    }
    CSENSOR::SetTjMax(app.coreTemp.tjmax);

    if (cpu.ReadBrand(state.brand))
        CIX86::TrimBrand(state.brand);
}

void RecordChip()
{
    ChipState& chip = App().chip;
    ChipIdent id = CSENSOR::Identity();
    chip.vendor = id.vendor;
    chip.chip = id.chip;
    chip.vendorName = CF718X::VendorName(id.vendor);
    chip.chipName = CF718X::ChipName(id.chip);
}

void ApplyDividers()
{
    const DividerSettings& divid = App().divid;
    if (!divid.enable) {
        CSENSOR::chip.SetDividers(nullptr);
        return;
    }
    Dividers d = {};
    for (int i = 0; i < kVoltCount; ++i)
        d.inScale[i] = divid.in[i];
    d.fanConstant = divid.fan;
    CSENSOR::chip.SetDividers(&d);
}
