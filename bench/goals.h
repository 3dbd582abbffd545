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

// One row of the scale table: a benchmark, divided by its reference measured in the same run.
struct ScaleRow {
    const char *work;      // as the table prints it: "chat line, 1,000 rules per kind"
    const char *benchmark; // registered name, e.g. "scale/chat_rules/1000"
    const char *reference; // e.g. "scale/chat_rules/1" or "scale/floor_get_server_user/64";
                           // null: the row is an absolute time (then maxMs applies)
    double maxRatio;       // goal as a ratio; 0: shown without a goal
    double maxMs;          // goal as milliseconds of module time; 0: none
};

inline constexpr ScaleRow SCALE_ROWS[] = {
    {"move, avatarzone on, room of 64",              "scale/move/64",            "scale/floor_get_server_user/64",   1.0, 0},
    {"move, avatarzone on, room of 1,024",           "scale/move/1024",          "scale/floor_get_server_user/1024", 1.0, 0},
    {"avatar change, nodupavatars, room of 64",      "scale/avatar/64",          "scale/floor_get_server_user/64",   1.0, 0},
    {"avatar change, nodupavatars, room of 1,024",   "scale/avatar/1024",        "scale/floor_get_server_user/1024", 1.0, 0},
    {"avatar change, 9 props each, room of 1,024",   "scale/avatar_9props/1024", "scale/avatar/1024",                3.0, 0},
    {"parameter file of 300 lines",                  "scale/params_load/300",    "scale/params_fgets/300",           5.0, 0},
    {"parameter file of 30,000 lines",               "scale/params_load/30000",  "scale/params_fgets/30000",         5.0, 0},
};

}  // namespace kestrom::bench
