// The dispatcher's own bookkeeping: messages without a sender, the owner's
// way home, and what a name change and a logon leave behind.
#include "limits_fixture.h"

#include "sim/messages.h"

#include <cstring>

using namespace kestrom;
using namespace kestrom::testing;

namespace {

class Dispatcher : public LimitsFixture {
  protected:
    bool logged(const std::string &text) {
        for (const sim::Event &e : server.recorder().window())
            if (e.kind == sim::EventKind::Log && e.text.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(Dispatcher, MessagesWithoutASender) {
    room(1);
    actAs(nullptr);
    struct Case {
        const char *type;
        bool passes;
    } cases[] = {{"talk", false}, {"sRom", false}, {"xtlk", false}, {"susr", true}, {"zzzz", true}};
    for (const Case &c : cases) {
        clearWindow();
        sim::Message m = sim::msg::raw(sim::typeCode(c.type), {'x', 0});
        EXPECT_EQ(handleMessage(ss(), state, m.msg()) != nullptr, c.passes) << c.type;
        EXPECT_TRUE(logged(std::string("No user for message type ") + c.type)) << c.type;
    }
    // Without the module's state every message passes.
    sim::Message m = sim::msg::talk("hello");
    EXPECT_EQ(handleMessage(ss(), nullptr, m.msg()), m.msg());
}

TEST_F(Dispatcher, OwnerGoesHomeWithAFreshRoomState) {
    room(1);
    sim::SimUser *olga = user("Olga", 1, RANK_MEMBER);
    sim::SimRoom *den = room(20, RMF_CLOSED, olga->rec.counter);
    server.advance(1); // the logon checks find her room
    ASSERT_EQ(olga->rec.lastOwnedRoom, &den->rec);

    UserDat *d = ud(olga);
    d->flags |= UF_ROOMGAGGED | UF_PAGEGAGGED;
    d->lastWarning = P_CHAT;
    d->move = {server.now(), 9};
    EXPECT_FALSE(server.send(*olga, sim::msg::gotoRoom(20)));
    EXPECT_EQ(olga->roomID(), 20);
    EXPECT_EQ(d->flags, UF_PAGEGAGGED) << "the old room's sanctions stay behind";
    EXPECT_EQ(d->lastWarning, NO_WARNING);
    EXPECT_EQ(d->move.numberRecent, 0);
}

TEST_F(Dispatcher, NameChangeLeavesTheMessageAsSent) {
    room(1);
    sim::SimUser *bob = user("Bob", 1);
    sim::Message m = sim::msg::name("Robert");
    const std::vector<unsigned char> before(clientMsgBody(m.msg()), clientMsgBody(m.msg()) + m.msg()->length);
    server.serverState().currentUser = &bob->rec;
    EXPECT_EQ(handleMessage(ss(), state, m.msg()), m.msg());
    EXPECT_EQ(std::memcmp(before.data(), clientMsgBody(m.msg()), before.size()), 0);
}

TEST_F(Dispatcher, LogonKeepsTheClientTypeBit) {
    room(1);
    sim::SimUser *bob = user("Bob", 1);
    for (uint32 aux : {0x80000001u, 0x7FFFFFFFu}) {
        EXPECT_TRUE(server.send(*bob, sim::msg::logon(1, 2, "Bob", aux)));
        EXPECT_EQ(static_cast<uint32>(ud(bob)->clientType), aux & 0x80000000u);
    }
}

}  // namespace
