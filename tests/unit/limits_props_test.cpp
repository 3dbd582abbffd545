// Loose props and avatars: the same prop too close to itself, the
// duplicate-avatar test, and walks of loose-prop chains that lie.
#include "limits_fixture.h"

#include <cstring>

using namespace kestrom;
using namespace kestrom::testing;

namespace {

using Props = BobInLobby;

TEST_F(Props, SortsByIdWithCrcAlong) {
    const AssetSpec in[] = {{7, 1}, {-3, 2}, {5, 3}, {7, 4}, {0, 5}};
    AssetSpec out[5];
    copyAndSortProps(in, out, 5);
    const AssetID ids[] = {-3, 0, 5, 7, 7};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i].id, ids[i]);
    EXPECT_EQ(out[0].crc, 2u);
    EXPECT_EQ(out[2].crc, 3u);
}

TEST_F(Props, DuplicateAvatarRefusals) {
    sim::SimRoom *den = room(20, 0, bob->rec.counter);
    sim::SimUser *ann = user("Ann", 20);
    sim::SimUser *cid = user("Cid", 20);
    server.place(*bob, *den);
    ann->setProps(propList({5, 7, 7}));
    const auto same = propList({7, 5, 7});

    // The owner's room flag: told, and the owner himself is free.
    rd(den)->flags = RF_RNODUPAVATARS;
    actAs(cid);
    clearWindow();
    EXPECT_EQ(avatarComingTooFast(ss(), state, 3, same.data()), 1);
    EXPECT_EQ(avatarComingTooFast(ss(), state, 3, same.data()), 1);
    EXPECT_EQ(textsTo(cid), std::vector<std::string>{
                                "You aren't permitted to wear the same avatar as someone else here"});
    EXPECT_EQ(avatarComingTooFast(ss(), state, 0, nullptr), 0) << "no props";
    actAs(bob);
    EXPECT_EQ(avatarComingTooFast(ss(), state, 3, same.data()), 0);

    // A rule without warn refuses silently, the owner included.
    rd(den)->flags = 0;
    addRule(P_NODUPAVATARS, RC_MEMBER, 0);
    clearWindow();
    EXPECT_EQ(avatarComingTooFast(ss(), state, 3, same.data()), 1);
    EXPECT_TRUE(textsTo(bob).empty());
}

// The duplicate test against sorting both lists and comparing them, on
// random avatars of 0 to 9 props from few ids (so that many lists share
// their sum of ids without being the same), with crcs that never count.
TEST_F(Props, DuplicateAvatarsAgreeWithSortedComparison) {
    sim::SimUser *ann = user("Ann", 1);
    user("Cid", 1)->setProps(propList({99})); // never the same: ids are -1 to 2
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    int duplicates = 0;
    for (int round = 0; round < 4000; ++round) {
        const auto count = static_cast<int32_t>(next(10));
        std::vector<AssetSpec> wanted, worn;
        for (int32_t i = 0; i < count; ++i) wanted.push_back({static_cast<AssetID>(next(4)) - 1, next(1000)});
        worn = wanted;
        // Mostly a shuffle of the same ids; sometimes one id changed, or one
        // prop more or fewer.
        for (size_t i = worn.size(); i > 1; --i) std::swap(worn[i - 1], worn[next(static_cast<uint32_t>(i))]);
        for (AssetSpec &p : worn) p.crc = next(1000);
        switch (next(4)) {
        case 0:
            if (!worn.empty()) worn[next(static_cast<uint32_t>(worn.size()))].id = static_cast<AssetID>(next(4)) - 1;
            break;
        case 1:
            if (worn.size() < KESTROM_MAX_WORN_PROPS) worn.push_back({static_cast<AssetID>(next(4)) - 1, 0});
            break;
        case 2:
            if (!worn.empty()) worn.pop_back();
            break;
        default: break;
        }
        ann->setProps(worn);
        AssetSpec a[KESTROM_MAX_WORN_PROPS], b[KESTROM_MAX_WORN_PROPS];
        copyAndSortProps(wanted.data(), a, count);
        copyAndSortProps(worn.data(), b, static_cast<int32_t>(worn.size()));
        bool same = worn.size() == wanted.size();
        for (int32_t i = 0; same && i < count; ++i) same = a[i].id == b[i].id;
        UserID wearer = 1;
        ASSERT_EQ(isThereADuplicateAvatar(ss(), state, &lobby->rec, &bob->rec, count, wanted.data(), &wearer),
                  same ? 1 : 0)
            << "round " << round;
        EXPECT_EQ(wearer, same ? ann->id() : 0u);
        duplicates += same;
    }
    EXPECT_GT(duplicates, 500);
}

// ------------------------------------------- chains that lie about themselves

// A hand-made variable buffer put in place of the room's own.
class LyingChain : public Props {
  protected:
    alignas(8) unsigned char buf[96] = {};
    unsigned char *savedBuf = nullptr;
    uint32 savedAlloc = 0;
    ServerRoomRec *r = nullptr;

    void SetUp() override {
        Props::SetUp();
        addRule(P_ZONE, RC_PUBLIC, 12);
        r = &lobby->rec;
        savedBuf = r->varBuf;
        savedAlloc = r->varBufAlloc;
        r->varBuf = buf;
        r->varBufAlloc = sizeof buf;
    }
    void TearDown() override {
        r->varBuf = savedBuf;
        r->varBufAlloc = savedAlloc;
        r->room.nbrLProps = 0;
        r->room.firstLProp = 0;
        Props::TearDown();
    }
    // A loose prop of id 100 at (50, 50), linked to `next`.
    void putProp(size_t offset, sint16 next) {
        LPropRec prop{};
        prop.link.nextOfst = next;
        prop.propSpec = {100, 0};
        prop.loc = {50, 50};
        std::memcpy(buf + offset, &prop, sizeof prop);
    }
    void chain(sint16 first, uint16 count) {
        r->room.firstLProp = first;
        r->room.nbrLProps = count;
    }
    int tooClose() { return anotherPropAlreadyAt(ss(), state, nullptr, {100, 0}, {50, 50}); }
};

TEST_F(LyingChain, BadOffsetsEndTheWalk) {
    putProp(8, 0);
    struct Case {
        sint16 first;
        uint16 count;
        int found;
    } cases[] = {
        {8, 1, 1},                                   // a sound chain
        {8, 0, 0},                                   // a count of none
        {0, 1, 0},                                   // offset 0
        {6, 1, 0},                                   // misaligned
        {-8, 1, 0},                                  // negative
        {200, 1, 0},                                 // past the buffer
        {96, 1, 0},                                  // at the very end
        {static_cast<sint16>(96 - sizeof(LPropRec) + 4), 1, 0}, // runs past the end
    };
    for (const Case &c : cases) {
        chain(c.first, c.count);
        EXPECT_EQ(tooClose(), c.found) << "first " << c.first << " count " << c.count;
        EXPECT_EQ(findPropInRoom(ss(), state, 0) != nullptr, c.found == 1) << "first " << c.first;
    }
}

TEST_F(LyingChain, LoopsStopAfterTheCount) {
    putProp(8, 8); // links to itself
    chain(8, 3);
    EXPECT_EQ(findPropInRoom(ss(), state, 2), reinterpret_cast<LPropRec *>(buf + 8));
    EXPECT_EQ(findPropInRoom(ss(), state, 3), nullptr);
    EXPECT_EQ(findPropInRoom(ss(), state, -1), nullptr);
    EXPECT_EQ(tooClose(), 1);

    // A move of the looping prop skips its own record wherever it recurs.
    const PropMove move = {1, {50, 52}};
    EXPECT_EQ(isBadPropMove(ss(), state, &move), 0);

    // A chain whose second link points out of the buffer.
    putProp(8, 400);
    chain(8, 40);
    EXPECT_EQ(findPropInRoom(ss(), state, 1), nullptr);
    EXPECT_NE(findPropInRoom(ss(), state, 0), nullptr);
}

}  // namespace
