// The simulated server's order of work and what it does of its own: the
// submitted-message queue, room entry checks, its backquote commands,
// plug-in storage, name look-up, the encoded chat and identification keys.
#include "sim_fake_module.h"

#include <gtest/gtest.h>

#include <cstring>

using kestrom::sim::Event;
using kestrom::sim::EventKind;
using kestrom::sim::SimUser;
using kestrom::simtest::FakeModule;
using kestrom::simtest::FakeWorld;
using kestrom::simtest::submittedTalk;
namespace msg = kestrom::sim::msg;

namespace {

const char *textOf(const ClientMsg *m) { return reinterpret_cast<const char *>(m + 1); }

// The lines said in the window, in order.
std::vector<std::string> said(kestrom::sim::Server &server) {
    std::vector<std::string> lines;
    for (const Event &e : server.recorder().window())
        if (e.kind == EventKind::Said) lines.push_back(e.text);
    return lines;
}

TEST(SimServer, SubmittedMessagesFollowTheMessageInHandInOrder) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    std::vector<std::string> screened;
    FakeModule::onMessage = [&](ServerState *ss, ClientMsg *m) {
        const std::string text = textOf(m);
        screened.push_back(text);
        if (text == "go") {
            deliverMessageNormal(1, submittedTalk("normal"), ss->currentUser);
            deliverMessageDirect(1, submittedTalk("direct"), ss->currentUser);
        }
        if (text == "normal") deliverMessageNormal(1, submittedTalk("appended"), ss->currentUser);
        return text == "appended" ? nullptr : m;
    };
    world.server.recorder().openWindow();
    world.server.send(*bob, msg::talk("go"));
    const std::vector<std::string> expectedScreened = {"go", "normal", "appended"};
    EXPECT_EQ(screened, expectedScreened) << "direct ones are not screened";
    const std::vector<std::string> expectedSaid = {"go", "normal", "direct"};
    EXPECT_EQ(said(world.server), expectedSaid);
}

TEST(SimServer, WithoutRecordingOnlyTheEffectsRemain) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    world.server.recorder().setEnabled(false);
    world.server.recorder().openWindow();
    FakeModule::onMessage = [](ServerState *ss, ClientMsg *m) {
        UserMessage(ss->currentUser, "%s", "noted");
        if (textOf(m)[0] != 's') deliverMessageNormal(1, submittedTalk("submitted"), ss->currentUser);
        return textOf(m)[0] == 'x' ? nullptr : m;
    };
    EXPECT_TRUE(world.server.send(*bob, msg::talk("hello")));
    EXPECT_TRUE(world.server.recorder().window().empty());
    EXPECT_EQ(world.server.heap().outstanding(), 0u);

    kestrom::sim::Message swallowed = msg::talk("x");
    kestrom::sim::Message passed = msg::talk("y");
    FakeModule::calls.clear();
    EXPECT_FALSE(world.server.screenOnly(*bob, swallowed.msg()));
    EXPECT_TRUE(world.server.screenOnly(*bob, passed.msg()));
    const std::vector<std::string> expected = {"message:talk", "message:talk"};
    EXPECT_EQ(FakeModule::calls, expected) << "what the module submits is dropped unscreened";
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

TEST(SimServer, AModuleThatSubmitsForeverIsCutOff) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    world.server.recorder().setEnabled(false);
    FakeModule::onMessage = [](ServerState *ss, ClientMsg *m) {
        deliverMessageNormal(1, submittedTalk("again"), ss->currentUser);
        return m;
    };
    world.server.send(*bob, msg::talk("start"));
    EXPECT_EQ(world.server.faults(), 1);
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

TEST(SimServer, TheServersOwnEntryChecks) {
    FakeWorld world;
    world.addRoom(3, "Shut", RMF_CLOSED);
    world.addRoom(4, "Staff", RMF_NOMEMBERS);
    world.server.room(2)->setPassword("pw");
    SimUser *member = world.addUser("Member", 1, 1);
    SimUser *wizard = world.addUser("Wizard", 2, 2);
    struct Case {
        SimUser *who;
        RoomID dest;
        RoomID endsIn;
    };
    const Case cases[] = {
        {member, 2, 1}, {member, 3, 1}, {member, 4, 1}, {member, 99, 1},
        {wizard, 2, 1}, {wizard, 3, 1}, {wizard, 4, 4},
    };
    for (const Case &c : cases) {
        world.server.place(*c.who, *world.server.room(1));
        world.server.send(*c.who, msg::gotoRoom(c.dest));
        EXPECT_EQ(c.who->roomID(), c.endsIn) << c.who->handle << " to " << c.dest;
    }
    ChangeUserRoom(&member->rec, &world.server.room(3)->rec, 1, nullptr);
    EXPECT_EQ(member->roomID(), 3) << "the module's moves are never refused";
    EXPECT_EQ(world.server.room(3)->rec.room.nbrPeople, 1);
}

TEST(SimServer, RoomEntryIsNotedWhenTheModulesCallReturns) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    FakeModule::onMessage = [&](ServerState *ss, ClientMsg *m) {
        ChangeUserRoom(ss->currentUser, GetRoom(2), 1, m);
        FakeModule::calls.push_back("returning");
        return nullptr;
    };
    FakeModule::calls.clear();
    world.server.send(*bob, msg::gotoRoom(2));
    const std::vector<std::string> expected = {"message:navR", "returning", "entry:1>2"};
    EXPECT_EQ(FakeModule::calls, expected);
}

TEST(SimServer, NewroomRowneRdelete) {
    FakeWorld world;
    world.addRoom(7, "Far");
    SimUser *alice = world.addUser("Alice", 1, 1);
    SimUser *bob = world.addUser("Bob", 2, 1);
    world.server.send(*alice, msg::talk("`newroom Alice's Den"));
    kestrom::sim::SimRoom *den = world.server.room(8);
    ASSERT_NE(den, nullptr) << "numbered above every room";
    EXPECT_EQ(den->name(), "Alice's Den");
    EXPECT_EQ(den->rec.memberOwner, alice->rec.counter);
    EXPECT_EQ(alice->rec.lastOwnedRoom, &den->rec);
    EXPECT_EQ(alice->roomID(), 8);

    world.server.send(*alice, msg::talk("`newroom Another"));
    EXPECT_EQ(world.server.room(9), nullptr) << "one room per owner";

    world.server.send(*bob, msg::gotoRoom(8));
    world.server.send(*alice, msg::talk("`rowner bob"));
    EXPECT_EQ(den->rec.memberOwner, bob->rec.counter);
    EXPECT_EQ(bob->rec.lastOwnedRoom, &den->rec);
    EXPECT_EQ(alice->rec.lastOwnedRoom, &den->rec) << "the module clears the former owner's link";

    world.server.send(*alice, msg::talk("`rdelete"));
    EXPECT_NE(world.server.room(8), nullptr) << "only the owner deletes";
    FakeModule::calls.clear();
    world.server.send(*bob, msg::talk("`rdelete"));
    EXPECT_EQ(world.server.room(8), nullptr);
    EXPECT_EQ(alice->roomID(), 1);
    EXPECT_EQ(bob->roomID(), 1);
    EXPECT_EQ(bob->rec.lastOwnedRoom, nullptr);
    EXPECT_EQ(alice->rec.lastOwnedRoom, nullptr);
    EXPECT_EQ(FakeModule::calls.back(), "roomDeletion:8");
    EXPECT_EQ(world.server.serverState().nbrRooms, 3);
}

TEST(SimServer, RkickAndKill) {
    FakeWorld world;
    SimUser *owner = world.addUser("Owner", 1, 1);
    SimUser *pest = world.addUser("Pest", 2, 0);
    SimUser *wizard = world.addUser("Wizard", 3, 2);
    world.server.send(*owner, msg::talk("`newroom"));
    world.server.send(*pest, msg::gotoRoom(3));
    world.server.send(*pest, msg::talk("`rkick Owner"));
    EXPECT_EQ(owner->roomID(), 3) << "only the owner or an operator kicks";
    world.server.send(*owner, msg::whisper(pest->id(), "`rkick"));
    EXPECT_EQ(pest->roomID(), 1);

    world.server.send(*owner, msg::whisper(pest->id(), "`kill"));
    EXPECT_TRUE(pest->connected) << "members cannot kill";
    world.server.send(*wizard, msg::whisper(pest->id(), "`kill"));
    EXPECT_FALSE(pest->connected);
}

TEST(SimServer, PluginStorageIsZeroedForEveryoneWhenSized) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    setPluginUserInfoSize(1, 16);
    setPluginRoomInfoSize(1, 8);
    auto *info = static_cast<unsigned char *>(getPluginUserInfo(1, &bob->rec));
    ASSERT_NE(info, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(info[i], 0);
    std::memset(info, 0xFF, 16);
    SimUser *carol = world.addUser("Carol", 2);
    auto *fresh = static_cast<unsigned char *>(getPluginUserInfo(1, &carol->rec));
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, info);
    EXPECT_EQ(fresh[15], 0);
    EXPECT_NE(getPluginRoomInfo(1, &world.server.room(2)->rec), nullptr);
    EXPECT_EQ(getPluginUserInfo(2, &bob->rec), nullptr) << "another plug-in's ID";
    setPluginUserInfoSize(1, 16);
    EXPECT_EQ(static_cast<unsigned char *>(getPluginUserInfo(1, &bob->rec))[0], 0);
}

TEST(SimServer, NamesAreFoundWholeWithoutRegardToCase) {
    FakeWorld world;
    SimUser *bob = world.addUser("Bob", 1);
    EXPECT_EQ(GetServerUserByName("bOB"), &bob->rec);
    EXPECT_EQ(GetServerUserByName("Bo"), nullptr);
    EXPECT_EQ(GetServerUserByName("Bob "), nullptr);
    EXPECT_EQ(GetServerUserByName(nullptr), nullptr);
    EXPECT_EQ(GetServerUserByCounter(900001), &bob->rec);
    EXPECT_EQ(UserRank(&bob->rec), 0);
}

TEST(SimServer, EncodedChatDecodesExactlyItsLength) {
    const std::string text = "hello `there";
    kestrom::sim::Message m = msg::xtalk(text);
    const unsigned char *body = reinterpret_cast<const unsigned char *>(m.msg() + 1);
    uint16 length;
    std::memcpy(&length, body, 2);
    ASSERT_EQ(length, text.size() + 3);
    EXPECT_EQ(m.msg()->length, text.size() + 3);
    char out[256];
    std::memset(out, 'x', sizeof out);
    DecryptCString(body + 2, out, length - 3, 0);
    EXPECT_EQ(std::string(out), text);
    DecryptCString(body + 2, out, 5, 0);
    EXPECT_EQ(std::string(out), "hello");
    DecryptCString(body + 2, out, 0, 0);
    EXPECT_EQ(std::string(out), "");
}

TEST(SimServer, IdentificationKeysFitTheirBuffer) {
    ServerUserRec u{};
    u.crc = u.counter = u.puidCtr = u.puidCRC = 0xFFFFFFFFu;
    char key[KESTROM_WIZKEY_SIZE];
    SeedToWizKey(&u, key, 1);
    EXPECT_LT(std::strlen(key), size_t{KESTROM_WIZKEY_SIZE});
    EXPECT_EQ(std::string(key), "K4294967295-4294967295");
    SeedToWizKey(&u, key, 0);
    EXPECT_EQ(key[0], 'P');
}

}  // namespace
