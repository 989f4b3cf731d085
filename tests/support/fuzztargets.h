#pragma once
// The hostile-input targets: each makes count inputs from its seeds with the
// mutator, hands them to the program's own loader or formatter, and records
// every broken rule in the run. Shared by the fuzz tests (a fixed seed, a few
// thousand inputs) and the fuzz benchmark (random seeds, for minutes).

#include <string>

#include "support/mutator.h"

struct FuzzTarget {
    const char* name;
    // folder: a scratch folder for the input files.
    void (*run)(Mutator& mutator, FuzzRun& run, int count, const std::string& folder);
};

// The endpoint's request parser (support/fuzzrequests.cpp).
void FuzzRequests(Mutator& mutator, FuzzRun& run, int count, const std::string& folder);

extern const FuzzTarget kFuzzTargets[];
extern const int kFuzzTargetCount;

// The process's kernel handles and GDI objects, to compare before and after.
struct HandleCounts {
    DWORD kernel;
    int gdi;
    bool operator==(const HandleCounts& o) const { return kernel == o.kernel && gdi == o.gdi; }
};
HandleCounts CountHandles();
