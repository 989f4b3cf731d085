#pragma once
// A small seeded mutation engine for hostile-input tests. Every input it
// makes follows from its seed, so a failure can be made again.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Where a file keeps a length or count: the offset and whether the value
// is stored big-endian (PNG) or little-endian (BMP, region files).
struct LengthField {
    size_t offset;
    bool bigEndian;
};

class Mutator {
public:
    explicit Mutator(uint32_t seed);
    uint32_t Seed() const { return seed; }
    uint32_t Next();
    size_t Below(size_t n) { return n ? Next() % n : 0; }

    // One mutation of input, chosen at random: flipped bits, a run of one
    // byte, a cut, a length field set to 0, 1, 0x7FFFFFFF or 0xFFFFFFFF,
    // or random bytes of a random length.
    std::string Mutate(const std::string& input, const std::vector<LengthField>& fields);
    std::string RandomBytes(size_t length);

private:
    uint32_t seed;
    uint32_t state;
};

// Counts the inputs of one target and guards each with a watchdog: an input
// that runs longer than the limit stops the process, naming the target, the
// seed and the input, with its bytes saved beside the program.
class FuzzRun {
public:
    FuzzRun(const char* target, uint32_t seed, DWORD limitMs = 10000);
    ~FuzzRun();
    FuzzRun(const FuzzRun&) = delete;
    FuzzRun& operator=(const FuzzRun&) = delete;

    void Begin(const std::string& input);
    void End();
    int Inputs() const { return inputs; }
    // A broken rule: recorded with the input's number.
    void Fail(const std::string& what);
    const std::vector<std::string>& Failures() const { return failures; }

private:
    static DWORD WINAPI Watch(void* self);

    std::string target;
    uint32_t seed;
    DWORD limit;
    volatile LONG running;     // 1 while an input is being handled
    volatile DWORD startedAt;  // when it began
    std::string current;
    int inputs = 0;
    std::vector<std::string> failures;
    HANDLE stop;
    HANDLE watcher;
};
