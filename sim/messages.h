// messages.h - client messages as a client would send them, built from
// their parts (little-endian, fields in the order of the host records), and
// safe reading of message bodies.  Also the encoding of 'xtlk' and 'xwis'
// texts that DecryptCString undoes.
#pragma once

#include "core/host.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::sim {

// A client message: the ClientMsg header, then `length` bytes of body.
class Message {
public:
    Message(uint32 type, const std::vector<unsigned char> &body, sint32 refNum = 0);

    ClientMsg *msg() { return reinterpret_cast<ClientMsg *>(bytes_.data()); }
    const ClientMsg *msg() const { return reinterpret_cast<const ClientMsg *>(bytes_.data()); }
    uint32 type() const { return msg()->eventType; }
    size_t size() const { return bytes_.size(); }
    void setRefNum(sint32 refNum) { msg()->refNum = refNum; }

private:
    std::vector<unsigned char> bytes_;
};

// "talk" for 'talk'; unprintable bytes become '?'.
std::string typeText(uint32 type);
// The code of a four-character type name.
uint32 typeCode(std::string_view four);

// The encoding behind DecryptCString: each byte XORed with a running key.
std::vector<unsigned char> encodeChat(std::string_view text);
// Decodes exactly n bytes into out and NUL-terminates it (out: n + 1 bytes).
void decodeChat(const unsigned char *encoded, char *out, size_t n);

namespace msg {

Message talk(std::string_view text);
Message whisper(UserID target, std::string_view text);
Message xtalk(std::string_view text);
Message xwhisper(UserID target, std::string_view text);
Message roomMessage(std::string_view text);   // 'rmsg'
Message globalMessage(std::string_view text); // 'gmsg'
Message page(std::string_view text);          // 'smsg'
Message gotoRoom(RoomID room);                // 'navR'
Message location(Point pos);                  // 'uLoc'
Message face(sint16 face);                    // 'usrF'
Message color(sint16 color);                  // 'usrC'
Message name(std::string_view name);          // 'usrN', a Pascal string (at most 255)
Message props(const std::vector<AssetSpec> &props);                     // 'usrP'
Message desc(sint16 face, sint16 color, const std::vector<AssetSpec> &props); // 'usrD'
Message dropProp(AssetSpec prop, Point pos);  // 'nPrp'
Message moveProp(sint32 index, Point pos);    // 'mPrp'
Message deleteProp(sint32 index);             // 'dPrp', -1 for all
Message spotState(RoomID room, HotspotID spot, sint16 state); // 'sSta'
Message lockDoor(RoomID room, HotspotID door);                // 'lock'
Message unlockDoor(RoomID room, HotspotID door);              // 'unlo'
Message roomList();                           // 'rLst'
Message userList();                           // 'uLst'
Message wizardRequest();                      // 'susr'
// 'regi': the 128-byte logon record.
Message logon(uint32 crc, uint32 counter, std::string_view name, uint32 auxFlags);
Message raw(uint32 type, const std::vector<unsigned char> &body);

}  // namespace msg

// Reads the fields of a message body without ever reading past its end.
class BodyReader {
public:
    BodyReader(const unsigned char *body, size_t length) : p_(body), n_(length) {}

    template <typename T>
    std::optional<T> read() {
        if (left() < sizeof(T)) return std::nullopt;
        T value;
        std::memcpy(&value, p_ + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    // A NUL-terminated text that ends within the body.
    std::optional<std::string> cString();
    // A Pascal string that lies within the body.
    std::optional<std::string> pascal();
    std::optional<Point> point();
    std::optional<AssetSpec> asset();
    // `count` AssetSpecs (none when count is negative or they do not fit).
    std::optional<std::vector<AssetSpec>> assets(long count);
    const unsigned char *here() const { return p_ + at_; }
    size_t left() const { return at_ <= n_ ? n_ - at_ : 0; }

private:
    const unsigned char *p_;
    size_t n_;
    size_t at_ = 0;
};

}  // namespace kestrom::sim
