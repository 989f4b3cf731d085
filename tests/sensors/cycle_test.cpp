// The acquisition cycle: the maxima fold and its reset, dummy readings, the
// core table across cycles, threaded cycles with their handshake, and Close
// and Start around a worker.

#include <atomic>
#include <cstring>
#include <ctime>

#include <windows.h>
#include <sddl.h>

#include "sensortest.h"
#include "sensors/seams.h"
#include "support/othermonitor.h"

namespace {

class Cycles : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        CSENSOR::Open(0);
    }
};

bool SameBlock(const SensorBlock& a, const SensorBlock& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

TEST_F(Cycles, TheMaximumKeepsExtremesAndAbsenceMarkersFoldAsNumbers)
{
    scenario.SetBlock(Block({100, 150, 90}, {40, 0xFF, 30}, {1000, 0x0FFF, 2000, 0x0FFF}, {100, 128, 50, 0}));
    SyncCycle(0);
    scenario.SetBlock(Block({90, 160, 95}, {35, 50, 0xFF}, {1200, 900, 0, 0x0FFF}, {90, 60, 200, 0x80}));
    SyncCycle(0);
    const SensorBlock expected =
        Block({100, 160, 95}, {40, 0xFF, 0xFF}, {1000, 900, 0, 0x0FFF}, {100, 128, 200, 0x80});
    const SensorBlock most = Maximum();
    EXPECT_TRUE(SameBlock(expected, most));

    const SensorText t = Texts(most);
    EXPECT_STREQ("", t.text[kTempSlot + 1]);   // an absent temperature outranks every reading
    EXPECT_STREQ("1666", t.text[kFanSlot + 1]);  // the first real count replaced the absent fan
    EXPECT_STREQ("", t.text[kFanSlot + 2]);     // a count of 0 wins until the next reset
}

TEST_F(Cycles, ResettingTheMaximaMakesThemTheCurrentReadings)
{
    scenario.Set("Dts", 40);
    CSENSOR::SetTjMax(100);
    scenario.SetBlock(Block({200}, {50}, {800}, {30}));
    SyncCycle(1);
    scenario.Set("Dts", 50);
    scenario.SetBlock(Block({100}, {40}, {1600}, {20}));
    SyncCycle(1);
    CoreTable table = Cores();
    EXPECT_EQ(50, table.core[0].temp);
    EXPECT_EQ(60, table.core[0].peak);

    CSENSOR::ResetMaximum();
    const SensorBlock now = Current();
    EXPECT_TRUE(SameBlock(now, Maximum()));
    SensorText a = Texts(now), b = Texts(Maximum());
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof(a)));
    table = Cores();
    for (uint32_t i = 0; i < table.count; i++)
        EXPECT_EQ(table.core[i].temp, table.core[i].peak) << i;
}

TEST_F(Cycles, WithoutCoresTheTableIsEmptiedEveryCycle)
{
    scenario.Set("Dts", 30);
    CSENSOR::SetTjMax(95);
    SyncCycle(1);
    EXPECT_EQ(65, Cores().core[0].temp);

    SyncCycle(0);
    CoreTable table = Cores();
    EXPECT_EQ(0u, table.count);
    for (const CoreEntry& entry : table.core) {
        EXPECT_EQ(0, entry.tjmax);
        EXPECT_EQ(0, entry.peak);
    }
    // A TjMax spread while cores are off does not outlive the next cycle.
    CSENSOR::SetTjMax(90);
    EXPECT_EQ(90, Cores().core[31].tjmax);
    SyncCycle(0);
    EXPECT_EQ(0, Cores().core[31].tjmax);

    UserIoCapture capture;
    CSENSOR::DumpCores(Cores());
    EXPECT_TRUE(capture.DebugLines().empty());
}

TEST_F(Cycles, SetTjMaxSpreadsOverAllEntries)
{
    scenario.Set("Dts", 30);
    CSENSOR::SetTjMax(90);
    SyncCycle(1);
    const CoreTable table = Cores();
    for (const CoreEntry& entry : table.core)
        EXPECT_EQ(90, entry.tjmax);
    for (uint32_t i = 0; i < table.count; i++) {
        if (table.core[i].valid) {
            EXPECT_EQ(60, table.core[i].temp);
        }
    }
}

TEST_F(Cycles, CoreDiagnosticLines)
{
    CoreTable table = {};
    table.count = 3;
    table.core[0] = {1, 100, 60, 62};
    table.core[1] = {0, 100, 0, 70};
    table.core[2] = {1, 100, 5, 9};
    table.core[3] = {1, 100, 44, 44};  // beyond count
    UserIoCapture capture;
    CSENSOR::DumpCores(table);
    const std::vector<std::string> expected = {"CORE 00  : 60 C (62 C)", "CORE 02  : 5 C (9 C)"};
    EXPECT_EQ(expected, capture.DebugLines());
}

// --- dummy mode -----------------------------------------------------------

TEST_F(Cycles, DummyReadingsStayInTheirRangesAndAgreeWithinASecond)
{
    for (int round = 0; round < 5; round++) {
        SyncCycle(0, 1);
        const SensorBlock b = Current();
        for (uint16_t v : b.volt) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, 227);
        }
        for (uint16_t v : b.temp) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, 40);
        }
        for (uint16_t v : b.fan) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, 1023);
        }
        for (uint16_t v : b.pwm) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, 100);
        }
    }
    // Seeded with the time in seconds: two cycles in the same second agree.
    SensorBlock a, b;
    time_t before, after;
    do {
        before = std::time(nullptr);
        SyncCycle(0, 1);
        a = Current();
        SyncCycle(0, 1);
        b = Current();
        after = std::time(nullptr);
    } while (before != after);
    EXPECT_TRUE(SameBlock(a, b));
}

// --- threaded cycles --------------------------------------------------------

class MessageWindow {
public:
    MessageWindow()
        : window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
    }
    ~MessageWindow() { DestroyWindow(window); }

    // Waits (pumping) for the next WM_COMMAND; false when none came.
    bool NextCommand(WPARAM* wParam, LPARAM* lParam)
    {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < 5000) {
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_COMMAND) {
                    *wParam = msg.wParam;
                    *lParam = msg.lParam;
                    return true;
                }
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
        }
        return false;
    }

    HWND window;
};

TEST_F(Cycles, AThreadedCycleTakesItsOwnCopyAndPostsTheCommand)
{
    const SensorBlock known = Block({123}, {45}, {1000}, {77});
    scenario.SetBlock(known);
    MessageWindow target;
    ReadRequest request = {0, 0, 0, target.window, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&request));
    // The worker has its copy: what the caller does to its request now no
    // longer matters.
    request.window = nullptr;
    request.wParam = 0x9999;
    request.lParam = 5;
    WPARAM wParam = 0;
    LPARAM lParam = -1;
    ASSERT_TRUE(target.NextCommand(&wParam, &lParam));
    EXPECT_EQ(ID_UPDATE, wParam);
    EXPECT_EQ(0, lParam);
    EXPECT_TRUE(SameBlock(known, Current()));
}

// A walk whose readouts are slow, to see what overlaps a running cycle.
struct SlowWalk {
    static std::atomic<int> inside;
    static std::atomic<int> overlaps;
    static std::atomic<int> finished;
    static std::atomic<int> failed;

    static bool Readout(const CIX86& cpu, int32_t* value)
    {
        if (++inside > 1)
            overlaps++;
        Sleep(40);
        const bool ok = kRealCoreWalk.readout(cpu, value);
        if (!ok)
            failed++;
        inside--;
        finished++;
        return ok;
    }

    static void Reset()
    {
        inside = overlaps = finished = failed = 0;
    }
};
std::atomic<int> SlowWalk::inside;
std::atomic<int> SlowWalk::overlaps;
std::atomic<int> SlowWalk::finished;
std::atomic<int> SlowWalk::failed;

const CoreWalkCalls kSlowWalk = {kRealCoreWalk.affinity, kRealCoreWalk.bindThread,
                                 kRealCoreWalk.moveThread, kRealCoreWalk.bindProcess, SlowWalk::Readout};

TEST_F(Cycles, CloseWaitsForTheRunningCycle)
{
    SlowWalk::Reset();
    SetSensorCalls(SensorCalls{StartThread, kSlowWalk});
    CSENSOR::SetTjMax(100);
    ReadRequest request = {0, 0, 1, nullptr, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&request));
    CSENSOR::Close();
    // Every readout of the walk finished on an open device before Close
    // took the device away.
    EXPECT_GT(SlowWalk::finished.load(), 0);
    EXPECT_EQ(0, SlowWalk::inside.load());
    EXPECT_EQ(0, SlowWalk::failed.load());
    EXPECT_FALSE(CSENSOR::chip.HasHandle());
    EXPECT_FALSE(CSENSOR::readLock.Exists());
}

TEST_F(Cycles, CyclesNeverOverlapEvenWhenTheChipIdentityFailed)
{
    CSENSOR::Close();
    scenario.Set("FailMask", 1u << REQ_CHIPID);
    CSENSOR::Open(0);
    SlowWalk::Reset();
    SetSensorCalls(SensorCalls{StartThread, kSlowWalk});
    CSENSOR::SetTjMax(100);
    for (int i = 0; i < 4; i++) {
        ReadRequest request = {0, 0, 1, nullptr, ID_UPDATE, 0, nullptr};
        ASSERT_TRUE(CSENSOR::Start(&request));
    }
    SyncCycle(1);  // one on this thread as well, as start-up does
    CSENSOR::Close();
    EXPECT_EQ(0, SlowWalk::overlaps.load());
    EXPECT_EQ(0, SlowWalk::failed.load());
}


// While another monitor holds the bus a cycle invents nothing and folds
// nothing; once it lets go the next cycle reads, and an abandoned bus is ours.
TEST_F(Cycles, TheBusHeldByAnotherMonitorSkipsTheCycleAndAnAbandonedOneIsTaken)
{
    const SensorBlock first = Block({100}, {40}, {2000}, {50}), second = Block({200}, {60}, {1000}, {90});
    scenario.SetBlock(first);
    SyncCycle(0);
    const SensorBlock peak = Maximum();
    scenario.SetBlock(second);
    {
        OtherMonitor other(false);
        const DWORD start = GetTickCount();
        SyncCycle(0);
        EXPECT_LT(GetTickCount() - start, 1000u);  // a short wait, never one until it lets go
        EXPECT_TRUE(SameBlock(first, Current()));
        EXPECT_TRUE(SameBlock(peak, Maximum()));
    }
    SyncCycle(0);
    EXPECT_TRUE(SameBlock(second, Current()));
    scenario.SetBlock(first);
    OtherMonitor gone(true);
    SyncCycle(0);
    EXPECT_TRUE(SameBlock(first, Current()));
}

bool ShowsNoValues(const SensorBlock& b)
{
    return b.temp[0] == kNoTemp && b.fan[0] == kNoFan && b.pwm[0] == kNoPwm && b.volt[0] == 0;
}

// A cycle that could not have the bus read nothing: it says so, keeps the
// last values for a few cycles, then shows none; before anything was read
// it shows none at once, never the cleared block.
TEST_F(Cycles, CyclesThatReadNothingSaySoAndSoonShowNoValues)
{
    const SensorBlock first = Block({100}, {40}, {2000}, {50});
    scenario.SetBlock(first);
    {
        OtherMonitor other(false);
        SyncCycle(0);
        EXPECT_FALSE(CSENSOR::LastCycleRead());
        EXPECT_TRUE(ShowsNoValues(Current()));
    }
    SyncCycle(0);
    EXPECT_TRUE(CSENSOR::LastCycleRead());
    OtherMonitor other(false);
    for (int cycle = 1; cycle <= kUnreadCyclesShown; ++cycle) {
        SyncCycle(0);
        EXPECT_FALSE(CSENSOR::LastCycleRead());
        EXPECT_EQ(cycle == kUnreadCyclesShown, ShowsNoValues(Current())) << cycle;
    }
    HANDLE mutex = OpenMutexA(READ_CONTROL, FALSE, kBusMutexName);
    ASSERT_NE(nullptr, mutex);
    char descriptor[512];
    DWORD size = 0;
    ASSERT_TRUE(GetKernelObjectSecurity(mutex, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &size));
    CloseHandle(mutex);
    char* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &text, nullptr));
    EXPECT_NE(nullptr, std::strstr(text, "(A;;0x100001;;;WD)")) << text;  // any user may wait and release
    LocalFree(text);
}

// The worker waits for the bus without READ: the window thread can read the
// last values meanwhile, and a bus let go during the wait is still taken.
TEST_F(Cycles, TheWindowNeverWaitsForAnotherMonitor)
{
    const SensorBlock fresh = Block({300}, {70}, {1500}, {20});
    scenario.SetBlock(fresh);
    OtherMonitor other(false);
    MessageWindow target;
    ReadRequest request = {0, 0, 0, target.window, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&request));
    const DWORD start = GetTickCount();
    while (!CSENSOR::readLock.TryEnter())
        ASSERT_LT(GetTickCount() - start, 5000u) << "READ kept while waiting for the bus";
    other.LetGo();
    CSENSOR::readLock.Leave();
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    ASSERT_TRUE(target.NextCommand(&wParam, &lParam));
    EXPECT_TRUE(SameBlock(fresh, Current()));
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void*)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

DWORD WINAPI StartOnce(LPVOID result)
{
    ReadRequest request = {0, 0, 0, nullptr, ID_UPDATE, 0, nullptr};
    *static_cast<int*>(result) = CSENSOR::Start(&request) ? 1 : 0;
    return 0;
}

TEST_F(Cycles, StartDoesNotWaitForAThreadThatNeverStarted)
{
    scenario.SetBlock(Block({1}, {2}, {3}, {4}));
    SetSensorCalls(SensorCalls{NoThread});
    int result = -1;
    HandleOwner caller(CreateThread(nullptr, 0, StartOnce, &result, 0, nullptr));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(caller.Get(), 10000)) << "Start hung";
    EXPECT_EQ(0, result);
    EXPECT_FALSE(SameBlock(Block({1}, {2}, {3}, {4}), Current()));  // no cycle ran

    // The next tick tries again.
    SetSensorCalls({});
    ReadRequest request = {0, 0, 0, nullptr, ID_UPDATE, 0, nullptr};
    EXPECT_TRUE(CSENSOR::Start(&request));
    CSENSOR::Close();
}

TEST_F(Cycles, CloseIsIdempotentAndResetsTheReadings)
{
    scenario.SetBlock(Block({1}, {2}, {3}, {4}));
    SyncCycle(0);
    CSENSOR::Close();
    CSENSOR::Close();
    const SensorBlock reset = Block({}, {}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {});
    EXPECT_TRUE(SameBlock(reset, Current()));
    EXPECT_TRUE(SameBlock(reset, Maximum()));
    EXPECT_TRUE(SameBlock(reset, ResetBlock()));
    EXPECT_EQ(0u, Cores().count);
    EXPECT_FALSE(CSENSOR::cpu.HasHandle());
    // And the set opens again afterwards.
    EXPECT_EQ(VK_STATUS_CHIP | VK_STATUS_DTS, CSENSOR::Open(0));
}

}  // namespace
