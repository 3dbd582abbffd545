// speed_bench.cpp - the speed goals: for each kind of message, kestrom's time
// per message as a ratio to the reference kernel (kernel.h), its heap
// allocations and time() calls per message; and the module's memory per
// connected user.
//
// How a goal is measured, in every repetition:
//   1. A world is built with kestrom: one room, its users spread out and each
//      wearing a prop of their own, the goal's parameter file, recording off.
//   2. Every sender takes two warm-up turns, then the measured loop hands
//      the prepared messages to Server::screenOnly (the module's verdict
//      only: nothing is carried out or recorded), the senders taking turns;
//      the virtual clock moves on a second per round.  The loop is timed on
//      the thread's CPU clock.
//   3. The same world is built with the kernel module, warmed up the same
//      way, and the same number of messages goes through the same loop.
//      Moves and avatars are also measured against the kernel's floor
//      variant, which adds the occupant scan every module must make.
// So both sides pay the same server path (screenOnly, the host look-ups the
// kernel also needs); the ratio is kestrom's extra work.  The rules allow far
// more than is sent: every message takes the accepted path.
#include "bench/goals.h"
#include "bench/kernel.h"
#include "bench/world.h"
#include "core/state.h"
#include "sim/clock.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

namespace kestrom::bench {

namespace {

using sim::Message;
using sim::Server;
using sim::SimUser;

// The room of 30: chat, command lines and faces.
constexpr const char *TALK_PARAMETERS =
    "chat 4000000000 1.0 public\n"
    "repchat 4000000000 1.0 public\n"
    "facechange 4000000000 1.0 public\n"
    "spoof public\n"
    "chatgoto 86 beam me up\n"
    "chatgoto 87 take me home\n";

double threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// What one goal sends: the world's size and file, and each sender's turns.
struct Scene {
    int people;
    const char *parameters;
    std::vector<std::vector<Message>> (*turns)(int people);
    bool occupantScan; // also measured against the kernel's floor variant
};

// One room of the scene's people (u1, Bob, u3, ...) under `module`, one
// prop each.
World sceneWorld(const sim::ModuleEntryPoints &module, const Scene &scene) {
    return World(module, scene.parameters, scene.people,
                 [](int i) { return i == 1 ? std::string("Bob") : "u" + std::to_string(i + 1); },
                 [](int i) { return std::vector<AssetSpec>{{10000 + i, 0}}; });
}

// Two different lines in turn: each is new, so the chat rule counts it.
std::vector<std::vector<Message>> chatLines(int people) {
    std::vector<std::vector<Message>> turns;
    for (int i = 0; i < people; ++i)
        turns.push_back({sim::msg::talk("hello there, how is everyone today?"),
                         sim::msg::talk("fine, thanks for asking")});
    return turns;
}

std::vector<std::vector<Message>> findBob(int people) {
    std::vector<std::vector<Message>> turns;
    for (int i = 0; i < people; ++i) turns.push_back({sim::msg::talk("`find bob")});
    return turns;
}

// One prop in place of the one worn: cost 1, and the duplicate test compares
// it with every other occupant's one-prop avatar.
std::vector<std::vector<Message>> avatars(int people) {
    std::vector<std::vector<Message>> turns;
    for (int i = 0; i < people; ++i)
        turns.push_back({sim::msg::props({{20000 + i, 0}}), sim::msg::props({{30000 + i, 0}})});
    return turns;
}

std::vector<std::vector<Message>> faces(int people) {
    std::vector<std::vector<Message>> turns;
    for (int i = 0; i < people; ++i) turns.push_back({sim::msg::face(3), sim::msg::face(7)});
    return turns;
}

const Scene SCENES[] = {
    {30, TALK_PARAMETERS, chatLines, false},
    {30, TALK_PARAMETERS, findBob, false},
    {64, CROWD_PARAMETERS, moves, true},
    {64, CROWD_PARAMETERS, avatars, true},
    {30, TALK_PARAMETERS, faces, false},
};
static_assert(std::size(SCENES) == std::size(SPEED_GOALS));

// CPU nanoseconds per message of the kernel (or its floor variant) over
// `count` messages.
double kernelNanoseconds(const Scene &scene, long count, bool occupantScan, std::string &error) {
    World world = sceneWorld(kernelModule(occupantScan), scene);
    if (!world.ready()) {
        error = "kernel world: " + world.error;
        return 0;
    }
    std::vector<std::vector<Message>> turns = scene.turns(scene.people);
    Traffic traffic(world, std::move(turns));
    traffic.warmUp();
    long passed = 0;
    const double start = threadCpuNanoseconds();
    for (long i = 0; i < count; ++i) passed += traffic.sendNext();
    const double spent = threadCpuNanoseconds() - start;
    benchmark::DoNotOptimize(passed);
    return spent / static_cast<double>(count);
}

void runGoal(benchmark::State &state, const Scene &scene) {
    double moduleNs = 0;
    long allocations = 0, timeCalls = 0, passed = 0;
    {
        World world = sceneWorld(sim::linkedModule(), scene);
        if (!world.ready()) {
            state.SkipWithError(world.error.c_str());
            return;
        }
        std::vector<std::vector<Message>> turns = scene.turns(scene.people);
        Traffic traffic(world, std::move(turns));
        traffic.warmUp();
        const long allocationsBefore = world.server.heap().allocationsMade();
        const long timeCallsBefore = sim::timeCalls();
        const double start = threadCpuNanoseconds();
        for (auto _ : state) passed += traffic.sendNext();
        moduleNs = (threadCpuNanoseconds() - start) / static_cast<double>(state.iterations());
        allocations = world.server.heap().allocationsMade() - allocationsBefore;
        timeCalls = sim::timeCalls() - timeCallsBefore;
    }
    std::string error;
    const double kernelNs = kernelNanoseconds(scene, state.iterations(), false, error);
    const double floorNs = scene.occupantScan ? kernelNanoseconds(scene, state.iterations(), true, error) : 0;
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const double n = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["ns/msg"] = moduleNs;
    state.counters["kernel_ns"] = kernelNs;
    state.counters["x_kernel"] = kernelNs > 0 ? moduleNs / kernelNs : 0;
    if (floorNs > 0) {
        state.counters["floor_ns"] = floorNs;
        state.counters["x_floor"] = moduleNs / floorNs;
    }
    state.counters["allocs/msg"] = static_cast<double>(allocations) / n;
    state.counters["time()/msg"] = static_cast<double>(timeCalls) / n;
    state.counters["passed"] = static_cast<double>(passed) / n;
}

// What the module holds per connected user once everyone has said a line:
// its record (host storage) and the blocks it allocated meanwhile.
void memoryPerUser(benchmark::State &state) {
    const Scene scene = SCENES[0];
    World world = sceneWorld(sim::linkedModule(), scene);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    const size_t blocksBefore = world.server.heap().outstanding();
    std::vector<std::vector<Message>> turns = scene.turns(scene.people);
    Traffic traffic(world, std::move(turns));
    for (size_t i = 0; i < world.users.size(); ++i) traffic.sendNext();
    double lineBytes = 0;
    for (SimUser *user : world.users) {
        const auto *ud = static_cast<const UserDat *>(user->rec.pluginUserInfo);
        if (ud && ud->lastChat) lineBytes += static_cast<double>(world.server.heap().blockSize(ud->lastChat));
    }
    const double people = static_cast<double>(world.users.size());
    for (auto _ : state) benchmark::DoNotOptimize(lineBytes);
    state.counters["sizeof_UserDat"] = sizeof(UserDat);
    state.counters["line_bytes/user"] = lineBytes / people;
    state.counters["bytes/user"] = static_cast<double>(sizeof(UserDat)) + lineBytes / people;
    state.counters["blocks/user"] =
        static_cast<double>(world.server.heap().outstanding() - blocksBefore) / people;
}

// A host that provides the decision trace: each record goes to the server,
// which counts it (recording is off, as for every goal).
void countDecision(const KestromDecision *decision) {
    if (Server *server = Server::active()) server->traceDecision(decision);
}

// What the decision trace costs: the goal's traffic through one world, in
// alternating blocks with the trace absent (the host provides no operation,
// as for the goals) and present.
void runTrace(benchmark::State &state, const Scene &scene) {
    constexpr long BLOCK = 256;
    World world = sceneWorld(sim::linkedModule(), scene);
    auto *module = static_cast<MyState *>(world.server.pluginData());
    if (!world.ready() || !module) {
        state.SkipWithError(world.ready() ? "no module state" : world.error.c_str());
        return;
    }
    std::vector<std::vector<Message>> turns = scene.turns(scene.people);
    Traffic traffic(world, std::move(turns));
    traffic.warmUp();
    double absentNs = 0, presentNs = 0;
    long sent = 0, decisions = 0;
    for (auto _ : state) {
        module->traceDecision = nullptr;
        const double start = threadCpuNanoseconds();
        for (long i = 0; i < BLOCK; ++i) traffic.sendNext();
        const double middle = threadCpuNanoseconds();
        module->traceDecision = countDecision;
        const long before = world.server.decisionsTraced();
        for (long i = 0; i < BLOCK; ++i) traffic.sendNext();
        presentNs += threadCpuNanoseconds() - middle;
        absentNs += middle - start;
        decisions += world.server.decisionsTraced() - before;
        sent += BLOCK;
    }
    module->traceDecision = nullptr;
    const double n = static_cast<double>(sent);
    state.SetItemsProcessed(2 * sent);
    state.counters["absent_ns"] = absentNs / n;
    state.counters["present_ns"] = presentNs / n;
    state.counters["x_absent"] = absentNs > 0 ? presentNs / absentNs : 0;
    state.counters["decisions/msg"] = static_cast<double>(decisions) / n;
}

// The goals whose messages the trace benchmark measures.
constexpr const char *TRACED_GOALS[] = {"chat_line", "move", "avatar"};

[[maybe_unused]] const bool registered = [] {
    for (size_t i = 0; i < std::size(SPEED_GOALS); ++i)
        benchmark::RegisterBenchmark((std::string("goal/") + SPEED_GOALS[i].benchmark).c_str(), runGoal,
                                     SCENES[i])
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    for (const char *goal : TRACED_GOALS)
        for (size_t i = 0; i < std::size(SPEED_GOALS); ++i)
            if (std::string(SPEED_GOALS[i].benchmark) == goal)
                benchmark::RegisterBenchmark((std::string("trace/") + goal).c_str(), runTrace, SCENES[i])
                    ->Repetitions(5)
                    ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("memory/per_user_after_a_chat_line", memoryPerUser)->Iterations(1);
    return true;
}();

}  // namespace

}  // namespace kestrom::bench
