// checker.cpp - running kestrom-check and reading its findings.
#include "tools/web/checker.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

extern char **environ;

namespace kestrom::web {

namespace {

// What one run may print before the rest is ignored.
constexpr size_t MAX_OUTPUT = 1 << 20;

bool readNumber(const std::string &s, size_t &at, int &value) {
    const size_t start = at;
    long n = 0;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9' && at - start < 9) n = n * 10 + (s[at++] - '0');
    value = static_cast<int>(n);
    return at > start && at < s.size() && s[at] == ':';
}

// One "FILE:LINE:COLUMN: severity: text" line about `file`.
bool readFinding(const std::string &line, const std::string &file, Finding &out) {
    if (line.compare(0, file.size(), file) != 0 || line.size() <= file.size() || line[file.size()] != ':')
        return false;
    size_t at = file.size() + 1;
    if (!readNumber(line, at, out.line) || !readNumber(line, ++at, out.column)) return false;
    if (line.compare(++at, 1, " ") != 0) return false;
    const size_t colon = line.find(": ", ++at);
    if (colon == std::string::npos) return false;
    out.severity = line.substr(at, colon - at);
    out.text = line.substr(colon + 2);
    return out.severity == "error" || out.severity == "warning" || out.severity == "note";
}

// Everything a file descriptor gives until its end (at most MAX_OUTPUT kept).
std::string readAll(int fd) {
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (output.size() < MAX_OUTPUT) output.append(buffer, static_cast<size_t>(n));
    }
    return output;
}

// Runs a program with its standard error read into `output` (its standard
// output thrown away); its exit status (128 and more for a signal), or -1
// with `failure` set when it could not be started.
int runProgram(std::vector<std::string> args, std::string &output, std::string &failure) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        failure = std::string("cannot run ") + args[0] + ": " + std::strerror(errno);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    output = readAll(pipeFds[0]);
    ::close(pipeFds[0]);
    if (spawned != 0) {
        failure = std::string("cannot run ") + args[0] + ": " + std::strerror(spawned);
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace

std::vector<Finding> readFindings(const std::string &output, const std::string &file) {
    std::vector<Finding> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        Finding f;
        if (!readFinding(line, file, f)) f = Finding{0, 0, "error", line};
        found.push_back(f);
    }
    return found;
}

Checker::Checker(std::string program, std::string module, std::string scratch)
    : program_(std::move(program)), module_(std::move(module)), scratch_(std::move(scratch)) {}

CheckOutcome Checker::check(const std::string &text) const {
    CheckOutcome outcome;
    std::string path = scratch_ + "/check-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        outcome.failure = "cannot write a file to check in " + scratch_ + ": " + std::strerror(errno);
        return outcome;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (written) outcome = run(path);
    else outcome.failure = "cannot write the file to check";
    ::unlink(path.c_str());
    return outcome;
}

CheckOutcome Checker::run(const std::string &file) const {
    CheckOutcome outcome;
    if (::access(program_.c_str(), X_OK) != 0) {
        outcome.failure = "kestrom-check is not at " + program_ + " (make play builds it)";
        return outcome;
    }
    std::string output;
    const int status = runProgram({program_, "--quiet", "--module", module_, file}, output, outcome.failure);
    if (status < 0) return outcome;
    outcome.findings = readFindings(output, file);
    outcome.ran = status <= 2;
    outcome.status = outcome.ran ? status : 2;
    if (!outcome.ran) outcome.failure = "kestrom-check did not finish";
    return outcome;
}

}  // namespace kestrom::web
