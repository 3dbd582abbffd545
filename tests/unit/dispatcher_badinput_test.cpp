// Malformed client messages: every type the dispatcher reads, with bodies one
// byte short, empty, or with lengths and counts that lie.  Each is swallowed
// or passed as the message rules say and never read past its end (the
// sanitizer build checks the last part).
#include "core/host.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

// Rules that send every message down its deepest path.
constexpr const char *EVERY_RULE =
    "zone 12 all\n"
    "avatarzone 12 all\n"
    "nodupavatars all\n"
    "avatarchange 1000 1 all\n"
    "facechange 1000 1 all\n"
    "move 1000 1 all\n"
    "slide 1000 1 all\n"
    "propdrop 1000 1 all\n"
    "spotstatechange 1000 1 all\n"
    "namechange 1000 1 all\n"
    "roommsg 1000 1 all\n"
    "page 1000 1 all\n"
    "reppage 1000 1 all\n"
    "clearlooseprops 100 all\n";

using Bytes = std::vector<unsigned char>;

template <typename T>
Bytes le(T value) {
    Bytes b(sizeof value);
    std::memcpy(b.data(), &value, sizeof value);
    return b;
}
Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes zeros(size_t n) { return Bytes(n, 0); }
Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes cut(Bytes b) { // one byte short
    b.pop_back();
    return b;
}

constexpr UserID ANN = 2; // the other user of the world

const Bytes NUL = {0};
const Bytes POINT = le<sint16>(300) + le<sint16>(300); // v, h: clear of everyone
const Bytes PROP = le<AssetID>(4321) + le<uint32>(0);
const Bytes CODED_HI = le<uint16>(5) + Bytes{'h' ^ 0xA5, 'i' ^ 0xC4} + NUL;

struct Case {
    const char *type;
    Bytes body;
    bool passes;
    const char *why;
};

std::vector<Case> cases() {
    return {
        {"talk", {}, false, "no body"},
        {"talk", text("hi"), false, "no NUL"},
        {"talk", text("hi") + NUL, true, "well formed"},
        {"rmsg", text("hi"), false, "no NUL"},
        {"rmsg", text("hi") + NUL, true, "well formed"},
        {"gmsg", {}, false, "no body"},
        {"gmsg", text("hi") + NUL, true, "well formed"},
        {"whis", cut(le<UserID>(ANN)), false, "short target"},
        {"whis", le<UserID>(ANN), false, "target only"},
        {"whis", le<UserID>(ANN) + text("hi"), false, "no NUL"},
        {"whis", le<UserID>(ANN) + text("hi") + NUL, true, "well formed"},
        {"xtlk", {}, true, "no body passes"},
        {"xtlk", {7}, true, "one byte passes"},
        {"xtlk", le<uint16>(2) + zeros(4), false, "length below 3"},
        {"xtlk", le<uint16>(259) + zeros(300), false, "length above 258"},
        {"xtlk", le<uint16>(258) + zeros(3), true, "length beyond the message"},
        {"xtlk", le<uint16>(3), true, "empty text"},
        {"xtlk", CODED_HI, true, "well formed"},
        {"xwis", {}, false, "no body"},
        {"xwis", {1}, false, "one byte"},
        {"xwis", le<UserID>(ANN) + Bytes{5}, false, "half a length"},
        {"xwis", le<UserID>(ANN) + le<uint16>(10) + zeros(2), false, "length beyond the message"},
        {"xwis", le<UserID>(ANN) + le<uint16>(2) + zeros(2), false, "length below 3"},
        {"xwis", le<UserID>(ANN) + CODED_HI, true, "well formed"},
        {"navR", {}, false, "no body"},
        {"navR", {1}, false, "one byte"},
        {"navR", le<RoomID>(1), true, "the room the user is in"},
        {"navR", le<RoomID>(-7), true, "no such room: the server's business"},
        {"uLoc", cut(POINT), false, "one byte short"},
        {"uLoc", POINT, true, "well formed"},
        {"sRom", {}, true, "no body needed"},
        {"down", {}, true, "no body needed"},
        {"smsg", {}, false, "no body"},
        {"smsg", text("help"), false, "no NUL"},
        {"smsg", text("help") + NUL, true, "well formed"},
        {"usrN", {}, false, "no body"},
        {"usrN", Bytes{5} + text("Bob"), false, "length byte beyond the body"},
        {"usrN", Bytes{255}, false, "length byte 255, nothing after it"},
        {"usrN", Bytes{3} + text("Bob"), true, "well formed"},
        {"regi", zeros(127), false, "one byte short"},
        {"regi", zeros(128), true, "well formed"},
        {"usrF", {}, false, "no body"},
        {"usrF", {5}, false, "one byte"},
        {"usrF", le<sint16>(-1), false, "below 0"},
        {"usrF", le<sint16>(13), false, "above 12"},
        {"usrF", le<sint16>(12), true, "12"},
        {"usrC", le<sint16>(16), false, "above 15"},
        {"usrC", le<sint16>(15), true, "15"},
        {"usrD", zeros(7), false, "one byte short of the count"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(1), false, "count beyond the body"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(1) + cut(PROP), false, "one byte short"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(-1) + PROP, false, "negative count"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(INT_MAX) + PROP, false, "huge count"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(0x20000001) + PROP, false,
         "count whose size wraps to 8 bytes"},
        {"usrD", le<sint16>(1) + le<sint16>(1) + le<sint32>(1) + PROP, true, "well formed"},
        {"usrP", zeros(3), false, "one byte short of the count"},
        {"usrP", le<sint32>(2) + PROP, false, "count beyond the body"},
        {"usrP", le<sint32>(-5) + PROP, false, "negative count"},
        {"usrP", le<sint32>(0x20000000), false, "count whose size wraps to 0"},
        {"usrP", le<sint32>(10) + zeros(80), false, "ten props are a duplicate"},
        {"usrP", le<sint32>(0), true, "no props"},
        {"usrP", le<sint32>(1) + PROP, true, "well formed"},
        {"nPrp", cut(PROP + POINT), false, "one byte short"},
        {"nPrp", PROP + POINT, true, "well formed"},
        {"mPrp", cut(le<sint32>(0) + POINT), false, "one byte short"},
        {"mPrp", le<sint32>(99) + POINT, true, "index past the last prop"},
        {"mPrp", le<sint32>(INT_MIN) + POINT, true, "negative index"},
        {"mPrp", le<sint32>(0) + POINT, true, "well formed"},
        {"dPrp", zeros(3), false, "one byte short"},
        {"dPrp", le<sint32>(INT_MAX), true, "index past the last prop"},
        {"dPrp", le<sint32>(-1), true, "all, in a small room"},
        {"lock", zeros(3), false, "one byte short"},
        {"lock", zeros(4), true, "well formed"},
        {"unlo", zeros(3), false, "one byte short"},
        {"unlo", zeros(4), true, "well formed"},
        {"sSta", zeros(5), false, "one byte short"},
        {"sSta", zeros(6), true, "well formed"},
        {"rLst", {}, true, "no body needed"},
        {"uLst", {}, true, "no body needed"},
        {"susr", {}, true, "no body needed"},
        {"zzzz", {}, true, "not ours"},
    };
}

// One world per case: rules on, Bob and Ann in the Lobby, one loose prop.
class BadInput : public ::testing::TestWithParam<Case> {};

TEST_P(BadInput, SwallowedOrPassedNeverOverread) {
    const Case &c = GetParam();
    Server server;
    server.useModule(linkedModule());
    std::string error;
    RoomPlan lobby;
    lobby.id = 1;
    lobby.name = "Lobby";
    ASSERT_NE(server.addRoom(lobby, error), nullptr) << error;
    ASSERT_TRUE(server.startWithParameters(EVERY_RULE));
    SimUser *bob = server.connect(UserPlan::numbered("Bob", 1), error);
    ASSERT_NE(bob, nullptr) << error;
    ASSERT_NE(server.connect(UserPlan::numbered("Ann", ANN), error), nullptr) << error;
    server.addLooseProp(*server.room(1), {555, 0}, {50, 50});
    server.runDueTimers();

    EXPECT_EQ(server.send(*bob, msg::raw(typeCode(c.type), c.body)), c.passes) << c.why;
    EXPECT_EQ(server.faults(), 0);
}

std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    return std::to_string(info.index) + "_" + info.param.type;
}

INSTANTIATE_TEST_SUITE_P(EveryType, BadInput, ::testing::ValuesIn(cases()), caseName);

}  // namespace
