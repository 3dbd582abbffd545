// The indexes behind rule choice, chat-goto phrases, the sanctions registry
// and the duplicate-address check, each against the plain walk it replaces,
// over random files, rooms, users and changes.
#include "chat_world.h"
#include "commands/commands.h"
#include "commands/scan.h"
#include "core/addresses.h"
#include "core/memory.h"
#include "limits/limits.h"
#include "params/params.h"
#include "rooms/rooms.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

// Rules of random selections (kinds, warn, ranges) over rooms 1 to 8 of
// every kind, reloaded, the rooms' limits switch turned as it goes, and
// rules added at the end of the chain by hand: the choice is the walk's.
TEST(Indexes, RuleChoiceIsTheChainWalk) {
    ChatWorld world("# none\n");
    ASSERT_TRUE(world.started);
    std::vector<sim::SimRoom *> rooms = {world.server.room(1)};
    rooms.push_back(world.addRoom(2, "Private", 0, RMF_PRIVATE));
    rooms.push_back(world.addRoom(3, "Member", 700));
    rooms.push_back(world.addRoom(4, "Member alt", 701));
    rooms.push_back(world.addRoom(5, "Public"));
    rooms.push_back(world.addRoom(5 + RULE_CHOICE_SLOTS, "Same slot")); // shares room 5's slot
    const char *words[] = {"public", "private", "member", "limbo", "altmember", "warn", "rm3", "rm1-2", "rm5"};
    std::mt19937 random(16);
    for (int round = 0; round < 60; ++round) {
        std::string file;
        for (int r = 0, n = static_cast<int>(random() % 7); r < n; ++r) {
            file += "chat 5 1.0";
            for (const char *word : words)
                if (random() % 4 == 0) file += std::string(" ") + word;
            file += "\n";
        }
        world.server.writeParameterFile(file);
        ASSERT_EQ(loadParameterFile(world.state, nullptr), 1) << file;
        for (int look = 0; look < 40; ++look) {
            if (look == 20 && world.state->limits[P_CHAT]) { // a rule added at the end
                LimitValue *last = world.state->limits[P_CHAT];
                while (last->next) last = last->next;
                last->next = newZeroed<LimitValue>();
                last->next->roomsChecked = 1 << (random() % 5);
            }
            sim::SimRoom *room = rooms[random() % rooms.size()];
            if (RoomDat *rd = roomDat(world.state, &room->rec); rd && random() % 3 == 0) rd->flags ^= RF_RLIMIT;
            ServerRoomRec *rec = random() % 8 == 0 ? nullptr : &room->rec;
            EXPECT_EQ(getRoomRule(world.state, P_CHAT, rec), getRoomLimitIn(world.state, world.state->limits[P_CHAT], rec))
                << file << "room " << (rec ? room->id() : -1);
        }
    }
}

// Phrases of a few letters in mixed case, some repeated: the phrase found is
// the first whose text is the whole line, ignoring case.
TEST(Indexes, ChatGotoHashIsTheWalk) {
    ChatWorld world("# none\n");
    ASSERT_TRUE(world.started);
    std::mt19937 random(32);
    const auto phrase = [&] {
        std::string text;
        for (int i = 0, n = 1 + static_cast<int>(random() % 12); i < n; ++i) text += "aBc xY`"[random() % 7];
        return text;
    };
    for (int round = 0; round < 30; ++round) {
        std::string file;
        std::vector<std::string> said;
        for (int i = 0, n = static_cast<int>(random() % 40); i < n; ++i) {
            const std::string text = phrase();
            file += "chatgoto " + std::to_string(80 + i) + " " + text + "\n";
            said.push_back(text);
        }
        world.server.writeParameterFile(file);
        ASSERT_EQ(loadParameterFile(world.state, nullptr), 1);
        for (int i = 0; i < 60; ++i) said.push_back(phrase());
        for (std::string line : said) {
            for (char &c : line)
                if (random() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            const LimitValue *walked = nullptr;
            for (const LimitValue *e = world.state->limits[P_CHATGOTO]; e && !walked; e = e->next)
                if (e->string && strcmpci(line.c_str(), e->string) == 0) walked = e;
            EXPECT_EQ(findChatGoto(world.state, line.c_str()), walked) << '"' << line << '"';
        }
    }
}

// One entry of the registry as its walk over the list keeps it.
struct ModelEntry {
    int32_t flags, counter, puid, ip;
};

bool modelMatches(const ModelEntry &e, ServerUserRec *user, int rank) {
    if (e.ip == static_cast<int32_t>(user->netAddress.ipAddress)) return true;
    if (user->counter != 0 && e.counter == static_cast<int32_t>(user->counter) && rank != RANK_GUEST) return true;
    return user->puidCtr != 0 && e.puid == static_cast<int32_t>(user->puidCtr);
}

// Users sharing addresses, counters and PUIDs at random (0 among them), of
// every rank, sanctioned and forgiven at random in a list of 5: the list and
// everyone's sanctions are those of the walk over a list kept by the rules.
TEST(Indexes, SanctionRegistryIsTheListWalk) {
    ChatWorld world("mroomdiscipline 5\n");
    ASSERT_TRUE(world.started);
    sim::SimRoom *den = world.addRoom(10, "Den", 5000);
    std::mt19937 random(48);
    std::vector<sim::SimUser *> users;
    std::vector<int> ranks;
    for (int i = 0; i < 14; ++i) {
        std::string error;
        sim::UserPlan plan = sim::UserPlan::numbered("U" + std::to_string(i), 200 + i);
        plan.rank = static_cast<int>(random() % 3);
        plan.address = {10, 1, 1, static_cast<uint8>(random() % 4)};
        plan.counter = static_cast<uint32>(random() % 4);
        plan.puid = static_cast<uint32>(random() % 4);
        sim::SimUser *u = world.server.connect(plan, error);
        ASSERT_NE(u, nullptr) << error;
        users.push_back(u);
        ranks.push_back(plan.rank);
    }
    world.server.advance(2);
    ServerState *ss = &world.server.serverState();
    std::vector<ModelEntry> model; // newest first
    for (int step = 0; step < 3000; ++step) {
        const size_t who = random() % users.size();
        ServerUserRec *user = &users[who]->rec;
        const int32_t sanction = 1 << (random() % 4);
        if (random() % 3) {
            rememberPerp(ss, world.state, user, &den->rec, sanction);
            auto it = model.begin();
            while (it != model.end() && !modelMatches(*it, user, ranks[who])) ++it;
            if (it != model.end()) {
                it->flags |= sanction;
            } else {
                if (model.size() >= 5) model.pop_back();
                model.insert(model.begin(), {sanction, static_cast<int32_t>(user->counter),
                                             static_cast<int32_t>(user->puidCtr),
                                             static_cast<int32_t>(user->netAddress.ipAddress)});
            }
        } else {
            forgivePerp(ss, world.state, user, &den->rec, sanction);
            for (auto it = model.begin(); it != model.end(); ++it) {
                if (!modelMatches(*it, user, ranks[who])) continue;
                it->flags &= ~sanction;
                if (it->flags == 0) {
                    model.erase(it);
                    break;
                }
            }
        }
        std::vector<int32_t> listed, expected;
        for (const RoomBadActor *e = roomDat(world.state, &den->rec)->badActorList; e; e = e->next)
            listed.insert(listed.end(), {e->flags, e->counter, e->puid, e->ipAddress});
        for (const ModelEntry &e : model) expected.insert(expected.end(), {e.flags, e.counter, e.puid, e.ip});
        ASSERT_EQ(listed, expected) << "step " << step;
        for (size_t i = 0; i < users.size(); ++i) {
            int32_t flags = 0;
            if (ranks[i] < RANK_WIZARD)
                for (const ModelEntry &e : model)
                    if (modelMatches(e, &users[i]->rec, ranks[i])) {
                        flags = e.flags;
                        break;
                    }
            ASSERT_EQ(getUserSanctions(world.state, &users[i]->rec, &den->rec, nullptr), flags)
                << "step " << step << " user " << i;
        }
    }
}

// Users arriving and leaving on four addresses, among them users who were
// there before the module started: the users sharing each one's address are
// those of the walk over the host's list.
TEST(Indexes, AddressTableIsTheListWalk) {
    ChatWorld world("dupip 100\n");
    ASSERT_TRUE(world.started);
    world.server.setMaxPeople(500);
    std::mt19937 random(64);
    std::vector<sim::SimUser *> users;
    int made = 0;
    const auto arrive = [&] {
        std::string error;
        sim::UserPlan plan = sim::UserPlan::numbered("A" + std::to_string(made), 300 + made);
        ++made;
        plan.rank = static_cast<int>(random() % 3);
        plan.address = {10, 2, 2, static_cast<uint8>(random() % 4)};
        sim::SimUser *u = world.server.connect(plan, error);
        ASSERT_NE(u, nullptr) << error;
        users.push_back(u);
    };
    for (int i = 0; i < 6; ++i) arrive();
    world.server.stop(); // users stay; the module starts again without noting them
    ASSERT_TRUE(world.server.startWithParameters("dupip 100\n"));
    MyState *state = kestrom::testing::startedState();
    ServerState *ss = &world.server.serverState();
    for (int step = 0; step < 400; ++step) {
        if (users.size() > 1 && random() % 3 == 0) {
            const size_t gone = random() % users.size();
            world.server.disconnect(*users[gone]);
            users.erase(users.begin() + static_cast<long>(gone));
        } else {
            arrive();
        }
        world.server.advance(1);
        for (sim::SimUser *u : users) {
            const AddressSharers indexed = usersSharingAddress(ss, state, &u->rec);
            const AddressSharers walked = usersSharingAddressByWalk(ss, &u->rec);
            ASSERT_EQ(indexed.count, walked.count) << "step " << step;
            ASSERT_EQ(indexed.highestRank, walked.highestRank) << "step " << step;
            ASSERT_EQ(indexed.last, walked.last) << "step " << step;
        }
    }
}

}  // namespace
