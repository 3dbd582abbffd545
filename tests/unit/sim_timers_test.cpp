// The simulated server's timers: absolute due times, ties in the order they
// were set, each run at its own time, and what the server still holds
// returned at stop.
#include "sim/clock.h"
#include "sim_fake_module.h"

#include <gtest/gtest.h>

using kestrom::simtest::FakeModule;
using kestrom::simtest::FakeWorld;

namespace {

// A timer payload from the module's heap carrying a tag.
int *tagged(int tag) {
    int *data = static_cast<int *>(NewPtr(sizeof(int)));
    *data = tag;
    return data;
}

struct TimerRun {
    int tag;
    time_t at;
    bool operator==(const TimerRun &) const = default;
};

TEST(SimTimers, RunInDueOrderTiesInSettingOrderEachAtItsTime) {
    FakeWorld world;
    std::vector<TimerRun> runs;
    FakeModule::onTimer = [&](ServerState *, void *data) {
        runs.push_back({*static_cast<int *>(data), time(nullptr)});
        DisposePtr(data);
    };
    const time_t t0 = world.server.now();
    scheduleTimerEvent(1, tagged(1), 2);
    scheduleTimerEvent(1, tagged(2), 1);
    scheduleTimerEvent(1, tagged(3), 1);
    scheduleTimerEvent(1, tagged(4), 0);
    scheduleTimerEvent(1, tagged(5), -3); // a negative delay counts as none
    world.server.advance(2);
    const std::vector<TimerRun> expected = {{4, t0}, {5, t0}, {2, t0 + 1}, {3, t0 + 1}, {1, t0 + 2}};
    EXPECT_EQ(runs, expected);
    EXPECT_EQ(world.server.now(), t0 + 2);
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

TEST(SimTimers, OnlyDueTimersRunAfterADirective) {
    FakeWorld world;
    int ran = 0;
    FakeModule::onTimer = [&](ServerState *, void *data) {
        ++ran;
        DisposePtr(data);
    };
    scheduleTimerEvent(1, tagged(1), 0);
    scheduleTimerEvent(1, tagged(2), 1);
    world.server.finishDirective();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(world.server.pendingTimers(), 1u);
}

TEST(SimTimers, ReArmedTimersRunWithinOneAdvance) {
    FakeWorld world;
    std::vector<time_t> at;
    FakeModule::onTimer = [&](ServerState *, void *data) {
        at.push_back(time(nullptr));
        if (at.size() < 5) scheduleTimerEvent(1, data, at.size() % 2 ? 0 : 10);
        else DisposePtr(data);
    };
    const time_t t0 = world.server.now();
    scheduleTimerEvent(1, tagged(1), 10);
    world.server.advance(25);
    const std::vector<time_t> expected = {t0 + 10, t0 + 10, t0 + 20, t0 + 20};
    EXPECT_EQ(at, expected);
    world.server.advance(10);
    EXPECT_EQ(at.size(), 5u);
    EXPECT_EQ(at.back(), t0 + 30);
}

TEST(SimTimers, ADelayOfNoneRunsAfterTheMoveThatSetIt) {
    FakeWorld world;
    kestrom::sim::SimUser *bob = world.addUser("Bob", 1);
    RoomID seenIn = 0;
    FakeModule::onMessage = [&](ServerState *ss, ClientMsg *m) {
        if (m->eventType == KESTROM_FOURCC('n', 'a', 'v', 'R')) scheduleTimerEvent(1, ss->currentUser, 0);
        return m;
    };
    FakeModule::onTimer = [&](ServerState *, void *data) {
        seenIn = static_cast<ServerUserRec *>(data)->user.roomID;
    };
    world.server.send(*bob, kestrom::sim::msg::gotoRoom(2));
    EXPECT_EQ(seenIn, 0) << "not before the directive ends";
    world.server.finishDirective();
    EXPECT_EQ(seenIn, 2);
}

TEST(SimTimers, StopReleasesHeldTimerDataAfterShutdown) {
    FakeWorld world;
    scheduleTimerEvent(1, tagged(1), 5);
    scheduleTimerEvent(1, tagged(2), 86400);
    EXPECT_EQ(world.server.heap().outstanding(), 2u);
    world.server.stop();
    EXPECT_EQ(FakeModule::calls.back(), "shutdown");
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
    EXPECT_EQ(world.server.pendingTimers(), 0u);
    EXPECT_EQ(world.server.faults(), 0);
}

TEST(SimTimers, TheClockStartsAtNoonOnTheFifthOfJanuary2026InUtc) {
    FakeWorld world;
    const time_t now = time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(local.tm_year, 126);
    EXPECT_EQ(local.tm_mon, 0);
    EXPECT_EQ(local.tm_mday, 5);
    EXPECT_EQ(local.tm_hour, 12);
    world.server.setTimeOfDay(23, 59, 30);
    world.server.advance(45);
    const time_t later = world.server.now();
    localtime_r(&later, &local);
    EXPECT_EQ(local.tm_mday, 6);
    EXPECT_EQ(local.tm_min, 0);
    EXPECT_EQ(local.tm_sec, 15);
}

}  // namespace
