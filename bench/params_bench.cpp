// params_bench.cpp - what a load of a 300-line parameter file costs (read,
// parse, order the chains and write the listing, as a reload does), set
// against merely reading the same file line by line with fgets.  The load
// benchmark also reports the ratio between the two as "x_fgets".
#include "params/params.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

constexpr int FILE_LINES = 300;

// A realistic file of FILE_LINES lines: comments, switches, rank changes,
// rate rules over room kinds and ranges, phrases and address patterns.
// Announcements are left out: each load would leave two more timers behind.
std::string benchFile() {
    const std::vector<std::string> header = {
        "# Parameter file for the load benchmark.",
        "mroombg harbour-default.png",
        "wizinmemberrooms yes",
        "rownerinroom yes",
        "memberrwho yes",
        "rtakedelay 1800",
        "mroomdiscipline 25",
        "guestwiz no",
        "pagelength 3",
        "gpagelength 10",
        "pageresponse Thank you - an operator has your page and will be with you shortly.",
        "gpageresponse Your page went to the server owners; please allow a few minutes.",
        "setrank gmsg god",
        "setrank find member member",
        "setrank rbanlist operator",
        "",
    };
    const std::vector<std::string> rates = {
        "chat", "repchat", "page", "reppage", "roommsg", "propdrop", "facechange", "avatarchange",
        "move", "slide", "spotstatechange", "namechange", "newroom", "gpage", "rpage", "roompage",
    };
    std::vector<std::string> lines = header;
    for (int i = 0; static_cast<int>(lines.size()) < FILE_LINES; ++i) {
        const std::string rate = rates[i % rates.size()];
        const std::string room = std::to_string(100 + i);
        switch (i % 8) {
        case 0: lines.push_back("# rules for the rooms from " + room); break;
        case 1: lines.push_back(rate + " 12 1.5 public private warn"); break;
        case 2: lines.push_back(rate + " 20 2.0 rm" + room + "-" + std::to_string(110 + i) + " warn"); break;
        case 3: lines.push_back("chatgoto " + room + " take me to room " + room); break;
        case 4: lines.push_back(rate + " 30 0.5 member altmember limbo"); break;
        case 5: lines.push_back("dupip 2 10." + std::to_string(i % 256) + ".*.*"); break;
        case 6: lines.push_back("zone 16 rm" + room + " public"); break;
        default: lines.push_back("   spoof all off rm" + room + "   # role-play room"); break;
        }
    }
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    return text;
}

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

// Mean nanoseconds of one fgets pass over the file.
double fgetsPassNanoseconds(const std::string &path) {
    constexpr int PASSES = 2000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < PASSES; ++i) benchmark::DoNotOptimize(readWithFgets(path));
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / PASSES;
}

void BM_ParamsLoad300Lines(benchmark::State &state) {
    Server server;
    server.recorder().setEnabled(false);
    const std::string path = server.writeParameterFile(benchFile());
    std::string modulePath = "kestrom.so";
    char *argv[] = {modulePath.data(), const_cast<char *>(path.c_str()), nullptr};
    auto *module = static_cast<MyState *>(::initializeServerPlugin(THE_PLUGIN_ID, 2, argv));
    if (!module) {
        state.SkipWithError("the module did not start");
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(loadParameterFile(module, nullptr));
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    ::shutdownServerPlugin(&server.serverState(), module);
    state.SetItemsProcessed(state.iterations() * FILE_LINES);
    const double perLoad = state.iterations() ? spent.count() / state.iterations() : 0.0;
    const double perFgetsPass = fgetsPassNanoseconds(path);
    if (perFgetsPass > 0) state.counters["x_fgets"] = perLoad / perFgetsPass;
}
BENCHMARK(BM_ParamsLoad300Lines)->Unit(benchmark::kMicrosecond);

void BM_ParamsFgets300Lines(benchmark::State &state) {
    Server server;
    const std::string path = server.writeParameterFile(benchFile());
    for (auto _ : state) benchmark::DoNotOptimize(readWithFgets(path));
    state.SetItemsProcessed(state.iterations() * FILE_LINES);
}
BENCHMARK(BM_ParamsFgets300Lines)->Unit(benchmark::kMicrosecond);

}  // namespace
