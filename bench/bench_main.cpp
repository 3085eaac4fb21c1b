// scorvane_bench: the in-process figures of `make bench`. Before timing
// anything it checks that every peer takes the same rows from the pages as
// the saver does, so that the comparison is between equal jobs.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>

#include "bench/heap_counter.h"

bool CheckParsePeers();
void RegisterParseBenchmarks();
bool PrepareFrameBenchmarks();
void RegisterFrameBenchmarks();

int main(int argc, char** argv) {
    heap::InstallForLibxml2();
    xmlInitParser();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (!CheckParsePeers() || !PrepareFrameBenchmarks()) return 1;
    RegisterParseBenchmarks();
    RegisterFrameBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    xmlCleanupParser();
    return 0;
}
