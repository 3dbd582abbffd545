// crowd_bench.cpp - the simulator at scale, and the module's load test: 1000
// users in 20 rooms for one virtual hour of crowd traffic (about a million
// messages), played as a scenario plays it (recorder on, nothing kept in the
// window, crowd traffic counted but not recorded) with the parameter file of
// examples/.  Reported: the messages, the wall time, messages per second of
// the whole simulator and of the module alone (time inside its entry points,
// the host operations it calls included), the resident memory after ten
// minutes and after the hour (the same: memory follows the users, not the
// messages), the peak, and the module blocks still out after stop (what
// --check-leaks judges; the run fails when there is one).
#include "sim/crowd/crowd.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int ROOMS = 20;
constexpr int PEOPLE_PER_ROOM = 64;
constexpr long HOUR = 3600, STEP = 600;

// The evening's crowds: name, count, rate a minute, burst (0: the profile's).
struct CrowdRow {
    const char *profile;
    int count;
    double rate;
    int burst;
};
constexpr CrowdRow CROWDS[] = {
    {"chatter", 900, 12, 0}, {"flooder", 20, 2, 0}, {"repeater", 10, 6, 0}, {"mimic", 10, 6, 0},
    {"spoofer", 10, 4, 0},   {"pager", 5, 2, 0},    {"mover", 15, 60, 0},   {"slider", 15, 60, 0},
    {"dresser", 5, 6, 0},    {"facer", 5, 12, 0},   {"dropper", 2, 4, 0},   {"hopper", 2, 2, 0},
    {"namer", 1, 2, 0},
};

// Time inside the module's entry points while the traffic runs.
long long theModuleNs = 0;

template <auto Entry, typename... Args>
auto timed(Args... args) {
    const auto start = Clock::now();
    auto result = Entry(args...);
    theModuleNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    return result;
}

template <auto Entry, typename... Args>
void timedVoid(Args... args) {
    const auto start = Clock::now();
    Entry(args...);
    theModuleNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

ModuleEntryPoints timedModule() {
    ModuleEntryPoints e = linkedModule();
    e.handleMessage = &timed<&::handleMessage, ServerState *, void *, ClientMsg *>;
    e.handleTimerEvent = &timedVoid<&::handleTimerEvent, ServerState *, void *, void *>;
    e.noteUserRoomEntry = &timedVoid<&::noteUserRoomEntry, ServerState *, void *, ServerUserRec *, ServerRoomRec *>;
    return e;
}

std::string parameterText() {
    std::ifstream in(KESTROM_SOURCE_DIR "/examples/kestrom.params", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void crowdHour(benchmark::State &state) {
    for (auto _ : state) {
        Server server;
        server.useModule(timedModule());
        server.setMaxPeople(PEOPLE_PER_ROOM);
        std::string error;
        for (int r = 1; r <= ROOMS; ++r) {
            RoomPlan plan;
            plan.id = static_cast<RoomID>(r);
            plan.name = "Room " + std::to_string(r);
            server.addRoom(plan, error);
        }
        if (!server.startWithParameters(parameterText())) return state.SkipWithError("the module did not start");
        // As a scenario's `advance` runs when no check reads its window.
        server.recorder().setKeeping(false);
        server.recorder().setShowing(false);
        crowd::CrowdEngine crowds(server);
        for (const CrowdRow &row : CROWDS) {
            crowd::CrowdPlan plan;
            plan.profile = row.profile;
            plan.count = row.count;
            plan.rate = row.rate;
            plan.burst = row.burst;
            for (int r = 1; r <= ROOMS; ++r) plan.rooms.push_back(static_cast<RoomID>(r));
            if (!crowds.start(plan, error)) return state.SkipWithError(error.c_str());
        }
        theModuleNs = 0;
        double afterTenMinutes = 0;
        const auto start = Clock::now();
        for (long t = 0; t < HOUR; t += STEP) {
            server.advance(STEP);
            if (t == 0) afterTenMinutes = residentMegabytes();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double afterHour = residentMegabytes();
        const auto messages = static_cast<double>(crowds.messagesSent());
        server.stop();
        const auto leaked = static_cast<double>(server.heap().outstanding());
        state.counters["messages"] = messages;
        state.counters["seconds"] = seconds;
        state.counters["sim_msgs/s"] = messages / seconds;
        state.counters["module_msgs/s"] = messages / (static_cast<double>(theModuleNs) / 1e9);
        state.counters["module_share"] = static_cast<double>(theModuleNs) / 1e9 / seconds;
        state.counters["rss_10min_MB"] = afterTenMinutes;
        state.counters["rss_60min_MB"] = afterHour;
        state.counters["peak_rss_MB"] = peakMegabytes();
        state.counters["leaked_blocks"] = leaked;
        state.counters["faults"] = static_cast<double>(server.faults());
        if (leaked > 0 || server.faults() > 0) state.SkipWithError("module blocks leaked, or a fault of the module's");
    }
}

}  // namespace

BENCHMARK(crowdHour)->Name("crowd/1000_users_20_rooms_1_hour")->Iterations(1)->Unit(benchmark::kSecond);
