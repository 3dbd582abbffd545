// kestrom-check: its findings, exit status and output modes; that it never
// disagrees with the loader; that its word table is the module's registry
// and the reference document its rendering.
#include "core/state.h"
#include "sim/linked_module.h"
#include "sim/server.h"
#include "tools/check/words.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct CheckRun {
    int status = -1;
    std::string out; // standard output
    std::string err; // standard error
};

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch directory, removed with the object.
struct Scratch {
    fs::path dir;
    Scratch() {
        static int made = 0;
        dir = fs::temp_directory_path() /
              ("kestrom-check-test-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
        fs::create_directories(dir);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string write(const std::string &name, const std::string &text) const {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

// Runs kestrom-check with `args` (bounded in time, so a file that blocks
// cannot hang the test).
CheckRun check(const std::string &args) {
    static const Scratch scratch;
    const std::string err = (scratch.dir / "stderr").string();
    CheckRun run;
    const std::string command = "timeout 20 " + std::string(KESTROM_CHECK_PATH) + " --module " +
                                KESTROM_MODULE_PATH + " " + args + " 2>" + err;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = readFile(err);
    return run;
}

bool contains(const std::string &haystack, const std::string &needle) {
    return haystack.find(needle) != std::string::npos;
}

const std::string theExample = KESTROM_SOURCE_DIR "/examples/kestrom.params";

TEST(ParamsCheck, TheExampleIsClean) {
    const CheckRun run = check(theExample);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(contains(run.err, ": warning: ")) << run.err;
    const CheckRun listing = check("--listing " + theExample);
    EXPECT_TRUE(contains(listing.out, "\nzone 16 public private \n")) << listing.out;
    EXPECT_TRUE(contains(listing.out, "\nsetrank gmsg god\n")) << listing.out;
}

TEST(ParamsCheck, ProblemsComeWithFileLineAndColumn) {
    static const Scratch scratch;
    const std::string path =
        scratch.write("t.params", "# a comment\nchat 5 1 public\nch 5\ntake RM5\nguestwiz\n");
    const CheckRun run = check(path);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(
        contains(run.err, path + ":3:1: error: `ch` is not a keyword or parameter name; the module "
                                 "ignores the line; did you mean `chat`? (names are never abbreviated)\n"))
        << run.err;
    EXPECT_TRUE(contains(run.err, path + ":4:6: error: `RM5` is not a room selection word")) << run.err;
    EXPECT_TRUE(contains(run.err, path + ":5:9: error: guestwiz needs yes or no")) << run.err;
    EXPECT_TRUE(contains(run.err, "kestrom-check: " + path + ": 3 errors, ")) << run.err;
    const CheckRun quiet = check("--quiet " + path);
    EXPECT_EQ(quiet.status, 2);
    EXPECT_FALSE(contains(quiet.err, "kestrom-check: ")) << quiet.err;
    std::istringstream lines(quiet.err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind(path + ":", 0), 0u) << line;
}

TEST(ParamsCheck, AFileThatStopsTheLoadListsNothing) {
    static const Scratch scratch;
    const std::string path = scratch.write("long.params", "zone 3 all\n" + std::string(300, 'x') + "\n");
    const CheckRun run = check("--listing " + path);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, ":2:299: error: the line is 300 characters long")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(contains(check(path).err, "the module would not start with this file")) << run.err;
}

TEST(ParamsCheck, UnreadableFilesAndBadArguments) {
    static const Scratch scratch;
    const std::string path = scratch.write("ok.params", "zone 3 all\n");
    const std::string fifo = (scratch.dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(check(path + ".missing").status, 2);
    EXPECT_TRUE(contains(check(path + ".missing").err, ".missing:1:1: error: cannot read the file"));
    EXPECT_EQ(check(scratch.dir.string()).status, 2);
    EXPECT_EQ(check(fifo).status, 2);
    EXPECT_EQ(check("").status, 2);
    EXPECT_EQ(check("--bogus " + path).status, 2);
    EXPECT_EQ(check(path + " " + path).status, 2);
    EXPECT_EQ(check("--module /nonexistent/kestrom.so " + path).status, 2);
    EXPECT_EQ(check(path).status, 0);
}

struct Case {
    const char *what;
    std::string text;    // the file
    std::string finding; // part of what standard error must say ("" for nothing)
    int status;          // -1: depends on how the module reads CR LF
};

// One row per class of problem the checker finds.
const std::vector<Case> theCases = {
    {"clean", "chat 5 1 public warn\n", "", 0},
    {"yes/no that is neither", "guestwiz off\n",
     ":1:10: error: `off` is neither yes nor no: the module ignores the line; write `no`", 2},
    {"what the switch stays at", "guestwiz off\n",
     ":1:1: note: the module installs nothing: guestwiz stays yes", 2},
    {"number not whole", "rtakedelay 10m\n",
     ":1:12: error: `10m` is read as 10 (the module reads the leading digits only); write 600 for 10m", 2},
    {"fraction where a whole number is read", "pagelength 1.5\n",
     ":1:12: error: `1.5` is read as 1 (only whole numbers are read here)", 2},
    {"clamped", "chat 99999999999 1 public\n",
     ":1:6: error: `99999999999` is beyond the numbers the module reads: it takes 2147483647", 2},
    {"negative means off", "rtakedelay -5\n", ":1:12: warning: a negative delay switches rtake off", 1},
    {"negative compared unsigned", "pagelength -1\n",
     ":1:12: warning: pagelength is compared as an unsigned number: -1 reads as 4294967295 and refuses every "
     "page as too short",
     1},
    {"NaN decay", "chat 3 nan public\n", ":1:8: error: `nan` cannot be a decay: the module reads 0", 2},
    {"what was installed instead", "chat five 1 public warn\n",
     ":1:1: note: the module installs `chat 0 0 public warn`: every line is refused in public rooms", 2},
    {"reversed range", "take rm9-3\n", ":1:6: error: `rm9-3` runs backwards and selects no room; write rm3-9",
     2},
    {"open range", "take rm5-\n", ":1:6: error: `rm5-` has no upper end: the module reads rm5-0", 2},
    {"range out of range", "take rm40000\n", ":1:6: warning: no room has a number in `rm40000`", 1},
    {"no room selection", "chat 5 1\n", ":1:9: warning: no room selection: the rule applies nowhere", 1},
    {"off with ranges", "spoof off rm40-49\n",
     ":1:7: warning: `off` does not clear room numbers: this rule applies in rooms 40 to 49", 1},
    {"misspelt keyword", "memberwho yes\n",
     ":1:1: error: `memberwho` is not a keyword or parameter name; the module ignores the line; did you mean "
     "`memberrwho`?\n",
     2},
    {"misspelt room word", "chat 5 1 publc warn\n",
     ":1:10: error: `publc` is not a room selection word, the module ignores it; did you mean `public`?", 2},
    {"CR LF line ends", "guestwiz no\r\nchat 5 1 public\r\n", ":1:12: ", -1},
    {"NUL byte", std::string("chat 5\0 1 public\n", 17),
     ":1:7: error: a NUL byte cuts the line short: the module reads only `chat 5`", 2},
    {"near the length limit", "#" + std::string(279, 'x') + "\n",
     ":1:1: warning: the line is 280 characters long and the module reads at most 298", 1},
    {"too long", "#" + std::string(298, 'x') + "\n",
     ":1:299: error: the line is 299 characters long; the module reads at most 298", 2},
    {"shadowed rule", "chat 5 1 public\nchat 10 1 public private\nchat 7 1 public\n",
     ":3:1: warning: this chat rule is never chosen: lines 1 and 2 come first", 1},
    {"partly shadowed rule", "chat 5 1 public\nchat 10 1 public private\n",
     ":2:1: note: in public rooms the rule of line 1 is chosen instead", 0},
    {"the last range rule wins", "chat 5 1 rm3\nchat 9 1 rm1-5\n",
     ":1:1: warning: this chat rule is never chosen: line 2 comes first", 1},
    {"setting given twice", "guestwiz no\nguestwiz yes\n",
     ":2:1: warning: guestwiz is set again: this line replaces line 1", 1},
    {"setrank for an unknown command", "setrank gmgs god\n",
     ":1:9: error: `gmgs` is not a kestrom command, the module ignores the line; did you mean `gmsg`?", 2},
    {"setrank for an unknown rank", "setrank gmsg gdo\n", ":1:14: error: `gdo` is not a rank", 2},
    {"setrank that locks operators out", "setrank kestrom disable\n",
     ":1:17: warning: no operator can use `kestrom reload any more", 1},
    {"announcement not a time of day", "autoannounce 24:00:00 hello\n",
     ":1:14: warning: `24:00:00` is not a time of day: the module sends the announcement daily at 00:00:00",
     1},
    {"bare name takes the default", "chat\n",
     ":1:1: warning: `chat` alone installs the built-in default `chat 10 1 public`", 1},
    {"bytes escaped", "chat 5 1 pub\x01lic\n", ":1:10: error: `pub\\x01lic` is not a room selection word", 2},
    {"gzip not echoed", std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\x01\x02", 12),
     ":1:1: error: this is a gzip-compressed file, not a parameter file", 2},
};

TEST(ParamsCheck, EachClassOfProblem) {
    static const Scratch scratch;
    for (const Case &c : theCases) {
        const std::string path = scratch.write("case.params", c.text);
        const CheckRun run = check("--quiet " + path);
        if (c.status >= 0) {
            EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        }
        if (c.finding.empty()) {
            EXPECT_EQ(run.err, "") << c.what;
        } else {
            EXPECT_TRUE(contains(run.err, path + c.finding)) << c.what << "\n" << run.err;
        }
        for (const char byte : run.err)
            EXPECT_TRUE(byte == '\n' || (static_cast<unsigned char>(byte) >= 0x20 && byte != 0x7F)) << c.what;
    }
}

TEST(ParamsCheck, ALargeFileFloodsTheLog) {
    static const Scratch scratch;
    std::string text;
    for (int i = 0; i < 200; ++i) text += "chatgoto 1 phrase number " + std::to_string(i) + "\n";
    const CheckRun run = check(scratch.write("large.params", text));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, ":1:1: warning: the listing of this file has 209 lines")) << run.err;
}

TEST(ParamsCheck, StrictMakesWarningsErrors) {
    static const Scratch scratch;
    const std::string path = scratch.write("warned.params", "chat 5 1\n");
    EXPECT_EQ(check(path).status, 1);
    EXPECT_EQ(check("--strict " + path).status, 2);
}

TEST(ParamsCheck, ExplainReadsAsAnOperatorSummary) {
    static const Scratch scratch;
    const std::string path = scratch.write("explained.params",
        "chat 10 1 public warn\nchat 20 2 rm1-5\nmimick 8 all\nspoof off rm40-49\nguestwiz no\n"
        "setrank gmsg god\nautoannounce 09:00:00 Good morning\n");
    const CheckRun run = check("--explain " + path);
    const char *const theSentences[] = {
        "  chat, in rooms 1 to 5: a burst of 20 lines, then 2 lines a second\n",
        "  chat, in public rooms other than rooms 1 to 5: a burst of 10 lines, then 1 line a second; users "
        "are told\n",
        "  chat, elsewhere: not limited\n",
        "  mimick, everywhere: a line of 8 characters or more may not repeat the room's previous line\n",
        "  spoof: refused in rooms 40 to 49 only\n",
        "  guestwiz no: guests may not ask for operator status  (built-in: yes)\n",
        "  `gmsg: rank god  (built-in: rank wizard)\n",
        "  daily at 09:00:00: Good morning\n",
    };
    for (const char *sentence : theSentences) EXPECT_TRUE(contains(run.out, sentence)) << sentence << run.out;
}

// Every parameter file of the project: the examples, the scenarios' params
// blocks and files, and the fuzzing seeds.
std::vector<std::string> everyParameterFile(const Scratch &scratch) {
    std::vector<std::string> paths;
    const fs::path root = KESTROM_SOURCE_DIR;
    for (const fs::path &dir :
         {root / "examples", root / "tests/scenarios", root / "fuzz/corpus/parameter_file"})
        for (const auto &entry : fs::directory_iterator(dir))
            if (dir.filename() == "parameter_file" || entry.path().extension() == ".params")
                paths.push_back(entry.path().string());
    int blocks = 0;
    for (const auto &entry : fs::directory_iterator(root / "tests/scenarios")) {
        if (entry.path().extension() != ".scenario") continue;
        std::istringstream in(readFile(entry.path().string()));
        std::string line, block;
        bool inside = false;
        while (std::getline(in, line)) {
            const size_t start = line.find_first_not_of(" \t"), end = line.find_last_not_of(" \t\r");
            const std::string trimmed = start == std::string::npos ? "" : line.substr(start, end - start + 1);
            if (!inside && trimmed == "params") {
                inside = true;
                block.clear();
            } else if (inside && trimmed == "end") {
                inside = false;
                paths.push_back(scratch.write("block" + std::to_string(++blocks) + ".params", block));
            } else if (inside) {
                block += line + "\n";
            }
        }
    }
    return paths;
}

// The listing a start with the file writes, from the loader linked into
// this test.
std::string loaderListing(const std::string &path) {
    kestrom::sim::Server server;
    server.useModule(kestrom::sim::linkedModule());
    server.recorder().openWindow();
    if (!server.start({path})) return "";
    std::string listing;
    const std::string tag = "kestrom: ";
    for (const kestrom::sim::Event &e : server.recorder().window()) {
        if (e.kind != kestrom::sim::EventKind::Log || e.text.rfind(tag, 0) != 0) continue;
        const std::string line = e.text.substr(tag.size());
        if (line.rfind("kestrom version ", 0) == 0 || line.rfind("Problem ", 0) == 0) continue;
        listing += line + "\n";
    }
    server.stop();
    return listing;
}

TEST(ParamsCheck, CheckerAndLoaderNeverDisagree) {
    const Scratch scratch;
    const std::vector<std::string> paths = everyParameterFile(scratch);
    EXPECT_GT(paths.size(), 100u);
    for (const std::string &path : paths) {
        const CheckRun run = check("--quiet --listing " + path);
        EXPECT_EQ(run.out, loaderListing(path)) << path;
        EXPECT_FALSE(contains(run.err, "could not match")) << path << "\n" << run.err;
        EXPECT_FALSE(contains(run.err, "does not install this line as written")) << path << "\n" << run.err;
    }
}

TEST(ParamsCheck, TheReferenceIsTheDocument) {
    const CheckRun run = check("--reference");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, readFile(KESTROM_SOURCE_DIR "/docs/parameters.md"))
        << "docs/parameters.md is written by `kestrom-check --reference > docs/parameters.md`";
}

TEST(ParamsCheck, TheWordTableIsTheModulesRegistry) {
    kestrom::sim::Server server;
    server.useModule(kestrom::sim::linkedModule());
    ASSERT_TRUE(server.startWithParameters(""));
    size_t rows = 0;
    for (const kestrom::ParameterTable &row : kestrom::parameterTable) {
        if (!row.name) break;
        ++rows;
        const kestrom::check::ParameterWords *words = kestrom::check::findParameter(row.name);
        ASSERT_NE(words, nullptr) << row.name;
        EXPECT_EQ(words->index, row.index) << row.name;
        EXPECT_EQ(words->carries, row.paramMask) << row.name;
        ASSERT_EQ(words->builtIn != nullptr, row.defaultValue != nullptr) << row.name;
        if (!row.defaultValue) continue;
        EXPECT_EQ(words->builtIn->rooms, row.defaultValue->roomsChecked) << row.name;
        EXPECT_EQ(words->builtIn->maximum, row.defaultValue->maximum) << row.name;
        EXPECT_EQ(words->builtIn->decay, row.defaultValue->decay) << row.name;
    }
    EXPECT_EQ(rows, kestrom::check::parameters().size());
    server.stop();
}

}  // namespace
