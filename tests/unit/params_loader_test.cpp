// The parameter-file loader against bad input and exhausted memory: any
// byte sequence loads or fails with a report, never a crash or a leak, and
// a failed reload leaves the module running with its configuration whole.
#include "chat_world.h"
#include "commands/commands.h"
#include "params/params.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace kestrom::sim;

namespace {

const std::string theExample = KESTROM_SOURCE_DIR "/examples/kestrom.params";

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The log lines of the current window, without their "kestrom: " tag.
std::vector<std::string> logLines(Server &server) {
    std::vector<std::string> lines;
    for (const Event &e : server.recorder().window()) {
        if (e.kind != EventKind::Log) continue;
        const std::string tag = "kestrom: ";
        lines.push_back(e.text.rfind(tag, 0) == 0 ? e.text.substr(tag.size()) : e.text);
    }
    return lines;
}

bool hasLine(const std::vector<std::string> &lines, const std::string &wanted) {
    for (const std::string &line : lines)
        if (line == wanted) return true;
    return false;
}

bool hasLineStarting(const std::vector<std::string> &lines, const std::string &prefix) {
    for (const std::string &line : lines)
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// A server with the linked module and one room, not yet started.
struct World {
    Server server;
    World() {
        server.recorder().setEnabled(true);
        ModuleEntryPoints entry = linkedModule();
        entry.initializeServerPlugin = &kestrom::testing::startAndCatchState;
        server.useModule(entry);
        RoomPlan lobby;
        lobby.id = 1;
        lobby.name = "Lobby";
        std::string error;
        server.addRoom(lobby, error);
    }
};

struct Outcome {
    bool started = false;
    std::vector<std::string> log;
    long faults = 0;
    size_t leftAfterStop = 0;
};

// Starts a fresh module on `text`, stops it, and tells what happened.
Outcome load(const std::string &text) {
    World w;
    Outcome out;
    out.started = w.server.startWithParameters(text);
    out.log = logLines(w.server);
    w.server.stop();
    out.faults = w.server.faults();
    out.leftAfterStop = w.server.heap().outstanding();
    return out;
}

// A literal with its NUL bytes.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct BadInput {
    const char *what;
    std::string text;
    bool starts;
    std::string reported; // the start of a log line that must appear, or empty
};

TEST(ParamsLoader, BadInputLoadsOrFailsCleanly) {
    const std::string longWord(280, 'w');
    const BadInput cases[] = {
        {"empty file", "", true, ""},
        {"blanks only", "   \n\t\n\n", true, ""},
        {"overlong word", "chat 1 1 " + longWord + "\n", true,
         "Problem Unrecognized room type \"" + longWord.substr(0, 29) +
             "\", ignored in line 1 of parameter file: " + ("chat 1 1 " + longWord).substr(0, 100)},
        {"overlong keyword", longWord + "\n", true, ""},
        {"numbers beyond 32 bits", "chat 99999999999999999999 1e999 public\n", true, "chat 2147483647 0 public "},
        {"negative beyond 32 bits", "zone -99999999999 all\n", true, "zone -2147483648 public private member altmember limbo "},
        {"minus one is unlimited", "move -1 0.5 all\n", true, "move -1 0.5 public private member altmember limbo "},
        {"rm ranges with junk", "take rm rmx rm5- rm7-x9 rm-3-4 rm99999999999 rm1-2-3\n", true,
         "take rm1-2 rm2147483647 rm-3-4 rm7-0 rm5-0 rm0 rm0 "},
        {"tabs between words", "chat\t5\t1\tpublic\twarn\n", true, "chat 5 1 public warn "},
        {"tab after no", "guestwiz\tno\t\n", true, "guestwiz no"},
        {"n is not no", "guestwiz n\n", true, "guestwiz yes"},
        {"missing final newline", "zone 3 all\nchat 4 1 public", true, "chat 4 1 public "},
        {"NUL in a line", bytes("chat 5 1 public\0 junk\nzone 2 all\n"), true, "chat 5 1 public "},
        {"NUL ends the line's text", bytes("zone 2 all\0\nchat 1 1 public\n"), true, "zone 2 public private member altmember limbo "},
        {"CR LF after a switch", "guestwiz no\r\n", true, "guestwiz no"},
        {"CR LF after a rule", "chat 5 1 public warn\r\n", true, "chat 5 1 public warn "},
        {"only one CR dropped", "chat 5 1 public\r\r\n", true, "Problem Unrecognized room type \"public\r\", ignored in line 1 of parameter file: chat 5 1 public\r"},
        {"298 and CR LF", "zone 1\r\nchatgoto 2 " + std::string(287, 'c') + "\r\n", true, "chatgoto 2 " + std::string(287, 'c')},
        {"last line of 297 and CR", "zone 1\nchatgoto 2 " + std::string(286, 'c') + "\r", true, "chatgoto 2 " + std::string(286, 'c')},
        {"299 and CR LF", "zone 1\r\n" + std::string(299, 'x') + "\r\n", false, "Line 2 in file"},
        {"high bytes", "\xff\xfe \x80\n# \xc3\xa9\nchatgoto 3 caf\xc3\xa9\n", true, "chatgoto 3 caf\xc3\xa9"},
        {"setrank junk", "setrank\nsetrank `find 1\nsetrank find,x 1 1 1\nsetrank clean 99999999999\n", true, "setrank find,x 1 1 1"},
        {"autoannounce junk", "autoannounce 99999999 x\nautoannounce -9:-9:-9 y\nautoannounce ::::::::\n", true, ""},
        {"line of 299", "zone 1\n" + std::string(299, 'x') + "\n", false, "Line 2 in file"},
        {"last line of 298 without newline", std::string(298, 'y'), false, "Line 1 in file"},
        {"NUL opening a line too long", std::string(1, '\0') + std::string(400, 'z'), false, "Line 1 in file"},
    };
    for (const BadInput &c : cases) {
        const Outcome out = load(c.text);
        EXPECT_EQ(out.started, c.starts) << c.what;
        EXPECT_EQ(out.faults, 0) << c.what;
        EXPECT_EQ(out.leftAfterStop, 0u) << c.what;
        if (!c.reported.empty()) {
            EXPECT_TRUE(hasLineStarting(out.log, c.reported)) << c.what;
        }
    }
}

// Lines made of the file's own words, numbers and stray bytes, shuffled.
TEST(ParamsLoader, ScrambledFilesLoadOrFailCleanly) {
    const std::vector<std::string> pieces = {
        "chat", "zone", "chatgoto", "dupip", "pinx", "setrank", "autoannounce", "mroombg",
        "guestwiz", "rtakedelay", "pageresponse", "all", "off", "public", "warn", "altmember",
        "rm", "rm5-", "rm1-9", "-1", "0", "12:00:00", "99999999999", "1.5", "nan", "currentroom",
        "yes", "n", "god", "disable", "#", "\t", " ", "\r", std::string(1, '\0'), "\xff", "x",
    };
    std::mt19937 random(20260105);
    for (int file = 0; file < 150; ++file) {
        std::string text;
        const int lines = static_cast<int>(random() % 12);
        for (int line = 0; line < lines; ++line) {
            const int words = static_cast<int>(random() % 7);
            for (int w = 0; w < words; ++w) text += pieces[random() % pieces.size()] + " ";
            if (random() % 5) text += "\n";
        }
        const Outcome out = load(text);
        EXPECT_EQ(out.faults, 0) << "file " << file;
        EXPECT_EQ(out.leftAfterStop, 0u) << "file " << file;
    }
}

// A FIFO in a directory of its own, removed with it.
struct Fifo {
    std::string dir, path;
    Fifo() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrom-fifo-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir = pattern;
        path = dir + "/kestrom.params";
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    ~Fifo() { std::filesystem::remove_all(dir); }
};

// Reading from a FIFO without a writer would wait for ever: the alarm ends
// the test program instead.
struct Deadline {
    Deadline() { alarm(20); }
    ~Deadline() { alarm(0); }
};

// Anything but a regular file is refused at once, before anything changes.
TEST(ParamsLoader, NonRegularFilesAreRefusedBeforeAnythingChanges) {
    const Deadline deadline;
    const Fifo fifo;
    const struct {
        std::string path;
        const char *reason;
    } cases[] = {
        {std::filesystem::temp_directory_path().string(), "Is a directory, errno=21"},
        {fifo.path, "Invalid argument, errno=22"},
        {"/dev/zero", "Invalid argument, errno=22"},
    };
    for (const auto &c : cases) {
        World w;
        EXPECT_FALSE(w.server.start({c.path}));
        const std::vector<std::string> log = logLines(w.server);
        EXPECT_TRUE(hasLine(log, std::string("Open failed ") + c.reason + ", on file " + c.path)) << c.path;
        EXPECT_TRUE(hasLine(log, "*** kestrom initialization failed ***"));
        EXPECT_EQ(w.server.heap().outstanding(), 0u);
    }
}

// A wizard and the ways to make the module read its file again.
struct Reloading : World {
    SimUser *wiz = nullptr;
    SimUser *guest = nullptr;
    std::string path;

    explicit Reloading(const std::string &text) {
        path = server.writeParameterFile(text);
        EXPECT_TRUE(server.start({path}));
        std::string error;
        UserPlan wizSpec = UserPlan::numbered("wiz", 1);
        wizSpec.rank = 2;
        wiz = server.connect(wizSpec, error);
        guest = server.connect(UserPlan::numbered("gus", 2), error);
        server.advance(2);
    }
    std::vector<std::string> reload() {
        server.recorder().openWindow();
        server.send(*wiz, msg::talk("`kestrom reload"));
        return logLines(server);
    }
    bool says(SimUser &user, const std::string &text) {
        server.recorder().openWindow();
        return server.send(user, msg::talk(text));
    }
};

// A file that has gone, or has been replaced by a FIFO: the reload is
// refused at once and the configuration stays in force.
TEST(ParamsLoader, ReloadOfAnUnreadableFileKeepsTheConfiguration) {
    const Deadline deadline;
    for (const bool fifo : {false, true}) {
        Reloading r("chat 1 0 public warn\n");
        ASSERT_NE(r.wiz, nullptr);
        ASSERT_NE(r.guest, nullptr);
        std::filesystem::remove(r.path);
        if (fifo) {
            ASSERT_EQ(mkfifo(r.path.c_str(), 0600), 0);
        }
        const std::vector<std::string> log = r.reload();
        const std::string reason = fifo ? "Invalid argument, errno=22" : "No such file or directory, errno=2";
        EXPECT_TRUE(hasLine(log, "Open failed " + reason + ", on file " + r.path));
        EXPECT_FALSE(hasLineStarting(log, "chat "));
        EXPECT_TRUE(r.says(*r.guest, "one"));
        EXPECT_FALSE(r.says(*r.guest, "two")); // the chat rule still holds
        EXPECT_TRUE(r.server.running());
        r.server.stop();
        EXPECT_EQ(r.server.heap().outstanding(), 0u);
    }
}

// Each allocation of a start made to fail in turn: the start either goes
// through (a default copy failed) or fails with the memory report, and
// nothing is left once the module has stopped.
TEST(ParamsLoader, AllocationFailureAtStart) {
    const std::string text = readFile(theExample);
    ASSERT_FALSE(text.empty());
    long allocations = 0;
    {
        World w;
        ASSERT_TRUE(w.server.startWithParameters(text));
        allocations = w.server.heap().allocationsMade();
    }
    for (long k = 1; k <= allocations; ++k) {
        World w;
        w.server.heap().failOnly(k);
        const bool started = w.server.startWithParameters(text);
        const std::vector<std::string> log = logLines(w.server);
        if (!started) {
            EXPECT_TRUE(hasLine(log, "*** kestrom initialization failed ***") ||
                        hasLineStarting(log, "DISASTER"))
                << "allocation " << k;
            EXPECT_TRUE(hasLineStarting(log, "Unable to get memory for") ||
                        hasLineStarting(log, "DISASTER"))
                << "allocation " << k;
        }
        w.server.stop();
        EXPECT_EQ(w.server.faults(), 0) << "allocation " << k;
        EXPECT_EQ(w.server.heap().outstanding(), 0u) << "allocation " << k;
    }
}

// What a failed reload must leave as it was: the listing of the
// configuration in force, the command ranks, the timers armed and the
// module's blocks.
struct InForce {
    std::vector<std::string> listing;
    std::vector<std::pair<int, int>> ranks;
    size_t timers = 0;
    size_t blocks = 0;
    bool operator==(const InForce &) const = default;
};

InForce inForce(Server &server) {
    InForce now;
    server.recorder().openWindow();
    kestrom::showParameters(kestrom::testing::startedState(), nullptr, 1);
    now.listing = logLines(server);
    for (const kestrom::CmdTable &row : kestrom::cmdTable) now.ranks.emplace_back(row.rank, row.targetRank);
    now.timers = server.pendingTimers();
    now.blocks = server.heap().outstanding();
    return now;
}

bool anyoneTold(Server &server, const std::string &text) {
    for (const Event &e : server.recorder().window())
        if (e.kind == EventKind::Text && e.text == text) return true;
    return false;
}

// The same during a reload: the module keeps running, reports the memory it
// lacked (or the line too long) and keeps the configuration in force whole;
// once the file reads whole it is put in force.
TEST(ParamsLoader, AllocationFailureDuringReload) {
    const std::string example = readFile(theExample);
    long perReload = 0;
    {
        Reloading probe("");
        probe.server.writeParameterFile(example);
        const long before = probe.server.heap().allocationsMade();
        ASSERT_TRUE(hasLine(probe.reload(), "zone 16 public private "));
        perReload = probe.server.heap().allocationsMade() - before;
    }
    Reloading r("chat 1 0 public warn\nautoannounce 12:30:00 Old news\nsetrank find god\n"
                "mroombg old.png\npageresponse Old thanks\n");
    ASSERT_NE(r.wiz, nullptr);
    const InForce before = inForce(r.server);
    const std::string note = "NOTE: Operators may enter closed and passworded member rooms on this server.";
    r.server.writeParameterFile(example + std::string(299, 'x') + "\n");
    EXPECT_TRUE(hasLineStarting(r.reload(), "Line "));
    EXPECT_FALSE(anyoneTold(r.server, note));
    EXPECT_EQ(inForce(r.server), before) << "line too long";
    r.server.writeParameterFile(example);
    std::vector<std::string> kinds;
    for (long k = 1; k <= perReload; ++k) {
        r.server.heap().failOnly(k);
        for (const std::string &line : r.reload())
            if (line.rfind("Unable to get memory for ", 0) == 0) kinds.push_back(line);
        r.server.heap().stopFailing();
        EXPECT_FALSE(anyoneTold(r.server, note)) << "allocation " << k;
        EXPECT_TRUE(r.server.running()) << "allocation " << k;
        EXPECT_EQ(r.server.faults(), 0) << "allocation " << k;
        EXPECT_EQ(inForce(r.server), before) << "allocation " << k;
    }
    for (const char *kind : {"autoannounce", "setrank", "LimitValue", "RoomNumber", "mroombg"}) {
        const std::string wanted = std::string("Unable to get memory for ") + kind + ", load failed";
        EXPECT_TRUE(hasLine(kinds, wanted)) << wanted;
    }
    EXPECT_TRUE(hasLine(r.reload(), "zone 16 public private "));
    EXPECT_TRUE(anyoneTold(r.server, note));
    r.server.stop();
    EXPECT_EQ(r.server.heap().outstanding(), 0u);
}

}  // namespace

// The loader's block reader against readline: the same lines with the same
// texts, and the same first line too long, wherever a line falls in the
// blocks read (right across a block's end included).
TEST(ParamsLoader, TheBlockReaderReadsAsReadline) {
    using kestrom::ParameterLines;
    struct Line {
        std::string text;
        bool complete;
    };
    // "" when both read the same, else where they part.
    const auto difference = [](const std::vector<Line> &blocks, const std::vector<Line> &reference) {
        for (size_t i = 0; i < blocks.size() || i < reference.size(); ++i) {
            if (i >= blocks.size() || i >= reference.size())
                return "line " + std::to_string(i + 1) + " read by one reader only";
            const Line &a = blocks[i], &b = reference[i];
            if (a.complete != b.complete || (a.complete && a.text != b.text)) // a line too long ends the load
                return "line " + std::to_string(i + 1) + ": " + std::to_string(a.text.size()) + (a.complete ? "" : " too long") +
                       " against " + std::to_string(b.text.size()) + (b.complete ? "" : " too long");
        }
        return std::string();
    };
    const auto linesOf = [](std::string file, bool blocks) {
        std::vector<Line> lines;
        FILE *f = fmemopen(file.data(), file.size(), "r");
        if (!f) return lines;
        ParameterLines reader(f);
        char buffer[kestrom::PARAM_LINE_SIZE];
        for (bool complete = true; complete;) {
            size_t length = 0;
            const char *text = blocks ? reader.next(&length, &complete) : kestrom::readline(buffer, sizeof buffer, f);
            if (!text) break;
            if (!blocks) {
                length = std::strlen(text);
                complete = length > 0 && text[length - 1] == '\n';
                length -= complete;
            }
            lines.push_back({std::string(text, length), complete});
        }
        std::fclose(f);
        return lines;
    };
    std::vector<std::string> lasts;
    for (size_t length : {0, 1, 2, 150, 296, 297, 298, 299, 300, 301})
        for (const std::string &ending : std::vector<std::string>{"\n", "\r\n", "\r", "", "\r\r\n", bytes("\0\n"), bytes("\r\0")})
            lasts.push_back(std::string(length, 'a') + ending);
    lasts.push_back(bytes("ab\0cd\r\n\0\nef\0"));
    const size_t block = ParameterLines::BLOCK;
    for (const std::string &last : lasts) {
        for (size_t before : {size_t{0}, block - last.size(), block - 301, block - 300, block - 299, block - 298,
                              block - 150, block - 2, block - 1, block, block + 1}) {
            std::string file;
            while (file.size() + 100 < before) file += "# " + std::string(97, 'f') + "\n";
            if (file.size() < before) file += std::string(before - file.size() - 1, ' ') + "\n";
            file += last + "zone 1\n" + last;
            EXPECT_EQ(difference(linesOf(file, true), linesOf(file, false)), "") << before << " then " << last.size();
        }
    }
    std::mt19937 random(20260212);
    const std::string pieces[] = {"chat 5", " ", "\r", "\n", "\r\n", std::string(1, '\0'), std::string(120, 'x')};
    for (int file = 0; file < 40; ++file) {
        std::string text;
        while (text.size() < 2 * block + 500) text += pieces[random() % std::size(pieces)];
        text.resize(text.size() - random() % 400);
        EXPECT_EQ(difference(linesOf(text, true), linesOf(text, false)), "") << "file " << file;
    }
}
