// Shared helpers over host records, and the lifecycle hooks that keep the
// module's per-user and per-room records in step with the host.
#include "chat_world.h"
#include "core/helpers.h"
#include "rooms/rooms.h"

#include <gtest/gtest.h>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

TEST(Helpers, UserNameIsCutAt31Characters) {
    ServerUserRec user{};
    user.user.name[0] = 40; // a length byte that lies
    std::memset(user.user.name + 1, 'x', 31);
    char name[NAME_SIZE];
    getCUserName(name, &user);
    EXPECT_EQ(std::string(name), std::string(31, 'x'));
}

TEST(Helpers, AddressIsWrittenFirstByteFirst) {
    ServerUserRec user{};
    const unsigned char bytes[4] = {10, 0, 3, 254};
    std::memcpy(&user.netAddress.ipAddress, bytes, 4);
    char ip[IPSTR_SIZE];
    getUserIP(ip, &user);
    EXPECT_STREQ(ip, "10.0.3.254");
}

TEST(Helpers, VariableBufferOffsets) {
    unsigned char buffer[64] = {};
    ServerRoomRec room{};
    room.varBuf = buffer;
    room.varBufAlloc = sizeof buffer;
    struct Case {
        uint32_t offset, align;
        bool found;
    } cases[] = {
        {0, 3, false}, {5, 3, false}, {8, 3, true}, {64, 3, true}, {65, 0, false}, {68, 3, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(getInVarBuf(&room, c.offset, c.align) != nullptr, c.found) << c.offset;
}

TEST(Helpers, RoomNameRule) {
    ChatWorld world("");
    sim::SimRoom *shortName = world.addRoom(5, std::string(31, 'a'));
    sim::SimRoom *longName = world.addRoom(6, std::string(32, 'b'));
    char buf[NAME_SIZE];
    EXPECT_EQ(std::string(roomNameText(&shortName->rec, buf)), std::string(31, 'a'));
    EXPECT_STREQ(roomNameText(&longName->rec, buf), "room name too long");
    ServerRoomRec broken = shortName->rec; // a name offset past the buffer
    broken.room.roomNameOfst = static_cast<sint16>(broken.varBufAlloc);
    EXPECT_STREQ(roomNameText(&broken, buf), "");
}

TEST(Helpers, RoomOwnership) {
    ChatWorld world("");
    sim::SimRoom *den = world.addRoom(2, "Den", 900001);
    sim::SimRoom *other = world.addRoom(3, "Other", 900002);
    sim::SimUser *guest = world.addUser("Guest", 0);  // counter 900001
    sim::SimUser *member = world.addUser("Mem", 1);   // counter 900002
    guest->rec.lastOwnedRoom = &den->rec;
    member->rec.lastOwnedRoom = &den->rec;            // points elsewhere
    ServerState &ss = world.server.serverState();
    EXPECT_EQ(isRoomOwner(&ss, world.state, &guest->rec, &den->rec), 0);
    EXPECT_EQ(isRoomOwner(&ss, world.state, &member->rec, &other->rec), 0);
    member->rec.lastOwnedRoom = &other->rec;
    EXPECT_EQ(isRoomOwner(&ss, world.state, &member->rec, &other->rec), 1);
    EXPECT_EQ(isRoomOwner(&ss, world.state, &member->rec, nullptr), 0);
}

TEST(Helpers, HiddenUsers) {
    ChatWorld world("");
    sim::SimUser *shy = world.addUser("Shy", 1);
    sim::SimUser *member = world.addUser("Mem", 1);
    sim::SimUser *wizard = world.addUser("Wiz", 2);
    ServerState &ss = world.server.serverState();
    EXPECT_EQ(world.asCurrent(*member, [&](ServerState *s) {
                  return userIsHidden(s, world.state, &shy->rec, &member->rec);
              }),
              0);

    UserActionRec hideFromMember{nullptr, member->id(), UA_HIDEFROM};
    shy->rec.actionList = &hideFromMember;
    world.server.recorder().openWindow();
    EXPECT_EQ(userIsHidden(&ss, world.state, &shy->rec, &member->rec), 1);
    EXPECT_EQ(world.textsTo(*member), std::vector<std::string>{"User Shy not found"});
    EXPECT_EQ(userIsHidden(&ss, world.state, &shy->rec, &wizard->rec), 0);
    shy->rec.actionList = nullptr;

    shy->rec.flags |= HF_HIDDEN;
    EXPECT_EQ(userIsHidden(&ss, world.state, &shy->rec, &member->rec), 1);
    EXPECT_EQ(userIsHidden(&ss, world.state, &shy->rec, &wizard->rec), 0);
}

// ---------------------------------------------------------------- lifecycle

TEST(Lifecycle, ArrivalSchedulesTheEntryAndLogonChecks) {
    for (const bool wizardsMay : {false, true}) {
        ChatWorld world(wizardsMay ? "wizinmemberrooms yes\n" : "");
        const size_t before = world.server.pendingTimers();
        world.addUser("Ann", 0);
        EXPECT_EQ(world.server.pendingTimers() - before, wizardsMay ? 3u : 2u);
    }
}

TEST(Lifecycle, RoomChangeClearsOnlyTheRoomSanctions) {
    ChatWorld world("");
    world.addRoom(2, "Hall");
    sim::SimUser *ann = world.addUser("Ann", 0);
    ann->setProps({{1280, 0}});
    UserDat *ud = world.userDatOf(*ann);
    ud->flags = UF_PAGEGAGGED | UF_NAMEGAGGED | UF_LISTGAGGED | UF_ROOM_SANCTIONS;
    ud->lastWarning = P_CHAT;
    ud->move.numberRecent = 5;
    ud->chat.numberRecent = 5;

    clearDataForRoomChange(&world.server.serverState(), world.state, &ann->rec);
    EXPECT_EQ(ud->flags, UF_PAGEGAGGED | UF_NAMEGAGGED | UF_LISTGAGGED);
    EXPECT_EQ(ann->rec.user.nbrProps, 0); // the pin stays behind
    EXPECT_EQ(ud->lastWarning, NO_WARNING);
    EXPECT_EQ(ud->move.numberRecent, 0);
    EXPECT_EQ(ud->chat.numberRecent, 5);
    EXPECT_EQ(ud->lastClientPos.h, -5);
}

TEST(Lifecycle, OwnerDepartureStampsTheFirstOwnedRoomOnly) {
    ChatWorld world("");
    sim::SimRoom *first = world.addRoom(2, "First", 900001);
    sim::SimRoom *second = world.addRoom(3, "Second", 900001);
    sim::SimUser *owner = world.addUser("Own", 1); // counter 900001
    world.server.advance(10);
    world.server.disconnect(*owner);
    EXPECT_EQ(roomDat(world.state, &first->rec)->ownerLogoffTime, world.server.now());
    EXPECT_EQ(roomDat(world.state, &second->rec)->ownerLogoffTime, 0);
}

TEST(Lifecycle, StopFreesWhatRecordsPointTo) {
    ChatWorld world("mimick 1 all\nmroomdiscipline 5\n");
    sim::SimUser *ann = world.addUser("Ann", 1);
    sim::SimUser *bob = world.addUser("Bob", 0);
    world.say(*ann, "hello there");
    sim::SimRoom *lobby = world.server.entrance();
    ServerState &ss = world.server.serverState();
    rememberPerp(&ss, world.state, &bob->rec, &lobby->rec, SANCTION_GAG);
    EXPECT_GT(world.server.heap().outstanding(), 0u);
    world.server.stop();
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

}  // namespace
