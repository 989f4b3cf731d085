// Processor initialisation: what the window's start-up learns about the
// processor once, and the core-temperature settings it settles.

#include <cstring>

#include "app/appstate.h"
#include "sensors/csensor.h"

void InitializeProcessor(HWND window, int available)
{
    (void)window;  // the window builds its core-temperature tooltip itself afterwards
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
