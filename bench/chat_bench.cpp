// chat_bench.cpp - what the module's verdict on one chat line costs: a plain
// line, the same line repeated, a command line and a help request, each said
// in a room of 30 with the chat and repchat rules on.  Only the verdict is
// measured (Server::screenOnly): nothing is carried out or recorded.
//
// The rules allow far more than the benchmark sends, so every line takes the
// accepted path through the rate check, as an ordinary user's line does.
#include "sim/linked_module.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

constexpr int PEOPLE = 30;

constexpr const char *PARAMETERS =
    "chat 4000000000 1.0 public\n"
    "repchat 4000000000 1.0 public\n"
    "spoof public\n"
    "chatgoto 86 beam me up\n"
    "chatgoto 87 take me home\n";

// One room of 30 guests; the first one speaks.
struct ChatRoom {
    Server server;
    SimUser *speaker = nullptr;
    std::string error;

    ChatRoom() {
        server.useModule(linkedModule());
        server.setMaxPeople(PEOPLE);
        if (!server.addRoom({.id = 1, .name = "Lobby"}, error)) return;
        if (!server.startWithParameters(PARAMETERS)) {
            error = "the module did not start";
            return;
        }
        for (int i = 1; i <= PEOPLE; ++i) {
            SimUser *user = server.connect(UserPlan::numbered(i == 2 ? "Bob" : "u" + std::to_string(i), i), error);
            if (!user) return;
            if (i == 1) speaker = user;
        }
        server.advance(2); // the arrival timers
        server.recorder().setEnabled(false);
    }
};

// Screens the lines in turn, one per iteration.
void screenLines(benchmark::State &state, const std::vector<std::string> &lines) {
    ChatRoom room;
    if (!room.speaker) {
        state.SkipWithError(room.error.c_str());
        return;
    }
    std::vector<Message> messages;
    for (const std::string &line : lines) messages.push_back(msg::talk(line));
    size_t next = 0;
    long passed = 0;
    for (auto _ : state) {
        passed += room.server.screenOnly(*room.speaker, messages[next].msg());
        if (++next == messages.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["passed"] = benchmark::Counter(static_cast<double>(passed) /
                                                  static_cast<double>(state.iterations()));
}

// Two different lines in turn: each is new, so the chat rule counts it.
void BM_PlainChatLine(benchmark::State &state) {
    screenLines(state, {"hello there, how is everyone today?", "fine, thanks for asking"});
}

// The same line again and again: the repchat rule counts it.
void BM_RepeatedChatLine(benchmark::State &state) {
    screenLines(state, {"hello there, how is everyone today?"});
}

// A command: found in the table, dispatched, find answers the speaker.
void BM_CommandLine(benchmark::State &state) { screenLines(state, {"`find Bob"}); }

// A guest's `help: thirteen lines of listing, then on to the host.
void BM_HelpRequest(benchmark::State &state) { screenLines(state, {"`help"}); }

BENCHMARK(BM_PlainChatLine)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RepeatedChatLine)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CommandLine)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HelpRequest)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
