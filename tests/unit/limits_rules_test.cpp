// The rule lookup by room and the leaky bucket.
#include "limits_fixture.h"

#include <climits>

using namespace kestrom;
using namespace kestrom::testing;

namespace {

class RuleLookup : public LimitsFixture {};

constexpr RoomID LIMBO = 99; // names no room

TEST_F(RuleLookup, LimboTakesAnySelectionButNotRangesAlone) {
    addRule(P_ZONE, 0, 5, 0, {{1, 100}});
    EXPECT_EQ(getRoomLimitForRoom(ss(), state, state->limits[P_ZONE], LIMBO), nullptr);
    LimitValue *warnOnly = addRule(P_ZONE, RC_WARN, 6);
    EXPECT_EQ(getRoomLimitForRoom(ss(), state, state->limits[P_ZONE], LIMBO), warnOnly);
    EXPECT_EQ(getRoomLimitForRoom(ss(), state, nullptr, LIMBO), nullptr);
}

TEST_F(RuleLookup, CurrentUsersRoom) {
    room(1);
    room(7, RMF_PRIVATE);
    sim::SimUser *bob = user("Bob", 7);
    LimitValue *privateRule = addRule(P_FACECHANGE, RC_PRIVATE, 1);
    actAs(bob);
    EXPECT_EQ(getRoomLimit(ss(), state, state->limits[P_FACECHANGE]), privateRule);
    actAs(nullptr); // no sender: judged as limbo
    EXPECT_EQ(getRoomLimit(ss(), state, state->limits[P_FACECHANGE]), privateRule);
}

// ------------------------------------------------------------ the bucket

class Bucket : public LimitsFixture {
  protected:
    sim::SimUser *bob = nullptr;
    ActivityHistory hist{};

    void SetUp() override {
        LimitsFixture::SetUp();
        room(1);
        bob = user("Bob", 1);
        actAs(bob);
        clearWindow();
    }
    int check(const LimitValue *rule, int32_t units = 1, const char *type = "Chat messages") {
        return checkLimit(ss(), state, &hist, rule, ud(bob), P_CHAT, units, type);
    }
};

TEST_F(Bucket, FractionsAreLostAtEachCall) {
    LimitValue *rule = addRule(P_CHAT, RC_PUBLIC, 1, 0.5);
    EXPECT_EQ(check(rule), 0);
    for (int i = 0; i < 5; ++i) {
        server.advance(1);
        EXPECT_EQ(check(rule), 1) << "attempt one second apart never drains";
        EXPECT_EQ(hist.numberRecent, 1) << "capped at trunc(1 + 0.5)";
    }
    server.advance(2);
    EXPECT_EQ(check(rule), 0);
}

TEST_F(Bucket, ZeroMaximumAndZeroDecay) {
    LimitValue *none = addRule(P_CHAT, RC_PUBLIC, 0, 5.0);
    EXPECT_EQ(check(none), 1);
    server.advance(100);
    EXPECT_EQ(check(none), 1);

    hist = {};
    LimitValue *once = addRule(P_REPCHAT, RC_PUBLIC, 1, 0.0);
    EXPECT_EQ(check(once), 0);
    server.advance(100000);
    EXPECT_EQ(check(once), 1) << "decay 0 never recovers";
}

TEST_F(Bucket, UnlimitedAndOperatorsLeaveTheCounterAlone) {
    LimitValue *unlimited = addRule(P_CHAT, RC_PUBLIC | RC_WARN, LIMIT_UNLIMITED, 1.0);
    LimitValue *none = addRule(P_REPCHAT, RC_PUBLIC | RC_WARN, 0, 0.0);
    hist = {12345, 7};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(check(unlimited), 0);
    EXPECT_EQ(hist.lastTime, 12345);
    EXPECT_EQ(hist.numberRecent, 7);

    sim::SimUser *wiz = user("Wiz", 1, RANK_WIZARD);
    actAs(wiz);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(checkLimit(ss(), state, &hist, none, ud(wiz), P_REPCHAT, 1, "x"), 0);
    EXPECT_EQ(hist.lastTime, 12345);
    EXPECT_EQ(hist.numberRecent, 7);
    EXPECT_TRUE(textsTo(wiz).empty());
}

TEST_F(Bucket, WarnsOncePerKindWithTheTypeAsText) {
    LimitValue *rule = addRule(P_CHAT, RC_PUBLIC | RC_WARN, 0, 0.0);
    LimitValue *silent = addRule(P_MOVE, RC_PUBLIC, 0, 0.0);
    check(rule, 1, "%s%n%s");
    check(rule, 1, "%s%n%s");
    checkLimit(ss(), state, &hist, silent, ud(bob), P_MOVE, 1, "Moves");
    EXPECT_EQ(textsTo(bob), std::vector<std::string>{"%s%n%s are limited here"});
    EXPECT_EQ(ud(bob)->lastWarning, P_CHAT) << "a rule without warn leaves it";
}

TEST_F(Bucket, LevelsNeverWrapOrGrowBackwards) {
    // An allowance beyond int32 and a cost near it saturate.
    LimitValue *huge = addRule(P_CHAT, RC_PUBLIC, 0xFFFFFFFEu, 0.0);
    hist.numberRecent = INT_MAX - 1;
    hist.lastTime = server.now();
    EXPECT_EQ(check(huge, 9), 0);
    EXPECT_EQ(hist.numberRecent, INT_MAX);
    EXPECT_EQ(check(huge, INT_MAX), 0);
    EXPECT_EQ(hist.numberRecent, INT_MAX);

    // A clock that went back drains nothing and adds nothing.
    LimitValue *rule = addRule(P_REPCHAT, RC_PUBLIC, 5, 1.0);
    hist = {server.now() + 1000, 3};
    EXPECT_EQ(check(rule), 0);
    EXPECT_EQ(hist.numberRecent, 4);

    // A drain far larger than the level empties it.
    hist = {0, 3};
    EXPECT_EQ(check(rule), 0);
    EXPECT_EQ(hist.numberRecent, 1);
}

}  // namespace
