// Operator and user commands in corners that scenarios cannot reach: a user
// in no room, a renaming message that cannot be allocated, and statistics
// beyond the signed 32-bit range.
#include "chat_world.h"

#include "commands/commands.h"

#include <algorithm>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

bool contains(const std::vector<std::string> &texts, const std::string &text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class OpcmdsCommands : public ::testing::Test {
protected:
    OpcmdsCommands() : world("") {
        wiz = world.addUser("Wiz", RANK_WIZARD);
        amy = world.addUser("Amy", RANK_MEMBER);
        lon = world.addUser("Lon", RANK_GUEST);
    }

    ChatWorld world;
    sim::SimUser *wiz = nullptr;
    sim::SimUser *amy = nullptr;
    sim::SimUser *lon = nullptr;
};

TEST_F(OpcmdsCommands, FindAndGotoUserInNoRoom) {
    ASSERT_TRUE(world.started);
    const RoomID home = lon->rec.user.roomID;
    lon->rec.user.roomID = sim::NO_ROOM;

    world.say(*amy, "`find Lon");
    EXPECT_TRUE(contains(world.textsTo(*amy), "Lon is in limbo"));

    world.say(*amy, "`goto Lon");
    EXPECT_TRUE(world.textsTo(*amy).empty());
    EXPECT_EQ(amy->rec.user.roomID, 1);

    lon->rec.user.roomID = home;
}

TEST_F(OpcmdsCommands, NamegagWithoutMemoryForTheRename) {
    ASSERT_TRUE(world.started);
    ServerRoomRec *room = &world.server.room(1)->rec;
    world.asCurrent(*wiz, [&](ServerState *ss) {
        world.server.heap().failOnly(1); // the renaming message
        return do_namegag(ss, world.state, &wiz->rec, room, &lon->rec, "namegag Newname", "Newname");
    });
    world.server.finishDirective();
    const auto texts = world.textsTo(*wiz);
    EXPECT_TRUE(contains(texts, "Can't get storage to change name of this user"));
    EXPECT_TRUE(contains(texts, "Page from System: Lon namegagged by Wiz as Newname"));
    EXPECT_EQ(lon->name(), "Lon");
    ASSERT_NE(world.userDatOf(*lon), nullptr);
    EXPECT_NE(world.userDatOf(*lon)->flags & UF_NAMEGAGGED, 0);
}

TEST_F(OpcmdsCommands, UserprefsPrintsWideValues) {
    ASSERT_TRUE(world.started);
    lon->rec.puidCRC = 0xC0000000u; // printed as the signed number it is stored as
    lon->rec.signonTime = static_cast<time_t>(5000000000LL); // past 2038
    world.say(*wiz, "`userprefs Lon");
    const auto texts = world.textsTo(*wiz);
    EXPECT_TRUE(contains(texts, "; Signon Time: 5000000000"));
    EXPECT_TRUE(contains(texts, "; PUID: -1073741824"));
    EXPECT_TRUE(contains(texts, "; Screen Name: Lon"));
    EXPECT_EQ(texts.size(), 13u);
}

// Every routine of the table, called the way the interpreter never calls it
// (the caller in no room, no target), with and without an argument, by an
// owner and by a guest: none may fault or crash.
TEST_F(OpcmdsCommands, EveryRoutineToleratesMissingRoomArgumentAndTarget) {
    ASSERT_TRUE(world.started);
    sim::SimUser *god = world.addUser("God", RANK_GOD);
    for (sim::SimUser *caller : {god, lon}) {
        const RoomID home = caller->rec.user.roomID;
        caller->rec.user.roomID = sim::NO_ROOM;
        for (const CmdTable &row : cmdTable) {
            if (row.implementation == &do_signoff) continue; // the caller would leave
            for (const char *arg : {static_cast<const char *>(nullptr), "Amy"}) {
                world.asCurrent(*caller, [&](ServerState *ss) {
                    return row.implementation(ss, world.state, &caller->rec, nullptr, nullptr, row.command, arg);
                });
                world.server.finishDirective();
                for (const sim::Event &e : world.server.recorder().window())
                    EXPECT_NE(e.kind, sim::EventKind::Fault) << row.command << (arg ? " Amy: " : ": ") << e.detail;
            }
        }
        caller->rec.user.roomID = home;
    }
}

TEST_F(OpcmdsCommands, GmsgTextIsNeverAFormat) {
    ASSERT_TRUE(world.started);
    world.say(*wiz, "`gmsg %s%n%x %%");
    EXPECT_TRUE(contains(world.textsTo(*lon), "%s%n%x %%"));
}

}  // namespace
