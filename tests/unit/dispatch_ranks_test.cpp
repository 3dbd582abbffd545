// Ranks are what keeps users out of operator powers.  For every row of the
// command table, every issuer rank, every kind of room ownership and every
// way of naming a target, dispatch must refuse with the right text or hand
// the routine exactly the target that the row's ranks allow - with the
// built-in ranks and again after setrank lines have changed them.
#include "chat_world.h"
#include "commands/commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

// What the routine was handed when dispatch called it.
struct Call {
    bool made = false;
    ServerUserRec *user = nullptr;
    ServerRoomRec *room = nullptr;
    ServerUserRec *target = nullptr;
    std::string cmd;
    bool hasArg = false;
    std::string arg;
};

Call theCall;

int recordCall(ServerState *, MyState *, ServerUserRec *user, ServerRoomRec *room,
               ServerUserRec *target, const char *cmd, const char *cp) {
    theCall = Call{true, user, room, target, cmd, cp != nullptr, cp ? cp : ""};
    return 1;
}

// Puts a recording routine into one row for as long as it lives.
class RoutineSwap {
public:
    explicit RoutineSwap(CmdTable &row) : row_(row), saved_(row.implementation) {
        row.implementation = recordCall;
    }
    ~RoutineSwap() { row_.implementation = saved_; }

private:
    CmdTable &row_;
    CommandRoutine saved_;
};

enum class Ownership { None, Elsewhere, Here };
enum class Who { Nobody, Issuer, Victim };

// How the command line names its target.
struct Mode {
    const char *name;
    const char *argument; // null: none
    bool whispered;
    bool toDeparted; // whispered to a user who has left
};

constexpr Mode modes[] = {
    {"aloud",                 nullptr,       false, false},
    {"aloud, named",          "Victim",      false, false},
    {"aloud, named missing",  "Nobody",      false, false},
    {"whispered",             nullptr,       true,  false},
    {"whispered, with text",  "hello there", true,  false},
    {"whispered to departed", nullptr,       true,  true},
};

struct Case {
    int issuerRank;
    Ownership ownership;
    int victimRank;
    const Mode *mode;
};

struct Verdict {
    std::vector<std::string> replies; // texts to the issuer, in order
    bool ran = false;
    Who target = Who::Nobody;
};

const char *const NOT_OWNER = "Sorry - you are not the owner of this room";
const char *const NOT_PRIVILEGED = "Sorry - you are not privileged to use that command";

// The verdict the rules of dispatch give for one row and one case.
Verdict expectedVerdict(const CmdTable &row, const Case &c) {
    const auto has = [&](int flag) { return (row.flags & flag) != 0; };
    const int rank = c.issuerRank;
    const bool ownsHere = c.ownership == Ownership::Here && rank > RANK_GUEST;
    const bool ownsSome = c.ownership != Ownership::None;
    const char *arg = c.mode->argument;
    Verdict v;

    if (rank < row.rank) {
        if (has(CF_ROOMOWNER) && !ownsHere) return Verdict{{NOT_OWNER}};
        if (!has(CF_ROOMOWNER) && !(has(CF_ANYOWNER) && ownsSome)) return Verdict{{NOT_PRIVILEGED}};
    }
    const bool mayDirect = rank >= row.targetRank || (has(CF_ROOMOWNER) && ownsHere);
    int targetRank = rank;
    if (!mayDirect) {
        v.target = Who::Issuer;
    } else if (!has(CF_TARGETNAME) && !has(CF_WHISPERONLY) && row.targetRank > RANK_GOD) {
        v.target = Who::Nobody;
    } else if (c.mode->whispered) {
        if (c.mode->toDeparted) return Verdict{{"Whisper target not found"}};
        v.target = Who::Victim;
        targetRank = c.victimRank;
    } else if (has(CF_WHISPERONLY)) {
        return Verdict{{std::string(row.shortHelp) + " (must be whispered to another user)"}};
    } else if (arg && has(CF_TARGETNAME)) {
        if (std::strcmp(arg, "Victim") != 0) return Verdict{{"User " + std::string(arg) + " not found"}};
        v.target = Who::Victim;
        targetRank = c.victimRank;
    } else {
        v.target = Who::Issuer;
    }
    if (v.target != Who::Nobody && !has(CF_ANYTARGET) && rank < targetRank)
        return Verdict{{"You can't control Victim"}};

    const std::string suffix = rank >= row.targetRank ? " (can be whispered to another user)" : "";
    const bool onOrOff = arg && (std::strcmp(arg, "on") == 0 || std::strcmp(arg, "off") == 0);
    if (has(CF_ONOFF) && arg && !onOrOff) v.replies.push_back(row.shortHelp + suffix);
    if ((has(CF_NEEDSARG) && !arg) || (has(CF_NOARGS) && arg) ||
        (has(CF_NOTSELF) && v.target == Who::Issuer)) {
        v.replies.push_back("Usage: " + std::string(row.shortHelp) + suffix);
        return v;
    }
    v.ran = true;
    return v;
}

const char *whoText(Who who) {
    switch (who) {
    case Who::Nobody: return "nobody";
    case Who::Issuer: return "the issuer";
    case Who::Victim: return "the victim";
    }
    return "?";
}

class DispatchRanks : public ::testing::Test {
protected:
    // Lobby (room 1); Den (room 5) belongs to the issuer's counter.
    void build(const std::string &params) {
        world = std::make_unique<ChatWorld>(params);
        ASSERT_TRUE(world->started);
        den = world->addRoom(5, "Den", 900001);
        issuer = world->addUser("Issuer", RANK_GUEST);
        victim = world->addUser("Victim", RANK_GUEST);
        departed = world->addUser("Departed", RANK_GUEST);
        departedID = departed->id();
        world->server.disconnect(*departed);
    }

    void arrange(const Case &c) {
        issuer->rank = c.issuerRank;
        victim->rank = c.victimRank;
        issuer->rec.lastOwnedRoom = c.ownership == Ownership::None ? nullptr : &den->rec;
        sim::SimRoom &where = c.ownership == Ownership::Here ? *den : *world->server.room(1);
        if (issuer->roomID() != where.id()) world->server.place(*issuer, where);
    }

    ServerUserRec *recOf(Who who) {
        switch (who) {
        case Who::Nobody: return nullptr;
        case Who::Issuer: return &issuer->rec;
        case Who::Victim: return &victim->rec;
        }
        return nullptr;
    }

    // Runs one case of one row and compares it with the rules.
    void check(CmdTable &row, const Case &c) {
        arrange(c);
        std::string line = std::string("`") + row.command;
        if (c.mode->argument) line += std::string(" ") + c.mode->argument;
        const UserID whisperTarget =
            !c.mode->whispered ? 0 : (c.mode->toDeparted ? departedID : victim->id());

        theCall = Call{};
        const int result = world->asCurrent(*issuer, [&](ServerState *ss) {
            return dispatchCommand(line.c_str(), ss, world->state, whisperTarget);
        });
        const Verdict want = expectedVerdict(row, c);
        const std::string where = std::string(row.command) + ", issuer rank " +
                                  std::to_string(c.issuerRank) + ", ownership " +
                                  std::to_string(static_cast<int>(c.ownership)) + ", victim rank " +
                                  std::to_string(c.victimRank) + ", " + c.mode->name;
        ++casesRun;
        EXPECT_EQ(result, 1) << where;
        EXPECT_EQ(world->textsTo(*issuer), want.replies) << where;
        EXPECT_TRUE(world->textsTo(*victim).empty()) << where;
        ASSERT_EQ(theCall.made, want.ran) << where;
        if (!want.ran) return;
        EXPECT_EQ(theCall.target, recOf(want.target)) << where << ": wanted " << whoText(want.target);
        EXPECT_EQ(theCall.user, &issuer->rec) << where;
        EXPECT_EQ(theCall.room, &world->server.room(issuer->roomID())->rec) << where;
        EXPECT_EQ(theCall.cmd, line.substr(1)) << where;
        EXPECT_EQ(theCall.hasArg, c.mode->argument != nullptr) << where;
        if (c.mode->argument) {
            EXPECT_EQ(theCall.arg, c.mode->argument) << where;
        }
    }

    void checkEveryRow() {
        for (CmdTable &row : cmdTable) {
            RoutineSwap swap(row);
            const bool owners = (row.flags & (CF_ROOMOWNER | CF_ANYOWNER)) != 0;
            for (int rank = RANK_GUEST; rank <= RANK_GOD; ++rank)
                for (Ownership own : {Ownership::None, Ownership::Elsewhere, Ownership::Here}) {
                    if (!owners && own != Ownership::None) continue;
                    for (int victimRank = RANK_GUEST; victimRank <= RANK_GOD; ++victimRank)
                        for (const Mode &mode : modes) check(row, Case{rank, own, victimRank, &mode});
                }
        }
    }

    std::unique_ptr<ChatWorld> world;
    sim::SimRoom *den = nullptr;
    sim::SimUser *issuer = nullptr;
    sim::SimUser *victim = nullptr;
    sim::SimUser *departed = nullptr;
    UserID departedID = 0;
    int casesRun = 0;
};

TEST_F(DispatchRanks, EveryRowFollowsItsBuiltInRanks) {
    build("# no rules\n");
    checkEveryRow();
    EXPECT_GT(casesRun, NBR_COMMANDS * 4 * 4 * 6 - 1);
}

// setrank lines move every row's ranks around (targets only where the row
// can be targeted at all); dispatch follows the table as it now stands.
TEST_F(DispatchRanks, EveryRowFollowsRanksChangedBySetrank) {
    std::string params;
    for (int i = 0; i < NBR_COMMANDS; ++i) {
        const CmdTable &row = cmdTable[i];
        params += "setrank " + std::string(row.command) + " " + std::to_string(i % 5);
        if (row.targetRank != RANK_DISABLE) params += " " + std::to_string((3 * i + 1) % 5);
        params += "\n";
    }
    int builtInTarget[NBR_COMMANDS];
    for (int i = 0; i < NBR_COMMANDS; ++i) builtInTarget[i] = cmdTable[i].targetRank;
    build(params);
    for (int i = 0; i < NBR_COMMANDS; ++i) {
        ASSERT_EQ(cmdTable[i].rank, i % 5) << cmdTable[i].command;
        const int wantTarget = builtInTarget[i] == RANK_DISABLE ? RANK_DISABLE : (3 * i + 1) % 5;
        ASSERT_EQ(cmdTable[i].targetRank, wantTarget) << cmdTable[i].command;
    }
    checkEveryRow();
}

// A disabled row is closed to everyone; an owner still gets a row that lets
// owners in, in the owner's own room only.
TEST_F(DispatchRanks, DisabledRowsStayClosedExceptToOwners) {
    build("setrank chat disable\nsetrank rgag disable\n");
    for (int rank = RANK_GUEST; rank <= RANK_GOD; ++rank) {
        arrange(Case{rank, Ownership::None, RANK_GUEST, &modes[0]});
        const int result = world->asCurrent(*issuer, [&](ServerState *ss) {
            return dispatchCommand("`chat hello", ss, world->state, victim->id());
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(world->textsTo(*issuer), std::vector<std::string>{NOT_PRIVILEGED}) << rank;
    }
    CmdTable *rgag = findCommand(world->state, "rgag");
    ASSERT_NE(rgag, nullptr);
    RoutineSwap swap(*rgag);
    arrange(Case{RANK_MEMBER, Ownership::Here, RANK_GUEST, &modes[1]});
    theCall = Call{};
    world->asCurrent(*issuer, [&](ServerState *ss) {
        return dispatchCommand("`rgag Victim", ss, world->state, 0);
    });
    EXPECT_TRUE(theCall.made);
    EXPECT_EQ(theCall.target, &victim->rec);
    arrange(Case{RANK_GOD, Ownership::Elsewhere, RANK_GUEST, &modes[1]});
    theCall = Call{};
    world->asCurrent(*issuer, [&](ServerState *ss) {
        return dispatchCommand("`rgag Victim", ss, world->state, 0);
    });
    EXPECT_FALSE(theCall.made);
    EXPECT_EQ(world->textsTo(*issuer), std::vector<std::string>{NOT_OWNER});
}

// Lines that name no command go on untouched; an issuer in no room is
// ignored without a word.
TEST_F(DispatchRanks, UnknownCommandsPassAndRoomlessIssuersAreIgnored) {
    build("# no rules\n");
    for (const char *line : {"`", "'", "`n", "`newrooms", "`run", "`fin", "`helpme", "`%s%n"}) {
        const int result = world->asCurrent(*issuer, [&](ServerState *ss) {
            return dispatchCommand(line, ss, world->state, 0);
        });
        EXPECT_EQ(result, 0) << line;
        EXPECT_TRUE(world->textsTo(*issuer).empty()) << line;
    }
    CmdTable *find = findCommand(world->state, "find");
    ASSERT_NE(find, nullptr);
    RoutineSwap swap(*find);
    theCall = Call{};
    const RoomID saved = issuer->rec.user.roomID;
    issuer->rec.user.roomID = 999; // a room that does not exist
    const int result = world->asCurrent(*issuer, [&](ServerState *ss) {
        return dispatchCommand("`find Victim", ss, world->state, 0);
    });
    issuer->rec.user.roomID = saved;
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(theCall.made);
    EXPECT_TRUE(world->textsTo(*issuer).empty());
}

}  // namespace
