// The fast paths of the hot code: remembered chat lines kept in reused
// blocks, one clock read per message, the command lookup by first letter,
// and the listing's decays written without printf.  Each must give exactly
// what the plain code gave.
#include "chat_world.h"
#include "commands/commands.h"
#include "commands/scan.h"
#include "params/params.h"
#include "sim/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::testing;

namespace {

// ------------------------------------------------------- remembered lines

long allocationsFor(ChatWorld &world, sim::SimUser &user, const std::string &line) {
    const long before = world.server.heap().allocationsMade();
    world.say(user, line);
    return world.server.heap().allocationsMade() - before;
}

TEST(KeptLines, TheUsersBlockIsReusedWhileLinesFit) {
    ChatWorld world("chat 1000 1 public\nrepchat 1000 1 public\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const UserDat *ud = world.userDatOf(*bob);
    const std::string longLine(200, 'x');
    struct Step {
        std::string line;
        long allocations;
    };
    const Step steps[] = {
        {"hello", 1},          // the first block, with room to spare
        {"how are you?", 0},   // fits
        {"how are you?", 0},   // a repeat: nothing to copy
        {longLine, 1},         // too long: a larger block
        {"short again", 0},    // fits the larger block
        {"", 0},
    };
    for (const Step &step : steps) {
        EXPECT_EQ(allocationsFor(world, *bob, step.line), step.allocations) << step.line;
        EXPECT_STREQ(ud->lastChat, step.line.c_str());
    }
    // Pages typed as 'smsg' share the remembered line.
    world.server.send(*bob, sim::msg::page("an operator please"));
    EXPECT_STREQ(ud->lastChat, "an operator please");

    world.server.disconnect(*bob);
    world.server.stop();
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

TEST(KeptLines, TheRoomsMimickBlockIsReusedAndShortLinesStillClearIt) {
    ChatWorld world("mimick 5 public\n");
    sim::SimUser *ann = world.addUser("Ann", RANK_GUEST);
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const auto *rd = static_cast<const RoomDat *>(
        world.server.pluginRoomInfo(sim::THE_PLUGIN_ID, &world.server.room(1)->rec));
    ASSERT_NE(rd, nullptr);
    EXPECT_TRUE(world.say(*ann, "good morning"));
    EXPECT_TRUE(world.say(*bob, "hello there"));
    EXPECT_EQ(allocationsFor(world, *bob, "good evening"), 0) << "both blocks reused";
    EXPECT_STREQ(rd->lastChat, "good evening");
    EXPECT_FALSE(world.say(*ann, "good evening")) << "still mimicking";
    EXPECT_TRUE(world.say(*ann, "hi"));
    EXPECT_EQ(rd->lastChat, nullptr);
    EXPECT_TRUE(world.say(*bob, "good evening"));
    EXPECT_STREQ(rd->lastChat, "good evening");

    world.server.stop();
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

TEST(KeptLines, NoMemoryForALongerLineForgetsTheLine) {
    ChatWorld world("chat 1000 1 public\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    EXPECT_TRUE(world.say(*bob, "hello"));
    world.server.heap().failOnly(1);
    EXPECT_TRUE(world.say(*bob, std::string(100, 'y')));
    world.server.heap().stopFailing();
    EXPECT_EQ(world.userDatOf(*bob)->lastChat, nullptr);
    EXPECT_TRUE(world.say(*bob, "hello"));
    EXPECT_STREQ(world.userDatOf(*bob)->lastChat, "hello");
}

// ------------------------------------------------------- one clock read

TEST(MessageClock, EveryMessageReadsTheClockAtMostOnce) {
    ChatWorld world("chat 1000 1 public\nspoof public\nfacechange 1000 1 public\n"
                    "roommsg 1000 1 public\navatarchange 1000 1 public\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    struct Case {
        const char *what;
        sim::Message message;
        long reads;
    };
    const Case cases[] = {
        {"a plain line", sim::msg::talk("hello"), 1},
        {"three faces and a line: four rate checks", sim::msg::talk(":):(|hello"), 1},
        {"a room message: two rate checks", sim::msg::roomMessage("hello all"), 1},
        {"props, face and colour: two rate checks", sim::msg::desc(4, 5, {{77, 0}}), 1},
        {"a command", sim::msg::talk("`find Bob"), 0},
    };
    for (const Case &c : cases) {
        const long before = sim::timeCalls();
        world.server.send(*bob, c.message);
        EXPECT_EQ(sim::timeCalls() - before, c.reads) << c.what;
    }
    // Each message reads the clock afresh.
    world.say(*bob, "one");
    world.server.advance(3);
    const time_t earlier = world.userDatOf(*bob)->chat.lastTime;
    world.say(*bob, "two");
    EXPECT_EQ(world.userDatOf(*bob)->chat.lastTime, earlier + 3);
}

// ------------------------------------------------- command lookup

// The first row in table order that the typed word names: the plain scan.
const CmdTable *scanAllRows(const char *typed) {
    for (const CmdTable &row : cmdTable) {
        const int minimum = row.minimum ? row.minimum : static_cast<int>(std::strlen(row.command));
        if (wordMinCmp(typed, row.command, minimum) == 0) return &row;
    }
    return nullptr;
}

TEST(CommandLookup, TheLetterIndexFindsWhatAScanOfEveryRowFinds) {
    std::vector<std::string> typed = {"", " find", "1find", "_find", "`find", "Find", "FIND bob",
                                      "find,bob", "zzz", "rUNK", "r", "re", "res", "reset!"};
    for (const CmdTable &row : cmdTable) {
        const std::string word = row.command;
        for (size_t n = 1; n <= word.size() + 1; ++n) {
            std::string prefix = word.substr(0, n);
            if (n > word.size()) prefix += "x";
            typed.push_back(prefix);
            for (char &c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            typed.push_back(prefix);
        }
    }
    for (const std::string &word : typed)
        EXPECT_EQ(findCommand(nullptr, word.c_str()), scanAllRows(word.c_str())) << '"' << word << '"';
}

// ------------------------------------------------- listing of decays

// The listing line of one chat rule with the given decay.
std::string listedRate(sim::Server &server, double decay) {
    LimitValue rule{};
    rule.roomsChecked = RC_PUBLIC;
    rule.maximum = 10;
    rule.decay = decay;
    server.recorder().openWindow();
    showTypeLimits(nullptr, "chat", &rule, 1);
    for (const sim::Event &e : server.recorder().window())
        if (e.kind == sim::EventKind::Log) return e.text;
    return "(nothing logged)";
}

std::string printedRate(double decay) {
    char text[128];
    std::snprintf(text, sizeof text, "kestrom: chat 10 %g public ", decay);
    return text;
}

TEST(ListingDecays, AreWrittenAsPrintfWritesThem) {
    sim::Server server;
    std::vector<double> decays = {0.0, -0.0, 1, 1.5, 0.5, 0.05, 0.001, 0.0001, 0.00005, 9.99999e-5,
                                  0.1, 0.2, 0.3, 0.1 + 0.2, 1.0 / 3, 2.0 / 3, 2.675, 12.5, 100,
                                  123456, 999999, 999999.5, 1e6, 1234567, 123456.7, 0.0001234,
                                  0.000123, -1.5, -0.25, 1e300, 1e-300,
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (int k = 0; k <= 20000; ++k) decays.push_back(k / 1000.0);
    for (int k = 0; k <= 2000; ++k) decays.push_back(k * 1e-6);
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> anywhere(0.0, 2e6);
    for (int k = 0; k < 5000; ++k) decays.push_back(anywhere(random));
    for (const char *written : {"1.50", "0.05", "3.14159", "2.71828", "0.333333", "7e-3", "1e5"})
        decays.push_back(std::strtod(written, nullptr));

    int mismatches = 0;
    for (double decay : decays) {
        const std::string listed = listedRate(server, decay);
        if (listed == printedRate(decay)) continue;
        if (++mismatches <= 10) ADD_FAILURE() << "decay " << decay << ": " << listed;
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
