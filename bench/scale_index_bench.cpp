// scale_index_bench.cpp - costs that must not grow with the server or the
// parameter file: arrivals at once (the logon timers), a chat line under many
// rules per kind and against many chat-goto phrases, and room entry and the
// recording of a sanction with long sanction lists.
//
// Each size is its own benchmark, "scale/<row>/<size>"; the rows of the
// table (goals.h, SCALE_ROWS) divide a size by the smallest one of the same
// run.  The arrivals are an absolute figure: the module's own time in
// handleTimerEvent while the timers of N users who arrived in the same
// second run, on a steady clock around each call, less the clock's own cost.
// That time is the benchmark's (manual) time and the counter module_ms.
#include "bench/goals.h"
#include "bench/world.h"
#include "core/state.h"
#include "rooms/rooms.h"
#include "sim/clock.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace kestrom::bench {

namespace {

using sim::Message;
using sim::Server;
using sim::SimRoom;
using sim::SimUser;

double threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// ------------------------------------------------------------- arrivals

// The module's time in handleTimerEvent, summed by the timing entry point.
double theTimerNs = 0;
long theTimerCalls = 0;

void timedTimerEvent(ServerState *ss, void *pluginDat, void *timerDat) {
    const auto start = std::chrono::steady_clock::now();
    ::handleTimerEvent(ss, pluginDat, timerDat);
    const auto end = std::chrono::steady_clock::now();
    theTimerNs += static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
    ++theTimerCalls;
}

// What one pair of steady-clock readings costs, to take off each call: the
// least of many tries (an interruption only ever adds).
double clockPairNs() {
    double least = 1e9;
    for (int i = 0; i < 20000; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto end = std::chrono::steady_clock::now();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count();
        if (static_cast<double>(ns) < least) least = static_cast<double>(ns);
    }
    return least;
}

// `arrivals` users connect within one second into 20 rooms; with `dupip`,
// a dupip rule is in force and users arrive two to an address.
void runArrivals(benchmark::State &state, int arrivals, bool dupip) {
    const double clockNs = clockPairNs();
    double moduleNs = 0;
    long calls = 0;
    for (auto _ : state) {
        Server server;
        sim::ModuleEntryPoints module = sim::linkedModule();
        module.handleTimerEvent = timedTimerEvent;
        server.useModule(module);
        server.setMaxPeople(arrivals);
        std::string error;
        std::vector<SimRoom *> rooms;
        for (int r = 0; r < 20; ++r) {
            sim::RoomPlan plan;
            plan.id = static_cast<RoomID>(r + 1);
            plan.name = "Room " + std::to_string(r + 1);
            rooms.push_back(server.addRoom(plan, error));
        }
        const char *parameters = dupip ? "chat 4000000000 1.0 public\ndupip 3 10.*.*.*\ndupip 5\n"
                                       : "chat 4000000000 1.0 public\n";
        if (!server.startWithParameters(parameters)) {
            state.SkipWithError("the module did not start");
            return;
        }
        server.recorder().setEnabled(false);
        for (int i = 0; i < arrivals; ++i) {
            sim::UserPlan plan = sim::UserPlan::numbered("u" + std::to_string(i + 1), i + 1);
            if (dupip) {
                const int a = i / 2; // two users to an address
                plan.address = {10, static_cast<uint8>(a >> 16), static_cast<uint8>(a >> 8), static_cast<uint8>(a)};
            }
            plan.room = static_cast<RoomID>(i % 20 + 1);
            if (!server.connect(plan, error)) {
                state.SkipWithError(error.c_str());
                return;
            }
        }
        theTimerNs = 0;
        theTimerCalls = 0;
        server.advance(2);
        const double spent = theTimerNs - clockNs * static_cast<double>(theTimerCalls);
        moduleNs += spent;
        calls += theTimerCalls;
        state.SetIterationTime(spent / 1e9);
        server.stop();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["module_ms"] = moduleNs / n / 1e6;
    state.counters["timer_calls"] = static_cast<double>(calls) / n;
    state.counters["ns/arrival"] = moduleNs / n / arrivals;
}

// ------------------------------------------------------- chat and rules

// `rules` rules for each parameter a chat line meets (chat, repchat, spoof,
// mimick): all but the last select other rooms by number, the last the
// public rooms; and `phrases` chat-goto phrases, none of which is said.
std::string chatFile(int rules, int phrases) {
    std::string file;
    const char *kinds[] = {"chat 4000000000 1.0", "repchat 4000000000 1.0", "spoof", "mimick 200"};
    for (const char *kind : kinds) {
        for (int i = 1; i < rules; ++i) {
            const int low = 1000 + 10 * i;
            file += std::string(kind) + " rm" + std::to_string(low) + "-" + std::to_string(low + 5) + " rm" +
                    std::to_string(low + 7) + "\n";
        }
        file += std::string(kind) + " public\n";
    }
    for (int i = 0; i < phrases; ++i)
        file += "chatgoto " + std::to_string(86 + i % 50) + " take me to place number " + std::to_string(i) + "\n";
    return file;
}

// A room of 64 places (public room 1) with `people` users under
// `parameters`, recording off, arrival timers run.
struct ChatWorld : World {
    explicit ChatWorld(const std::string &parameters, int people = 30)
        : World(sim::linkedModule(), parameters.c_str(), people, [](int i) { return "u" + std::to_string(i + 1); },
                nullptr, 64) {}
};

// Chat lines, the 30 users in turn, two different lines each, the clock a
// second on per round: CPU ns per line.
void runChat(benchmark::State &state, const std::string &parameters) {
    ChatWorld world(parameters);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    Message lines[2] = {sim::msg::talk("hello there, how is everyone today?"),
                        sim::msg::talk("fine, thanks for asking")};
    size_t next = 0, round = 0;
    long passed = 0;
    auto send = [&] {
        passed += world.server.screenOnly(*world.users[next], lines[(round + next) % 2].msg());
        if (++next == world.users.size()) {
            next = 0;
            ++round;
            sim::setVirtualNow(sim::virtualNow() + 1);
        }
    };
    for (size_t i = 0; i < 2 * world.users.size(); ++i) send();
    passed = 0;
    const long allocationsBefore = world.server.heap().allocationsMade();
    const double start = threadCpuNanoseconds();
    for (auto _ : state) send();
    const double n = static_cast<double>(state.iterations());
    state.counters["ns/msg"] = (threadCpuNanoseconds() - start) / n;
    state.counters["passed"] = static_cast<double>(passed) / n;
    state.counters["allocs/msg"] = static_cast<double>(world.server.heap().allocationsMade() - allocationsBefore) / n;
}

void runChatRules(benchmark::State &state, int rules) { runChat(state, chatFile(rules, 2)); }
void runChatGoto(benchmark::State &state, int phrases) { runChat(state, chatFile(1, phrases)); }

// ----------------------------------------------------------- sanctions

// Room 2 holds `listed` disciplined users (mroomdiscipline `listed`); 4,001
// users wait in room 1 whatever the list's length (so that the host's side
// of the work is the same for every length), the first `listed` of them in
// the list.
constexpr int SANCTION_POOL = 4000;

struct SanctionWorld {
    Server server;
    std::vector<SimUser *> users;
    SimRoom *lobby = nullptr, *den = nullptr;
    MyState *module = nullptr;
    std::string error;

    explicit SanctionWorld(int listed) {
        server.useModule(sim::linkedModule());
        server.setMaxPeople(SANCTION_POOL + 2);
        sim::RoomPlan plan;
        plan.id = 1;
        plan.name = "Lobby";
        lobby = server.addRoom(plan, error);
        plan.id = 2;
        plan.name = "Den";
        plan.owner = 12345;
        den = server.addRoom(plan, error);
        if (!lobby || !den) return;
        const std::string parameters = "mroomdiscipline " + std::to_string(listed) + "\n";
        if (!server.startWithParameters(parameters)) {
            error = "the module did not start";
            return;
        }
        module = static_cast<MyState *>(server.pluginData());
        for (int i = 0; i < SANCTION_POOL + 1; ++i) {
            sim::UserPlan p = sim::UserPlan::numbered("u" + std::to_string(i + 1), i + 1);
            p.rank = RANK_MEMBER;
            p.address = {10, static_cast<uint8>(i >> 16), static_cast<uint8>(i >> 8), static_cast<uint8>(i)};
            SimUser *user = server.connect(p, error);
            if (!user) return;
            users.push_back(user);
        }
        server.advance(2);
        server.recorder().setEnabled(false);
        for (int i = 0; i < listed; ++i)
            rememberPerp(&server.serverState(), module, &users[i]->rec, &den->rec, SANCTION_GAG);
    }
    bool ready() const { return error.empty() && module; }
};

// A user in no list asks to enter the room: CPU ns per request.
void runEntry(benchmark::State &state, int listed) {
    SanctionWorld world(listed);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    SimUser *asker = world.users.back();
    Message entry = sim::msg::gotoRoom(2);
    long passed = 0;
    for (int i = 0; i < 16; ++i) passed += world.server.screenOnly(*asker, entry.msg());
    passed = 0;
    const double start = threadCpuNanoseconds();
    for (auto _ : state) passed += world.server.screenOnly(*asker, entry.msg());
    const double n = static_cast<double>(state.iterations());
    state.counters["ns/msg"] = (threadCpuNanoseconds() - start) / n;
    state.counters["passed"] = static_cast<double>(passed) / n;
}

// Recording a sanction for a user not in the full list: the oldest entry
// goes, the new one comes first.  The 4,000 users take turns, so each is
// long gone from the list when its turn comes again.  CPU ns per entry.
void runAddEntry(benchmark::State &state, int listed) {
    SanctionWorld world(listed);
    if (!world.ready()) {
        state.SkipWithError(world.error.c_str());
        return;
    }
    ServerState *ss = &world.server.serverState();
    const size_t cycle = SANCTION_POOL;
    size_t next = static_cast<size_t>(listed);
    const double start = threadCpuNanoseconds();
    for (auto _ : state) {
        rememberPerp(ss, world.module, &world.users[next]->rec, &world.den->rec, SANCTION_GAG);
        if (++next == cycle) next = 0;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ns/entry"] = (threadCpuNanoseconds() - start) / n;
}

[[maybe_unused]] const bool registered = [] {
    const auto name = [](const char *row, int size) { return "scale/" + std::string(row) + "/" + std::to_string(size); };
    for (int n : {1000, 3000, 10000}) {
        for (bool dupip : {false, true})
            benchmark::RegisterBenchmark(name(dupip ? "arrivals_dupip" : "arrivals", n).c_str(), runArrivals, n, dupip)
                ->UseManualTime()
                ->Iterations(3)
                ->Unit(benchmark::kMillisecond);
    }
    for (int n : {1, 100, 1000})
        benchmark::RegisterBenchmark(name("chat_rules", n).c_str(), runChatRules, n)->Repetitions(5)->ReportAggregatesOnly(true);
    for (int n : {1, 1000})
        benchmark::RegisterBenchmark(name("chatgoto", n).c_str(), runChatGoto, n)->Repetitions(5)->ReportAggregatesOnly(true);
    for (int n : {20, 2000}) {
        benchmark::RegisterBenchmark(name("entry_sanctions", n).c_str(), runEntry, n)->Repetitions(5)->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(name("add_sanction", n).c_str(), runAddEntry, n)->Repetitions(5)->ReportAggregatesOnly(true);
    }
    return true;
}();

}  // namespace

}  // namespace kestrom::bench
