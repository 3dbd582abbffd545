// The room sanctions registry: who an entry recognises, the order and size
// of a room's list, withdrawing sanctions, the exemptions, and room entry.
#include "chat_world.h"
#include "core/helpers.h"
#include "core/memory.h"
#include "rooms/rooms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

constexpr ClientID DEN_OWNER = 5000;

// A world with a Lobby (1) and Olive's member room Den (10).
class Registry : public ::testing::Test {
  protected:
    ChatWorld world{"mroomdiscipline 5\n"};
    sim::SimRoom *den = world.addRoom(10, "Den", DEN_OWNER);
    int made = 100;

    void SetUp() override { ASSERT_TRUE(world.started); }

    sim::SimUser *connect(const std::string &name, int rank, std::array<uint8, 4> ip,
                          uint32 counter, uint32 puid, RoomID room = 1) {
        std::string error;
        sim::UserPlan plan = sim::UserPlan::numbered(name, ++made);
        plan.rank = rank;
        plan.address = ip;
        plan.counter = counter;
        plan.puid = puid;
        plan.room = room;
        sim::SimUser *u = world.server.connect(plan, error);
        EXPECT_NE(u, nullptr) << error;
        world.server.advance(1); // logon checks
        return u;
    }
    sim::SimUser *numbered(const std::string &name, int rank = RANK_GUEST) {
        const int n = ++made;
        return connect(name, rank, {10, 7, 0, static_cast<uint8>(n)}, 300000u + n, 400000u + n);
    }

    void remember(sim::SimUser *u, int32_t sanction) {
        rememberPerp(&world.server.serverState(), world.state, &u->rec, &den->rec, sanction);
    }
    void forgive(sim::SimUser *u, int32_t sanction) {
        forgivePerp(&world.server.serverState(), world.state, &u->rec, &den->rec, sanction);
    }
    int32_t sanctionsOf(sim::SimUser *u) {
        return getUserSanctions(world.state, &u->rec, &den->rec, nullptr);
    }
    // The list as (name, flags), newest first.
    std::vector<std::pair<std::string, int32_t>> list() {
        std::vector<std::pair<std::string, int32_t>> entries;
        for (const RoomBadActor *e = roomDat(world.state, &den->rec)->badActorList; e; e = e->next)
            entries.emplace_back(e->username, e->flags);
        return entries;
    }
};

struct IdentityCase {
    const char *what;
    int rank;
    std::array<uint8, 4> ip;
    uint32 counter, puid;
    bool matched;
};

TEST_F(Registry, EntryRecognisesAddressCounterForMembersAndPuid) {
    sim::SimUser *bob = connect("Bob", RANK_MEMBER, {10, 1, 1, 1}, 777, 111);
    remember(bob, SANCTION_KICK);
    world.server.disconnect(*bob);
    const IdentityCase cases[] = {
        {"guest, same address",        RANK_GUEST,  {10, 1, 1, 1}, 1, 2,   true},
        {"guest, same counter only",   RANK_GUEST,  {10, 2, 2, 2}, 777, 3, false},
        {"member, same counter only",  RANK_MEMBER, {10, 3, 3, 3}, 777, 4, true},
        {"guest, same PUID only",      RANK_GUEST,  {10, 4, 4, 4}, 5, 111, true},
        {"member, nothing shared",     RANK_MEMBER, {10, 5, 5, 5}, 6, 7,   false},
        {"neighbouring address",       RANK_GUEST,  {10, 1, 1, 2}, 8, 9,   false},
    };
    for (const IdentityCase &c : cases) {
        sim::SimUser *u = connect(c.what, c.rank, c.ip, c.counter, c.puid);
        EXPECT_EQ(sanctionsOf(u), c.matched ? SANCTION_KICK : 0) << c.what;
        world.server.disconnect(*u);
    }
}

TEST_F(Registry, UnknownIdentitiesRecogniseNobody) {
    sim::SimUser *anon = connect("Anon", RANK_MEMBER, {10, 1, 1, 1}, 0, 0);
    anon->rec.counter = 0; // the logon may fill it in; the record is what counts
    remember(anon, SANCTION_GAG);
    sim::SimUser *other = connect("Other", RANK_MEMBER, {10, 2, 2, 2}, 0, 0);
    other->rec.counter = 0;
    other->rec.puidCtr = 0;
    EXPECT_EQ(sanctionsOf(other), 0);
}

TEST_F(Registry, NewestFirstAndAddingToAnEntryKeepsItsPlace) {
    sim::SimUser *a = numbered("A"), *b = numbered("B"), *c = numbered("C");
    remember(a, SANCTION_KICK);
    remember(b, SANCTION_GAG);
    remember(c, SANCTION_PIN);
    remember(a, SANCTION_GAG);
    a->setName("Renamed");
    remember(a, SANCTION_PROPGAG);
    using Entries = std::vector<std::pair<std::string, int32_t>>;
    EXPECT_EQ(list(), (Entries{{"C", SANCTION_PIN},
                               {"B", SANCTION_GAG},
                               {"A", SANCTION_KICK | SANCTION_GAG | SANCTION_PROPGAG}}));
}

TEST_F(Registry, BanListShowsNewestFirst) {
    sim::SimUser *olive = connect("Olive", RANK_MEMBER, {10, 3, 0, 1}, DEN_OWNER, 1, 10);
    EXPECT_FALSE(world.say(*olive, "`rbanlist"));
    EXPECT_EQ(world.textsTo(*olive), std::vector<std::string>{"No entries in the room's ban list"});
    sim::SimUser *a = numbered("Ann"), *b = numbered("Ben");
    remember(a, SANCTION_PROPGAG);
    remember(b, SANCTION_KICK | SANCTION_PIN | SANCTION_GAG | SANCTION_PROPGAG);
    remember(a, SANCTION_KICK);
    world.say(*olive, "`rbanlist");
    EXPECT_EQ(world.textsTo(*olive), (std::vector<std::string>{
                                         ";  kicked pinned gagged propgagged: Ben",
                                         ";  kicked propgagged: Ann"}));
}

TEST_F(Registry, FullListDropsExactlyItsOldestEntry) {
    std::vector<sim::SimUser *> users;
    for (int i = 0; i < 7; ++i) users.push_back(numbered("U" + std::to_string(i)));
    for (int i = 0; i < 5; ++i) remember(users[i], SANCTION_GAG);
    remember(users[5], SANCTION_GAG);
    ASSERT_EQ(list().size(), 5u);
    EXPECT_EQ(list().back().first, "U1");
    EXPECT_EQ(sanctionsOf(users[0]), 0);

    // A lowered capacity shortens the list by one per addition at most.
    world.state->mroomdiscipline = 2;
    remember(users[6], SANCTION_GAG);
    EXPECT_EQ(list().size(), 5u);
    EXPECT_EQ(list().front().first, "U6");

    // Off: twenty.
    world.state->mroomdiscipline = -1;
    for (int i = 0; i < 18; ++i) remember(numbered("V" + std::to_string(i)), SANCTION_KICK);
    EXPECT_EQ(list().size(), 20u);
    remember(numbered("W"), SANCTION_KICK);
    EXPECT_EQ(list().size(), 20u);
}

struct ForgiveCase {
    const char *what;
    int32_t newer, older;              // flags of two entries that both match
    int32_t lifted;                    // what forgivePerp withdraws
    std::vector<int32_t> afterwards;   // flags left, newest first
};

TEST_F(Registry, ForgivingStopsAtTheEntryItEmpties) {
    const ForgiveCase cases[] = {
        {"newer keeps a bit",  SANCTION_GAG | SANCTION_PIN, SANCTION_GAG, SANCTION_GAG, {SANCTION_PIN}},
        {"newer emptied",      SANCTION_GAG, SANCTION_GAG | SANCTION_PIN, SANCTION_GAG,
                                                                  {SANCTION_GAG | SANCTION_PIN}},
        {"not held at all",    SANCTION_KICK, SANCTION_PIN, SANCTION_GAG, {SANCTION_KICK, SANCTION_PIN}},
    };
    for (const ForgiveCase &c : cases) {
        freeBadActorList(roomDat(world.state, &den->rec));
        // One user by address, another by PUID; a third shares both.
        sim::SimUser *byAddress = connect("Old", RANK_GUEST, {10, 9, 9, 1}, 1001, 2001);
        sim::SimUser *byPuid = connect("New", RANK_GUEST, {10, 9, 9, 2}, 1002, 2002);
        remember(byAddress, c.older);
        remember(byPuid, c.newer);
        world.server.disconnect(*byAddress);
        world.server.disconnect(*byPuid);
        sim::SimUser *both = connect("Both", RANK_GUEST, {10, 9, 9, 1}, 1003, 2002);
        forgive(both, c.lifted);
        std::vector<int32_t> flags;
        for (const auto &entry : list()) flags.push_back(entry.second);
        EXPECT_EQ(flags, c.afterwards) << c.what;
        world.server.disconnect(*both);
    }
}

TEST_F(Registry, EntryRefusals) {
    ServerState *ss = &world.server.serverState();
    sim::SimUser *mel = numbered("Mel", RANK_MEMBER);
    sim::SimUser *god = numbered("God", RANK_GOD);
    remember(mel, SANCTION_KICK);
    remember(god, SANCTION_KICK); // recorded while he was lower, say
    world.server.recorder().openWindow();
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 10, &mel->rec), 0);
    EXPECT_EQ(world.textsTo(*mel), std::vector<std::string>{"Sorry - you've been kicked from that room"});
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 10, &god->rec), 1);
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 1, &mel->rec), 1);
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 99, &mel->rec), 1); // the host refuses it

    // Owners-only, also for a room that does not exist.
    LimitValue *godonly = newZeroed<LimitValue>();
    godonly->roomsChecked = RC_ALL;
    world.state->limits[P_GODONLY] = godonly;
    world.server.recorder().openWindow();
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 1, &mel->rec), 0);
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 99, &mel->rec), 0);
    EXPECT_EQ(world.textsTo(*mel), std::vector<std::string>(2, "Sorry, only owners are permitted in that room"));
    EXPECT_EQ(roomEntryPermitted(ss, world.state, 10, &god->rec), 1);
}

TEST_F(Registry, NoMemoryRecordsNothing) {
    std::vector<sim::SimUser *> users;
    for (int i = 0; i < 6; ++i) users.push_back(numbered("U" + std::to_string(i)));
    const size_t before = world.server.heap().outstanding();
    world.server.heap().failOnly(1);
    remember(users[0], SANCTION_GAG);
    EXPECT_TRUE(list().empty());
    EXPECT_EQ(world.server.heap().outstanding(), before);

    for (int i = 0; i < 5; ++i) remember(users[i], SANCTION_GAG);
    world.server.heap().failOnly(1);
    remember(users[5], SANCTION_GAG); // the oldest goes first, then memory fails
    EXPECT_EQ(list().size(), 4u);
    EXPECT_EQ(list().back().first, "U1");
    EXPECT_EQ(sanctionsOf(users[5]), 0);
}

}  // namespace
