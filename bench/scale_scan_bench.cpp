// scale_scan_bench.cpp - the scale rows of the occupant scans and of the
// loader (goals.h, SCALE_ROWS): moves under personal space and avatar changes
// under the duplicate test in rooms of 64 and 1,024, set against the floor
// that any module pays through the host interface, one GetServerUser per
// occupant; and parameter files of 300 and 30,000 lines set against a plain
// fgets pass over the same file.
//
// Every benchmark is one unit of work per iteration on the thread's CPU
// clock (Google Benchmark's CPU time), so that the table divides the median
// CPU time per iteration of a row by that of its reference.
//
//   scale/floor_get_server_user/N  one scan of a room of N: GetServerUser for
//                                  every occupied slot but the sender's, the
//                                  position read and compared, nothing else
//   scale/move/N                   a move through Server::screenOnly, the
//                                  avatarzone rule on, nobody within reach
//   scale/avatar/N                 an avatar change to one new prop, every
//                                  occupant wearing one prop of their own
//   scale/avatar_9props/N          the same with nine props each, eight of
//                                  them shared by everyone (the lists differ
//                                  in the last prop only, in another order)
//   scale/params_load/L            a load of an L-line file, as a reload does,
//                                  under a lean host: memory from malloc, log
//                                  lines counted (paramsLoadBench)
//   scale/params_fgets/L           reading the same file with fgets
#include "bench/parameter_files.h"
#include "bench/world.h"
#include "params/params.h"
#include "sim/clock.h"
#include "sim/lean_host.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace kestrom::bench {

namespace {

using sim::Message;
using sim::Server;
using sim::SimUser;

// Eight props everyone wears with nine-prop avatars, and the one of their own.
std::vector<AssetSpec> ninePropsOf(int own) {
    std::vector<AssetSpec> props;
    for (int k = 0; k < 8; ++k) props.push_back({500 + k, 0});
    props.push_back({own, 0});
    return props;
}

// The same props, the own one first and the shared ones reversed.
std::vector<AssetSpec> ninePropsShuffled(int own) {
    std::vector<AssetSpec> props = {{own, 0}};
    for (int k = 7; k >= 0; --k) props.push_back({500 + k, 0});
    return props;
}

// One room of `people` users (u1, u2, ...) under the module, each wearing
// one prop of their own or nine (eight shared).
World scanWorld(int people, bool nineProps) {
    return World(sim::linkedModule(), CROWD_PARAMETERS, people, [](int i) { return "u" + std::to_string(i + 1); },
                 [nineProps](int i) { return nineProps ? ninePropsOf(10000 + i) : std::vector<AssetSpec>{{10000 + i, 0}}; });
}

std::vector<std::vector<Message>> avatars(int people, bool nineProps) {
    std::vector<std::vector<Message>> turns;
    for (int i = 0; i < people; ++i) {
        if (nineProps)
            turns.push_back({sim::msg::props(ninePropsShuffled(20000 + i)), sim::msg::props(ninePropsShuffled(30000 + i))});
        else
            turns.push_back({sim::msg::props({{20000 + i, 0}}), sim::msg::props({{30000 + i, 0}})});
    }
    return turns;
}

void runTraffic(benchmark::State &state, int people, bool move, bool nineProps) {
    World world = scanWorld(people, nineProps);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    Traffic traffic(world, move ? moves(people) : avatars(people, nineProps));
    traffic.warmUp();
    long passed = 0;
    for (auto _ : state) passed += traffic.sendNext();
    state.counters["passed"] = static_cast<double>(passed) / static_cast<double>(state.iterations());
}

void moveBench(benchmark::State &state, int people) { runTraffic(state, people, true, false); }
void avatarBench(benchmark::State &state, int people) { runTraffic(state, people, false, false); }
void avatarNineBench(benchmark::State &state, int people) { runTraffic(state, people, false, true); }

// The floor: per iteration, one scan of the room for the next sender, one
// GetServerUser per occupied slot and the personal-space comparison.
void floorBench(benchmark::State &state, int people) {
    World world = scanWorld(people, false);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    ServerState &ss = world.server.serverState();
    const ServerRoomRec *room = GetRoom(1);
    if (!room || !room->occupants) {
        state.SkipWithError("no room");
        return;
    }
    size_t next = 0;
    long within = 0;
    for (auto _ : state) {
        const ServerUserRec &self = world.users[next]->rec;
        const Point pos = {static_cast<sint16>(self.user.roomPos.v + 22), static_cast<sint16>(self.user.roomPos.h + 30)};
        for (int slot = 0; slot < ss.maxPeoplePerRoom; ++slot) {
            const UserID id = room->occupants[slot];
            if (id == 0 || id == self.user.userID) continue;
            const ServerUserRec *other = GetServerUser(id);
            if (!other) continue;
            const int dh = other->user.roomPos.h - pos.h, dv = other->user.roomPos.v - pos.v;
            if (dh <= 10 && dh >= -10 && dv <= 10 && dv >= -10) ++within;
        }
        if (++next == world.users.size()) next = 0;
    }
    benchmark::DoNotOptimize(within);
}

// Module time per load: the CPU time of a load as a reload does it, under a lean host (sim/lean_host.h) from
// before the module starts to after it stops.  NewPtr is then malloc,
// DisposePtr free, and every log line is counted, not formatted or stored:
// the simulated heap's record of each block and the server's handling of
// each text are the simulator's costs, which any real host pays in its own
// way, so they are left out by not being paid rather than estimated and
// subtracted.  What malloc and free cost stays in: a real host pays those
// for the module.
void paramsLoadBench(benchmark::State &state, int lines) {
    Server server;
    server.recorder().setEnabled(false);
    const std::string path = server.writeParameterFile(parameterFile(lines));
    std::string modulePath = "kestrom.so";
    char *argv[] = {modulePath.data(), const_cast<char *>(path.c_str()), nullptr};
    sim::LeanHost lean;
    auto *module = static_cast<MyState *>(::initializeServerPlugin(sim::THE_PLUGIN_ID, 2, argv));
    if (!module) {
        state.SkipWithError("the module did not start");
        return;
    }
    int loaded = 1;
    const long allocationsBefore = lean.allocations(), logLinesBefore = lean.logLines();
    for (auto _ : state) loaded &= loadParameterFile(module, nullptr);
    const auto loads = static_cast<double>(state.iterations());
    const double allocations = static_cast<double>(lean.allocations() - allocationsBefore) / loads;
    const double logLines = static_cast<double>(lean.logLines() - logLinesBefore) / loads;
    ::shutdownServerPlugin(&server.serverState(), module);
    if (!loaded) state.SkipWithError("a load failed");
    if (lean.outstanding() != 0) state.SkipWithError("blocks left out after the module stopped");
    state.counters["allocs/load"] = allocations;
    state.counters["log_lines/load"] = logLines;
}

void paramsFgetsBench(benchmark::State &state, int count) {
    Server server;
    const std::string path = server.writeParameterFile(parameterFile(count));
    long lines = 0;
    for (auto _ : state) {
        FILE *f = std::fopen(path.c_str(), "r");
        if (!f) break;
        char line[PARAM_LINE_SIZE];
        while (std::fgets(line, sizeof line, f)) ++lines;
        std::fclose(f);
    }
    benchmark::DoNotOptimize(lines);
}

[[maybe_unused]] const bool registered = [] {
    auto reg = [](const std::string &name, void (*fn)(benchmark::State &, int), int size) {
        benchmark::RegisterBenchmark((name + "/" + std::to_string(size)).c_str(), fn, size)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    };
    for (int people : {64, 1024}) {
        reg("scale/floor_get_server_user", floorBench, people);
        reg("scale/move", moveBench, people);
        reg("scale/avatar", avatarBench, people);
    }
    reg("scale/avatar_9props", avatarNineBench, 1024);
    for (int lines : {300, 30000}) {
        reg("scale/params_fgets", paramsFgetsBench, lines);
        reg("scale/params_load", paramsLoadBench, lines);
    }
    return true;
}();

}  // namespace

}  // namespace kestrom::bench
