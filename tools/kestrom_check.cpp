// kestrom_check.cpp - kestrom-check, a linter for the parameter file.  It
// loads the file through the kestrom module in a simulated server with
// nobody connected (each line on its own too, to know what each line
// installs), so it never disagrees with what the module does, then adds its
// own checks (tools/check/rules_*.cpp).  Findings go to standard error as
// FILE:LINE:COLUMN: error|warning|note: text.
//
//   kestrom-check [--quiet] [--strict] [--module PATH] FILE
//   kestrom-check --explain FILE     the configuration in force, in plain words
//   kestrom-check --listing FILE     the listing, as the module writes it to the log
//   kestrom-check --reference        the parameter reference (docs/parameters.md)
//   kestrom-check --version | --help
//
// Exit status: 0 clean, 1 warnings only, 2 errors (the module would not
// start, a line is not installed as written, the file cannot be read).
// --strict counts warnings as errors.
#include "tools/check/check.h"
#include "tools/check/explain.h"

#include <filesystem>
#include <iostream>
#include <string>

using namespace kestrom::check;

namespace {

const char *const theUsage =
    "usage: kestrom-check [--quiet] [--strict] [--module PATH] FILE\n"
    "       kestrom-check --explain FILE | --listing FILE | --reference\n";

const char *const theHelp =
    "Checks a parameter file offline through the kestrom module: every problem on\n"
    "standard error as FILE:LINE:COLUMN: error|warning|note: what is wrong.\n"
    "\n"
    "  --quiet             the problems alone, without the summary line\n"
    "  --strict            count warnings as errors\n"
    "  --explain FILE      the configuration in force, in plain words\n"
    "  --listing FILE      the listing, exactly as the module writes it to the log\n"
    "  --reference         the parameter reference (docs/parameters.md)\n"
    "  --module PATH       the module to load (default: kestrom.so beside this program)\n"
    "  --version, --help   the version, or this help\n"
    "\n"
    "Exit status: 0 clean, 1 warnings only, 2 errors (the module would not start,\n"
    "a line is not installed as written, the file or the module cannot be read).\n";

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_WARNINGS = 1;
constexpr int EXIT_ERRORS = 2;

enum class Mode { CHECK, EXPLAIN, LISTING, REFERENCE, HELP, VERSION };

struct Options {
    Mode mode = Mode::CHECK;
    bool quiet = false;
    bool strict = false;
    std::string modulePath;
    std::string file;
};

// The flags, as data: each sets one field.
struct Flag {
    const char *name;
    void (*set)(Options &);
};

constexpr Flag theFlags[] = {
    {"--quiet", [](Options &o) { o.quiet = true; }},
    {"--strict", [](Options &o) { o.strict = true; }},
    {"--explain", [](Options &o) { o.mode = Mode::EXPLAIN; }},
    {"--listing", [](Options &o) { o.mode = Mode::LISTING; }},
    {"--reference", [](Options &o) { o.mode = Mode::REFERENCE; }},
    {"--help", [](Options &o) { o.mode = Mode::HELP; }},
    {"-h", [](Options &o) { o.mode = Mode::HELP; }},
    {"--version", [](Options &o) { o.mode = Mode::VERSION; }},
};

// kestrom.so in the directory of this program.
std::string defaultModulePath(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return (self.parent_path() / "kestrom.so").string();
}

const Flag *findFlag(const std::string &arg) {
    for (const Flag &flag : theFlags)
        if (arg == flag.name) return &flag;
    return nullptr;
}

// The options, or false with the complaint already written.
bool parseArguments(int argc, char **argv, Options &options) {
    options.modulePath = defaultModulePath(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (const Flag *flag = findFlag(arg)) {
            flag->set(options);
        } else if (arg == "--module" && i + 1 < argc) {
            options.modulePath = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "kestrom-check: unknown option " << arg << '\n' << theUsage;
            return false;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            std::cerr << "kestrom-check: one file at a time\n" << theUsage;
            return false;
        }
    }
    const bool needsFile = options.mode == Mode::CHECK || options.mode == Mode::EXPLAIN ||
                           options.mode == Mode::LISTING;
    if (needsFile && options.file.empty()) {
        std::cerr << theUsage;
        return false;
    }
    return true;
}

std::string countOf(int n, const char *what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void printSummary(const Options &options, const Checked &checked) {
    const Diagnostics &found = checked.found;
    const int errors = found.count(Severity::ERROR), warnings = found.count(Severity::WARNING),
              notes = found.count(Severity::NOTE);
    std::cerr << "kestrom-check: " << escaped(options.file) << ": ";
    if (errors + warnings + notes == 0) std::cerr << "no problems";
    else
        std::cerr << countOf(errors, "error") << ", " << countOf(warnings, "warning") << ", "
                  << countOf(notes, "note");
    if (!checked.binary && !checked.whole.started) std::cerr << "; the module would not start with this file";
    std::cerr << '\n';
}

int exitStatus(const Options &options, const Checked &checked) {
    if (checked.found.count(Severity::ERROR) > 0) return EXIT_ERRORS;
    if (checked.found.count(Severity::WARNING) > 0) return options.strict ? EXIT_ERRORS : EXIT_WARNINGS;
    return EXIT_CLEAN;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseArguments(argc, argv, options)) return EXIT_ERRORS;
    if (options.mode == Mode::HELP) {
        std::cout << theUsage << '\n' << theHelp;
        return EXIT_CLEAN;
    }
    if (options.mode == Mode::VERSION) {
        std::cout << "kestrom-check (kestrom) " KESTROM_VERSION "\nmodule: " << options.modulePath
                  << '\n';
        return EXIT_CLEAN;
    }
    if (options.mode == Mode::REFERENCE) {
        writeReference(std::cout);
        return EXIT_CLEAN;
    }
    Checked checked;
    std::string error;
    if (!checkFile(options.file, options.modulePath, checked, error)) {
        std::cerr << "kestrom-check: " << escaped(options.file) << ": " << error << '\n';
        return EXIT_ERRORS;
    }
    checked.found.print(std::cerr, options.file);
    if (options.mode == Mode::CHECK && !options.quiet) printSummary(options, checked);
    if (options.mode == Mode::EXPLAIN) explain(checked, std::cout);
    if (options.mode == Mode::LISTING)
        for (const std::string &line : checked.whole.listing) std::cout << line << '\n';
    return exitStatus(options, checked);
}
