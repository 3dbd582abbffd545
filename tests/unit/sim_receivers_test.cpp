// Who receives the module's texts on each channel, kill texts, and the form
// of log lines.
#include "sim_fake_module.h"

#include <gtest/gtest.h>

using kestrom::sim::Event;
using kestrom::sim::EventKind;
using kestrom::simtest::FakeModule;
using kestrom::simtest::FakeWorld;

namespace {

struct ReceiverWorld : FakeWorld {
    kestrom::sim::SimUser *guest = addUser("Guest", 1, 0, 1);
    kestrom::sim::SimUser *member = addUser("Member", 2, 1, 1);
    kestrom::sim::SimUser *wizard = addUser("Wizard", 3, 2, 2);
    kestrom::sim::SimUser *god = addUser("God", 4, 3, 1);
    ServerRoomRec *lobby = &server.room(1)->rec;
};

TEST(SimReceivers, EachChannelReachesItsAudience) {
    struct Case {
        const char *channel;
        std::function<void(ReceiverWorld &)> send;
        const char *expected;
    };
    const Case cases[] = {
        {"UserMessage", [](ReceiverWorld &w) { UserMessage(&w.member->rec, "t%d", 1); }, "Member"},
        {"UserPrivateMessage", [](ReceiverWorld &w) { UserPrivateMessage(&w.wizard->rec, "t"); }, "Wizard"},
        {"RoomMessage", [](ReceiverWorld &w) { RoomMessage(w.lobby, "t"); }, "Guest, Member, God"},
        {"GlobalMessage", [](ReceiverWorld &) { GlobalMessage("t"); }, "Guest, Member, Wizard, God"},
        {"WizGlobalMessage", [](ReceiverWorld &) { WizGlobalMessage("t"); }, "Wizard, God"},
        {"GodGlobalMessage", [](ReceiverWorld &) { GodGlobalMessage("t"); }, "God"},
        {"WizRoomMessage", [](ReceiverWorld &w) { WizRoomMessage(w.lobby, "t"); }, "God"},
        {"WizNeighborMessage", [](ReceiverWorld &w) { WizNeighborMessage(&w.guest->rec, "t"); }, "Wizard, God"},
    };
    for (const Case &c : cases) {
        ReceiverWorld world;
        world.server.recorder().openWindow();
        c.send(world);
        const auto &window = world.server.recorder().window();
        ASSERT_EQ(window.size(), 1u) << c.channel;
        EXPECT_EQ(window[0].channel, c.channel);
        EXPECT_EQ(kestrom::sim::namesOf(window[0].receivers), c.expected) << c.channel;
    }
}

TEST(SimReceivers, AKillShowsItsTextThenDisconnectsWhenTheCallReturns) {
    ReceiverWorld world;
    bool stillThereDuringCall = false;
    FakeModule::onMessage = [&](ServerState *ss, ClientMsg *m) {
        ScheduleUserKill(ss->currentUser, KILL_WITHTEXT, "Duplicate IP limit exceeded", 0);
        stillThereDuringCall = GetServerUser(ss->currentUser->user.userID) != nullptr;
        return m;
    };
    world.server.recorder().openWindow();
    world.server.send(*world.guest, kestrom::sim::msg::talk("hello"));
    EXPECT_TRUE(stillThereDuringCall);
    EXPECT_FALSE(world.guest->connected);
    EXPECT_EQ(world.texts(), std::vector<std::string>{"kill>Guest:Duplicate IP limit exceeded"});
    EXPECT_EQ(FakeModule::calls.back(), "userDeletion:1");
    EXPECT_EQ(world.server.room(1)->rec.room.nbrPeople, 2);
    for (const Event &e : world.server.recorder().window())
        EXPECT_NE(e.kind, EventKind::Said) << "a killed user's message is not carried out";
}

TEST(SimReceivers, LogLinesJoinTagAndText) {
    struct Case {
        const char *tag;
        const char *line;
    };
    const Case cases[] = {
        {"kestrom", "kestrom: Usage"},
        {"DISASTER: ", "DISASTER: Usage"},
        {"pinx ", "pinx Usage"},
        {"", "Usage"},
        {nullptr, "Usage"},
    };
    ReceiverWorld world;
    for (const Case &c : cases) {
        world.server.recorder().openWindow();
        FormattedLogMessage(c.tag ? &world.god->rec : nullptr, c.tag, "%s", "Usage");
        ASSERT_EQ(world.server.recorder().window().size(), 1u);
        const Event &e = world.server.recorder().window()[0];
        EXPECT_EQ(e.text, c.line);
        EXPECT_EQ(e.user, c.tag ? world.god : nullptr);
    }
}

TEST(SimReceivers, TextsForUsersTheServerDoesNotHaveAreFaults) {
    ReceiverWorld world;
    ServerUserRec stranger{};
    UserMessage(&stranger, "hello");
    UserMessage(nullptr, "hello");
    ServerUserRec *gone = &world.guest->rec;
    world.server.disconnect(*world.guest);
    UserMessage(gone, "hello");
    EXPECT_EQ(world.server.faults(), 3);
}

}  // namespace
