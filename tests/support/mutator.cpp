#include "support/mutator.h"

#include <cstdio>

namespace {

const uint32_t kLengths[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFFF};
const DWORD kWatchPeriodMs = 100;

}  // namespace

Mutator::Mutator(uint32_t s) : seed(s), state(s ? s : 0x9E3779B9u) {}

uint32_t Mutator::Next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

std::string Mutator::RandomBytes(size_t length)
{
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = static_cast<char>(Next());
    return bytes;
}

std::string Mutator::Mutate(const std::string& input, const std::vector<LengthField>& fields)
{
    std::string out = input;
    // Without length fields the fourth kind would change nothing: bits flip instead.
    const uint32_t kind = Below(5);
    switch (kind == 3 && fields.empty() ? 0 : kind) {
    case 0:  // flipped bits
        for (size_t n = 1 + Below(8); n > 0 && !out.empty(); --n)
            out[Below(out.size())] ^= static_cast<char>(1u << Below(8));
        break;
    case 1:  // a run of one byte
        if (!out.empty()) {
            size_t at = Below(out.size()), length = 1 + Below(64);
            out.replace(at, length, std::string(length, static_cast<char>(Next())));
        }
        break;
    case 2:  // cut
        out.resize(Below(out.size() + 1));
        break;
    case 3: {  // a length field set to an edge value
        const LengthField& f = fields[Below(fields.size())];
        const uint32_t v = kLengths[Below(4)];
        for (size_t i = 0; i < 4 && f.offset + i < out.size(); ++i)
            out[f.offset + i] = static_cast<char>(v >> (8 * (f.bigEndian ? 3 - i : i)));
        break;
    }
    default:  // random bytes
        out = RandomBytes(Below(2 * input.size() + 64));
        break;
    }
    return out;
}

FuzzRun::FuzzRun(const char* name, uint32_t s, DWORD limitMs)
    : target(name), seed(s), limit(limitMs), running(0), startedAt(0),
      stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)), watcher(nullptr)
{
    std::printf("fuzz %s: seed %u\n", name, seed);
    std::fflush(stdout);
    watcher = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

FuzzRun::~FuzzRun()
{
    SetEvent(stop);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    CloseHandle(stop);
    std::printf("fuzz %s: %d inputs, %zu broken rules\n", target.c_str(), inputs, failures.size());
    std::fflush(stdout);
}

void FuzzRun::Begin(const std::string& input)
{
    current = input;
    startedAt = GetTickCount();
    InterlockedExchange(&running, 1);
}

void FuzzRun::End()
{
    InterlockedExchange(&running, 0);
    ++inputs;
}

void FuzzRun::Fail(const std::string& what)
{
    char head[96];
    std::snprintf(head, sizeof head, "%s seed %u input %d: ", target.c_str(), seed, inputs);
    failures.push_back(head + what);
}

DWORD WINAPI FuzzRun::Watch(void* self)
{
    auto* run = static_cast<FuzzRun*>(self);
    while (WaitForSingleObject(run->stop, kWatchPeriodMs) == WAIT_TIMEOUT) {
        if (!run->running || GetTickCount() - run->startedAt < run->limit)
            continue;
        char name[64];
        std::snprintf(name, sizeof name, "hang-%s-%u-%d.bin", run->target.c_str(), run->seed, run->inputs);
        FILE* f = std::fopen(name, "wb");
        if (f) {
            std::fwrite(run->current.data(), 1, run->current.size(), f);
            std::fclose(f);
        }
        std::fprintf(stderr, "fuzz %s: seed %u input %d ran over %lu ms (saved as %s)\n",
                     run->target.c_str(), run->seed, run->inputs, run->limit, name);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}
