// Member room and page commands: where the order of replies matters, the
// take-over delay as rtake, rwho and rpage all see it, and the timer record
// of a hand-over.
#include "chat_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

using Texts = std::vector<std::string>;

constexpr RoomID DEN = 200;

// The lines a user's talk put before the server, in order.
Texts linesSaidBy(ChatWorld &world, const sim::SimUser &user) {
    Texts lines;
    for (const sim::Event &e : world.server.recorder().window())
        if (e.kind == sim::EventKind::Said && e.user == &user) lines.push_back(e.text);
    return lines;
}

TEST(MemberRoomReplies, RoomPageAnswersInItsOrderThenPagesTheOperators) {
    ChatWorld world("pageresponse Help is on its way.\ngpageresponse Thanks for paging.\n");
    sim::SimUser *wiz = world.addUser("wiz", RANK_WIZARD);
    sim::SimUser *bob = world.addUser("bob", RANK_MEMBER);
    EXPECT_FALSE(world.say(*bob, "`roompage my avatar is stuck"));
    EXPECT_EQ(world.textsTo(*bob), (Texts{"Thanks for paging.",
                                          "The operators in this room have been paged",
                                          "Help is on its way."}));
    EXPECT_EQ(world.textsTo(*wiz), (Texts{"Room Page from bob: my avatar is stuck"}));
}

TEST(MemberRoomReplies, GpageConfirmsBeforeTheResponse) {
    ChatWorld world("gpageresponse An owner will read it.\n");
    sim::SimUser *zeus = world.addUser("zeus", RANK_GOD);
    sim::SimUser *bob = world.addUser("bob", RANK_MEMBER);
    EXPECT_FALSE(world.say(*bob, "`gpage the lobby is on fire"));
    EXPECT_EQ(world.textsTo(*bob), (Texts{"The owners have been paged", "An owner will read it."}));
    EXPECT_EQ(world.textsTo(*zeus), (Texts{"Owner Page from bob in Lobby (1): the lobby is on fire"}));
}

TEST(MemberRoomReplies, LockdownSaysItsLinesInOrder) {
    ChatWorld world("chat 100 1.0 altmember\n");
    world.addRoom(DEN, "Den", 900001);
    sim::SimUser *alice = world.addUser("alice", RANK_MEMBER, DEN);
    world.server.advance(1); // the logon checks link alice to her room
    EXPECT_FALSE(world.say(*alice, "`rlockdown"));
    EXPECT_EQ(linesSaidBy(world, *alice), (Texts{"`rscripts off", "`rpaint off"}));
    EXPECT_EQ(world.textsTo(*alice), (Texts{"`rlimit on", "alice is not allowing loose props"}));
}

// One moment after the owner left: what rtake, rwho and rpage say.
struct TakeOverCase {
    int delay;        // rtakedelay
    long waited;      // seconds since the owner left
    bool takenOver;   // rtake succeeds
};

TEST(MemberRoomTakeOver, TheDelayMustBeStrictlyExceeded) {
    const TakeOverCase cases[] = {
        {0, 0, false}, {0, 1, true}, {300, 300, false}, {300, 301, true}, {10, 3, false},
    };
    for (const TakeOverCase &c : cases) {
        SCOPED_TRACE("rtakedelay " + std::to_string(c.delay) + ", waited " + std::to_string(c.waited));
        ChatWorld world("rtakedelay " + std::to_string(c.delay) + "\n");
        world.addRoom(DEN, "Den", 900001);
        sim::SimUser *alice = world.addUser("alice", RANK_MEMBER, DEN);
        sim::SimUser *bob = world.addUser("bob", RANK_MEMBER, DEN);
        world.server.advance(1);
        world.server.disconnect(*alice);
        world.server.advance(c.waited);

        const std::string absent = c.takenOver ? "Room is unowned, use `rtake to become the owner"
                                               : "Room owner is not available";
        world.say(*bob, "`rwho");
        EXPECT_EQ(world.textsTo(*bob), Texts{absent});
        world.say(*bob, "`rpage hello?");
        EXPECT_EQ(world.textsTo(*bob), Texts{absent});

        world.say(*bob, "`rtake");
        if (c.takenOver) {
            EXPECT_EQ(world.textsTo(*bob), (Texts{"You now own the room", "Ownership transferred to bob"}));
            EXPECT_EQ(world.server.room(DEN)->rec.memberOwner, bob->rec.counter);
            EXPECT_EQ(bob->rec.lastOwnedRoom, &world.server.room(DEN)->rec);
        } else {
            EXPECT_EQ(world.textsTo(*bob), Texts{"Waiting for owner to return"});
            EXPECT_EQ(world.server.room(DEN)->rec.memberOwner, 900001u);
        }
    }
}

TEST(MemberRoomHandOver, TheTimerRecordIsFreedWhenItRuns) {
    ChatWorld world("");
    world.addRoom(DEN, "Den", 900001);
    sim::SimUser *alice = world.addUser("alice", RANK_MEMBER, DEN);
    sim::SimUser *bob = world.addUser("bob", RANK_MEMBER, DEN);
    world.server.advance(1);
    world.say(*alice, "hello"); // alice's first line is kept from here on
    const size_t before = world.server.heap().outstanding();

    EXPECT_TRUE(world.say(*alice, "`rowner bob"));
    EXPECT_EQ(world.server.heap().outstanding(), before + 1); // the pending hand-over check
    world.server.advance(1);
    EXPECT_EQ(world.server.heap().outstanding(), before);
    EXPECT_EQ(alice->rec.lastOwnedRoom, nullptr);
    EXPECT_EQ(bob->rec.lastOwnedRoom, &world.server.room(DEN)->rec);
}

}  // namespace
