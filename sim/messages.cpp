// messages.cpp - building and reading client messages.
#include "sim/messages.h"

#include <algorithm>
#include <cstring>

namespace kestrom::sim {

namespace {

// Appends the bytes of fields, in the machine's own byte order.
class BodyWriter {
public:
    template <typename T>
    BodyWriter &put(T value) {
        return append(&value, sizeof value);
    }
    BodyWriter &chars(std::string_view s) { return append(s.data(), s.size()); }
    BodyWriter &text(std::string_view s) { return chars(s).put<unsigned char>(0); }
    BodyWriter &raw(const std::vector<unsigned char> &b) { return append(b.data(), b.size()); }
    BodyWriter &point(Point p) { return put(p.v).put(p.h); }
    BodyWriter &asset(AssetSpec a) { return put(a.id).put(a.crc); }
    BodyWriter &assets(const std::vector<AssetSpec> &list) {
        for (const AssetSpec &a : list) asset(a);
        return *this;
    }
    // A 16-bit length L = encoded bytes + 3, the encoded text, a 0 byte.
    BodyWriter &encoded(std::string_view s) {
        const std::vector<unsigned char> enc = encodeChat(s);
        put(static_cast<uint16>(enc.size() + 3));
        raw(enc);
        put<unsigned char>(0);
        return *this;
    }
    std::vector<unsigned char> bytes;

private:
    // Grows the body and copies into it (GCC 12 misjudges vector::insert of
    // a few bytes at -O3 as an overflow).
    BodyWriter &append(const void *data, size_t n) {
        if (n == 0) return *this;
        const size_t at = bytes.size();
        bytes.resize(at + n);
        std::memcpy(bytes.data() + at, data, n);
        return *this;
    }
};

unsigned char keyAt(size_t i) { return static_cast<unsigned char>(0xA5 + 31 * i); }

Message make(char a, char b, char c, char d, const BodyWriter &w) {
    return Message(KESTROM_FOURCC(a, b, c, d), w.bytes);
}

}  // namespace

Message::Message(uint32 type, const std::vector<unsigned char> &body, sint32 refNum) {
    bytes_.resize(sizeof(ClientMsg) + body.size());
    ClientMsg header{type, static_cast<uint32>(body.size()), refNum};
    std::memcpy(bytes_.data(), &header, sizeof header);
    if (!body.empty()) std::memcpy(bytes_.data() + sizeof header, body.data(), body.size());
}

std::string typeText(uint32 type) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((type >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

uint32 typeCode(std::string_view four) {
    uint32 code = 0;
    for (size_t i = 0; i < 4; ++i)
        code = (code << 8) | (i < four.size() ? static_cast<unsigned char>(four[i]) : 0u);
    return code;
}

std::vector<unsigned char> encodeChat(std::string_view text) {
    std::vector<unsigned char> out(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) ^ keyAt(i));
    return out;
}

void decodeChat(const unsigned char *encoded, char *out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(encoded[i] ^ keyAt(i));
    out[n] = '\0';
}

namespace msg {

Message talk(std::string_view text) { return make('t', 'a', 'l', 'k', BodyWriter().text(text)); }
Message whisper(UserID target, std::string_view text) {
    return make('w', 'h', 'i', 's', BodyWriter().put(target).text(text));
}
Message xtalk(std::string_view text) { return make('x', 't', 'l', 'k', BodyWriter().encoded(text)); }
Message xwhisper(UserID target, std::string_view text) {
    return make('x', 'w', 'i', 's', BodyWriter().put(target).encoded(text));
}
Message roomMessage(std::string_view text) { return make('r', 'm', 's', 'g', BodyWriter().text(text)); }
Message globalMessage(std::string_view text) { return make('g', 'm', 's', 'g', BodyWriter().text(text)); }
Message page(std::string_view text) { return make('s', 'm', 's', 'g', BodyWriter().text(text)); }
Message gotoRoom(RoomID room) { return make('n', 'a', 'v', 'R', BodyWriter().put(room)); }
Message location(Point pos) { return make('u', 'L', 'o', 'c', BodyWriter().point(pos)); }
Message face(sint16 face) { return make('u', 's', 'r', 'F', BodyWriter().put(face)); }
Message color(sint16 color) { return make('u', 's', 'r', 'C', BodyWriter().put(color)); }

Message name(std::string_view name) {
    BodyWriter w;
    const size_t n = std::min<size_t>(name.size(), 255);
    w.put(static_cast<uint8>(n)).chars(name.substr(0, n));
    return make('u', 's', 'r', 'N', w);
}

Message props(const std::vector<AssetSpec> &props) {
    return make('u', 's', 'r', 'P', BodyWriter().put(static_cast<sint32>(props.size())).assets(props));
}

Message desc(sint16 face, sint16 color, const std::vector<AssetSpec> &props) {
    return make('u', 's', 'r', 'D',
                BodyWriter().put(face).put(color).put(static_cast<sint32>(props.size())).assets(props));
}

Message dropProp(AssetSpec prop, Point pos) { return make('n', 'P', 'r', 'p', BodyWriter().asset(prop).point(pos)); }
Message moveProp(sint32 index, Point pos) { return make('m', 'P', 'r', 'p', BodyWriter().put(index).point(pos)); }
Message deleteProp(sint32 index) { return make('d', 'P', 'r', 'p', BodyWriter().put(index)); }
Message spotState(RoomID room, HotspotID spot, sint16 state) {
    return make('s', 'S', 't', 'a', BodyWriter().put(room).put(spot).put(state));
}
Message lockDoor(RoomID room, HotspotID door) { return make('l', 'o', 'c', 'k', BodyWriter().put(room).put(door)); }
Message unlockDoor(RoomID room, HotspotID door) { return make('u', 'n', 'l', 'o', BodyWriter().put(room).put(door)); }
Message roomList() { return make('r', 'L', 's', 't', BodyWriter()); }
Message userList() { return make('u', 'L', 's', 't', BodyWriter()); }
Message wizardRequest() { return make('s', 'u', 's', 'r', BodyWriter()); }

Message logon(uint32 crc, uint32 counter, std::string_view name, uint32 auxFlags) {
    std::vector<unsigned char> record(REGI_RECORD_SIZE, 0);
    std::memcpy(record.data(), &crc, 4);
    std::memcpy(record.data() + 4, &counter, 4);
    const size_t n = std::min<size_t>(name.size(), 31);
    record[REGI_OFFSET_USERNAME] = static_cast<unsigned char>(n);
    std::memcpy(record.data() + REGI_OFFSET_USERNAME + 1, name.data(), n);
    std::memcpy(record.data() + REGI_OFFSET_AUXFLAGS, &auxFlags, 4);
    return Message(KESTROM_FOURCC('r', 'e', 'g', 'i'), record);
}

Message raw(uint32 type, const std::vector<unsigned char> &body) { return Message(type, body); }

}  // namespace msg

std::optional<std::string> BodyReader::cString() {
    if (at_ >= n_) return std::nullopt;
    const void *nul = std::memchr(p_ + at_, 0, n_ - at_);
    if (!nul) return std::nullopt;
    const size_t len = static_cast<size_t>(static_cast<const unsigned char *>(nul) - (p_ + at_));
    std::string s(reinterpret_cast<const char *>(p_ + at_), len);
    at_ += len + 1;
    return s;
}

std::optional<std::string> BodyReader::pascal() {
    if (at_ >= n_) return std::nullopt;
    const size_t len = p_[at_];
    if (n_ - at_ < 1 + len) return std::nullopt;
    std::string s(reinterpret_cast<const char *>(p_ + at_ + 1), len);
    at_ += 1 + len;
    return s;
}

std::optional<Point> BodyReader::point() {
    auto v = read<sint16>();
    auto h = read<sint16>();
    if (!v || !h) return std::nullopt;
    return Point{*v, *h};
}

std::optional<AssetSpec> BodyReader::asset() {
    auto id = read<AssetID>();
    auto crc = read<uint32>();
    if (!id || !crc) return std::nullopt;
    return AssetSpec{*id, *crc};
}

std::optional<std::vector<AssetSpec>> BodyReader::assets(long count) {
    if (count < 0 || static_cast<size_t>(count) > left() / sizeof(AssetSpec)) return std::nullopt;
    std::vector<AssetSpec> list;
    for (long i = 0; i < count; ++i) list.push_back(*asset());
    return list;
}

}  // namespace kestrom::sim
