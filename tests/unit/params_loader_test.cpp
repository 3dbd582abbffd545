// The parameter-file loader against bad input and exhausted memory: any
// byte sequence loads or fails with a report, never a crash or a leak, and
// a failed reload leaves the module running.
#include "sim/linked_module.h"
#include "sim/server.h"

#include <gtest/gtest.h>

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
        server.useModule(linkedModule());
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
        {"carriage returns", "chat 5 1 public\r\n", true, "Problem Unrecognized room type \"public\r\", ignored in line 1 of parameter file: chat 5 1 public\r"},
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

TEST(ParamsLoader, DirectoryIsRefusedBeforeAnythingChanges) {
    World w;
    const std::string dir = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(w.server.start({dir}));
    const std::vector<std::string> log = logLines(w.server);
    EXPECT_TRUE(hasLine(log, "Open failed Is a directory, errno=21, on file " + dir));
    EXPECT_TRUE(hasLine(log, "*** kestrom initialization failed ***"));
    EXPECT_EQ(w.server.heap().outstanding(), 0u);
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

TEST(ParamsLoader, ReloadOfAMissingFileKeepsTheConfiguration) {
    Reloading r("chat 1 0 public warn\n");
    ASSERT_NE(r.wiz, nullptr);
    ASSERT_NE(r.guest, nullptr);
    std::filesystem::remove(r.path);
    const std::vector<std::string> log = r.reload();
    EXPECT_TRUE(hasLine(log, "Open failed No such file or directory, errno=2, on file " + r.path));
    EXPECT_FALSE(hasLineStarting(log, "chat "));
    EXPECT_TRUE(r.says(*r.guest, "one"));
    EXPECT_FALSE(r.says(*r.guest, "two")); // the chat rule still holds
    EXPECT_TRUE(r.server.running());
    r.server.stop();
    EXPECT_EQ(r.server.heap().outstanding(), 0u);
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

// The same during a reload: the module keeps running, reports the memory it
// lacked, and reads the whole file again once memory is back.
TEST(ParamsLoader, AllocationFailureDuringReload) {
    Reloading r(readFile(theExample));
    ASSERT_NE(r.wiz, nullptr);
    const long before = r.server.heap().allocationsMade();
    ASSERT_TRUE(hasLine(r.reload(), "zone 16 public private "));
    const long perReload = r.server.heap().allocationsMade() - before;
    std::vector<std::string> kinds;
    for (long k = 1; k <= perReload; ++k) {
        r.server.heap().failOnly(k);
        for (const std::string &line : r.reload())
            if (line.rfind("Unable to get memory for ", 0) == 0) kinds.push_back(line);
        r.server.heap().stopFailing();
        EXPECT_TRUE(r.server.running()) << "allocation " << k;
        EXPECT_EQ(r.server.faults(), 0) << "allocation " << k;
    }
    for (const char *kind : {"autoannounce", "setrank", "LimitValue", "RoomNumber", "mroombg"}) {
        const std::string wanted = std::string("Unable to get memory for ") + kind + ", load failed";
        EXPECT_TRUE(hasLine(kinds, wanted)) << wanted;
    }
    EXPECT_TRUE(hasLine(r.reload(), "zone 16 public private "));
    r.server.stop();
    EXPECT_EQ(r.server.heap().outstanding(), 0u);
}

}  // namespace
