// scenario.h - the scenario language of kestrom-sim: lexing and parsing of
// directives, and the runner that plays scenario files (or the interactive
// console) against a fresh simulated server each, printing a transcript and
// counting checks.  The verbs are listed at the top of sim/session.cpp.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::sim {

class MessageObserver;

// A directive that cannot be run: reported as FILE:LINE: message.
struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the next word of `line` from `pos`, skipping blanks (spaces, tabs);
// false at the end of the line.  Double quotes hold blanks, with \" and \\ (a backslash)
// inside them.  Throws ScenarioError for an unterminated quote.
bool nextWord(std::string_view line, size_t &pos, std::string &word);
// TEXT: the rest of the line after `pos`, less the single blank that follows
// the fixed words; everything else verbatim.
std::string restText(std::string_view line, size_t pos);

struct Directive {
    int line = 0;
    std::string verb;
    std::vector<std::string> words;  // the words after the verb
    std::string text;                // TEXT, for the verbs that take one
    std::vector<std::string> block;  // the lines of a params block
    std::string source;              // the line as written
    // How many checks after it look at its window (-1: not known, as at the
    // console); with none, crowd traffic is shown but not kept.
    int windowChecks = -1;
};

// True for blank and comment lines.
bool isSkippable(std::string_view line);
// One directive from its line; a params block's lines are added by the
// caller.  Throws ScenarioError for an unknown verb or a wrong word count.
Directive parseDirective(std::string_view line, int lineNumber);
// Every directive of a scenario file, params blocks included.  Throws
// ScenarioError for the first bad line; `lineNumber` is then its number.
std::vector<Directive> parseScenario(std::istream &in, int &lineNumber);

struct RunOptions {
    std::string modulePath;
    bool quiet = false;
    long failAlloc = 0;     // --fail-alloc K: the K-th allocation of each file fails
    long failAllocFrom = 0; // --fail-alloc-from K: every one from the K-th on
    bool countAllocs = false;
    bool checkLeaks = false; // --check-leaks: module blocks still out after stop are a fault
    bool stats = false;      // --stats: the decision statistics after each file
    std::string paramsFile;  // --params FILE: each file starts as after `params-file FILE`
    bool verbose = false;    // --verbose: every crowd message in the transcript
    // When set, every params block and params-file of a file is replaced by
    // this parameter file (kestrom-sim --compare).
    std::string parameterFile;
    MessageObserver *observer = nullptr; // told of every message a user sent
};

class Session;

// Where the console's lines come from: standard input as a stream, or the
// line editor of sim/console/.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line, without its line end; false at the end of input.
    // `more`: a line inside a params block is wanted.
    virtual bool read(std::string &line, bool more) = 0;
    // A person types the lines: a line that cannot run is reported, and the
    // exit status reflects the checks only.
    virtual bool interactive() const = 0;
    // The session the lines go to (for completion), or null once it ends.
    virtual void attach(const Session *) {}
};

// Lines from a stream; `prompt`: shows "kestrom> " before each directive.
class StreamSource : public LineSource {
public:
    StreamSource(std::istream &in, std::ostream &out, bool prompt) : in_(in), out_(out), prompt_(prompt) {}
    bool read(std::string &line, bool more) override;
    bool interactive() const override { return prompt_; }

private:
    std::istream &in_;
    std::ostream &out_;
    bool prompt_;
};

// The checks and errors of every file run so far.
struct Tally {
    long passed = 0;
    long failed = 0;
    long faults = 0; // faults of the module's (leaks included), also counted in failed
    long allocations = 0; // module allocation calls, failed ones included
    long unjudged = 0;    // decision checks on a server without the decision trace
    bool error = false;
};

class ScenarioRunner {
public:
    ScenarioRunner(RunOptions options, std::ostream &out) : options_(std::move(options)), out_(out) {}

    // Runs one scenario file in a fresh server.
    void runFile(const std::string &path);
    // Runs directives from `in` as they are read (`prompt`: show a prompt).
    void runConsole(std::istream &in, bool prompt);
    // Runs directives from `source` as they are read.
    void runConsole(LineSource &source);
    // "N passed, M failed".
    void printSummary() const;
    // 0 all checks held, 1 a check failed, 2 a file could not be run.
    int exitCode() const;
    const Tally &tally() const { return tally_; }

private:
    RunOptions options_;
    std::ostream &out_;
    Tally tally_;
};

}  // namespace kestrom::sim
