// kestrom_sim.cpp - the simulated chat server's program: plays scenario
// files against the kestrom module, or reads directives from standard input.
//
//   kestrom-sim [--module PATH] [--quiet] [--stats] [--verbose] [--fail-alloc K | --fail-alloc-from K]
//               [--count-allocs] [--check-leaks] [--params FILE] [FILE...]
//   kestrom-sim [--module PATH] [--check-leaks] --compare OLD.params NEW.params FILE...
//   kestrom-sim --web [--port N] [--module PATH] [FILE]
//   kestrom-sim --version | --help
//
// --web serves the playground (tools/web/) on 127.0.0.1: a page that shows
// the world of FILE (played to its end) and lets the operator act in it.
//
// --stats prints, after each file, the module's decisions per rule and the
// messages per type (built as kestrom-sim-notrace, the program provides no
// decision trace and counts no rules).  --verbose shows every message of
// the crowds (sim/crowd/), which otherwise sum up at each advance.
// --compare plays each file under two parameter files and prints what
// differs (sim/crowd/compare.h); its exit status is 0 when nothing does, 1
// when something does, 2 on an error.
//
// With no file, or the file "-", directives are read from standard input and
// run as soon as each is read: at a terminal, with line editing, history
// and completion (sim/console/).  --params FILE starts each file, and the
// console, as after `params-file FILE`.  The module defaults to kestrom.so beside this
// program.  Exit status: 0 every check held, 1 a check failed, 2 a file could
// not be run.
#include "sim/clock.h"
#include "sim/console/console.h"
#include "sim/crowd/compare.h"
#include "sim/scenario.h"
#include "tools/web/web.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char *const theUsage =
    "usage: kestrom-sim [--module PATH] [--quiet] [--stats] [--verbose] [--fail-alloc K | --fail-alloc-from K] "
    "[--count-allocs] [--check-leaks] [--params FILE] [FILE...]\n"
    "       kestrom-sim [--module PATH] [--check-leaks] --compare OLD.params NEW.params FILE...\n"
    "       kestrom-sim --web [--port N] [--module PATH] [FILE]\n";

const char *const theHelp =
    "Plays scenario files against the kestrom module in a simulated chat server; with no\n"
    "file, or the file -, reads directives from standard input (help lists them).\n"
    "\n"
    "  --module PATH         the module to load (default: kestrom.so beside this program)\n"
    "  --quiet               only failures, errors and the summary\n"
    "  --fail-alloc K        in each file, the K-th module allocation fails (only that one)\n"
    "  --fail-alloc-from K   in each file, every module allocation from the K-th on fails\n"
    "  --count-allocs        after each file, its number of module allocations\n"
    "  --check-leaks         a module block still out after stop is a failed check\n"
    "  --stats               after each file, the decisions per rule and the messages per type\n"
    "  --verbose             every message of the crowds, not only a line per crowd at each advance\n"
    "  --compare OLD NEW     plays each file with each parameter file in place of its own and\n"
    "                        prints what NEW changes (exit status 0 nothing, 1 something, 2 an error)\n"
    "  --params FILE         start with this parameter file (as params-file FILE)\n"
    "  --web                 serve the playground for FILE on 127.0.0.1 (a page to watch and act)\n"
    "  --port N              the playground's port (default 8017; 0: any free port)\n"
    "  --version, --help     the version, or this help\n"
    "\n"
    "Exit status: 0 every check held, 1 a check failed, 2 a file could not be run\n"
    "(typed at a terminal, a line that cannot be run is reported and the console goes on).\n"
    "The scenario language is described in sim/README.md.\n";

// kestrom.so in the directory of this program.
std::string defaultModulePath(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return (self.parent_path() / "kestrom.so").string();
}

// The playground for at most one file.
int runWeb(const kestrom::sim::RunOptions &options, long port, const std::vector<std::string> &files,
           const char *argv0) {
    if (files.size() > 1 || port < 0 || port > 65535) {
        std::cerr << "kestrom-sim: --web takes one file at most, --port a number from 0 to 65535\n" << theUsage;
        return 2;
    }
    kestrom::web::WebOptions web;
    web.run = options;
    web.port = static_cast<int>(port);
    web.file = files.empty() ? "" : files.front();
    web.checker = std::filesystem::path(defaultModulePath(argv0)).replace_filename("kestrom-check").string();
    return kestrom::web::runWeb(web);
}

// A count K >= 1 from the command line, or 0 when it is not one.
long countArg(const char *text) {
    char *end = nullptr;
    const long k = std::strtol(text, &end, 10);
    return (*text && *end == '\0' && k >= 1) ? k : 0;
}

}  // namespace

int main(int argc, char **argv) {
    kestrom::sim::useUtc();
    kestrom::sim::RunOptions options;
    options.modulePath = defaultModulePath(argv[0]);
    std::vector<std::string> files;
    std::vector<std::string> compare; // OLD and NEW
    bool web = false;
    long port = 8017;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--module" && hasValue) {
            options.modulePath = argv[++i];
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--compare" && i + 2 < argc) {
            compare = {argv[i + 1], argv[i + 2]};
            i += 2;
        } else if ((arg == "--fail-alloc" || arg == "--fail-alloc-from") && hasValue) {
            const long k = countArg(argv[++i]);
            if (!k) {
                std::cerr << "kestrom-sim: " << arg << " needs a count of 1 or more\n" << theUsage;
                return 2;
            }
            (arg == "--fail-alloc" ? options.failAlloc : options.failAllocFrom) = k;
        } else if (arg == "--params" && hasValue) {
            options.paramsFile = argv[++i];
        } else if (arg == "--count-allocs") {
            options.countAllocs = true;
        } else if (arg == "--check-leaks") {
            options.checkLeaks = true;
        } else if (arg == "--web") {
            web = true;
        } else if (arg == "--port" && hasValue) {
            char *end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || end == argv[i]) port = -1;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << theUsage << '\n' << theHelp;
            return 0;
        } else if (arg == "--version") {
            std::cout << "kestrom-sim (kestrom) " KESTROM_VERSION "\nmodule: "
                      << options.modulePath << '\n';
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::cerr << "kestrom-sim: unknown option " << arg << '\n' << theUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }

    if (!compare.empty()) {
        if (files.empty() || std::find(files.begin(), files.end(), "-") != files.end()) {
            std::cerr << "kestrom-sim: --compare plays scenario files, not standard input\n" << theUsage;
            return 2;
        }
        return kestrom::sim::crowd::compareParameterFiles(options, compare[0], compare[1], files, std::cout);
    }

    if (web) return runWeb(options, port, files, argv[0]);
    kestrom::sim::ScenarioRunner runner(options, std::cout);
    if (files.empty()) files.push_back("-");
    for (const std::string &file : files) {
        if (file == "-")
            kestrom::sim::console::runConsole(runner);
        else
            runner.runFile(file);
    }
    runner.printSummary();
    return runner.exitCode();
}
