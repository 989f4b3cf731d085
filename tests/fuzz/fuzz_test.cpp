// Hostile input for every loader and formatter, with fixed seeds: each
// input must end in a safe default or a clean failure, with no hang, no
// text past its buffer, and the process's handles as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/appstate.h"
#include "support/appfixture.h"
#include "support/capture.h"
#include "support/fuzztargets.h"
#include "support/pump.h"
#include "support/scenario.h"
#include "support/tempdir.h"

namespace {

const uint32_t kSeed = 20261208;

// The test command runs the suite under emulation with a fixed share of the
// inputs: one in VESKORA_FUZZ_SHARE, the first of every target (seeds, cuts,
// then mutations), the same ones every time. A target of few inputs keeps
// them all.
const int kFewestShared = 120;

int Share(int count)
{
    const char* share = std::getenv("VESKORA_FUZZ_SHARE");
    const int divisor = share ? std::atoi(share) : 1;
    return divisor > 1 ? std::max(count / divisor, std::min(count, kFewestShared)) : count;
}

class Fuzz : public testing::Test {
protected:
    void SetUp() override { PrepareFreshState(dir); }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
        PumpMessages(50);
        ResetAppState();
    }
    void Run(const char* name, int fullCount)
    {
        const int count = Share(fullCount);
        const FuzzTarget* target = nullptr;
        for (int i = 0; i < kFuzzTargetCount; ++i)
            if (std::string(kFuzzTargets[i].name) == name)
                target = &kFuzzTargets[i];
        ASSERT_NE(nullptr, target);
        // The same inputs twice: the first pass fills whatever the platform
        // keeps for good (decoders, caption fonts); a leak grows in the second.
        HandleCounts before = {};
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                before = CountHandles();
            Mutator mutator(kSeed);
            FuzzRun run(name, kSeed);
            target->run(mutator, run, count / 2, dir.Path());
            EXPECT_EQ(count / 2, run.Inputs());
            for (const std::string& failure : run.Failures())
                ADD_FAILURE() << failure;
        }
        const HandleCounts after = CountHandles();
        EXPECT_EQ(before.kernel, after.kernel) << name;
        EXPECT_EQ(before.gdi, after.gdi) << name;
    }

    TempDir dir;
    Scenario scenario;
    UserIoCapture io;  // no message box waits for a click
    HWND window = nullptr;
};

TEST_F(Fuzz, PngFiles) { Run("png", 1500); }
TEST_F(Fuzz, BitmapJpegAndGifSkins) { Run("skins", 700); }
TEST_F(Fuzz, RegionFiles) { Run("regions", 3000); }
TEST_F(Fuzz, SettingsAndThemeFiles) { Run("settings", 120); }
TEST_F(Fuzz, LayoutTemplatesAndModules) { Run("layouts", 1000); }
TEST_F(Fuzz, EndpointRequestHeads) { Run("requests", 3000); }

TEST_F(Fuzz, ReadingsThroughTextsLinesPanelsAndTooltip)
{
    window = CreateMainWindow();
    ASSERT_NE(nullptr, window);
    Run("readings", 1500);
}

}  // namespace
