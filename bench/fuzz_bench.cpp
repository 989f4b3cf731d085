// Runs the hostile-input targets for longer than the tests do, with random
// seeds: vk_bench_fuzz [TARGET|all] [MINUTES] [SEED]. Every round prints its
// seed first, so the last seed printed before a crash names the failing
// round; a hang stops the program with the seed and the input saved in the
// current folder. A SEED given replays that one round of each target.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/appstate.h"
#include "support/appfixture.h"
#include "support/capture.h"
#include "support/fuzztargets.h"
#include "support/tempdir.h"

namespace {

const int kRoundInputs = 500;

uint32_t RandomSeed()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<uint32_t>(t.QuadPart ^ (t.QuadPart >> 32) ^ GetCurrentProcessId());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string which = argc > 1 ? argv[1] : "all";
    const double minutes = argc > 2 ? std::atof(argv[2]) : 1.0;
    const bool replay = argc > 3;
    const uint32_t given = replay ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 0;
    bool known = which == "all";
    for (int i = 0; i < kFuzzTargetCount; ++i)
        known = known || which == kFuzzTargets[i].name;
    if (!known) {
        std::printf("no target %s (png, skins, regions, settings, layouts, readings or all)\n", which.c_str());
        return 2;
    }
    TempDir dir;
    PrepareFreshState(dir);
    UserIoCapture quiet;  // no message box waits for a click
    HWND window = CreateMainWindow();  // the readings target draws into it
    const DWORD start = GetTickCount(), length = static_cast<DWORD>(minutes * 60000);
    int rounds = 0, broken = 0;
    long inputs = 0;
    for (bool first = true; first || (!replay && GetTickCount() - start < length); first = false) {
        for (int i = 0; i < kFuzzTargetCount; ++i) {
            if (which != "all" && which != kFuzzTargets[i].name)
                continue;
            const uint32_t seed = replay ? given : RandomSeed();
            Mutator mutator(seed);
            FuzzRun run(kFuzzTargets[i].name, seed);
            kFuzzTargets[i].run(mutator, run, kRoundInputs, dir.Path());
            for (const std::string& failure : run.Failures())
                std::printf("BROKEN %s\n", failure.c_str());
            broken += static_cast<int>(run.Failures().size());
            inputs += run.Inputs();
            ++rounds;
        }
    }
    if (window)
        DestroyWindow(window);
    std::printf("%d rounds, %ld inputs, %d broken rules\n", rounds, inputs, broken);
    return broken ? 1 : 0;
}
