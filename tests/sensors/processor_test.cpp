// The processor through the driver: signature, brand and its trimming, the
// voltage range, TjMax detection on every path, the core walk over this
// machine's processors and over masks only a test double can show, and the
// processor initialisation of start-up.

#include <cstring>
#include <string>

#include "app/appstate.h"
#include "sensors/seams.h"
#include "app/hardware.h"
#include "sensortest.h"

namespace {

class Processor : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        CSENSOR::Open(0);
    }

    int Detect(int* code) const { return CSENSOR::cpu.DetectTjMax(code); }

    // Signature of family 6 with the given model and stepping.
    static DWORD Core(unsigned model, unsigned stepping)
    {
        return ((model >> 4) << 16) | (6u << 8) | ((model & 0xF) << 4) | stepping;
    }
};

TEST_F(Processor, SignatureFields)
{
    CpuInfo info = {};
    ASSERT_TRUE(CSENSOR::cpu.ReadSignature(&info));
    EXPECT_EQ(6, info.family);
    EXPECT_EQ(0x17, info.model);
    EXPECT_EQ(0x0A, info.stepping);
    EXPECT_EQ(0xBFEBFBFFu, info.edxFeatures);

    scenario.Set("Signature", 0x000306C3);  // extended model 3, model 0xC
    scenario.Set("FeaturesEdx", 0x12345678);
    scenario.Set("FeaturesEcx", 0x9ABCDEF0);
    ASSERT_TRUE(CSENSOR::cpu.ReadSignature(&info));
    EXPECT_EQ(0x3C, info.model);
    EXPECT_EQ(3, info.stepping);
    EXPECT_EQ(0x12345678u, info.edxFeatures);
    EXPECT_EQ(0x9ABCDEF0u, info.ecxFeatures);
}

TEST_F(Processor, BrandIsReadWholeAndTrimmed)
{
    char brand[kBrandSize] = {};
    ASSERT_TRUE(CSENSOR::cpu.ReadBrand(brand));
    EXPECT_STREQ("Intel(R) Core(TM)2 Quad CPU    Q9650  @ 3.00GHz", brand);
    CIX86::TrimBrand(brand);
    EXPECT_STREQ("Intel(R) Core(TM)2 Quad CPU Q9650 @ 3.00GHz", brand);

    scenario.SetString("Brand", "  Intel(R)   Core(TM)2  Duo  ");
    std::memset(brand, 0, sizeof(brand));
    ASSERT_TRUE(CSENSOR::cpu.ReadBrand(brand));
    CIX86::TrimBrand(brand);
    EXPECT_STREQ("Intel(R) Core(TM)2 Duo", brand);
}

TEST_F(Processor, TrimBrandEdges)
{
    char full[kBrandSize];
    std::memset(full, ' ', sizeof(full));  // 48 bytes, no terminating zero
    full[5] = 'X';
    char copy[kBrandSize];
    std::memcpy(copy, full, sizeof(full));
    CIX86::TrimBrand(full);
    EXPECT_EQ(0, std::memcmp(copy, full, sizeof(full)));

    char spaces[kBrandSize] = "     ";
    CIX86::TrimBrand(spaces);
    EXPECT_STREQ("", spaces);
}

TEST_F(Processor, VoltageRangeAndRatio)
{
    CpuInfo info = {};
    ASSERT_TRUE(CSENSOR::cpu.ReadVid(&info));
    EXPECT_DOUBLE_EQ(0.85, info.vidMin);
    EXPECT_DOUBLE_EQ(1.25, info.vidMax);
    EXPECT_DOUBLE_EQ(9.0, info.ratio);

    scenario.Set("PerfStatus", 0x004D4A01);  // min index 77, half ratio 10.5, max index 1
    ASSERT_TRUE(CSENSOR::cpu.ReadVid(&info));
    EXPECT_DOUBLE_EQ(1.7875, info.vidMin);
    EXPECT_DOUBLE_EQ(0.0, info.vidMax);
    EXPECT_DOUBLE_EQ(10.5, info.ratio);

    // Indices past the 78-entry table are no voltage.
    scenario.Set("PerfStatus", 0x00FF3F4E);
    ASSERT_TRUE(CSENSOR::cpu.ReadVid(&info));
    EXPECT_DOUBLE_EQ(0.0, info.vidMin);
    EXPECT_DOUBLE_EQ(0.0, info.vidMax);
    EXPECT_DOUBLE_EQ(63.0, info.ratio);
}

TEST_F(Processor, TjMaxFromTheTable)
{
    int code = -1;
    EXPECT_EQ(100, Detect(&code));  // "Q9" of the default Q9650
    EXPECT_EQ(TJMAX_TABLE, code);

    scenario.SetString("Brand", "Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz");
    EXPECT_EQ(95, Detect(&code));  // passes "Q9": it does not occur
    EXPECT_EQ(TJMAX_TABLE, code);

    scenario.SetString("Brand", "Intel(R) Xeon(R) CPU           E5440  @ 2.83GHz");
    EXPECT_EQ(85, Detect(&code));  // "E54" before "E5"

    // A row whose stepping differs is skipped and the search goes on.
    scenario.SetString("Brand", "Intel(R) Core(TM)2 Duo CPU     E6850  @ 3.00GHz");
    scenario.Set("Signature", Core(0x0F, 0x0B));
    EXPECT_EQ(90, Detect(&code));
    scenario.Set("Signature", Core(0x0F, 6));
    EXPECT_EQ(80, Detect(&code));
    EXPECT_EQ(TJMAX_TABLE, code);
    scenario.Set("Signature", Core(0x0F, 0x0D));
    EXPECT_EQ(85, Detect(&code));  // no E6 row for stepping 13: the model rule
    EXPECT_EQ(TJMAX_RULE, code);
}

TEST_F(Processor, FragmentsMatchTheirFirstLetterExactly)
{
    scenario.SetString("Brand", "intel(r) core(tm)2 duo cpu e8400 @ 3.00ghz");
    scenario.Set("Signature", Core(0x0F, 6));
    int code = -1;
    EXPECT_EQ(85, Detect(&code));  // not "E8" (100): its first letter is lower case
    EXPECT_EQ(TJMAX_RULE, code);

    scenario.SetString("Brand", "Intel(R) Core(TM)2 Duo CPU E8400 @ 3.00GHz");
    EXPECT_EQ(100, Detect(&code));
    EXPECT_EQ(TJMAX_TABLE, code);

    char brand[kBrandSize] = "Xeon xe5";
    EXPECT_TRUE(CIX86::BrandHolds(brand, "XE"));  // later letters in either case
    EXPECT_FALSE(CIX86::BrandHolds(brand, "E5"));
}

TEST_F(Processor, TjMaxFromTheFamilyAndModelRules)
{
    scenario.SetString("Brand", "Genuine Intel(R) CPU 2.40GHz");
    int code = -1;
    const struct {
        DWORD signature;
        int tjmax;
    } rules[] = {{Core(0x0F, 0x0B), 90}, {Core(0x0F, 6), 85}, {Core(0x17, 6), 100}, {Core(0x1C, 2), 90}};
    for (const auto& rule : rules) {
        scenario.Set("Signature", rule.signature);
        EXPECT_EQ(rule.tjmax, Detect(&code)) << std::hex << rule.signature;
        EXPECT_EQ(TJMAX_RULE, code);
    }
}

TEST_F(Processor, TjMaxReadFromTheProcessor)
{
    scenario.SetString("Brand", "Genuine Intel(R) CPU 2.40GHz");
    int code = -1;
    // Model 0x1A reads; a reply out of range is nothing found.
    scenario.Set("Signature", Core(0x1A, 5));
    scenario.Set("TjMax", 95);
    EXPECT_EQ(95, Detect(&code));
    EXPECT_EQ(TJMAX_READ, code);
    scenario.Set("TjMax", 50);
    EXPECT_EQ(0, Detect(&code));
    EXPECT_EQ(TJMAX_NONE, code);

    // Any other family reads, and accepts 60 to 120 only.
    scenario.Set("Signature", 0x00000F29);
    const struct {
        DWORD reply;
        int value;
        int code;
    } replies[] = {{59, 0, TJMAX_NONE}, {60, 60, TJMAX_READ}, {120, 120, TJMAX_READ}, {121, 0, TJMAX_NONE}};
    for (const auto& r : replies) {
        scenario.Set("TjMax", r.reply);
        EXPECT_EQ(r.value, Detect(&code)) << r.reply;
        EXPECT_EQ(r.code, code) << r.reply;
    }
}

// --- the core walk ------------------------------------------------------------

DWORD_PTR ThreadMask()
{
    const DWORD_PTR mask = SetThreadAffinityMask(GetCurrentThread(), 1);
    SetThreadAffinityMask(GetCurrentThread(), mask);
    return mask;
}

// Also when the user kept the monitor to one processor (start /affinity 1):
// the walk widens the process mask for itself and puts it back.
TEST_F(Processor, TheWalkReadsEveryProcessorOfThisMachineAndUnbindsAfterwards)
{
    DWORD_PTR processBefore = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &processBefore, &system));
    const DWORD_PTR lowest = system & (~system + 1);
    std::vector<DWORD_PTR> masks = {processBefore};
    if (lowest != processBefore)
        masks.push_back(lowest);  // only a machine of one processor has nothing to narrow
    for (DWORD_PTR processMask : masks) {
        SCOPED_TRACE(processMask);
        ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), processMask));
        const DWORD_PTR threadBefore = ThreadMask();
        CSENSOR::ResetMaximum();
        CSENSOR::SetTjMax(100);
        SyncCycle(1);
        const CoreTable table = Cores();
        uint32_t highest = 0;
        for (uint32_t i = 0; i < 32; i++) {
            if (system & (static_cast<DWORD_PTR>(1) << i))
                highest = i + 1;
        }
        EXPECT_EQ(highest, table.count);
        for (uint32_t i = 0; i < table.count; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(1, table.core[i].valid);
            // The live readout lies 35 to 65 degrees below TjMax.
            EXPECT_GE(table.core[i].temp, 35);
            EXPECT_LE(table.core[i].temp, 65);
            EXPECT_EQ(table.core[i].temp, table.core[i].peak);
        }
        // Each reading came from the processor the walk was bound to: the
        // driver's neighbouring processors read several degrees apart.
        if (table.count >= 2) {
            EXPECT_NE(table.core[0].temp, table.core[1].temp);
        }
        DWORD_PTR processAfter = 0;
        GetProcessAffinityMask(GetCurrentProcess(), &processAfter, &system);
        EXPECT_EQ(processMask, processAfter);
        EXPECT_EQ(threadBefore, ThreadMask());
    }
    SetProcessAffinityMask(GetCurrentProcess(), processBefore);
}

TEST_F(Processor, AFixedReadoutGivesTjMaxMinusItOnEveryProcessor)
{
    scenario.Set("Dts", 30);
    CSENSOR::SetTjMax(100);
    SyncCycle(1);
    CoreTable table = Cores();
    for (uint32_t i = 0; i < table.count; i++)
        EXPECT_EQ(70, table.core[i].temp) << i;

    // An unknown TjMax is detected inside the walk, or 100 when nothing is found.
    CSENSOR::SetTjMax(0);
    scenario.SetString("Brand", "Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz");
    SyncCycle(1);
    table = Cores();
    EXPECT_EQ(95, table.core[0].tjmax);
    EXPECT_EQ(65, table.core[0].temp);

    CSENSOR::SetTjMax(0);
    scenario.SetString("Brand", "Genuine Intel(R) CPU 2.40GHz");
    scenario.Set("Signature", 0x000106A5);  // model 0x1A
    scenario.Set("TjMax", 40);                // out of range
    SyncCycle(1);
    table = Cores();
    EXPECT_EQ(100, table.core[0].tjmax);
    EXPECT_EQ(70, table.core[0].temp);
}

// A machine only the double has: system mask 0b1011, processor 1 whose
// readout fails when asked, and a process mask the user may narrow.
struct FakeMachine {
    static DWORD_PTR systemMask;
    static DWORD_PTR processMask;  // 0: the system mask
    static DWORD_PTR failing;
    static DWORD_PTR bound;
    static DWORD_PTR previous;  // the mask before the last bind
    static int bindings;
    static int asks;  // binds that asked for the previous mask
    static int processBindings;
    static bool refuseProcess;
    static int queries;

    static BOOL Affinity(DWORD_PTR* process, DWORD_PTR* system)
    {
        queries++;
        *system = systemMask;
        *process = processMask ? processMask : systemMask;
        return TRUE;
    }
    static DWORD_PTR Bind(DWORD_PTR mask)
    {
        asks++;
        return Move(mask) ? previous : 0;
    }
    static BOOL Move(DWORD_PTR mask)
    {
        if (processMask && (mask & ~processMask))
            return FALSE;  // a thread stays inside its process's mask
        bindings++;
        previous = bound;
        bound = mask;
        return TRUE;
    }
    static BOOL BindProcess(DWORD_PTR mask)
    {
        processBindings++;
        if (refuseProcess)
            return FALSE;
        processMask = bound = mask;  // every thread takes the process's mask
        return TRUE;
    }
    static bool Readout(const CIX86& cpu, int32_t* value)
    {
        if (bound == failing)
            return false;
        if (!kRealCoreWalk.readout(cpu, value))
            return false;
        for (DWORD_PTR m = bound; m > 1; m >>= 1)
            (*value)++;  // one degree cooler per processor number
        return true;
    }
};
DWORD_PTR FakeMachine::systemMask;
DWORD_PTR FakeMachine::processMask;
DWORD_PTR FakeMachine::failing;
DWORD_PTR FakeMachine::bound;
DWORD_PTR FakeMachine::previous;
int FakeMachine::bindings;
int FakeMachine::asks;
int FakeMachine::processBindings;
bool FakeMachine::refuseProcess;
int FakeMachine::queries;

const CoreWalkCalls kFakeMachine = {FakeMachine::Affinity, FakeMachine::Bind, FakeMachine::Move,
                                    FakeMachine::BindProcess, FakeMachine::Readout};

class FakeWalk : public Processor {
protected:
    void SetUp() override
    {
        Processor::SetUp();
        FakeMachine::failing = 0;
        FakeMachine::processMask = 0;
        FakeMachine::refuseProcess = false;
        FakeMachine::processBindings = 0;
        FakeMachine::bound = 0xFF;  // the thread's mask before the walk
        FakeMachine::bindings = 0;
        FakeMachine::asks = 0;
        FakeMachine::queries = 0;
        SetSensorCalls(SensorCalls{StartThread, kFakeMachine});
        scenario.Set("Dts", 20);
        CSENSOR::SetTjMax(100);
    }
};

TEST_F(FakeWalk, AMaskWithAGapCountsUpToItsHighestBit)
{
    FakeMachine::systemMask = 0b1011;
    SyncCycle(1);
    const CoreTable table = Cores();
    EXPECT_EQ(4u, table.count);
    EXPECT_EQ(1, table.core[0].valid);
    EXPECT_EQ(80, table.core[0].temp);
    EXPECT_EQ(1, table.core[1].valid);
    EXPECT_EQ(79, table.core[1].temp);
    EXPECT_EQ(0, table.core[2].valid);
    EXPECT_EQ(0, table.core[2].temp);
    EXPECT_EQ(1, table.core[3].valid);
    EXPECT_EQ(77, table.core[3].temp);
    EXPECT_EQ(0, table.core[4].valid);
    // Three bindings for the walk, one to give the thread its mask back;
    // the masks are asked once, not every walk.
    EXPECT_EQ(4, FakeMachine::bindings);
    EXPECT_EQ(0xFFu, FakeMachine::bound);
    SyncCycle(1);
    EXPECT_EQ(8, FakeMachine::bindings);
    EXPECT_EQ(1, FakeMachine::queries);
    // The mask to give back is asked for once a walk, by its first bind
    // (and the bind that gives it back); a worker, which puts nothing
    // back, asks for none.
    EXPECT_EQ(4, FakeMachine::asks);
    ReadRequest worker = {0, 0, 1, nullptr, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&worker));
    CSENSOR::Close();  // waits for the worker's walk
    EXPECT_EQ(4, FakeMachine::asks);
    EXPECT_EQ(11, FakeMachine::bindings);
}

// Kept to processor 3 alone: the walk widens the process mask once, reads
// every processor, and gives process and thread their masks back; where the
// process mask cannot be widened only processor 3 is read.
TEST_F(FakeWalk, ANarrowedProcessMaskIsWidenedForTheWalkOnly)
{
    FakeMachine::systemMask = 0b1011;
    for (bool refuse : {false, true}) {
        SCOPED_TRACE(refuse);
        FakeMachine::processMask = FakeMachine::bound = 0b1000;
        FakeMachine::refuseProcess = refuse;
        FakeMachine::processBindings = 0;
        SyncCycle(1);
        const CoreTable table = Cores();
        EXPECT_EQ(refuse ? 0 : 1, table.core[0].valid);
        EXPECT_EQ(refuse ? 0 : 1, table.core[1].valid);
        EXPECT_EQ(1, table.core[3].valid);
        EXPECT_EQ(refuse ? 1 : 2, FakeMachine::processBindings);
        EXPECT_EQ(0b1000u, FakeMachine::processMask);
        EXPECT_EQ(0b1000u, FakeMachine::bound);
    }
}

TEST_F(FakeWalk, AProcessorThatFailsIsLeftWithoutAReading)
{
    FakeMachine::systemMask = 0b111;
    SyncCycle(1);
    FakeMachine::failing = 0b010;
    SyncCycle(1);
    const CoreTable table = Cores();
    EXPECT_EQ(3u, table.count);
    EXPECT_EQ(1, table.core[0].valid);
    EXPECT_EQ(0, table.core[1].valid);
    EXPECT_EQ(0, table.core[1].temp);
    EXPECT_EQ(79, table.core[1].peak);  // the peak of the earlier cycle stays
    EXPECT_EQ(1, table.core[2].valid);
    EXPECT_EQ(78, table.core[2].temp);
}

// --- processor initialisation ---------------------------------------------------

TEST_F(Processor, InitialisationWithoutProcessorTemperatures)
{
    App().coreTemp.enable = 1;
    std::strcpy(App().cpu.brand, "old");
    UserIoCapture capture;
    InitializeProcessor(0);
    EXPECT_EQ(0, App().cpu.present);
    EXPECT_EQ(0, App().coreTemp.enable);
    EXPECT_STREQ("", App().cpu.brand);
    EXPECT_TRUE(capture.DebugLines().empty());
}

TEST_F(Processor, InitialisationFillsTheStateAndTellsTheDebugger)
{
    App().debug = 1;
    App().coreTemp.tjmax = 0;
    UserIoCapture capture;
    InitializeProcessor(1);
    const ProcessorState& cpu = App().cpu;
    EXPECT_EQ(1, cpu.present);
    EXPECT_EQ(0x17, cpu.info.model);
    EXPECT_DOUBLE_EQ(1.25, cpu.info.vidMax);
    EXPECT_EQ(100, cpu.detectedTjMax);
    EXPECT_EQ(100, App().coreTemp.tjmax);
    EXPECT_STREQ("Intel(R) Core(TM)2 Quad CPU Q9650 @ 3.00GHz", cpu.brand);
    const std::vector<std::string> expected = {
        "Family   : 0x06",   "Model    : 0x17",   "Step     : 0x0A",
        "Vid Min  : 0.85 V", "Vid Max  : 1.25 V", "Multiply : x9.0",
    };
    EXPECT_EQ(expected, capture.DebugLines());
    for (const CoreEntry& entry : Cores().core)
        EXPECT_EQ(100, entry.tjmax);
}

TEST_F(Processor, InitialisationKeepsAChosenTjMaxAndFallsBackTo100)
{
    App().coreTemp.tjmax = 85;
    scenario.SetString("Brand", "Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz");
    UserIoCapture capture;  // Debug off: the lines go to the standard output
    InitializeProcessor(1);
    EXPECT_EQ(95, App().cpu.detectedTjMax);
    EXPECT_EQ(85, App().coreTemp.tjmax);
    EXPECT_EQ(85, Cores().core[31].tjmax);
    EXPECT_TRUE(capture.DebugLines().empty());

    App().coreTemp.tjmax = 0;
    scenario.SetString("Brand", "Genuine Intel(R) CPU 2.40GHz");
    scenario.Set("Signature", 0x00000F29);
    scenario.Set("TjMax", 130);
    InitializeProcessor(1);
    EXPECT_EQ(0, App().cpu.detectedTjMax);
    EXPECT_EQ(100, App().coreTemp.tjmax);
}

TEST(ProcessorClock, MeasuresAPlausibleRate)
{
    const uint64_t rate = CIX86::MeasureClock();
    EXPECT_GT(rate, 100000000ull);     // above 100 MHz
    EXPECT_LT(rate, 20000000000ull);   // below 20 GHz
    EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));
}

}  // namespace
