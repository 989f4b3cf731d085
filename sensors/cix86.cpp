#include "sensors/cix86.h"

#include <intrin.h>
#include <mmsystem.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "driver/protocol.h"
#include "foundation/fixedline.h"
#include "foundation/userio.h"
#include "sensors/seams.h"

const uint8_t kAnyStepping = 0xFF;

// Longer fragments stand before the shorter ones they begin with, so the
// first match is the most specific.
constexpr TjMaxRow kTjMaxTable[] = {
    {"E1", 2, 75},       {"E1", 13, 85},      {"E3110", 0xFF, 95}, {"E3113", 0xFF, 95},
    {"E3120", 0xFF, 95}, {"E4", 6, 80},       {"E4", 7, 80},       {"E4", 11, 90},
    {"E5205", 0xFF, 70}, {"E5220", 0xFF, 70}, {"E5240", 0xFF, 90}, {"E54", 0xFF, 85},
    {"E5", 0xFF, 80},    {"E6", 6, 80},       {"E6", 7, 80},       {"E6", 11, 90},
    {"E7210", 0xFF, 80}, {"E7220", 0xFF, 80}, {"E7310", 0xFF, 80}, {"E7320", 0xFF, 80},
    {"E7330", 0xFF, 80}, {"E7340", 0xFF, 80}, {"E7420", 0xFF, 90}, {"E7430", 0xFF, 90},
    {"E7440", 0xFF, 90}, {"E7450", 0xFF, 85}, {"E7", 0xFF, 100},   {"E8", 0xFF, 100},
    {"L3104", 0xFF, 95}, {"L3110", 0xFF, 95}, {"L3360", 0xFF, 90}, {"L5138", 0xFF, 100},
    {"L5215", 0xFF, 95}, {"L5238", 0xFF, 95}, {"L5240", 0xFF, 70}, {"L5318", 0xFF, 95},
    {"L5408", 0xFF, 95}, {"L5410", 0xFF, 70}, {"L5420", 0xFF, 70}, {"L5430", 0xFF, 70},
    {"L5", 0xFF, 70},    {"L7345", 0xFF, 80}, {"L7445", 0xFF, 80}, {"L7455", 0xFF, 85},
    {"Q6", 6, 90},       {"Q6", 7, 90},       {"Q6", 11, 90},      {"Q8", 0xFF, 100},
    {"Q9", 0xFF, 100},   {"QX68", 6, 80},     {"QX68", 7, 80},     {"QX68", 11, 80},
    {"QX6", 6, 90},      {"QX6", 7, 90},      {"QX6", 11, 90},     {"QX9650", 0xFF, 95},
    {"QX977", 0xFF, 85}, {"X3210", 0xFF, 90}, {"X3220", 0xFF, 90}, {"X3230", 0xFF, 90},
    {"X33", 0xFF, 95},   {"X3", 6, 80},       {"X3", 11, 90},      {"X5030", 6, 80},
    {"X5030", 0xFF, 90}, {"X5050", 6, 80},    {"X5050", 11, 90},   {"X5060", 6, 80},
    {"X5060", 11, 90},   {"X5063", 6, 80},    {"X5063", 11, 90},   {"X5080", 6, 80},
    {"X5080", 11, 90},   {"X5110", 0xFF, 80}, {"X5120", 0xFF, 80}, {"X5130", 0xFF, 80},
    {"X5140", 0xFF, 80}, {"X5148", 0xFF, 80}, {"X5150", 0xFF, 80}, {"X5160", 0xFF, 80},
    {"X52", 0xFF, 70},   {"X56", 0xFF, 85},   {"X5", 0xFF, 90},    {"X68", 6, 75},
    {"X68", 7, 75},      {"X68", 11, 85},     {"X71", 0xFF, 100},  {"X7350", 0xFF, 80},
    {"X7460", 0xFF, 85}, {"XEE", 0xFF, 80},   {"XE", 0xFF, 90},
};
static_assert(std::size(kTjMaxTable) == kTjMaxRows, "TjMax table rows");

// Entries 0 and 1 are no voltage; then 0.8500 V upwards in 12.5 mV steps.
constexpr uint16_t kVidTable[] = {
    0,     0,     8500,  8625,  8750,  8875,  9000,  9125,  9250,  9375,
    9500,  9625,  9750,  9875,  10000, 10125, 10250, 10375, 10500, 10625,
    10750, 10875, 11000, 11125, 11250, 11375, 11500, 11625, 11750, 11875,
    12000, 12125, 12250, 12375, 12500, 12625, 12750, 12875, 13000, 13125,
    13250, 13375, 13500, 13625, 13750, 13875, 14000, 14125, 14250, 14375,
    14500, 14625, 14750, 14875, 15000, 15125, 15250, 15375, 15500, 15625,
    15750, 15875, 16000, 16125, 16250, 16375, 16500, 16625, 16750, 16875,
    17000, 17125, 17250, 17375, 17500, 17625, 17750, 17875,
};
static_assert(std::size(kVidTable) == kVidEntries, "VID table entries");
static_assert(kVidTable[2] == 8500 && kVidTable[kVidEntries - 1] == 8500 + 125 * (kVidEntries - 3),
              "VID table runs from 0.85 V to 1.7875 V");

namespace {

const uint32_t kLeafSignature = 0x00000001;
const uint32_t kLeafBrand = 0x80000002;  // and the two leaves after it
const int kBrandLeaves = 3;
const int kBrandPiece = 16;
static_assert(kBrandLeaves * kBrandPiece == kBrandSize, "three brand leaves fill the brand");

const int kLineSize = 64;
const DWORD kMeasureWindowMs = 500;
const uint16_t kFamilyCore = 6;

BOOL RealAffinity(DWORD_PTR* processMask, DWORD_PTR* systemMask)
{
    return GetProcessAffinityMask(GetCurrentProcess(), processMask, systemMask);
}

DWORD_PTR RealBindThread(DWORD_PTR mask)
{
    return SetThreadAffinityMask(GetCurrentThread(), mask);
}

// In the processor group the process's threads start in, asked once: the
// masks of the walk are masks of that group.
BOOL RealMoveThread(DWORD_PTR mask)
{
    static WORD group = 0;
    static bool known = false;
    GROUP_AFFINITY affinity = {};
    if (!known) {
        if (!GetThreadGroupAffinity(GetCurrentThread(), &affinity))
            return FALSE;
        group = affinity.Group;
        known = true;
    }
    affinity = {};
    affinity.Mask = mask;
    affinity.Group = group;
    return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
}

BOOL RealBindProcess(DWORD_PTR mask)
{
    return SetProcessAffinityMask(GetCurrentProcess(), mask);
}

bool RealReadout(const CIX86& cpu, int32_t* degreesBelowTjMax)
{
    return cpu.ReadDts(degreesBelowTjMax);
}

const CoreWalkCalls& Walk()
{
    return CallsOf<SensorCalls>().coreWalk;
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of a brand that may fill all 48 bytes without a terminating zero.
size_t BrandLength(const char brand[kBrandSize])
{
    size_t n = 0;
    while (n < static_cast<size_t>(kBrandSize) && brand[n])
        n++;
    return n;
}

bool InTjMaxRange(int value)
{
    return value >= kTjMaxLowest && value <= kTjMaxHighest;
}

// The family/model rules for family 6 without a table match; code 0 when no
// rule applies.
int FamilyRule(const CpuInfo& info, int* code)
{
    *code = TJMAX_RULE;
    switch (info.model) {
    case 0x0F: return info.stepping == 0x0B ? 90 : 85;
    case 0x17: return 100;
    case 0x1C: return 90;
    default: *code = TJMAX_NONE; return 0;
    }
}

void WriteLine(bool toDebugger, const char* format, ...) __attribute__((format(printf, 2, 3)));

// One start-up line, formatted into the line buffer: to the debugger, or to
// the standard output with a line end.
void WriteLine(bool toDebugger, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const FixedLine<kLineSize> line(format, args);
    va_end(args);
    if (toDebugger)
        DebugLine(line.Text());
    else
        std::printf("%s\n", line.Text());
}

// Binds the calling thread to one processor. The thread's mask before the
// walk is asked for once, and only when it is to be put back afterwards.
bool BindTo(DWORD_PTR mask, bool restoring, DWORD_PTR* restore)
{
    if (!restoring || *restore)
        return Walk().moveThread(mask) != 0;
    *restore = Walk().bindThread(mask);
    return *restore != 0;
}

uint64_t MeasureWindow()
{
    uint64_t counter = __rdtsc();
    const DWORD start = timeGetTime();
    while (timeGetTime() - start < kMeasureWindowMs)
        counter = __rdtsc();
    return counter;
}

}  // namespace

const CoreWalkCalls kRealCoreWalk = {RealAffinity, RealBindThread, RealMoveThread, RealBindProcess,
                                     RealReadout};

bool CIX86::Cpuid(uint32_t leaf, uint32_t result[4]) const
{
    VkCpuidBuffer buffer = {leaf, 0, 0, 0, 0};
    if (!Request(CTL_CPUID, &buffer, sizeof(buffer), &buffer, sizeof(buffer)))
        return false;
    result[0] = buffer.eax;
    result[1] = buffer.ebx;
    result[2] = buffer.ecx;
    result[3] = buffer.edx;
    return true;
}

bool CIX86::ReadSignature(CpuInfo* info) const
{
    uint32_t r[4];
    if (!Cpuid(kLeafSignature, r))
        return false;
    const uint32_t eax = r[0];
    info->family = static_cast<uint16_t>((eax >> 8) & 0xF);
    info->model = static_cast<uint16_t>(((eax >> 16) & 0xF) * 16 + ((eax >> 4) & 0xF));
    info->stepping = static_cast<uint16_t>(eax & 0xF);
    info->edxFeatures = r[3];
    info->ecxFeatures = r[2];
    return true;
}

bool CIX86::ReadBrand(char brand[kBrandSize]) const
{
    for (int i = 0; i < kBrandLeaves; i++) {
        uint32_t r[4];
        if (!Cpuid(kLeafBrand + i, r))
            return false;
        std::memcpy(brand + i * kBrandPiece, r, kBrandPiece);
    }
    return true;
}

void CIX86::TrimBrand(char brand[kBrandSize])
{
    const size_t length = BrandLength(brand);
    if (length == static_cast<size_t>(kBrandSize))
        return;  // no terminating zero: not a string to tidy
    char copy[kBrandSize] = {};
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        if (brand[i] == ' ' && (i == 0 || brand[i - 1] == ' '))
            continue;
        copy[n++] = brand[i];
    }
    while (n > 1 && copy[n - 1] == ' ')
        copy[--n] = '\0';
    std::memcpy(brand, copy, kBrandSize);
}

bool CIX86::ReadVid(CpuInfo* info) const
{
    VkRegBuffer reg = {VK_READREG_PERF_STATUS, 0, 0};
    if (!Request(CTL_READREG, &reg, sizeof(reg), &reg, sizeof(reg)))
        return false;
    const uint32_t w = reg.value;
    // Indices past the table are no voltage rather than a read beyond it.
    auto vid = [](uint32_t index) {
        return index < static_cast<uint32_t>(kVidEntries) ? kVidTable[index] / 10000.0 : 0.0;
    };
    info->vidMin = vid((w >> 16) & 0xFF);
    info->vidMax = vid(w & 0xFF);
    info->ratio = ((w >> 8) & 0x3F) + 0.5 * ((w >> 14) & 1);
    return true;
}

bool CIX86::BrandHolds(const char brand[kBrandSize], const char* fragment)
{
    const size_t length = BrandLength(brand);
    const size_t fragmentLength = std::strlen(fragment);
    for (size_t at = 0; at + fragmentLength <= length; at++) {
        if (brand[at] != fragment[0])
            continue;
        size_t k = 1;
        while (k < fragmentLength && Upper(brand[at + k]) == Upper(fragment[k]))
            k++;
        if (k == fragmentLength)
            return true;
    }
    return false;
}

int CIX86::ReadTjMax() const
{
    int32_t value = 0;
    if (!Request(CTL_TJMAX, nullptr, 0, &value, sizeof(value)) || !InTjMaxRange(value))
        return 0;
    return value;
}

bool CIX86::ReadDts(int32_t* degreesBelowTjMax) const
{
    return Request(CTL_DTS, nullptr, 0, degreesBelowTjMax, sizeof(*degreesBelowTjMax));
}

int CIX86::DetectTjMax(int* code) const
{
    CpuInfo info = {};
    char brand[kBrandSize] = {};
    if (ReadSignature(&info) && ReadBrand(brand)) {
        for (const TjMaxRow& row : kTjMaxTable) {
            if ((row.stepping == kAnyStepping || row.stepping == info.stepping) &&
                BrandHolds(brand, row.fragment)) {
                *code = TJMAX_TABLE;
                return row.tjmax;
            }
        }
    }
    if (info.family == kFamilyCore) {
        const int value = FamilyRule(info, code);
        if (*code != TJMAX_NONE)
            return value;
    }
    // Read from the processor (model 0x1A and every processor no rule knows).
    // A failed or out-of-range read is nothing found, so the walk falls back
    // to 100 instead of asking again every cycle.
    const int value = ReadTjMax();
    *code = value ? TJMAX_READ : TJMAX_NONE;
    return value;
}

void CIX86::ReadCore(CoreEntry* entry) const
{
    int32_t readout = 0;
    if (!Walk().readout(*this, &readout))
        return;
    if (entry->tjmax == 0) {
        int code = TJMAX_NONE;
        const int value = DetectTjMax(&code);
        entry->tjmax = code == TJMAX_NONE ? kTjMaxFallback : value;
    }
    entry->valid = 1;
    entry->temp = entry->tjmax - readout;
    if (entry->temp > entry->peak)
        entry->peak = entry->temp;
}

// The processors of the machine do not change while it runs: asked once
// per set of walk calls. The process mask is asked only when a bind fails.
DWORD_PTR CIX86::SystemMask() const
{
    if (!systemMask) {
        DWORD_PTR processMask = 0;
        if (!Walk().affinity(&processMask, &systemMask))
            systemMask = 0;
    }
    return systemMask;
}

namespace {
// The process's mask, asked at the first bind that fails.
DWORD_PTR ProcessMask(DWORD_PTR* known)
{
    DWORD_PTR ignored = 0;
    if (!*known && !Walk().affinity(known, &ignored))
        *known = 0;
    return *known;
}
}  // namespace

void CIX86::ReadCores(CoreTable* table, bool restoreThread) const
{
    table->count = 0;
    const DWORD_PTR system = SystemMask();
    if (system == 0)
        return;
    DWORD_PTR restore = 0;  // the thread's mask before the walk
    DWORD_PTR processMask = 0;
    bool widened = false, widenTried = false;
    for (int i = 0; i < kCoreSlots && (system >> i) != 0; i++) {
        CoreEntry& entry = table->core[i];
        entry.valid = 0;
        entry.temp = 0;
        const DWORD_PTR bit = static_cast<DWORD_PTR>(1) << i;
        if (system & bit) {
            bool bound = BindTo(bit, restoreThread, &restore);
            // A thread cannot be bound outside its process's mask, which the
            // user may have narrowed: widen that mask for the walk, once.
            // Widening gives every thread the wide mask, so the thread's own
            // is taken first when no bind has told it yet.
            // Not when the process mask cannot be asked: nothing to put back.
            if (!bound && !widenTried && ProcessMask(&processMask) && !(processMask & bit)) {
                widenTried = true;
                if (!restore)
                    restore = Walk().bindThread(processMask);
                widened = Walk().bindProcess(system) != 0;
                if (widened)
                    bound = BindTo(bit, restoreThread, &restore);
            }
            if (bound) {
                // The bind moves the calling thread before it returns; a
                // scheduler that has not moved it yet gets a millisecond.
                if (GetCurrentProcessorNumber() != static_cast<DWORD>(i))
                    Sleep(1);
                ReadCore(&entry);
            }
        }
        table->count = i + 1;
    }
    // The process mask first: setting it gives every thread that mask.
    if (widened)
        Walk().bindProcess(processMask);
    if (restore && restoreThread)
        Walk().bindThread(restore);
}

uint64_t CIX86::MeasureClock()
{
    HANDLE process = GetCurrentProcess();
    const DWORD priority = GetPriorityClass(process);
    SetPriorityClass(process, REALTIME_PRIORITY_CLASS);
    const uint64_t first = MeasureWindow();
    const uint64_t second = MeasureWindow();
    SetPriorityClass(process, priority);
    return (second - first) * 2;
}

void CIX86::DumpSignature(const CpuInfo& info, bool toDebugger)
{
    WriteLine(toDebugger, "Family   : 0x%02X", info.family);
    WriteLine(toDebugger, "Model    : 0x%02X", info.model);
    WriteLine(toDebugger, "Step     : 0x%02X", info.stepping);
}

void CIX86::DumpVid(const CpuInfo& info, bool toDebugger)
{
    WriteLine(toDebugger, "Vid Min  : %.2f V", info.vidMin);
    WriteLine(toDebugger, "Vid Max  : %.2f V", info.vidMax);
    WriteLine(toDebugger, "Multiply : x%.1f", info.ratio);
}
