// goals.h - the speed goals that `make bench` checks, shared by the goal
// benchmarks (speed_bench.cpp) and the summary printed after them (main.cpp).
#pragma once

namespace kestrom::bench {

// One goal: the benchmark that measures it, what it measures, and the
// largest ratio to the reference kernel (kernel.h) that meets it.
struct SpeedGoal {
    const char *benchmark; // registered as "goal/<benchmark>"
    const char *message;   // as the summary names it
    double maxRatio;
};

inline constexpr SpeedGoal SPEED_GOALS[] = {
    {"chat_line",    "plain chat line, chat+repchat rules, room of 30",   3.0},
    {"command_find", "command line `find bob, room of 30",                1.5},
    {"move",         "move, personal space on, full room of 64",          3.0},
    {"avatar",       "avatar change, duplicate test on, room of 64",      4.0},
    {"face",         "face change, room of 30",                           3.0},
};

// Allocations per message after warm-up: a chat line may keep one copy.
inline constexpr double MAX_ALLOCS_CHAT = 1.0;
inline constexpr double MAX_ALLOCS_OTHER = 0.0;
// time() calls per message.
inline constexpr double MAX_TIME_CALLS = 1.0;
// A 300-line parameter file against reading it with fgets.
inline constexpr double MAX_PARAMS_RATIO = 5.0;

}  // namespace kestrom::bench
