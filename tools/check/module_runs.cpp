// module_runs.cpp - loading parameter files through the module and reading
// its log back.
#include "tools/check/module_runs.h"

#include "sim/clock.h"
#include "tools/check/words.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kestrom::check {

namespace {

constexpr std::string_view LOG_PREFIX = "kestrom: ";

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Lines the module writes at every start that say nothing about the file.
bool isNoise(std::string_view line) {
    return startsWith(line, "kestrom version ") || line == "*** kestrom initialization failed ***";
}

// Reports that end a load.
bool isFailure(std::string_view line) {
    static constexpr std::string_view theFailureStarts[] = {
        "Line ", "Unable to get memory for ", "Open failed ", "Read failed ", "Usage: ",
    };
    for (const std::string_view start : theFailureStarts)
        if (startsWith(line, start)) return true;
    return false;
}

// The number at the start of s, or 0; `used` the digits read.
int leadingNumber(std::string_view s, size_t &used) {
    int n = 0;
    for (used = 0; used < s.size() && used < 9 && s[used] >= '0' && s[used] <= '9'; ++used)
        n = n * 10 + (s[used] - '0');
    return n;
}

// "Problem MSG in line N of parameter file: LINE": the line is quoted back
// (its first 100 characters), so the marker that counts is the last one
// followed by the start of line N itself.
std::optional<Problem> readProblem(std::string_view text, const std::vector<std::string> &raw) {
    constexpr std::string_view head = "Problem ", inLine = " in line ", ofFile = " of parameter file: ";
    if (!startsWith(text, head)) return std::nullopt;
    const std::string_view body = text.substr(head.size());
    for (size_t at = body.rfind(inLine); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : body.rfind(inLine, at - 1)) {
        size_t digits = 0;
        const int line = leadingNumber(body.substr(at + inLine.size()), digits);
        const std::string_view rest = body.substr(at + inLine.size() + digits);
        if (digits == 0 || !startsWith(rest, ofFile) || line < 1 || line > static_cast<int>(raw.size()))
            continue;
        const std::string_view quoted = rest.substr(ofFile.size());
        if (quoted.size() <= 100 && startsWith(raw[line - 1], quoted))
            return Problem{line, std::string(body.substr(0, at))};
    }
    return std::nullopt;
}

int tooLongLine(std::string_view failure) {
    if (!startsWith(failure, "Line ")) return 0;
    size_t used = 0;
    return leadingNumber(failure.substr(5), used);
}

}  // namespace

std::vector<std::string> rawLinesOf(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        const size_t end = newline == std::string::npos ? text.size() : newline;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool ModuleRunner::open(const std::string &modulePath, std::string &error) {
    sim::useUtc();
    server_.activate();
    server_.recorder().setEnabled(true);
    return server_.loadModule(modulePath, error);
}

LoadReport ModuleRunner::collect(bool started, const std::vector<std::string> &raw) {
    LoadReport report;
    report.started = started;
    for (const sim::Event &e : server_.recorder().window()) {
        if (e.kind != sim::EventKind::Log || !startsWith(e.text, LOG_PREFIX)) continue;
        const std::string_view line = std::string_view(e.text).substr(LOG_PREFIX.size());
        if (isNoise(line)) continue;
        if (std::optional<Problem> problem = readProblem(line, raw)) {
            report.problems.push_back(std::move(*problem));
        } else if (isFailure(line)) {
            report.failure = std::string(line);
            report.failureLine = tooLongLine(line);
        } else if (started) {
            report.listing.emplace_back(line);
        }
    }
    return report;
}

LoadReport ModuleRunner::loadFile(const std::string &path, const std::vector<std::string> &raw,
                                  bool probe) {
    server_.activate();
    server_.recorder().openWindow();
    const bool started = server_.start({path});
    LoadReport report = collect(started, raw);
    if (started && probe) report.rlimitAvailable = probeRlimit();
    server_.stop();
    return report;
}

// Memory-backed when the system has it: thousands of small files are
// written and read back for a large parameter file.
std::string scratchBase() {
    if (const char *tmp = std::getenv("TMPDIR"); tmp && *tmp) return tmp;
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    return ec ? "/tmp" : tmp.string();
}

ModuleRunner::~ModuleRunner() {
    if (scratchDir_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(scratchDir_, ignored);
}

std::string ModuleRunner::scratchFile(const std::string &text) {
    if (scratchDir_.empty()) {
        std::string pattern = scratchBase() + "/kestrom-check-XXXXXX";
        if (mkdtemp(pattern.data())) scratchDir_ = pattern;
    }
    if (scratchDir_.empty()) return server_.writeParameterFile(text);
    if (!lastScratch_.empty()) std::remove(lastScratch_.c_str());
    lastScratch_ = scratchDir_ + "/line-" + std::to_string(++scratchCount_) + ".params";
    std::ofstream(lastScratch_, std::ios::binary) << text;
    return lastScratch_;
}

LoadReport ModuleRunner::loadText(const std::string &text) {
    return loadFile(scratchFile(text), rawLinesOf(text), false);
}

// The owner of a member room asks for `rlimit: the module answers "rlimit
// not available on this server" unless a rule named altmember.
bool ModuleRunner::probeRlimit() {
    constexpr RoomID PROBE_ROOM = 1;
    sim::UserPlan owner = sim::UserPlan::numbered("Owner", 1);
    owner.rank = 3;
    sim::RoomPlan plan;
    plan.id = PROBE_ROOM;
    plan.name = "Probe";
    plan.owner = owner.counter;
    std::string error;
    if (!server_.room(PROBE_ROOM) && !server_.addRoom(plan, error)) return false;
    sim::SimUser *user = server_.connect(owner, error);
    if (!user) return false;
    server_.recorder().openWindow();
    server_.send(*user, sim::msg::talk("`rlimit"));
    bool available = true;
    for (const sim::Event &e : server_.recorder().window())
        if (e.kind == sim::EventKind::Text && e.text == "rlimit not available on this server")
            available = false;
    server_.disconnect(*user);
    return available;
}

ReadingHabits ModuleRunner::learnHabits() {
    ReadingHabits habits;
    const LoadReport switched = loadText("guestwiz no\r\n");
    for (const std::string &line : switched.listing)
        if (line == "guestwiz no") habits.dropsCr = true;
    const LoadReport longest = loadText("#" + std::string(LONGEST_LINE - 1, 'x') + "\r\n");
    habits.crCounts = !longest.started;
    return habits;
}

}  // namespace kestrom::check
