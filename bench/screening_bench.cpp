// screening_bench.cpp - what message screening costs per message, measured
// through the simulated server: 500 users in 50 full rooms, the parameter
// file of examples/ (or a file of the same spirit when it is missing), and
// for each kind of message the same run with a module that passes every
// message untouched.  The figures that matter are the ratios to that
// baseline and the allocations per message (chat lines excepted, none).
//
// The virtual clock moves on ten seconds every time all senders have had
// their turn, so the rate rules keep draining and the path measured is the
// accepted one, as for real users; "passed" reports the share that passed.
#include "sim/linked_module.h"
#include "sim/server.h"
#include "sim/clock.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

constexpr int ROOMS = 50;
constexpr int PEOPLE_PER_ROOM = 10;
constexpr int USERS = ROOMS * PEOPLE_PER_ROOM;
constexpr int LOOSE_PROPS = 50;
constexpr long SECONDS_PER_ROUND = 10;

// Used when examples/kestrom.params is not there.
constexpr const char *FALLBACK_PARAMETERS =
    "chat 10 1.0 public member\n"
    "repchat 10 1.0 public member\n"
    "page 1 0.5 public private member\n"
    "move 30 1.0 public member\n"
    "slide 30 1.0 public member\n"
    "avatarzone 12 public member\n"
    "facechange 10 0.5 public member\n"
    "avatarchange 40 2.0 public member\n"
    "nodupavatars public member\n"
    "zone 12 public member\n"
    "propdrop 10 1.0 public member\n"
    "spoof public member\n";

std::string parameterText() {
    std::ifstream in(KESTROM_SOURCE_DIR "/examples/kestrom.params", std::ios::binary);
    if (!in) return FALLBACK_PARAMETERS;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

enum class Module { Kestrom, Passthrough };

// The world: 50 full rooms of 10 users, spread out so that nobody stands in
// anyone's personal space, each wearing an avatar of its own; room 1 holds
// 50 loose props.
struct World {
    Server server;
    std::vector<SimUser *> users;
    bool ready = false;
    std::string error;

    explicit World(Module module) {
        if (!load(module)) return;
        server.setMaxPeople(PEOPLE_PER_ROOM);
        for (int r = 1; r <= ROOMS; ++r) {
            RoomPlan plan;
            plan.id = static_cast<RoomID>(r);
            plan.name = "Room " + std::to_string(r);
            if (!server.addRoom(plan, error)) return;
        }
        if (!server.startWithParameters(parameterText())) {
            error = "the module did not start";
            return;
        }
        for (int i = 0; i < USERS; ++i) {
            UserPlan plan = UserPlan::numbered("u" + std::to_string(i), i + 1);
            plan.rank = 1;
            plan.room = static_cast<RoomID>(i / PEOPLE_PER_ROOM + 1);
            SimUser *u = server.connect(plan, error);
            if (!u) return;
            u->rec.user.roomPos = homeOf(i);
            u->setProps({{10000 + i, 0}});
            users.push_back(u);
        }
        for (int k = 0; k < LOOSE_PROPS; ++k)
            server.addLooseProp(*server.room(1), {7000 + k, 0},
                                {static_cast<sint16>(20 + 6 * k), static_cast<sint16>(400)});
        server.advance(2); // the arrival timers
        server.recorder().setEnabled(false);
        ready = true;
    }

    bool load(Module module) {
        if (module == Module::Kestrom) {
            server.useModule(linkedModule());
            return true;
        }
        return server.loadModule(KESTROM_PASSTHROUGH_PATH, error);
    }

    // Each user's spot: a row per room, 40 pixels apart.
    static Point homeOf(int i) {
        return {static_cast<sint16>(100), static_cast<sint16>(20 + 40 * (i % PEOPLE_PER_ROOM))};
    }
};

// One kind of message: who sends it, and the prepared messages each sender
// takes turns with.
struct Workload {
    std::vector<int> senders;                 // indexes into World::users
    std::vector<std::vector<Message>> turns;  // per sender, messages used in turn
};

std::vector<int> everyone() {
    std::vector<int> all(USERS);
    for (int i = 0; i < USERS; ++i) all[i] = i;
    return all;
}

// The users of rooms 1 to `rooms`.
std::vector<int> firstRooms(int rooms) {
    std::vector<int> some(static_cast<size_t>(rooms * PEOPLE_PER_ROOM));
    for (size_t i = 0; i < some.size(); ++i) some[i] = static_cast<int>(i);
    return some;
}

Workload chatLines() {
    Workload w{everyone(), {}};
    for (int i : w.senders)
        w.turns.push_back({msg::talk("hello from " + std::to_string(i)),
                           msg::talk("how is everyone, says " + std::to_string(i))});
    return w;
}

// Moves of 8 pixels up and back, clear of everyone else's space, in rooms
// 1 to 5 (where the example file gives avatars personal space).
Workload moves() {
    Workload w{firstRooms(5), {}};
    for (int i : w.senders) {
        const Point home = World::homeOf(i);
        w.turns.push_back({msg::location({static_cast<sint16>(home.v + 60), home.h}),
                           msg::location({static_cast<sint16>(home.v + 68), home.h})});
    }
    return w;
}

Workload faces() {
    Workload w{everyone(), {}};
    for (int i : w.senders) w.turns.push_back({msg::face(3), msg::face(7)});
    return w;
}

// One prop in place of the one worn: cost 1, and the duplicate test compares
// it with every other occupant's one-prop avatar.
Workload avatars() {
    Workload w{everyone(), {}};
    for (int i : w.senders)
        w.turns.push_back({msg::props({{20000 + i, 0}}), msg::props({{30000 + i, 0}})});
    return w;
}

// Drops into the room of 50 loose props: the zone walk reads all of them.
Workload drops() {
    Workload w{firstRooms(1), {}};
    for (int i : w.senders)
        w.turns.push_back({msg::dropProp({9000 + i, 0}, {300, static_cast<sint16>(30 + 40 * i)}),
                           msg::dropProp({9500 + i, 0}, {340, static_cast<sint16>(30 + 40 * i)})});
    return w;
}

void runScreening(benchmark::State &state, Module module, Workload (*make)()) {
    World world(module);
    if (!world.ready) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    Workload work = make();
    const size_t senders = work.senders.size();
    size_t next = 0, round = 0;
    long passed = 0;
    const long allocationsBefore = world.server.heap().allocationsMade();
    for (auto _ : state) {
        SimUser &sender = *world.users[work.senders[next]];
        std::vector<Message> &turn = work.turns[next];
        passed += world.server.screenOnly(sender, turn[round % turn.size()].msg());
        if (++next == senders) {
            next = 0;
            ++round;
            setVirtualNow(virtualNow() + SECONDS_PER_ROUND);
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["passed"] = static_cast<double>(passed) / n;
    state.counters["allocs/msg"] =
        static_cast<double>(world.server.heap().allocationsMade() - allocationsBefore) / n;
}

struct Kind {
    const char *name;
    Workload (*make)();
};

constexpr Kind KINDS[] = {
    {"chat_line", chatLines},
    {"move_full_room_personal_space", moves},
    {"face_change", faces},
    {"avatar_change_duplicate_test", avatars},
    {"prop_drop_50_loose_props", drops},
};

[[maybe_unused]] const bool registered = [] {
    for (const Kind &kind : KINDS) {
        for (Module module : {Module::Kestrom, Module::Passthrough}) {
            const std::string name = std::string("screen/") + kind.name +
                                     (module == Module::Kestrom ? "/kestrom" : "/passthrough");
            benchmark::RegisterBenchmark(name.c_str(), runScreening, module, kind.make)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        }
    }
    return true;
}();

}  // namespace
