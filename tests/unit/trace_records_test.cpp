// The decision trace: the record the module hands the host for each family
// of decision (rates, content rules, fixed decisions, command dispatch,
// timer actions), the wait of a rate rule, and the simulator's statistics.
#include "chat_world.h"

#include "core/trace.h"
#include "limits/limits.h"
#include "sim/decision.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

std::vector<KestromDecision> &captured() {
    static std::vector<KestromDecision> records;
    return records;
}

void capture(const KestromDecision *d) { captured().push_back(*d); }

// The last record of `rule`, or null.
const KestromDecision *lastOf(const std::string &rule) {
    for (auto it = captured().rbegin(); it != captured().rend(); ++it)
        if (rule == it->rule) return &*it;
    return nullptr;
}

// Alice (guest), Bob (member), Wanda (wizard) and Gus (god) in the Lobby;
// room 2 is public.  The module's records go to capture().
struct World : ChatWorld {
    explicit World(const std::string &params) : ChatWorld(params) {
        addRoom(2, "Garden");
        alice = addUser("Alice", RANK_GUEST);
        bob = addUser("Bob", RANK_MEMBER);
        wanda = addUser("Wanda", RANK_WIZARD);
        gus = addUser("Gus", RANK_GOD);
        server.advance(1);
        if (state) state->traceDecision = capture;
        captured().clear();
    }
    void send(sim::SimUser &user, sim::Message message) {
        server.send(user, std::move(message));
        server.finishDirective();
    }
    sim::SimUser *alice, *bob, *wanda, *gus;
};

struct Case {
    const char *what;
    const char *params;
    std::function<void(World &)> act;
    const char *rule;
    int outcome;
    std::function<void(const KestromDecision &, World &)> expect;
};

const uint32 TALK = KESTROM_FOURCC('t', 'a', 'l', 'k');

const Case cases[] = {
    {"a rate refusal: levels, maximum, drain, wait, line, selection", "# rates\nchat 2 1 public warn\n",
     [](World &w) { for (const char *line : {"one", "two", "three"}) w.say(*w.alice, line); },
     "chat", KESTROM_REFUSED,
     [](const KestromDecision &d, World &w) {
         EXPECT_EQ(d.size, sizeof(KestromDecision));
         EXPECT_EQ(d.messageType, TALK);
         EXPECT_EQ(d.timerAction, KESTROM_NO_TIMER);
         EXPECT_EQ(d.user, &w.alice->rec);
         EXPECT_EQ(d.parameter, P_CHAT);
         EXPECT_EQ(d.line, 2);
         EXPECT_EQ(d.flags, KESTROM_DF_RATE);
         EXPECT_EQ(d.levelBefore, 2);
         EXPECT_EQ(d.levelAfter, 3);
         EXPECT_EQ(d.maximum, 2u);
         EXPECT_EQ(d.decay, 1.0);
         EXPECT_EQ(d.units, 1);
         EXPECT_EQ(d.wait, 2);
         EXPECT_EQ(d.told, 1);
         EXPECT_EQ(d.selection, KESTROM_SELECT_KIND);
         EXPECT_EQ(d.selectionBit, RC_PUBLIC);
         EXPECT_EQ(d.room, 1);
     }},
    {"a rate pass that leaves room: wait 0", "chat 2 1 public\n",
     [](World &w) { w.say(*w.alice, "one"); }, "chat", KESTROM_PASSED,
     [](const KestromDecision &d, World &) {
         EXPECT_EQ(d.levelBefore, 0);
         EXPECT_EQ(d.levelAfter, 1);
         EXPECT_EQ(d.wait, 0);
         EXPECT_EQ(d.told, 0);
     }},
    {"an operator passes a rate without counting", "chat 2 1 public\n",
     [](World &w) { w.say(*w.wanda, "one"); }, "chat", KESTROM_PASSED,
     [](const KestromDecision &d, World &) { EXPECT_EQ(d.flags, KESTROM_DF_EXEMPT); }},
    {"mimick names the previous speaker and the line's length", "mimick 5 public\n",
     [](World &w) { w.say(*w.alice, "hello all"); w.say(*w.bob, "hello all"); }, "mimick", KESTROM_REFUSED,
     [](const KestromDecision &d, World &w) {
         EXPECT_EQ(d.user, &w.bob->rec);
         EXPECT_EQ(d.other, &w.alice->rec);
         EXPECT_EQ(d.otherID, w.alice->id());
         EXPECT_EQ(d.flags, KESTROM_DF_MEASURE);
         EXPECT_EQ(d.measured, 9);
         EXPECT_EQ(d.told, 0); // no warn
     }},
    {"personal space names the occupant and the range that chose the rule", "avatarzone 10 rm1-3\n",
     [](World &w) { w.send(*w.bob, sim::msg::location({105, 105})); }, "avatarzone", KESTROM_REFUSED,
     [](const KestromDecision &d, World &) {
         EXPECT_NE(d.otherID, 0u);
         EXPECT_EQ(d.selection, KESTROM_SELECT_RANGE);
         EXPECT_EQ(d.rangeLow, 1);
         EXPECT_EQ(d.rangeHigh, 3);
     }},
    {"a malformed body is a fixed decision", "# none\n",
     [](World &w) { w.send(*w.alice, sim::msg::raw(sim::typeCode("usrF"), {})); }, "malformed", KESTROM_REFUSED,
     [](const KestromDecision &d, World &) {
         EXPECT_EQ(d.parameter, -1);
         EXPECT_EQ(d.line, 0);
         EXPECT_EQ(d.selection, KESTROM_SELECT_NONE);
         EXPECT_EQ(d.messageType, KESTROM_FOURCC('u', 's', 'r', 'F'));
     }},
    {"dispatch below the row's rank", "# none\n",
     [](World &w) { w.say(*w.bob, "`gmsg hi"); }, "rank", KESTROM_REFUSED,
     [](const KestromDecision &d, World &) {
         EXPECT_EQ(d.flags, KESTROM_DF_COMMAND);
         EXPECT_STREQ(d.command, "gmsg");
         EXPECT_EQ(d.rankNeeded, 2);
         EXPECT_EQ(d.rankHeld, 1);
         EXPECT_EQ(d.told, 1);
     }},
    {"dispatch at a target of higher rank", "# none\n",
     [](World &w) { w.say(*w.wanda, "`listgag Gus"); }, "target", KESTROM_REFUSED,
     [](const KestromDecision &d, World &w) {
         EXPECT_EQ(d.other, &w.gus->rec);
         EXPECT_EQ(d.rankNeeded, 3);
         EXPECT_EQ(d.rankHeld, 2);
     }},
    {"owners only, in the entry checks of a timer", "godonly rm2\n",
     [](World &w) { w.addUser("Zed", RANK_MEMBER, 2); w.server.advance(1); }, "godonly", KESTROM_REFUSED,
     [](const KestromDecision &d, World &) {
         EXPECT_EQ(d.messageType, 0u);
         EXPECT_EQ(d.timerAction, TA_ENTRY_CHECKS);
         EXPECT_EQ(d.room, 2);
         EXPECT_EQ(d.line, 1);
     }},
    {"duplicate addresses at logon: the user logged off, the count", "dupip 0\n",
     [](World &w) {
         sim::UserPlan plan = sim::UserPlan::numbered("Twin", 20);
         plan.address = w.alice->address();
         std::string error;
         w.server.connect(plan, error);
         w.server.advance(1);
     },
     "dupip", KESTROM_REFUSED,
     [](const KestromDecision &d, World &) {
         EXPECT_EQ(d.timerAction, TA_LOGON_CHECKS);
         EXPECT_EQ(d.selection, KESTROM_SELECT_ANY);
         EXPECT_EQ(d.measured, 1);
         EXPECT_EQ(d.maximum, 0u);
         EXPECT_EQ(d.otherID, 0u); // the arriving user is the one logged off
     }},
};

TEST(TraceRecords, EachFamilyOfDecision) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        World world(c.params);
        ASSERT_TRUE(world.started);
        c.act(world);
        const KestromDecision *d = lastOf(c.rule);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->outcome, c.outcome);
        c.expect(*d, world);
    }
}

TEST(TraceRecords, WithoutTheOperationNothingIsBuilt) {
    World world("chat 1 1 public warn\nmimick 3 public\n");
    world.state->traceDecision = nullptr;
    const long before = world.server.decisionsTraced();
    world.say(*world.alice, "one");
    world.say(*world.alice, "two");
    EXPECT_TRUE(captured().empty());
    EXPECT_EQ(world.server.decisionsTraced(), before);
}

// The wait uses the drain's own arithmetic: whole units, fractions lost.
TEST(TraceRecords, WaitUntilOneMorePasses) {
    struct WaitCase {
        int32_t level;
        uint32_t maximum;
        double decay;
        int32_t wait;
    };
    const WaitCase waits[] = {
        {3, 2, 1.0, 2},   {1, 2, 1.0, 0},  {2, 2, 0.5, 2},  {5, 2, 0.5, 8},  {3, 3, 0.3, 4},
        {1, 0, 1.0, KESTROM_NO_WAIT},       {4, 2, 0.0, KESTROM_NO_WAIT},   {9, 1, 1e-12, KESTROM_NO_WAIT},
    };
    for (const WaitCase &c : waits) {
        const ActivityHistory hist{1000, c.level};
        LimitValue rule{};
        rule.maximum = c.maximum;
        rule.decay = c.decay;
        EXPECT_EQ(secondsUntilAllowed(&hist, &rule), c.wait)
            << "level " << c.level << ", maximum " << c.maximum << ", decay " << c.decay;
    }
}

TEST(TraceRecords, StatisticsMarkRulesNeverCheckedOrNeverRefused) {
    sim::DecisionStats stats;
    stats.setParameterLines({"chat 2 1 public", "# a comment", "zone 12 public", "guestwiz no", "pinx 10 10"});
    sim::SimUser alice, bob;
    alice.handle = "Alice";
    bob.handle = "Bob";
    auto decide = [&](const char *rule, int line, bool refused, const sim::SimUser *who) {
        sim::Decision d;
        d.rule = rule;
        d.line = line;
        d.refused = refused;
        d.told = refused;
        d.user = who;
        stats.addDecision(d);
    };
    decide("chat", 1, false, &alice);
    decide("chat", 1, true, &bob);
    decide("chat", 1, true, &alice);
    decide("chat", 1, true, &bob);
    decide("roomgag", 0, true, &bob);
    const auto rows = stats.rules();
    ASSERT_EQ(rows.size(), 3u); // chat and zone of the file (pinx screens nothing), then roomgag
    EXPECT_EQ(rows[0].rule, "chat");
    EXPECT_EQ(rows[0].checked, 4);
    EXPECT_EQ(rows[0].refused, 3);
    EXPECT_EQ(rows[0].told, 3);
    const auto most = rows[0].mostRefused(3);
    ASSERT_EQ(most.size(), 2u);
    EXPECT_EQ(most[0], std::make_pair(std::string("Bob"), 2L));
    EXPECT_EQ(rows[1].rule, "zone");
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].checked, 0);
    EXPECT_TRUE(rows[1].inFile);
    EXPECT_EQ(rows[2].rule, "roomgag");
    EXPECT_FALSE(rows[2].inFile);
}

}  // namespace
