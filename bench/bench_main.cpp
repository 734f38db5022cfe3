// The benchmark program: one suite per run, named by the first argument.
//   tovamet_bench.exe accuracy|overhead|response|paint|endurance|registry [--short]
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "suites.h"
#include "thread_priority_bridge.h"

int main(int argc, char** argv) {
    // The item's code is linked into this program: its idle-priority sampler
    // gets the Linux idle class through the program's own imports.
    const bool bridged = BridgeThreadPriorities(GetModuleHandleW(nullptr));
    std::printf("INFO\tpriority bridge %s; a raised idle thread %s Linux's idle class\n",
                bridged ? "installed" : "NOT installed",
                LinuxIdleClassIsReversible() ? "leaves" : "CANNOT leave");
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovamet_bench suite [--short]\n");
        return 2;
    }
    BenchOptions options;
    options.shortRun = argc > 2 && std::strcmp(argv[2], "--short") == 0;
    const char* suite = argv[1];
    if (std::strcmp(suite, "accuracy") == 0) {
        return RunAccuracy(options);
    }
    if (std::strcmp(suite, "overhead") == 0) {
        return RunOverhead(options);
    }
    if (std::strcmp(suite, "response") == 0) {
        return RunResponse(options);
    }
    if (std::strcmp(suite, "paint") == 0) {
        return RunPaintCost(options);
    }
    if (std::strcmp(suite, "endurance") == 0) {
        return RunEndurance(options);
    }
    if (std::strcmp(suite, "registry") == 0) {
        return RunRegistryFaults(options);
    }
    std::fprintf(stderr, "unknown suite %s\n", suite);
    return 2;
}
