// kestrom-check: its exit status and what it prints.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct CheckRun {
    int status = -1;
    std::string out;
};

// Runs kestrom-check with `args`, capturing standard output.
CheckRun check(const std::string &args) {
    CheckRun run;
    const std::string command = std::string(KESTROM_CHECK_PATH) + " --module " +
                                KESTROM_MODULE_PATH + " " + args + " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// A parameter file in a scratch directory, removed with the object.
struct ScratchFile {
    std::filesystem::path dir;
    std::string path;
    explicit ScratchFile(const std::string &text) {
        dir = std::filesystem::temp_directory_path() /
              ("kestrom-check-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        path = (dir / "test.params").string();
        std::ofstream(path, std::ios::binary) << text;
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

bool contains(const std::string &haystack, const std::string &needle) {
    return haystack.find(needle) != std::string::npos;
}

TEST(ParamsCheck, TheExampleHasNoProblem) {
    const CheckRun run = check(KESTROM_SOURCE_DIR "/examples/kestrom.params");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out, ": no problems\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "\n  zone 16 public private \n")) << run.out;
    EXPECT_TRUE(contains(run.out, "\n  setrank gmsg god\n")) << run.out;
    EXPECT_EQ(check("--quiet " KESTROM_SOURCE_DIR "/examples/kestrom.params").out, "");
}

TEST(ParamsCheck, ProblemsComeFirstWithTheirLines) {
    const ScratchFile file("# a comment\nchat 5 1 public\nch 5\ntake RM5\nguestwiz\n");
    const CheckRun run = check(file.path);
    EXPECT_EQ(run.status, 1);
    const std::string problems =
        "Problem unrecognizable parameter name, ignored in line 3 of parameter file: ch 5\n"
        "Problem Unrecognized room type \"RM5\", ignored in line 4 of parameter file: take RM5\n"
        "Problem guestwiz not yes or no - ignored in line 5 of parameter file: guestwiz\n";
    EXPECT_TRUE(contains(run.out, ": 3 problems\n")) << run.out;
    const size_t firstProblem = run.out.find("  Problem unrecognizable");
    const size_t listing = run.out.find("  chat 5 1 public \n");
    ASSERT_NE(firstProblem, std::string::npos) << run.out;
    ASSERT_NE(listing, std::string::npos) << run.out;
    EXPECT_LT(firstProblem, listing);
    const CheckRun quiet = check("--quiet " + file.path);
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, problems);
}

TEST(ParamsCheck, AFileThatStopsTheLoadListsNothing) {
    const ScratchFile file("zone 3 all\n" + std::string(300, 'x') + "\n");
    const CheckRun run = check(file.path);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "  Line 2 in file " + file.path + " too long\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "would not start")) << run.out;
    EXPECT_FALSE(contains(run.out, "zone 3")) << run.out;
}

TEST(ParamsCheck, UnreadableFilesAndBadArguments) {
    const ScratchFile file("zone 3 all\n");
    EXPECT_EQ(check(file.path + ".missing").status, 2);
    EXPECT_EQ(check(file.dir.string()).status, 2);
    EXPECT_EQ(check("").status, 2);
    EXPECT_EQ(check("--bogus " + file.path).status, 2);
    EXPECT_EQ(check(file.path + " " + file.path).status, 2);
    EXPECT_EQ(check("--module /nonexistent/kestrom.so " + file.path).status, 2);
    EXPECT_EQ(check(file.path).status, 0);
}

}  // namespace
