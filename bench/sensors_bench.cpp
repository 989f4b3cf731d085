// Prints how long the acquisition takes on this machine: one device
// request, one synchronous cycle with and without core temperatures, one
// dummy cycle, how long the timer's thread waits in Start for a threaded
// cycle, and the core walk's cost per processor beside one bind and one
// readout request. Median and maximum over many runs, in microseconds. Needs the
// substitute driver running with its default scenario.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "display/commands.h"
#include "driver/protocol.h"
#include "sensors/csensor.h"

namespace {

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return (to.QuadPart - from.QuadPart) * 1e6 / frequency.QuadPart;
}

template <typename Body>
std::vector<double> Time(int runs, Body body)
{
    std::vector<double> samples;
    samples.reserve(runs);
    for (int i = 0; i < runs; i++) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        body();
        QueryPerformanceCounter(&to);
        samples.push_back(Microseconds(from, to));
    }
    return samples;
}

void Report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    std::printf("%-44s median %9.1f us   max %9.1f us   (%zu runs)\n", what, median, samples.back(),
                samples.size());
}

void Cycle(int cores, int dummy)
{
    ReadRequest request = {1, dummy, cores, nullptr, ID_UPDATE, 0, nullptr};
    CSENSOR::Start(&request);
}

// A message-only window that the threaded cycles report to, so each run
// starts only after the previous cycle has finished.
struct Receiver {
    Receiver() : window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
    }
    ~Receiver() { DestroyWindow(window); }

    void AwaitCommand()
    {
        MSG msg;
        while (GetMessageA(&msg, window, 0, 0) > 0) {
            if (msg.message == WM_COMMAND)
                return;
        }
    }

    HWND window;
};

std::vector<double> ThreadedStarts(int runs, int cores)
{
    Receiver receiver;
    std::vector<double> samples;
    for (int i = 0; i < runs; i++) {
        ReadRequest request = {0, 0, cores, receiver.window, ID_UPDATE, 0, nullptr};
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        CSENSOR::Start(&request);
        QueryPerformanceCounter(&to);
        samples.push_back(Microseconds(from, to));
        receiver.AwaitCommand();
    }
    return samples;
}

// The core walk's pieces: one bind of this thread to a processor (taking
// turns, so every call moves it), one readout request on the bound
// processor, and the walk itself, divided by the processors it read.
void ReportWalk(DWORD_PTR system, int processors)
{
    std::vector<DWORD_PTR> bits;
    for (int i = 0; i < kCoreSlots; i++)
        if (system & (static_cast<DWORD_PTR>(1) << i))
            bits.push_back(static_cast<DWORD_PTR>(1) << i);
    const DWORD_PTR before = SetThreadAffinityMask(GetCurrentThread(), bits[0]);
    size_t turn = 0;
    std::vector<double> bind = Time(2000, [&] {
        SetThreadAffinityMask(GetCurrentThread(), bits[++turn % bits.size()]);
    });
    // What the walk does for every processor but the first: no previous
    // mask is asked for.
    std::vector<double> move = Time(2000, [&] {
        GROUP_AFFINITY affinity = {};
        affinity.Mask = bits[++turn % bits.size()];
        SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
    });
    std::vector<double> readout = Time(2000, [] {
        int32_t value = 0;
        CSENSOR::cpu.ReadDts(&value);
    });
    std::vector<double> both = Time(2000, [&] {
        SetThreadAffinityMask(GetCurrentThread(), bits[++turn % bits.size()]);
        int32_t value = 0;
        CSENSOR::cpu.ReadDts(&value);
    });
    SetThreadAffinityMask(GetCurrentThread(), before);
    CoreTable table = {};
    for (CoreEntry& entry : table.core)
        entry.tjmax = 100;  // known, as after the first cycles: no detection inside the walk
    std::vector<double> walk = Time(300, [&] { CSENSOR::cpu.ReadCores(&table); });
    for (double& sample : walk)
        sample /= processors;
    Report("one bind (SetThreadAffinityMask)", bind);
    Report("one bind without the previous mask (SetThreadGroupAffinity)", move);
    Report("one readout request (CTL_DTS)", readout);
    Report("bind to the next processor, then readout", both);
    Report("core walk, per processor", walk);
    std::sort(bind.begin(), bind.end());
    std::sort(readout.begin(), readout.end());
    std::sort(walk.begin(), walk.end());
    std::sort(both.begin(), both.end());
    const double pieces = bind[bind.size() / 2] + readout[readout.size() / 2];
    const double walked = walk[walk.size() / 2];
    std::printf("walk per processor / (bind + readout): %.2f, / (bind, then readout): %.2f (medians)\n",
                walked / pieces, walked / both[both.size() / 2]);
}

}  // namespace

int main()
{
    const uint32_t status = CSENSOR::Open(0);
    if (!CSENSOR::CheckVersion() || !(status & VK_STATUS_CHIP)) {
        std::printf("the substitute driver is not running (scripts/driver.sh start)\n");
        return 1;
    }
    DWORD_PTR process = 0, system = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
    int processors = 0;
    for (DWORD_PTR m = system; m; m >>= 1)
        processors += static_cast<int>(m & 1);
    std::printf("acquisition on %d processor(s), through \\\\.\\veskora under Wine\n", processors);
    CSENSOR::SetTjMax(100);

    Report("device request round trip (CTL_VERSION)", Time(2000, [] { CSENSOR::CheckVersion(); }));
    Report("device request round trip (CTL_READBLOCK)", Time(2000, [] {
               SensorBlock block;
               CSENSOR::chip.Request(CTL_READBLOCK, nullptr, 0, &block, sizeof(block));
           }));
    Report("synchronous cycle, no core temperatures", Time(1000, [] { Cycle(0, 0); }));
    Report("synchronous cycle with core temperatures", Time(300, [] { Cycle(1, 0); }));
    Report("dummy cycle", Time(5000, [] { Cycle(0, 1); }));
    Report("wait in Start, threaded cycle, no cores", ThreadedStarts(500, 0));
    Report("wait in Start, threaded cycle with cores", ThreadedStarts(300, 1));
    ReportWalk(system, processors);
    CSENSOR::Close();
    return 0;
}
