// The activity checks: avatar change costs, slides and moves, personal
// space, prop drops and deletions, and the users they let through.
#include "limits_fixture.h"

using namespace kestrom;
using namespace kestrom::testing;

namespace {

using Screening = BobInLobby;

TEST_F(Screening, AvatarChangeCostsChangedPositions) {
    addRule(P_AVATARCHANGE, RC_PUBLIC, 1000, 0.0);
    struct Case {
        std::vector<AssetSpec> worn, next;
        int32_t cost;
    } cases[] = {
        {propList({1, 2, 3}), propList({1, 2, 4}), 1},
        {propList({1, 2, 3}), propList({2, 1, 3}), 2}, // only position 2 matches
        {propList({1, 2, 3}), propList({1, 2, 3, 4}), 1},
        {propList({1, 2, 3}), {}, 1},                   // nothing worn costs 1
        {propList({1, 2, 3}), propList({1, 2, 3}), 1},  // no change still costs 1
        {{{1, 5}, {2, 6}}, {{1, 7}, {2, 8}}, 1},        // crc is not compared
        {{}, propList({4, 5, 6}), 3},
    };
    for (const Case &c : cases) {
        bob->setProps(c.worn);
        ud(bob)->avatarChange = {};
        EXPECT_EQ(avatarComingTooFast(ss(), state, static_cast<int32_t>(c.next.size()), c.next.data()), 0);
        EXPECT_EQ(ud(bob)->avatarChange.numberRecent, c.cost)
            << c.worn.size() << " worn, " << c.next.size() << " new";
    }
}

TEST_F(Screening, PinnedAndPropGaggedKeepTheirAvatar) {
    const auto props = propList({9});
    for (int32_t flag : {UF_ROOMPINNED, UF_ROOMPROPGAGGED}) {
        ud(bob)->flags = flag;
        EXPECT_EQ(avatarComingTooFast(ss(), state, 1, props.data()), 1);
    }
    ud(bob)->flags = UF_ROOMPINNED;
    EXPECT_EQ(propsComingTooFast(ss(), state), 1);
    EXPECT_EQ(moveComingTooFast(ss(), state, Point{120, 120}), 1);
    EXPECT_TRUE(textsTo(bob).empty());
}

TEST_F(Screening, PersonalSpaceSparesOperatorsNotTheRoomless) {
    LimitValue *zone = addRule(P_AVATARZONE, RC_PUBLIC, 12);
    sim::SimUser *ann = user("Ann", 1);
    ann->rec.user.roomPos = {200, 200};
    sim::SimUser *wiz = user("Wiz", 1, RANK_WIZARD);
    actAs(wiz);
    EXPECT_EQ(moveComingTooFast(ss(), state, Point{200, 200}), 0);
    zone->roomsChecked |= RC_LIMBO;
    actAs(bob);
    bob->rec.user.roomID = 99; // names no room
    EXPECT_EQ(moveComingTooFast(ss(), state, Point{10, 10}), 1);
    bob->rec.user.roomID = 1;
}

TEST_F(Screening, PropDropRules) {
    sim::SimRoom *den = room(20, 0, bob->rec.counter);
    sim::SimUser *ann = user("Ann", 20);
    server.place(*bob, *den);
    rd(den)->flags |= RF_RNOLOOSEPROPS;

    actAs(ann);
    clearWindow();
    EXPECT_EQ(propsComingTooFast(ss(), state), 1);
    EXPECT_EQ(textsTo(ann), std::vector<std::string>{"The owner has limited loose props here"});
    actAs(bob); // the member owner
    EXPECT_EQ(propsComingTooFast(ss(), state), 0);

    addRule(P_PROPDROP, RC_MEMBER, 1, 0.0);
    EXPECT_EQ(propsComingTooFast(ss(), state), 0);
    EXPECT_EQ(propsComingTooFast(ss(), state), 1);
    ann->rec.flags |= HF_EXEMPT_B; // privileged: neither the room nor the rate
    actAs(ann);
    EXPECT_EQ(propsComingTooFast(ss(), state), 0);
}

}  // namespace
