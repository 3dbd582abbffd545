// world.h - the world the message benchmarks send into: one room of
// people on a grid under a module and a parameter text, and their messages
// sent in turn.
#pragma once

#include "sim/clock.h"
#include "sim/messages.h"
#include "sim/module.h"
#include "sim/server.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrom::bench {

// The full room: moves under personal space, avatars under the duplicate test.
inline constexpr const char *CROWD_PARAMETERS =
    "move 4000000000 1.0 public\n"
    "slide 4000000000 1.0 public\n"
    "avatarzone 10 public\n"
    "avatarchange 4000000000 1.0 public\n"
    "nodupavatars public\n";

inline constexpr int COLUMNS = 8;

// User i's spot: an 8-column grid, 60 pixels across and 45 down.
inline Point homeOf(int i) {
    return {static_cast<sint16>(20 + 45 * (i / COLUMNS)), static_cast<sint16>(20 + 60 * (i % COLUMNS))};
}

// Each sender's messages; a sender's turns repeat.
using Turns = std::vector<std::vector<sim::Message>>;

// One room of `people` users under `module`, ready for screenOnly: user i
// is handleOf(i), at homeOf(i), wearing propsOf(i) (nothing when propsOf is
// empty); `slots` places in the room (0: as many as people); arrival timers
// run, recording off.
struct World {
    sim::Server server;
    std::vector<sim::SimUser *> users;
    std::string error;

    World(const sim::ModuleEntryPoints &module, const char *parameters, int people,
          const std::function<std::string(int)> &handleOf,
          const std::function<std::vector<AssetSpec>(int)> &propsOf, int slots = 0) {
        server.useModule(module);
        server.setMaxPeople(slots > 0 ? slots : people);
        sim::RoomPlan lobby;
        lobby.id = 1;
        lobby.name = "Lobby";
        if (!server.addRoom(lobby, error)) return;
        if (!server.startWithParameters(parameters)) {
            error = "the module did not start";
            return;
        }
        for (int i = 0; i < people; ++i) {
            sim::SimUser *user = server.connect(sim::UserPlan::numbered(handleOf(i), i + 1), error);
            if (!user) return;
            user->rec.user.roomPos = homeOf(i);
            if (propsOf) user->setProps(propsOf(i));
            users.push_back(user);
        }
        server.advance(2);
        server.recorder().setEnabled(false);
    }
    bool ready() const { return error.empty() && !users.empty(); }
};

// The messages in the order they are sent: the senders in turn, each
// taking its next turn when its time comes; the clock moves a second a round.
class Traffic {
  public:
    Traffic(World &world, Turns turns) : world_(world), turns_(std::move(turns)) {}

    // Sends the next message; true when it passed.
    bool sendNext() {
        std::vector<sim::Message> &mine = turns_[next_];
        const bool passed = world_.server.screenOnly(*world_.users[next_], mine[round_ % mine.size()].msg());
        if (++next_ == turns_.size()) {
            next_ = 0;
            ++round_;
            sim::setVirtualNow(sim::virtualNow() + 1);
        }
        return passed;
    }
    void warmUp() {
        for (size_t i = 0; i < 2 * turns_.size(); ++i) sendNext();
    }

  private:
    World &world_;
    Turns turns_;
    size_t next_ = 0, round_ = 0;
};

// Moves of 30 pixels across to two spots 22 pixels apart, clear of
// everyone's personal space; never within slide distance.
inline Turns moves(int people) {
    Turns turns;
    for (int i = 0; i < people; ++i) {
        const Point home = homeOf(i);
        const auto h = static_cast<sint16>(home.h + 30);
        turns.push_back({sim::msg::location({home.v, h}), sim::msg::location({static_cast<sint16>(home.v + 22), h})});
    }
    return turns;
}

}  // namespace kestrom::bench
