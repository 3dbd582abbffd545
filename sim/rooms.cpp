// rooms.cpp - a simulated room and the layout of its variable buffer:
//
//   0                 four zero bytes (offset 0 means "none")
//   roomNameOfst      the name, a Pascal string (up to 255 characters)
//   pictNameOfst      the picture name, a Pascal string
//   artistNameOfst    an empty Pascal string
//   passwordOfst      the password, a Pascal string
//   firstLProp        LPropRec chain, each record on a multiple of 4
//   firstDrawCmd      DrawRecord chain, each record on a multiple of 4
//
// varBufAlloc and lenVars are the size of exactly that, so the module's
// bounds checks meet a buffer that ends where its last record ends.
#include "sim/rooms.h"

#include <algorithm>
#include <cstring>

namespace kestrom::sim {

namespace {

constexpr size_t HEADER = 4;

size_t align4(size_t n) { return (n + 3) & ~size_t{3}; }
size_t pascalSize(const std::string &s) { return 1 + std::min<size_t>(s.size(), 255); }

size_t propRecordSize() { return align4(sizeof(LPropRec)); }
size_t drawRecordSize() { return align4(sizeof(DrawRecord)); }

// Writes s as a Pascal string at buf + offset; returns the offset after it.
size_t putPascal(std::vector<unsigned char> &buf, size_t offset, const std::string &s) {
    const size_t n = std::min<size_t>(s.size(), 255);
    buf[offset] = static_cast<unsigned char>(n);
    std::memcpy(buf.data() + offset + 1, s.data(), n);
    return offset + 1 + n;
}

void copyToStr31(Str31 out, const std::string &s) {
    const size_t n = std::min<size_t>(s.size(), 31);
    std::memset(out, 0, sizeof(Str31));
    out[0] = static_cast<unsigned char>(n);
    std::memcpy(out + 1, s.data(), n);
}

}  // namespace

SimRoom::SimRoom(RoomID id, std::string name, int maxPeople) : name_(std::move(name)) {
    rec.room.roomID = id;
    setMaxPeople(maxPeople);
    rebuild();
}

void SimRoom::setName(std::string name) {
    name_ = std::move(name);
    rebuild();
}

void SimRoom::setPicture(std::string picture) {
    picture_ = std::move(picture);
    rebuild();
}

void SimRoom::setPassword(std::string password) {
    password_ = std::move(password);
    copyToStr31(rec.roomPassword, password_);
    rebuild();
}

void SimRoom::setMaxPeople(int maxPeople) {
    std::vector<UserID> slots(static_cast<size_t>(std::max(maxPeople, 1)), 0);
    size_t next = 0;
    for (UserID id : occupants_)
        if (id && next < slots.size()) slots[next++] = id;
    occupants_ = std::move(slots);
    rec.occupants = occupants_.data();
    rec.room.nbrPeople = static_cast<uint16>(next);
}

bool SimRoom::addOccupant(UserID user) {
    if (holds(user)) return true;
    auto slot = std::find(occupants_.begin(), occupants_.end(), UserID{0});
    if (slot == occupants_.end()) return false;
    *slot = user;
    ++rec.room.nbrPeople;
    return true;
}

void SimRoom::removeOccupant(UserID user) {
    auto slot = std::find(occupants_.begin(), occupants_.end(), user);
    if (user == 0 || slot == occupants_.end()) return;
    *slot = 0;
    --rec.room.nbrPeople;
}

bool SimRoom::holds(UserID user) const {
    return user != 0 && std::find(occupants_.begin(), occupants_.end(), user) != occupants_.end();
}

std::vector<UserID> SimRoom::occupantsInOrder() const {
    std::vector<UserID> ids;
    for (UserID id : occupants_)
        if (id) ids.push_back(id);
    return ids;
}

size_t SimRoom::bufferSizeWith(size_t extraProps, size_t extraDraws) const {
    size_t size = HEADER + pascalSize(name_) + pascalSize(picture_) + pascalSize("") +
                  pascalSize(password_);
    size = align4(size);
    size += (props_.size() + extraProps) * propRecordSize();
    size += (drawings_.size() + extraDraws) * drawRecordSize();
    return size;
}

bool SimRoom::addLooseProp(const LooseProp &prop) {
    if (bufferSizeWith(1, 0) > MAX_VARBUF) return false;
    props_.push_back(prop);
    rebuild();
    return true;
}

bool SimRoom::moveLooseProp(long index, Point loc) {
    if (index < 0 || static_cast<size_t>(index) >= props_.size()) return false;
    props_[static_cast<size_t>(index)].loc = loc;
    rebuild();
    return true;
}

bool SimRoom::deleteLooseProp(long index) {
    if (index < 0 || static_cast<size_t>(index) >= props_.size()) return false;
    props_.erase(props_.begin() + index);
    rebuild();
    return true;
}

void SimRoom::clearLooseProps() {
    props_.clear();
    rebuild();
}

bool SimRoom::addDrawing(const DrawRecord &draw) {
    if (bufferSizeWith(0, 1) > MAX_VARBUF) return false;
    DrawRecord kept = draw;
    kept.link = LLRec{};
    kept.cmdLength = 0;
    kept.dataOfst = 0;
    drawings_.push_back(kept);
    rebuild();
    return true;
}

void SimRoom::clearDrawings() {
    drawings_.clear();
    rebuild();
}

void SimRoom::resetPluginInfo(size_t bytes) {
    pluginInfo_.assign(bytes, 0);
    rec.pluginRoomInfo = bytes ? pluginInfo_.data() : nullptr;
}

void SimRoom::rebuild() {
    const size_t size = bufferSizeWith(0, 0);
    varBuf_.assign(size, 0);
    RoomRec &r = rec.room;
    size_t at = HEADER;
    r.roomNameOfst = static_cast<sint16>(at);
    at = putPascal(varBuf_, at, name_);
    r.pictNameOfst = static_cast<sint16>(at);
    at = putPascal(varBuf_, at, picture_);
    r.artistNameOfst = static_cast<sint16>(at);
    at = putPascal(varBuf_, at, "");
    r.passwordOfst = static_cast<sint16>(at);
    at = align4(putPascal(varBuf_, at, password_));

    r.nbrLProps = static_cast<uint16>(props_.size());
    r.firstLProp = props_.empty() ? 0 : static_cast<sint16>(at);
    for (size_t i = 0; i < props_.size(); ++i) {
        LPropRec record{};
        const bool last = i + 1 == props_.size();
        record.link.nextOfst = last ? 0 : static_cast<sint16>(at + propRecordSize());
        record.propSpec = props_[i].asset;
        record.flags = props_[i].flags;
        record.refCon = props_[i].refCon;
        record.loc = props_[i].loc;
        std::memcpy(varBuf_.data() + at, &record, sizeof record);
        at += propRecordSize();
    }

    r.nbrDrawCmds = static_cast<uint16>(drawings_.size());
    r.firstDrawCmd = drawings_.empty() ? 0 : static_cast<sint16>(at);
    for (size_t i = 0; i < drawings_.size(); ++i) {
        DrawRecord record = drawings_[i];
        const bool last = i + 1 == drawings_.size();
        record.link.nextOfst = last ? 0 : static_cast<sint16>(at + drawRecordSize());
        std::memcpy(varBuf_.data() + at, &record, sizeof record);
        at += drawRecordSize();
    }

    r.lenVars = static_cast<sint16>(size);
    rec.varBuf = varBuf_.data();
    rec.varBufAlloc = static_cast<uint32>(size);
}

}  // namespace kestrom::sim
