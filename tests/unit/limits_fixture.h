// limits_fixture.h - a simulated server with the module linked in, for tests
// that call the screening routines directly: rooms and users are the
// server's, the rules are set straight into a state of the test's own.
#pragma once

#include "core/helpers.h"
#include "core/memory.h"
#include "core/state.h"
#include "limits/limits.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace kestrom::testing {

class LimitsFixture : public ::testing::Test {
  protected:
    sim::Server server;
    MyState *state = nullptr;
    std::string error;
    int nextUser = 1;

    void SetUp() override {
        server.useModule(sim::linkedModule());
        ASSERT_TRUE(server.startWithParameters(parameters()));
        state = newZeroed<MyState>();
        ASSERT_NE(state, nullptr);
        state->myPluginID = sim::THE_PLUGIN_ID;
        state->guestWiz = 1;
    }

    // The module's own parameter file.
    virtual std::string parameters() const { return "# no rules\n"; }

    void TearDown() override {
        if (state) freeStorage(state);
        state = nullptr;
    }

    sim::SimRoom *room(RoomID id, uint32 flags = 0, ClientID owner = 0) {
        sim::RoomPlan plan;
        plan.id = id;
        plan.name = "Room " + std::to_string(id);
        plan.flags = flags;
        plan.owner = owner;
        sim::SimRoom *r = server.addRoom(plan, error);
        EXPECT_NE(r, nullptr) << error;
        return r;
    }

    sim::SimUser *user(const std::string &handle, RoomID where, int rank = RANK_GUEST,
                       uint16 flags = 0) {
        sim::UserPlan plan = sim::UserPlan::numbered(handle, nextUser++);
        plan.rank = rank;
        plan.room = where;
        plan.flags = flags;
        sim::SimUser *u = server.connect(plan, error);
        EXPECT_NE(u, nullptr) << error;
        return u;
    }

    // The rule {roomsChecked, maximum, decay} with room ranges, appended to
    // the chain of parameter `index`.
    LimitValue *addRule(int32_t index, int32_t roomsChecked, uint32_t maximum, double decay = 0,
                        std::initializer_list<std::pair<int32_t, int32_t>> ranges = {}) {
        LimitValue *rule = newZeroed<LimitValue>();
        rule->roomsChecked = roomsChecked;
        rule->maximum = maximum;
        rule->decay = decay;
        for (const auto &[low, high] : ranges) {
            RoomNumbers *range = newZeroed<RoomNumbers>();
            range->low = low;
            range->high = high;
            range->next = rule->roomNumbers;
            rule->roomNumbers = range;
        }
        LimitValue **tail = &state->limits[index];
        while (*tail) tail = &(*tail)->next;
        *tail = rule;
        return rule;
    }

    // Makes `u` the sender of the message in hand.
    void actAs(sim::SimUser *u) { server.serverState().currentUser = u ? &u->rec : nullptr; }
    UserDat *ud(sim::SimUser *u) { return userDat(state, &u->rec); }
    RoomDat *rd(sim::SimRoom *r) { return roomDat(state, &r->rec); }
    ServerState *ss() { return &server.serverState(); }

    // The texts the module sent `u` since the window was opened.
    std::vector<std::string> textsTo(const sim::SimUser *u) {
        std::vector<std::string> texts;
        for (const sim::Event &e : server.recorder().window()) {
            if (e.kind != sim::EventKind::Text) continue;
            for (const sim::SimUser *r : e.receivers)
                if (r == u) texts.push_back(e.text);
        }
        return texts;
    }
    void clearWindow() { server.recorder().openWindow(); }
};

// Bob, a member, in the Lobby (room 1), acting as the current user.
class BobInLobby : public LimitsFixture {
  protected:
    sim::SimRoom *lobby = nullptr;
    sim::SimUser *bob = nullptr;

    void SetUp() override {
        LimitsFixture::SetUp();
        lobby = room(1);
        bob = user("Bob", 1);
        actAs(bob);
    }
};

inline std::vector<AssetSpec> propList(std::initializer_list<AssetID> ids) {
    std::vector<AssetSpec> props;
    for (AssetID id : ids) props.push_back({id, 0});
    return props;
}

}  // namespace kestrom::testing
