// module_runs.h - the module's own verdict: a parameter file loaded by the
// kestrom module in a simulated server with nobody connected, and what the
// module wrote to the log about it (its problems, a failure, the listing).
#pragma once

#include "sim/server.h"
#include "tools/check/source.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrom::check {

// One "Problem ... in line N of parameter file: ..." report.
struct Problem {
    int line = 0;
    std::string message; // the problem's own text
};

struct LoadReport {
    bool started = false;
    std::vector<Problem> problems;
    std::string failure;  // a report that ended the load ("Line 4 in file ... too long", ...)
    int failureLine = 0;  // the line a "too long" failure names
    std::vector<std::string> listing;
    std::optional<bool> rlimitAvailable; // asked of the running module when probed
};

class ModuleRunner {
public:
    // Loads the module; false with `error` set when it cannot be loaded.
    bool open(const std::string &modulePath, std::string &error);

    // The file at `path`, as the module would start with it.  `raw` holds
    // the file's lines (to read the problem reports back).  With `probe`, the
    // running module is also asked whether `rlimit is available.
    LoadReport loadFile(const std::string &path, const std::vector<std::string> &raw, bool probe);
    // `text` written to a scratch file and loaded.
    LoadReport loadText(const std::string &text);

    // How the module reads lines that end in CR LF.
    ReadingHabits learnHabits();

    ModuleRunner() = default;
    ModuleRunner(const ModuleRunner &) = delete;
    ModuleRunner &operator=(const ModuleRunner &) = delete;
    ~ModuleRunner();

private:
    LoadReport collect(bool started, const std::vector<std::string> &raw);
    bool probeRlimit();
    // A new scratch file holding `text` (each load gets its own: rewriting
    // one file in place makes some file systems flush it at every close).
    std::string scratchFile(const std::string &text);

    sim::Server server_;
    std::string scratchDir_;
    std::string lastScratch_;
    long scratchCount_ = 0;
};

// The lines of a text as the module counts them (for reading reports back).
std::vector<std::string> rawLinesOf(const std::string &text);

}  // namespace kestrom::check
