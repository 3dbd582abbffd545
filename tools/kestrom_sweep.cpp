// kestrom_sweep.cpp - the allocation-failure sweep: plays each scenario file
// once to count the module's allocations N, then 2N times more, for each k in
// 1..N once with only the k-th allocation failing and once with every
// allocation from the k-th on failing.
//
//   kestrom-sweep [--module PATH] FILE...
//   kestrom-sweep --version | --help
//
// Checks are expected to fail under injected failures and are not judged; a
// run is judged only by what the module must never do: a fault the server
// reports (an unknown user or room, a bad DisposePtr, a message past its
// block), a module block still out after stop (--check-leaks), or a crash or
// sanitizer report, which ends the program after naming the run.  The plain
// run must also pass every check.  Every run is in this one process, so the
// sweep costs no process start per run.
#include "sim/scenario.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

using kestrom::sim::RunOptions;
using kestrom::sim::ScenarioRunner;
using kestrom::sim::Tally;

const char *const theUsage = "usage: kestrom-sweep [--module PATH] FILE...\n";

const char *const theHelp =
    "Plays each scenario file once, then for each of its N module allocations twice more:\n"
    "with only that allocation failing, and with it and every later one failing.  A run\n"
    "fails on a fault of the module's, a leak, a crash or a sanitizer report, never on the\n"
    "file's own checks.\n"
    "\n"
    "  --module PATH       the module to load (default: kestrom.so beside this program)\n"
    "  --version, --help   the version, or this help\n"
    "\n"
    "Exit status: 0 every run was clean, 1 a run was faulty, 2 bad arguments.\n";

// The run in hand, for the report of a crash (written from a signal handler).
char theRun[512] = "no run";

void tellRun() {
    const char *lines[] = {"kestrom-sweep: crashed in ", theRun, "\n"};
    for (const char *text : lines)
        if (write(STDERR_FILENO, text, std::strlen(text)) < 0) return;
}

void onFatalSignal(int signal) {
    tellRun();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Names the run in hand when the process dies: through the sanitizers' death
// callback when they are linked in (their own handlers report the fault),
// otherwise on the fatal signals.
void nameTheRunOnDeath() {
    if (__sanitizer_set_death_callback) return __sanitizer_set_death_callback(tellRun);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(signal, onFatalSignal);
}

struct RunResult {
    Tally tally;
    std::string transcript;
};

// Plays `path` once with `failOnly` or `failFrom` (0: none) in force.
RunResult play(const std::string &module, const std::string &path, long failOnly, long failFrom) {
    std::snprintf(theRun, sizeof theRun, "%s (allocation %ld fails%s)", path.c_str(),
                  failOnly ? failOnly : failFrom, failFrom ? " and every one after it" : " alone");
    RunOptions options;
    options.modulePath = module;
    options.quiet = true;
    options.checkLeaks = true;
    options.failAlloc = failOnly;
    options.failAllocFrom = failFrom;
    std::ostringstream out;
    ScenarioRunner runner(options, out);
    runner.runFile(path);
    return {runner.tally(), out.str()};
}

// The transcript lines that report faults of the module's.
std::string faultLines(const std::string &transcript) {
    std::istringstream in(transcript);
    std::string line, faults;
    while (std::getline(in, line))
        if (line.find("fault of the module's") != std::string::npos ||
            line.find("outstanding after stop") != std::string::npos)
            faults += "    " + line + '\n';
    return faults;
}

struct Totals {
    long clean = 0;
    long faulty = 0;
};

// The sweep of one file; false when a run was faulty.
bool sweep(const std::string &module, const std::string &path, Totals &totals) {
    const RunResult plain = play(module, path, 0, 0);
    if (plain.tally.error || plain.tally.failed) {
        std::cout << path << ": the plain run does not pass:\n" << plain.transcript;
        ++totals.faulty;
        return false;
    }
    ++totals.clean;
    const long n = plain.tally.allocations;
    long faulty = 0, stoppedEarly = 0;
    for (long k = 1; k <= n; ++k) {
        for (const bool from : {false, true}) {
            const RunResult run = play(module, path, from ? 0 : k, from ? k : 0);
            if (run.tally.error) ++stoppedEarly;
            if (run.tally.faults == 0) {
                ++totals.clean;
                continue;
            }
            ++faulty;
            ++totals.faulty;
            std::cout << theRun << ":\n" << faultLines(run.transcript);
        }
    }
    std::cout << path << ": " << n << " module allocations, " << 2 * n << " runs with failures, "
              << faulty << " faulty";
    if (stoppedEarly) std::cout << ", " << stoppedEarly << " stopped early by the simulator";
    std::cout << '\n';
    return faulty == 0;
}

// kestrom.so in the directory of this program.
std::string defaultModulePath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "kestrom.so").string();
}

}  // namespace

int main(int argc, char **argv) {
    std::string module = defaultModulePath();
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--module" && i + 1 < argc) {
            module = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << theUsage << '\n' << theHelp;
            return 0;
        } else if (arg == "--version") {
            std::cout << "kestrom-sweep (kestrom) " KESTROM_VERSION "\nmodule: " << module
                      << '\n';
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << theUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << theUsage;
        return 2;
    }
    nameTheRunOnDeath();
    Totals totals;
    bool allClean = true;
    for (const std::string &file : files) allClean = sweep(module, file, totals) && allClean;
    std::cout << totals.clean << " passed, " << totals.faulty << " failed\n";
    return allClean ? 0 : 1;
}
