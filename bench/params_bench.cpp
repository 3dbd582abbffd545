// params_bench.cpp - what a load of a 300-line parameter file costs (read,
// parse, order the chains and write the listing, as a reload does), set
// against merely reading the same file line by line with fgets, both on the
// thread's CPU clock in the same repetition: the ratio is "x_fgets".
#include "bench/parameter_files.h"
#include "params/params.h"
#include "sim/lean_host.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

constexpr int FILE_LINES = 300;

// Reads the file line by line as plainly as C can.
int readWithFgets(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return -1;
    char line[PARAM_LINE_SIZE];
    int count = 0;
    while (std::fgets(line, sizeof line, f)) ++count;
    std::fclose(f);
    return count;
}

double threadCpuMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// CPU microseconds of one fgets pass over the file, over `passes` passes.
double fgetsPassMicroseconds(const std::string &path, long passes) {
    const double start = threadCpuMicroseconds();
    for (long i = 0; i < passes; ++i) benchmark::DoNotOptimize(readWithFgets(path));
    return (threadCpuMicroseconds() - start) / static_cast<double>(passes);
}

// Loads the file (as a reload does), timed on the thread's CPU clock; then
// as many fgets passes over it, so that the ratio is taken in the same
// repetition.  The module runs under a lean host (sim/lean_host.h): its
// blocks come from malloc and its log lines are counted, so that the
// simulator's own record keeping is not timed as the module's.
void loadParameters(benchmark::State &state) {
    Server server;
    server.recorder().setEnabled(false);
    const std::string path = server.writeParameterFile(kestrom::bench::parameterFile(FILE_LINES));
    std::string modulePath = "kestrom.so";
    char *argv[] = {modulePath.data(), const_cast<char *>(path.c_str()), nullptr};
    LeanHost lean;
    auto *module = static_cast<MyState *>(::initializeServerPlugin(THE_PLUGIN_ID, 2, argv));
    if (!module) {
        state.SkipWithError("the module did not start");
        return;
    }
    const long allocationsBefore = lean.allocations();
    const double start = threadCpuMicroseconds();
    for (auto _ : state) benchmark::DoNotOptimize(loadParameterFile(module, nullptr));
    const double perLoad = (threadCpuMicroseconds() - start) / static_cast<double>(state.iterations());
    const long allocationsPerLoad = (lean.allocations() - allocationsBefore) / state.iterations();
    ::shutdownServerPlugin(&server.serverState(), module);
    if (lean.outstanding() != 0) state.SkipWithError("blocks left out after the module stopped");
    const double perFgetsPass = fgetsPassMicroseconds(path, state.iterations());
    state.SetItemsProcessed(state.iterations() * FILE_LINES);
    state.counters["load_us"] = perLoad;
    state.counters["fgets_us"] = perFgetsPass;
    state.counters["x_fgets"] = perFgetsPass > 0 ? perLoad / perFgetsPass : 0;
    state.counters["allocs/load"] = static_cast<double>(allocationsPerLoad);
}
BENCHMARK(loadParameters)
    ->Name("params/load_300_lines")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
