// The simulated room: its variable buffer as the module walks it (name,
// loose-prop chain, drawings, exact bounds) and its occupant slots.
#include "sim/rooms.h"

#include <gtest/gtest.h>

#include <cstring>

using kestrom::sim::LooseProp;
using kestrom::sim::MAX_VARBUF;
using kestrom::sim::SimRoom;

namespace {

// The loose props as the module finds them: following nextOfst from
// firstLProp, checking each record lies aligned and within the buffer.
std::vector<LPropRec> walkProps(const SimRoom &room) {
    std::vector<LPropRec> found;
    const ServerRoomRec &r = room.rec;
    auto offset = static_cast<uint32>(static_cast<uint16>(r.room.firstLProp));
    while (offset != 0 && found.size() <= r.room.nbrLProps) {
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_LE(offset + sizeof(LPropRec), r.varBufAlloc);
        LPropRec rec;
        std::memcpy(&rec, r.varBuf + offset, sizeof rec);
        found.push_back(rec);
        offset = static_cast<uint32>(static_cast<uint16>(rec.link.nextOfst));
    }
    return found;
}

std::vector<DrawRecord> walkDrawings(const SimRoom &room) {
    std::vector<DrawRecord> found;
    const ServerRoomRec &r = room.rec;
    auto offset = static_cast<uint32>(static_cast<uint16>(r.room.firstDrawCmd));
    while (offset != 0 && found.size() <= r.room.nbrDrawCmds) {
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_LE(offset + sizeof(DrawRecord), r.varBufAlloc);
        DrawRecord rec;
        std::memcpy(&rec, r.varBuf + offset, sizeof rec);
        found.push_back(rec);
        offset = static_cast<uint32>(static_cast<uint16>(rec.link.nextOfst));
    }
    return found;
}

std::string nameIn(const SimRoom &room) {
    const unsigned char *p = room.rec.varBuf + room.rec.room.roomNameOfst;
    return std::string(reinterpret_cast<const char *>(p + 1), p[0]);
}

LooseProp prop(AssetID id, sint16 h, sint16 v) {
    LooseProp p;
    p.asset.id = id;
    p.loc = Point{v, h};
    return p;
}

TEST(SimRoom, EmptyRoomBuffer) {
    SimRoom room(7, "Lobby", 4);
    const ServerRoomRec &r = room.rec;
    EXPECT_EQ(r.room.roomID, 7);
    EXPECT_EQ(nameIn(room), "Lobby");
    EXPECT_EQ(r.room.firstLProp, 0);
    EXPECT_EQ(r.room.nbrLProps, 0);
    EXPECT_EQ(r.room.firstDrawCmd, 0);
    EXPECT_EQ(r.varBufAlloc, static_cast<uint32>(r.room.lenVars));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r.varBuf[i], 0) << "offset 0 must never hold a record";
}

TEST(SimRoom, NamesLongerThan31AreKeptWhole) {
    const std::string longName(40, 'x');
    SimRoom room(1, longName, 4);
    EXPECT_EQ(room.rec.varBuf[room.rec.room.roomNameOfst], 40);
    EXPECT_EQ(nameIn(room), longName);
    room.setName("Den");
    EXPECT_EQ(nameIn(room), "Den");
}

TEST(SimRoom, PasswordIsInRecordAndBuffer) {
    SimRoom room(1, "Vault", 4);
    room.setPassword("sesame");
    EXPECT_EQ(room.rec.roomPassword[0], 6);
    const unsigned char *p = room.rec.varBuf + room.rec.room.passwordOfst;
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(p + 1), p[0]), "sesame");
}

TEST(SimRoom, LoosePropChainFollowsIndexOrder) {
    SimRoom room(1, "Lobby", 4);
    ASSERT_TRUE(room.addLooseProp(prop(10, 1, 2)));
    ASSERT_TRUE(room.addLooseProp(prop(20, 3, 4)));
    ASSERT_TRUE(room.addLooseProp(prop(30, 5, 6)));
    auto chain = walkProps(room);
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(room.rec.room.nbrLProps, 3);
    EXPECT_EQ(chain[0].propSpec.id, 10);
    EXPECT_EQ(chain[2].propSpec.id, 30);
    EXPECT_EQ(chain[1].loc.h, 3);
    EXPECT_EQ(chain[1].loc.v, 4);
    EXPECT_EQ(chain[2].link.nextOfst, 0);
    EXPECT_LE(static_cast<uint32>(room.rec.room.firstLProp) + 3 * sizeof(LPropRec), room.rec.varBufAlloc);

    EXPECT_TRUE(room.moveLooseProp(2, Point{60, 50}));
    EXPECT_TRUE(room.deleteLooseProp(0));
    chain = walkProps(room);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0].propSpec.id, 20);
    EXPECT_EQ(chain[1].propSpec.id, 30);
    EXPECT_EQ(chain[1].loc.h, 50);

    EXPECT_FALSE(room.moveLooseProp(2, Point{}));
    EXPECT_FALSE(room.deleteLooseProp(-1));
    EXPECT_EQ(room.rec.room.nbrLProps, 2);
    room.clearLooseProps();
    EXPECT_EQ(room.rec.room.nbrLProps, 0);
    EXPECT_EQ(room.rec.room.firstLProp, 0);
}

TEST(SimRoom, DrawingsFollowTheProps) {
    SimRoom room(1, "Lobby", 4);
    room.addLooseProp(prop(10, 1, 2));
    DrawRecord draw{};
    draw.drawCmd = 1;
    draw.cmdLength = 99; // data is not kept
    ASSERT_TRUE(room.addDrawing(draw));
    ASSERT_TRUE(room.addDrawing(draw));
    const auto drawings = walkDrawings(room);
    ASSERT_EQ(drawings.size(), 2u);
    EXPECT_EQ(room.rec.room.nbrDrawCmds, 2);
    EXPECT_EQ(drawings[0].drawCmd, 1);
    EXPECT_EQ(drawings[0].cmdLength, 0);
    EXPECT_GT(room.rec.room.firstDrawCmd, room.rec.room.firstLProp);
    EXPECT_EQ(walkProps(room).size(), 1u);
    room.clearDrawings();
    EXPECT_EQ(room.rec.room.nbrDrawCmds, 0);
}

TEST(SimRoom, BufferStaysWithinSignedOffsets) {
    SimRoom room(1, std::string(255, 'n'), 4);
    size_t added = 0;
    while (room.addLooseProp(prop(1, 0, 0))) ++added;
    EXPECT_GT(added, 1000u);
    EXPECT_LE(room.rec.varBufAlloc, MAX_VARBUF);
    EXPECT_EQ(walkProps(room).size(), added);
}

TEST(SimRoom, OccupantSlots) {
    SimRoom room(1, "Lobby", 2);
    EXPECT_TRUE(room.addOccupant(5));
    EXPECT_TRUE(room.addOccupant(6));
    EXPECT_FALSE(room.addOccupant(7));
    EXPECT_EQ(room.rec.room.nbrPeople, 2);
    room.removeOccupant(5);
    EXPECT_EQ(room.rec.occupants[0], 0u);
    EXPECT_EQ(room.rec.occupants[1], 6u);
    EXPECT_EQ(room.rec.room.nbrPeople, 1);
    room.removeOccupant(5); // not there: nothing changes
    EXPECT_EQ(room.rec.room.nbrPeople, 1);
    EXPECT_TRUE(room.addOccupant(7));
    EXPECT_EQ(room.rec.occupants[0], 7u);
    room.setMaxPeople(4);
    EXPECT_EQ(room.rec.room.nbrPeople, 2);
    EXPECT_TRUE(room.holds(6));
    EXPECT_TRUE(room.holds(7));
}

}  // namespace
