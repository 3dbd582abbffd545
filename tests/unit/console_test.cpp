// The console: what tab completion offers at each place of a line, and a
// session typed into kestrom-sim through a pseudo-terminal (history kept
// across sessions, completion, who, rooms, why, a typo that does not end
// the console or change its exit status).
#include "commands/commands.h"
#include "sim/console/completion.h"
#include "sim/session.h"
#include "sim/verb_help.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace console = kestrom::sim::console;
using kestrom::sim::Session;

namespace {

TEST(ConsoleCompletion, OffersWhatEachPlaceOfTheLineTakes) {
    console::CompletionWords words;
    words.verbs = Session::verbNames();
    words.handles = {"bob", "carol"};
    words.rooms = {"1", "2"};
    words.chatCommands = console::chatCommandWords();
    ASSERT_EQ(words.chatCommands.size(), static_cast<size_t>(kestrom::NBR_COMMANDS));

    const struct {
        const char *before;
        std::vector<std::string> offered;
    } cases[] = {
        {"adv", {"advance"}},
        {"wh", {"whisper", "who", "why"}},
        {"say c", {"carol"}},
        {"whisper bob ", {"bob", "carol"}},
        {"whisper bob carol `pageg", {"`pagegag"}},
        {"say bob 'unpagega", {"'unpagegag"}},
        {"say bob hello `pageg", {}},  // a command opens the line
        {"say bob pageg", {}},         // and needs its quote character
        {"goto bob ", {"1", "2"}},
        {"why ", {"bob", "carol"}},
        {"help expect-sta", {"expect-started", "expect-state"}},
        {"fail-alloc o", {"off"}},
        {"expect-started ", {"no", "yes"}},
        {"expect-state bob room=", {}},
        {"sya b", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(console::completions(c.before, words), c.offered) << c.before;
    EXPECT_EQ(console::commonPrefix({"start", "start-args", "stats"}), "sta");
}

TEST(ConsoleHelp, EveryVerbIsDescribed) {
    for (const std::string &verb : Session::verbNames())
        EXPECT_NE(kestrom::sim::verbMeaning(verb), nullptr) << verb << " has no line in sim/verb_help.cpp";
}

// kestrom-sim on the slave side of a pseudo-terminal; every wait is bounded.
class Terminal {
public:
    Terminal(const std::filesystem::path &home, const std::vector<std::string> &args) {
        winsize size{};
        size.ws_row = 50;
        size.ws_col = 200;
        pid_ = forkpty(&fd_, nullptr, nullptr, &size);
        if (pid_ != 0) return;
        setenv("HOME", home.c_str(), 1);
        setenv("TERM", "xterm", 1);
        unsetenv("EDITRC");
        std::vector<char *> argv{const_cast<char *>(KESTROM_SIM_PATH)};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(KESTROM_SIM_PATH, argv.data());
        _exit(127);
    }
    ~Terminal() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    bool started() const { return pid_ > 0; }
    void type(const std::string &keys) { ASSERT_EQ(write(fd_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    // Reads until `text` shows after what earlier waits found.
    testing::AssertionResult waitFor(const std::string &text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            const size_t at = seen_.find(text, mark_);
            if (at != std::string::npos) {
                mark_ = at + text.size();
                return testing::AssertionSuccess();
            }
            if (std::chrono::steady_clock::now() > deadline || !readSome())
                return testing::AssertionFailure() << "no \"" << text << "\" in what the console wrote last:\n"
                                                   << seen_.substr(seen_.size() > 2000 ? seen_.size() - 2000 : 0);
        }
    }
    // Types a line once the console asks for one.
    testing::AssertionResult line(const std::string &keys) {
        testing::AssertionResult asked = waitFor("kestrom> ");
        if (asked) type(keys);
        return asked;
    }
    // The exit status (128 + N for signal N), or -1 when the program has
    // not ended within seconds.
    int exitStatus() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (!readSome()) usleep(10000);
        }
        return -1;
    }

private:
    bool readSome() {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 10) < 0) return false;
        if (!(p.revents & (POLLIN | POLLHUP))) return true;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) return false; // the program has gone
        seen_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    std::string seen_;
    size_t mark_ = 0;
};

const char UP[] = "\x1b[A";

TEST(ConsoleTerminal, EditsRecallsCompletesAndExplains) {
#ifndef KESTROM_LINE_EDITING
    GTEST_SKIP() << "built without libedit: no line editing to test";
#endif
    const struct Home {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("kestrom-console-" + std::to_string(getpid()));
        Home() { std::filesystem::create_directories(path); }
        ~Home() { std::filesystem::remove_all(path); }
    } scratch;
    const std::filesystem::path &home = scratch.path;
    std::ofstream(home / "k.params") << "# two lines a burst\nchat 2 1 public warn\nguestwiz yes\n";
    {
        Terminal t(home, {"--params", (home / "k.params").string()});
        ASSERT_TRUE(t.started());
        ASSERT_TRUE(t.waitFor("k.params: 3 lines, 1 rule, 1 setting"));
        ASSERT_TRUE(t.line("user bob\r"));
        ASSERT_TRUE(t.line("start\r"));
        ASSERT_TRUE(t.waitFor("no room yet for bob to connect to: declare one first"));
        ASSERT_TRUE(t.line("room 1 Lobby\r"));
        ASSERT_TRUE(t.line("user carol\r"));
        ASSERT_TRUE(t.line("star\t\r"));                  // start, start-args: as far as they agree
        ASSERT_TRUE(t.waitFor("module started"));
        ASSERT_TRUE(t.line("say ca\thi\r"));              // a handle
        ASSERT_TRUE(t.waitFor("carol says \"hi\""));
        ASSERT_TRUE(t.line("say bob `pageg\tcarol\r"));   // a chat command
        ASSERT_TRUE(t.waitFor("refused by rank: needs 2, has 0 (`pagegag), told"));
        ASSERT_TRUE(t.line("why\r"));
        ASSERT_TRUE(t.waitFor("(say bob `pagegag carol): module swallows talk from bob"));
        ASSERT_TRUE(t.waitFor("refused by rank: needs 2, has 0 (`pagegag), told"));
        ASSERT_TRUE(t.line("who\r"));
        ASSERT_TRUE(t.waitFor("carol  2   carol  1     guest  100,100  0     0      none   0x0008 identified"));
        ASSERT_TRUE(t.line("rooms\r"));
        ASSERT_TRUE(t.waitFor("1     Lobby  public, entrance  -      2: bob, carol"));
        ASSERT_TRUE(t.line(std::string(UP) + "\r"));      // rooms again
        ASSERT_TRUE(t.waitFor("public, entrance  -      2: bob, carol"));
        ASSERT_TRUE(t.line("sya bob hi\r"));
        ASSERT_TRUE(t.waitFor("unknown verb \"sya\""));
        ASSERT_TRUE(t.line("expect-swallow\r"));          // the printing verbs opened no window
        ASSERT_TRUE(t.waitFor("expect-swallow  -> ok"));
        ASSERT_TRUE(t.line("quit\r"));
        ASSERT_TRUE(t.waitFor("1 passed, 0 failed"));
        EXPECT_EQ(t.exitStatus(), 0) << "a typo leaves the exit status to the checks";
    }
    {
        Terminal t(home, {});
        ASSERT_TRUE(t.started());
        ASSERT_TRUE(t.line(std::string(UP) + "\r"));      // from ~/.kestrom_sim_history: the last line
        ASSERT_TRUE(t.waitFor("1  quit"));
        EXPECT_EQ(t.exitStatus(), 0);
    }
}

}  // namespace
