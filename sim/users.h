// users.h - one simulated user: the host record handed to the module and
// what the server keeps beside it (handle, rank, connection, plug-in storage).
#pragma once

#include "core/host.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::sim {

constexpr RoomID NO_ROOM = -1; // roomID of a user not yet placed in a room

class SimUser {
public:
    SimUser() = default;
    SimUser(const SimUser &) = delete;
    SimUser &operator=(const SimUser &) = delete;

    ServerUserRec rec{}; // what the module sees
    std::string handle;  // how scenarios and the transcript name the user
    int rank = 0;        // 0 guest, 1 member, 2 wizard, 3 god
    bool connected = false;
    bool leaving = false; // being disconnected (noteUserDeletion under way)

    UserID id() const { return rec.user.userID; }
    RoomID roomID() const { return rec.user.roomID; }

    // The name held in the record (length byte capped at 31).
    std::string name() const {
        const size_t n = std::min<size_t>(rec.user.name[0], 31);
        return std::string(reinterpret_cast<const char *>(rec.user.name + 1), n);
    }
    void setName(std::string_view name) {
        const size_t n = std::min<size_t>(name.size(), 31);
        std::memset(rec.user.name, 0, sizeof rec.user.name);
        rec.user.name[0] = static_cast<unsigned char>(n);
        std::memcpy(rec.user.name + 1, name.data(), n);
    }

    // Worn props as the server holds them (at most 9).
    std::vector<AssetSpec> props() const {
        const size_t n = std::min<size_t>(rec.user.nbrProps, KESTROM_MAX_WORN_PROPS);
        return std::vector<AssetSpec>(rec.user.propSpec, rec.user.propSpec + n);
    }
    void setProps(const std::vector<AssetSpec> &props) {
        const size_t n = std::min<size_t>(props.size(), KESTROM_MAX_WORN_PROPS);
        std::copy_n(props.begin(), n, rec.user.propSpec);
        rec.user.nbrProps = static_cast<uint16>(n);
    }

    // The address as four numbers, first number first.
    std::array<uint8, 4> address() const {
        std::array<uint8, 4> a{};
        std::memcpy(a.data(), &rec.netAddress.ipAddress, 4);
        return a;
    }
    void setAddress(std::array<uint8, 4> a) { std::memcpy(&rec.netAddress.ipAddress, a.data(), 4); }

    // Per-user storage of the plug-in (host memory), zero-filled.
    size_t pluginInfoSize() const { return pluginInfo_.size(); }
    void resetPluginInfo(size_t bytes) {
        pluginInfo_.assign(bytes, 0);
        rec.pluginUserInfo = bytes ? pluginInfo_.data() : nullptr;
    }

private:
    std::vector<unsigned char> pluginInfo_;
};

}  // namespace kestrom::sim
