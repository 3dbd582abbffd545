// kestrom_check.cpp - checks a parameter file offline: loads it through the
// kestrom module in a simulated server with nobody connected, prints every
// problem the module reports (with its line number, exactly as the module
// words it), then the settings that would be in force.
//
//   kestrom-check [--quiet] [--module PATH] FILE
//   kestrom-check --version | --help
//
// --quiet prints the problems alone.  The module defaults to kestrom.so
// beside this program.  Exit status: 0 the file has no problem, 1 it has
// at least one, 2 it cannot be read (or the module cannot be loaded).
#include "sim/clock.h"
#include "sim/server.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace kestrom::sim;

namespace {

const char *const theUsage = "usage: kestrom-check [--quiet] [--module PATH] FILE\n";

const char *const theHelp =
    "Checks a parameter file offline through the kestrom module: prints each problem\n"
    "with its line, then the settings that would be in force.\n"
    "\n"
    "  --quiet             the problems alone\n"
    "  --module PATH       the module to load (default: kestrom.so beside this program)\n"
    "  --version, --help   the version, or this help\n"
    "\n"
    "Exit status: 0 no problem, 1 problems, 2 the file or the module cannot be read.\n";

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_PROBLEMS = 1;
constexpr int EXIT_UNREADABLE = 2;

struct Options {
    bool quiet = false;
    std::string modulePath;
    std::string file;
};

// kestrom.so in the directory of this program.
std::string defaultModulePath(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return (self.parent_path() / "kestrom.so").string();
}

// The options, or an exit status when the program should stop at once.
int parseArguments(int argc, char **argv, Options &options) {
    options.modulePath = defaultModulePath(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--module" && i + 1 < argc) {
            options.modulePath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << theUsage << '\n' << theHelp;
            return EXIT_CLEAN;
        } else if (arg == "--version") {
            std::cout << "kestrom-check (kestrom) " KESTROM_VERSION "\nmodule: "
                      << options.modulePath << '\n';
            return EXIT_CLEAN;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "kestrom-check: unknown option " << arg << '\n' << theUsage;
            return EXIT_UNREADABLE;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            std::cerr << "kestrom-check: one file at a time\n" << theUsage;
            return EXIT_UNREADABLE;
        }
    }
    if (options.file.empty()) {
        std::cerr << theUsage;
        return EXIT_UNREADABLE;
    }
    return -1;
}

// Why the file cannot be read, or an empty text when it can.
std::string unreadable(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return std::strerror(errno);
    std::fclose(f);
    return "";
}

// What the module said while loading the file.
struct Report {
    std::vector<std::string> problems;
    std::vector<std::string> listing;
    bool started = false;
};

bool startsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// Reports about the file (and a failed load) as opposed to listing lines.
bool isProblem(const std::string &line) {
    static const char *const theProblemStarts[] = {
        "Problem ", "Line ", "Unable to get memory for ", "Open failed ", "Read failed ", "Usage: ",
    };
    for (const char *start : theProblemStarts)
        if (startsWith(line, start)) return true;
    return false;
}

// Lines the module always writes, that say nothing about the file.
bool isNoise(const std::string &line) {
    return startsWith(line, "kestrom version ") || line == "*** kestrom initialization failed ***";
}

Report loadThroughModule(Server &server, const std::string &file) {
    Report report;
    server.recorder().openWindow();
    report.started = server.start({file});
    const std::string tag = "kestrom: ";
    for (const Event &e : server.recorder().window()) {
        if (e.kind != EventKind::Log || !startsWith(e.text, tag.c_str())) continue;
        const std::string line = e.text.substr(tag.size());
        if (isNoise(line)) continue;
        (isProblem(line) ? report.problems : report.listing).push_back(line);
    }
    return report;
}

std::string countOf(size_t n, const char *what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void printReport(const Options &options, const Report &report) {
    if (options.quiet) {
        for (const std::string &line : report.problems) std::cout << line << '\n';
        return;
    }
    std::cout << "kestrom-check: " << options.file << ": "
              << (report.problems.empty() ? std::string("no problems")
                                          : countOf(report.problems.size(), "problem"));
    if (!report.started) std::cout << "; the module would not start with this file";
    std::cout << '\n';
    for (const std::string &line : report.problems) std::cout << "  " << line << '\n';
    if (!report.started) return;
    std::cout << "\nSettings in force (" << countOf(report.listing.size(), "line") << "):\n";
    for (const std::string &line : report.listing) std::cout << "  " << line << '\n';
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    if (const int status = parseArguments(argc, argv, options); status >= 0) return status;
    if (const std::string why = unreadable(options.file); !why.empty()) {
        std::cerr << "kestrom-check: cannot read " << options.file << ": " << why << '\n';
        return EXIT_UNREADABLE;
    }
    useUtc();
    Server server;
    std::string error;
    if (!server.loadModule(options.modulePath, error)) {
        std::cerr << "kestrom-check: cannot load the module " << options.modulePath << ": " << error
                  << '\n';
        return EXIT_UNREADABLE;
    }
    const Report report = loadThroughModule(server, options.file);
    printReport(options, report);
    for (const std::string &line : report.problems)
        if (startsWith(line, "Open failed ") || startsWith(line, "Read failed ")) return EXIT_UNREADABLE;
    if (!report.started && report.problems.empty()) return EXIT_UNREADABLE;
    return report.problems.empty() ? EXIT_CLEAN : EXIT_PROBLEMS;
}
