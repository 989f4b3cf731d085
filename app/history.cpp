#include "app/history.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

#include "app/appstate.h"
#include "app/seams.h"
#include "sensors/csensor.h"

bool History::Allocate(int minutes, unsigned int seconds, int coreCount)
{
    Release();
    minutes = std::min(std::max(minutes, kMinHistoryMinutes), kMaxHistoryMinutes);
    seconds = std::max(seconds, 1u);
    const int length = static_cast<int>((minutes * 60u + seconds - 1) / seconds);
    coreCount = std::min(std::max(coreCount, 0), kCoreSlots);
    samples.reset(new (std::nothrow) Sample[length]);
    if (coreCount > 0)
        degrees.reset(new (std::nothrow) int16_t[static_cast<size_t>(length) * coreCount]);
    if (!samples || (coreCount > 0 && !degrees)) {
        Release();
        return false;
    }
    capacity = length;
    cores = coreCount;
    interval = seconds;
    return true;
}

void History::Release()
{
    samples.reset();
    degrees.reset();
    capacity = cores = 0;
    interval = 0;
    Clear();
}

void History::Clear()
{
    first = count = 0;
    added = 0;
    ++generation;
}

size_t History::Bytes() const
{
    return static_cast<size_t>(capacity) * (sizeof(Sample) + cores * sizeof(int16_t));
}

int History::Claim()
{
    int slot = Index(count);
    if (count < capacity)
        ++count;
    else
        first = (first + 1) % capacity;
    ++added;
    return slot;
}

void History::Add(const SensorBlock& block, const CoreTable& table, HistoryTime time)
{
    if (capacity == 0)
        return;
    const int slot = Claim();
    Sample& s = samples[slot];
    s.time = time;
    s.gap = 0;
    std::copy(block.word, block.word + kReadingCount, s.word);
    for (int c = 0; c < cores; ++c) {
        const bool valid = static_cast<uint32_t>(c) < table.count && table.core[c].valid;
        degrees[static_cast<size_t>(slot) * cores + c] =
            valid ? static_cast<int16_t>(table.core[c].temp) : kNoCoreDegrees;
    }
}

void History::AddGap(HistoryTime time)
{
    if (capacity == 0)
        return;
    Sample& s = samples[Claim()];
    s.time = time;
    s.gap = 1;
}

int16_t History::Core(int i, int core) const
{
    if (Gap(i) || core < 0 || core >= cores)
        return kNoCoreDegrees;
    return degrees[static_cast<size_t>(Index(i)) * cores + core];
}

bool History::Value(int i, int source, double* value) const
{
    if (Gap(i))
        return false;
    if (source < kCoreSource)
        return SlotValue(source, Word(i, source), value);
    const int16_t d = Core(i, source - kCoreSource);
    if (d == kNoCoreDegrees)
        return false;
    *value = d;
    return true;
}

int History::FirstAtOrAfter(HistoryTime time) const
{
    int low = 0, high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (Time(mid) < time)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

bool SlotValue(int slot, uint16_t word, double* value)
{
    const CF718X& chip = CSENSOR::chip;
    if (slot < kTempSlot) {
        if (word == kNoVolt)
            return false;
        *value = chip.Volts(slot - kVoltSlot, word);
    } else if (slot < kFanSlot) {
        if (word == kNoTemp)
            return false;
        *value = word;
    } else if (slot < kPwmSlot) {
        if (!CF718X::FanTurning(word))
            return false;
        *value = chip.FanSpeed(word);
    } else {
        if (word == kNoPwm)
            return false;
        *value = CF718X::DutyPercent(word);
    }
    // A divider of 1e300 or 1e999 in the settings: past what the graphs'
    // floats hold, so no value.
    return std::fabs(*value) <= FLT_MAX;
}

void StartHistory()
{
    AppState& app = App();
    int cores = 0;
    if (app.cpu.present && app.coreTemp.enable) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        cores = static_cast<int>(system.dwNumberOfProcessors);
    }
    app.history.Allocate(app.historyMinutes, app.timer, cores);
}

void RecordHistory(const SensorBlock& block, const CoreTable& cores, bool read)
{
    SYSTEMTIME local;
    CallsOf<WatchCalls>().readClock(&local);
    FILETIME stamp;
    SystemTimeToFileTime(&local, &stamp);
    const HistoryTime time = (static_cast<HistoryTime>(stamp.dwHighDateTime) << 32) | stamp.dwLowDateTime;
    History& history = App().history;
    if (read)
        history.Add(block, cores, time);
    else
        history.AddGap(time);
}
