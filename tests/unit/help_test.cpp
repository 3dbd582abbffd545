// `help: exactly which lines each reader gets, in which order, and which
// requests are answered in full (swallowed) or go on to the host.
#include "chat_world.h"
#include "commands/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

using Lines = std::vector<std::string>;

const Lines classList = {
    "; List of classes of commands",
    ";    user -- Commands available to unprivileged users",
    ";    mrooms -- Commands for managing a member created room",
    ";    rmanaging -- Commands for managing user in a member created room",
    ";    rpermissions -- Commands controlling what users can do in a member created room",
};

const Lines operatorHints = {
    "; Type `help followed by a class name for a list of commands in that class.",
    "; Type `help followed by a command name for full documentation of that command.",
    "; Command name abbreviations are allowed if unambiguous.",
};

// "; usage -- help" of the named rows, in the order given.
Lines listingOf(const std::vector<const char *> &commands) {
    Lines lines;
    for (const char *command : commands) {
        const CmdTable *row = findCommand(nullptr, command);
        EXPECT_NE(row, nullptr) << command;
        if (row) lines.push_back(std::string("; ") + row->shortHelp + " -- " + row->longHelp);
    }
    return lines;
}

Lines operator+(Lines a, const Lines &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Help : public ::testing::Test {
public:
    Help() : world("# no rules\n") {
        world.addRoom(5, "Den", 900002);
        guest = world.addUser("Gus", RANK_GUEST);
        owner = world.addUser("Owner", RANK_MEMBER); // counter 900002: owns the Den
        member = world.addUser("Mem", RANK_MEMBER);
        wizard = world.addUser("Wiz", RANK_WIZARD);
        owner->rec.lastOwnedRoom = &world.server.room(5)->rec;
    }

    // Asks help with `line` as `user`; the result and the lines received.
    std::pair<int, Lines> ask(sim::SimUser *user, const char *line) {
        const int result = world.asCurrent(*user, [&](ServerState *ss) {
            return isCommandExecuted(ss, world.state, line, 0);
        });
        return {result, world.textsTo(*user)};
    }

    ChatWorld world;
    sim::SimUser *guest, *owner, *member, *wizard;
};

TEST_F(Help, AGuestWithoutARoomGetsTheRowsOfRankZero) {
    const auto [result, lines] = ask(guest, "`help");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lines, listingOf({"find", "goto", "gotoroom", "gpage", "naked", "reset", "roompage",
                                "rpage", "rwho", "setcolor", "setface", "signoff", "take"}));
}

TEST_F(Help, OwnersAndOperatorsGetTheClassList) {
    EXPECT_EQ(ask(owner, "`help"), std::make_pair(1, classList));
    EXPECT_EQ(ask(wizard, "'HELP"), std::make_pair(0, classList + operatorHints));
    EXPECT_EQ(ask(wizard, "`help   "), std::make_pair(0, classList + operatorHints));
}

struct ClassCase {
    const char *line;
    int result;
    const char *header; // null: no reply at all
    std::vector<const char *> rows;
};

TEST_F(Help, ClassKeywordsForAWizard) {
    const ClassCase cases[] = {
        {"`help perm", 0, "; Commands controlling what users can do inside this Vantry:",
         {"nolooseprops", "propfreeze", "roomprefs"}},
        {"`help rperm", 1, "; Commands controlling what users can do in a (member created) room",
         {"rlimit", "rlockdown", "rnodupavatars", "rnolooseprops", "roperatorsonly", "rpropfreeze"}},
        {"`help RMANAGING", 1, "; Commands for managing users in a (member created) room",
         {"rbanlist", "rgag", "rpin", "rpropgag", "rungag", "runpin", "runpropgag"}},
        {"`help admin", 0, "; Commands for server operations and administration:", {"kestrom"}},
        {"`help user: please", 0, "; Commands available to unprivileged users",
         {"find", "goto", "gotoroom", "gpage", "myroom", "naked", "reset", "roompage", "rpage",
          "rtake", "rwho", "setcolor", "setface", "take"}},
        {"`help manag", 0, "; Commands for operators to manage the online population:",
         {"chat", "clean", "dress", "gmsg", "killx", "listgag", "move", "namegag", "pagegag",
          "pdel", "pinx", "rannounce", "rmsg", "setpos", "signoff", "unlistgag", "unnamegag",
          "unpagegag", "userprefs"}},
        {"`help per", 0, nullptr, {}},
        {"`help users", 0, nullptr, {}},
        {"`help mrooms", 0, nullptr, {}},
        {"`help rman", 0, nullptr, {}},
    };
    for (const ClassCase &c : cases) {
        const auto [result, lines] = ask(wizard, c.line);
        EXPECT_EQ(result, c.result) << c.line;
        const Lines want = c.header ? Lines{c.header} + listingOf(c.rows) : Lines{};
        EXPECT_EQ(lines, want) << c.line;
    }
}

TEST_F(Help, AllListsEveryVisibleRowTheReaderMayUse) {
    const auto [result, lines] = ask(wizard, "`help all");
    EXPECT_EQ(result, 0);
    Lines want = {"; All commands:"};
    for (const CmdTable &row : cmdTable)
        if (!(row.flags & CF_HIDDEN) && row.rank <= RANK_WIZARD)
            want.push_back(std::string("; ") + row.shortHelp + " -- " + row.longHelp);
    EXPECT_EQ(lines, want);
}

// Rows with an owner bit are shown to owners of a member room whatever their
// rank; a member who owns nothing sees only the header.
TEST_F(Help, OwnersSeeTheOwnersRows) {
    const Lines header = {"; Commands for managing users in a (member created) room"};
    EXPECT_EQ(ask(owner, "`help rmanaging"),
              std::make_pair(1, header + listingOf({"rbanlist", "rgag", "rpin", "rpropgag",
                                                    "rungag", "runpin", "runpropgag"})));
    EXPECT_EQ(ask(member, "`help rmanaging"), std::make_pair(1, header));
    EXPECT_EQ(ask(guest, "`help rmanaging"), std::make_pair(1, header));
    const auto [result, lines] = ask(owner, "`help user");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lines, Lines{"; Commands available to unprivileged users"} +
                         listingOf({"find", "goto", "gotoroom", "gpage", "myroom", "naked", "reset",
                                    "roompage", "rpage", "rtake", "rwho", "setcolor", "setface",
                                    "take"}));
}

struct CommandCase {
    sim::SimUser *Help::*reader;
    const char *line;
    const char *usageOf; // null: no reply, the line goes on
};

TEST_F(Help, OneCommand) {
    const CommandCase cases[] = {
        {&Help::guest, "`help find", "find"},
        {&Help::guest, "`help `FIND", "find"},
        {&Help::guest, "`help 'find more words", "find"},
        {&Help::guest, "`help clean", nullptr},   // above the guest's rank
        {&Help::wizard, "`help rkick", nullptr},  // hidden
        {&Help::wizard, "`help newroom", nullptr},
        {&Help::wizard, "`help res", nullptr},    // respond: hidden
        {&Help::owner, "`help rgag", "rgag"},     // an owner bit
        {&Help::member, "`help rgag", nullptr},
        {&Help::owner, "`help myroom", "myroom"},
        {&Help::guest, "`help `", nullptr},
        {&Help::guest, "`help %s%n%x", nullptr},
    };
    for (const CommandCase &c : cases) {
        const auto [result, lines] = ask(this->*c.reader, c.line);
        EXPECT_EQ(result, c.usageOf ? 1 : 0) << c.line;
        Lines want;
        if (c.usageOf) {
            const CmdTable *row = findCommand(nullptr, c.usageOf);
            want.push_back(std::string("; Usage: ") + row->shortHelp + " -- " + row->longHelp);
        }
        EXPECT_EQ(lines, want) << c.line;
    }
}

TEST_F(Help, OnlyTheWordHelpIsAHelpRequest) {
    for (const char *line : {"`helpme", "`hel", "help", " `help", "", "`", "`help,find", "``help"}) {
        const auto [result, lines] = ask(wizard, line);
        EXPECT_EQ(result, 0) << line;
        EXPECT_TRUE(lines.empty()) << line;
    }
}

// Help reads the ranks as they stand: a row raised out of reach disappears.
TEST(HelpRanks, FollowsSetrank) {
    ChatWorld ranked("setrank find wizard\nsetrank clean guest\n");
    sim::SimUser *gus = ranked.addUser("Gus", RANK_GUEST);
    const int result = ranked.asCurrent(*gus, [&](ServerState *ss) {
        return isCommandExecuted(ss, ranked.state, "`help", 0);
    });
    EXPECT_EQ(result, 0);
    const Lines lines = ranked.textsTo(*gus);
    EXPECT_EQ(lines.front(), listingOf({"clean"}).front());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), listingOf({"find"}).front()), 0);
}

TEST_F(Help, GiveHelp) {
    world.asCurrent(*guest, [&](ServerState *ss) {
        giveHelp(ss);
        return 0;
    });
    EXPECT_EQ(world.textsTo(*guest),
              (Lines{"; kestrom usage:", "; `kestrom reload - reload parameter file"}));
}

}  // namespace
