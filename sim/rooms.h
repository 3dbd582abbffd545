// rooms.h - one simulated room: the host record handed to the module, and
// what the server keeps behind it (occupants, loose props, drawings).  The
// room's variable buffer is laid out afresh from these whenever they change.
#pragma once

#include "core/host.h"

#include <string>
#include <vector>

namespace kestrom::sim {

struct LooseProp {
    AssetSpec asset{};
    uint32 flags = 0;
    sint32 refCon = 0;
    Point loc{};
};

// Offsets in a room's variable buffer must fit a sint16.
constexpr size_t MAX_VARBUF = 32767;

class SimRoom {
public:
    SimRoom(RoomID id, std::string name, int maxPeople);
    SimRoom(const SimRoom &) = delete;
    SimRoom &operator=(const SimRoom &) = delete;

    ServerRoomRec rec{}; // what the module sees

    RoomID id() const { return rec.room.roomID; }
    const std::string &name() const { return name_; }
    const std::string &picture() const { return picture_; }
    const std::string &password() const { return password_; }
    bool deleted = false;

    void setName(std::string name);
    void setPicture(std::string picture);
    void setPassword(std::string password);
    bool hasFlag(uint32 flag) const { return (rec.room.roomFlags & flag) != 0; }

    // Occupant slots: maxPeople of them, 0 for an empty one.
    void setMaxPeople(int maxPeople);
    bool addOccupant(UserID user); // false when every slot is taken
    void removeOccupant(UserID user);
    bool holds(UserID user) const;
    std::vector<UserID> occupantsInOrder() const;

    // Loose props, by their index in the buffer's chain (0 first).
    const std::vector<LooseProp> &looseProps() const { return props_; }
    bool addLooseProp(const LooseProp &prop); // false when the buffer is full
    bool moveLooseProp(long index, Point loc); // false for a bad index
    bool deleteLooseProp(long index);          // false for a bad index
    void clearLooseProps();

    // Drawings; the records are kept without drawing data.
    const std::vector<DrawRecord> &drawings() const { return drawings_; }
    bool addDrawing(const DrawRecord &draw); // false when the buffer is full
    void clearDrawings();

    // Per-room storage of the plug-in (host memory), zero-filled.
    void resetPluginInfo(size_t bytes);

private:
    // Lays out the variable buffer and points the record at it.
    void rebuild();
    size_t bufferSizeWith(size_t extraProps, size_t extraDraws) const;

    std::string name_;
    std::string picture_;
    std::string password_;
    std::vector<UserID> occupants_;
    std::vector<LooseProp> props_;
    std::vector<DrawRecord> drawings_;
    std::vector<unsigned char> varBuf_;
    std::vector<unsigned char> pluginInfo_;
};

}  // namespace kestrom::sim
