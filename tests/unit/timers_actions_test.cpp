// Timer actions: what happens to an event whose user has gone or is not
// ready, the logon checks (dupip patterns, owned rooms), forgetting a room
// that changed hands, dead announcements, and running out of memory in the
// member discipline commands.
#include "chat_world.h"
#include "core/memory.h"
#include "rooms/rooms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

// Hands the host an event as the module would.
void schedule(UserID userID, int32_t action, sint32 seconds = 0, void *param = nullptr) {
    TimerEvent *event = newZeroed<TimerEvent>();
    ASSERT_NE(event, nullptr);
    event->userID = userID;
    event->action = action;
    event->param = param;
    scheduleTimerEvent(sim::THE_PLUGIN_ID, event, seconds);
}

class Timers : public ::testing::Test {
  protected:
    ChatWorld world{"mroomdiscipline 5\n"};
    sim::SimRoom *den = world.addRoom(10, "Den", 5000);

    void SetUp() override { ASSERT_TRUE(world.started); }

    // Settles every arrival event, then notes the blocks and timers held.
    void settle() {
        world.server.advance(2);
        heldBlocks = world.server.heap().outstanding();
        heldTimers = world.server.pendingTimers();
    }
    void expectNothingHeldBeyondSettled() {
        EXPECT_EQ(world.server.heap().outstanding(), heldBlocks);
        EXPECT_EQ(world.server.pendingTimers(), heldTimers);
    }
    size_t heldBlocks = 0, heldTimers = 0;
};

TEST_F(Timers, EventsForDepartedUsersAndUnknownActionsAreFreed) {
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    settle();
    const UserID gone = bob->id();
    for (int32_t action = TA_WIZARDS_MAY; action <= TA_DROP_OWNED; ++action)
        if (action != TA_ANNOUNCE) schedule(gone, action, 1);
    world.server.disconnect(*bob);
    schedule(gone, 42);
    schedule(0, -1);
    world.server.advance(1);
    expectNothingHeldBeyondSettled();
}

TEST_F(Timers, AnnouncementWithoutItsTextDiesQuietly) {
    sim::SimUser *amy = world.addUser("Amy", RANK_GUEST);
    settle();
    world.server.recorder().openWindow();
    schedule(0, TA_ANNOUNCE);
    world.server.advance(86400 * 2);
    EXPECT_TRUE(world.textsTo(*amy).empty());
    expectNothingHeldBeyondSettled();
}

TEST_F(Timers, LogonChecksWaitForTheIdentity) {
    sim::SimUser *bob = world.addUser("Bob", RANK_MEMBER);
    settle();
    bob->rec.counter = 0;
    bob->rec.crc = 0;
    bob->rec.flags &= static_cast<uint16>(~HF_IDENTIFIED);
    schedule(bob->id(), TA_LOGON_CHECKS);
    world.server.runDueTimers();
    world.server.advance(5);
    EXPECT_EQ(world.server.pendingTimers(), heldTimers + 1); // retried each second
    EXPECT_EQ(world.server.heap().outstanding(), heldBlocks + 1);
    bob->rec.counter = 5000;
    world.server.advance(1);
    EXPECT_EQ(bob->rec.lastOwnedRoom, &den->rec); // the returning owner's room
    expectNothingHeldBeyondSettled();
}

TEST_F(Timers, EntryActionsWaitForARoom) {
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    settle();
    world.server.room(1)->removeOccupant(bob->id());
    bob->rec.user.roomID = sim::NO_ROOM;
    schedule(bob->id(), TA_SANCTIONS);
    schedule(bob->id(), TA_ENTRY_CHECKS);
    world.server.advance(3);
    EXPECT_EQ(world.server.pendingTimers(), heldTimers + 2);
    world.server.place(*bob, *den);
    world.server.advance(1);
    expectNothingHeldBeyondSettled();
}

TEST_F(Timers, NoOwnedRoomForAnUnknownCounter) {
    sim::SimUser *zed = world.addUser("Zed", RANK_MEMBER);
    settle();
    zed->rec.counter = 0; // public rooms have memberOwner 0 too
    schedule(zed->id(), TA_LOGON_CHECKS);
    world.server.runDueTimers();
    EXPECT_EQ(zed->rec.lastOwnedRoom, nullptr);
}

TEST_F(Timers, ForgettingARoomThatChangedHands) {
    sim::SimUser *olive = world.addUser("Olive", RANK_MEMBER, 10);
    olive->rec.counter = 5000;
    world.server.advance(1);
    ASSERT_EQ(olive->rec.lastOwnedRoom, &den->rec);

    schedule(olive->id(), TA_DROP_OWNED);
    world.server.runDueTimers();
    EXPECT_EQ(olive->rec.lastOwnedRoom, &den->rec); // still hers

    den->rec.memberOwner = 6000;
    schedule(olive->id(), TA_DROP_OWNED);
    world.server.runDueTimers();
    EXPECT_EQ(olive->rec.lastOwnedRoom, nullptr);
}

struct PatternCase {
    const char *pattern;
    bool fits;
};

// Two guests on 10.0.3.4 and one rule allowing nobody else: the second goes
// exactly when the pattern fits the address.
TEST_F(Timers, DupipPatternsFitOnlyWhenWellFormed) {
    const PatternCase cases[] = {
        {"10.0.3.4", true},        {"10.0.*.*", true},       {"*.*.*.*", true},
        {"10.0.3.4  \t", true},    {"010.000.003.004", true}, {"10.0.3.5", false},
        {"11.*.*.*", false},       {"10.0.3", false},        {"10.0.3.4.5", false},
        {"10.0.3.256", false},     {"10.0.3.4x", false},     {"10.0..4", false},
        {"", false},               {"*", false},              {"99999999999.0.3.4", false},
        {"-10.0.3.4", false},      {"10.0.3.*4", false},     {"10.0.3.4.", false},
        {"10 .0.3.4", false},      {"**.0.3.4", false},
    };
    int n = 0;
    for (const PatternCase &c : cases) {
        std::string error;
        sim::UserPlan first = sim::UserPlan::numbered("First" + std::to_string(n), 50 + 2 * n);
        sim::UserPlan second = sim::UserPlan::numbered("Second" + std::to_string(n), 51 + 2 * n);
        first.address = second.address = {10, 0, 3, 4};
        ++n;
        sim::SimUser *a = world.server.connect(first, error);
        sim::SimUser *b = world.server.connect(second, error);
        ASSERT_TRUE(a && b) << error;
        world.server.advance(1); // their own logon checks, under no rule

        LimitValue *rule = newZeroed<LimitValue>();
        rule->maximum = 0;
        rule->string = copyText(c.pattern);
        world.state->limits[P_DUPIP] = rule;
        schedule(a->id(), TA_LOGON_CHECKS);
        world.server.runDueTimers();
        EXPECT_EQ(b->connected, !c.fits) << '"' << c.pattern << '"';
        EXPECT_TRUE(a->connected) << '"' << c.pattern << '"';

        world.state->limits[P_DUPIP] = nullptr;
        DisposePtr(rule->string);
        DisposePtr(rule);
        if (a->connected) world.server.disconnect(*a);
        if (b->connected) world.server.disconnect(*b);
    }
}

// Every allocation a command makes, made to fail in turn: nothing crashes,
// nothing leaks, and what was recorded holds.
struct CommandCase {
    const char *line;
    bool passes; // the line goes on to the host
};

TEST(TimersNoMemory, EveryAllocationOfTheDisciplinePaths) {
    const CommandCase cases[] = {
        {"`rgag Bob", false},  {"`rpin Bob", false},  {"`rpropgag Bob", false},
        {"`rkick Bob", true},  {"`rungag Bob", false}, {"`runkick Bob", true},
        {"`rbanlist", false},
    };
    for (const CommandCase &c : cases) {
        long allocations = -1;
        for (long k = 1;; ++k) {
            ChatWorld world{"mroomdiscipline 5\n"};
            world.addRoom(10, "Den", 5000);
            sim::SimUser *olive = world.addUser("Olive", RANK_MEMBER, 10);
            olive->rec.counter = 5000;
            sim::SimUser *bob = world.addUser("Bob", RANK_GUEST, 10);
            world.server.advance(1);
            ASSERT_NE(olive->rec.lastOwnedRoom, nullptr);

            const long before = world.server.heap().allocationsMade();
            if (allocations >= 0) world.server.heap().failOnly(k);
            EXPECT_EQ(world.say(*olive, c.line), c.passes) << c.line << " failing allocation " << k;
            const long made = world.server.heap().allocationsMade() - before;
            world.server.heap().stopFailing();
            world.server.advance(2);
            EXPECT_TRUE(bob->connected);
            world.server.stop();
            EXPECT_EQ(world.server.heap().outstanding(), 0u) << c.line << " failing allocation " << k;
            if (allocations < 0) {
                allocations = made;
                k = 0; // now fail each of them in turn
            } else if (k >= allocations) {
                break;
            }
        }
    }
}

}  // namespace
