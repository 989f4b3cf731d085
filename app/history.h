#pragma once
// The readings of the last minutes, kept raw in a ring allocated once per
// window: each sample holds the block's words, each core's degrees and the
// local time it was taken at. A reading that read nothing is a gap, never a
// repeated value. Samples are numbered from the oldest held (0) to the
// newest (Count() - 1); the UPDATE lock guards the ring.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sensors/sensortypes.h"

// [History] Minutes.
const int kDefaultHistoryMinutes = 60;
const int kMinHistoryMinutes = 1;
const int kMaxHistoryMinutes = 1440;

// A core without a temperature in a sample.
const int16_t kNoCoreDegrees = INT16_MIN;

// What a graph can show: a reading slot of the block (0..19) or a core
// (kCoreSource + its number).
const int kCoreSource = kReadingCount;

// Local time in 100-nanosecond units since 1601, as a FILETIME holds it.
typedef ULONGLONG HistoryTime;
const HistoryTime kTicksPerSecond = 10000000;

class History {
public:
    History() = default;
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Room for `minutes` of readings taken every `seconds`, with `cores`
    // core temperatures each; forgets what was held. False when the memory
    // is not there (the ring then holds nothing).
    bool Allocate(int minutes, unsigned int seconds, int cores);
    void Release();
    // Forgets the samples, keeps the room.
    void Clear();

    void Add(const SensorBlock& block, const CoreTable& cores, HistoryTime time);
    void AddGap(HistoryTime time);

    int Capacity() const { return capacity; }
    int Count() const { return count; }
    int Cores() const { return cores; }
    // The interval the room was made for, in seconds; 0 before.
    unsigned int Interval() const { return interval; }
    // The ring's memory in bytes.
    size_t Bytes() const;
    // Samples added since the ring was allocated or cleared: tells a cache
    // how many are new since it last looked.
    unsigned long long Added() const { return added; }
    // Changes whenever the samples are forgotten.
    unsigned int Generation() const { return generation; }

    HistoryTime Time(int i) const { return At(i).time; }
    bool Gap(int i) const { return At(i).gap != 0; }
    uint16_t Word(int i, int slot) const { return At(i).word[slot]; }
    int16_t Core(int i, int core) const;
    // The value of a source in sample i, as the panel's numbers mean it
    // (volts, degrees, rpm, percent); false for a gap or no value.
    bool Value(int i, int source, double* value) const;
    // The first sample taken at or after the time (Count() when none).
    int FirstAtOrAfter(HistoryTime time) const;

private:
    struct Sample {
        HistoryTime time;
        uint16_t word[kReadingCount];
        uint16_t gap;
    };
    const Sample& At(int i) const { return samples[Index(i)]; }
    int Index(int i) const { return (first + i) % capacity; }
    // The next slot to write, taking the oldest when the ring is full.
    int Claim();

    std::unique_ptr<Sample[]> samples;
    std::unique_ptr<int16_t[]> degrees;  // cores per sample, in the sample's order
    int capacity = 0;
    int cores = 0;
    unsigned int interval = 0;
    int first = 0;
    int count = 0;
    unsigned long long added = 0;
    unsigned int generation = 0;
};

// The value of one raw word of a reading slot, as the panel shows it; false
// for the slot's no-value marker (and a fan that does not turn).
bool SlotValue(int slot, uint16_t word, double* value);

// The window's ring, made for the current settings: [History] Minutes at
// the interval, with a temperature for each of the machine's processors
// when core temperatures are read. Called when a window is built, and
// when the interval changes while it lives.
void StartHistory();
// A new reading goes into the window's ring (a gap when it read nothing),
// stamped with the local time. Under UPDATE.
void RecordHistory(const SensorBlock& block, const CoreTable& cores, bool read);
