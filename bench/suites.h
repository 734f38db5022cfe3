// The benchmark suites; each runs in a process of its own and prints its rows.
#pragma once

struct BenchOptions {
    bool shortRun; // fewer samples and iterations: checks that every row comes out
};

int RunAccuracy(const BenchOptions& options);
int RunOverhead(const BenchOptions& options);
int RunResponse(const BenchOptions& options);
int RunPaintCost(const BenchOptions& options);
int RunEndurance(const BenchOptions& options);
int RunRegistryFaults(const BenchOptions& options);
