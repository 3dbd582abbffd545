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

// The arrivals rows are the module's time in the logon timers (the
// benchmark's manual time, also its counter module_ms); the others are CPU
// time per message or per entry.
inline constexpr ScaleRow SCALE_ROWS[] = {
    {"1,000 arrivals at once, no dupip rule",          "scale/arrivals/1000",          nullptr, 0, 0},
    {"3,000 arrivals at once, no dupip rule",          "scale/arrivals/3000",          nullptr, 0, 0},
    {"10,000 arrivals at once, no dupip rule",         "scale/arrivals/10000",         nullptr, 0, 10.0},
    {"1,000 arrivals at once, dupip rules, 2 an address",  "scale/arrivals_dupip/1000",  nullptr, 0, 0},
    {"3,000 arrivals at once, dupip rules, 2 an address",  "scale/arrivals_dupip/3000",  nullptr, 0, 0},
    {"10,000 arrivals at once, dupip rules, 2 an address", "scale/arrivals_dupip/10000", nullptr, 0, 10.0},
    {"chat line, 100 rules per kind",                  "scale/chat_rules/100",         "scale/chat_rules/1", 0, 0},
    {"chat line, 1,000 rules per kind",                "scale/chat_rules/1000",        "scale/chat_rules/1", 1.2, 0},
    {"chat line, 1,000 chat-goto phrases",             "scale/chatgoto/1000",          "scale/chatgoto/1", 1.2, 0},
    {"room entry, 2,000 disciplined users",            "scale/entry_sanctions/2000",   "scale/entry_sanctions/20", 1.5, 0},
    // Adding stays O(1) in the list's length; what is left at 2,000 is the
    // cache misses of entries and buckets that 20 entries never take.
    {"adding a sanction, list of 2,000",               "scale/add_sanction/2000",      "scale/add_sanction/20", 2.0, 0},
    {"move, avatarzone on, room of 64",              "scale/move/64",            "scale/floor_get_server_user/64",   1.0, 0},
    {"move, avatarzone on, room of 1,024",           "scale/move/1024",          "scale/floor_get_server_user/1024", 1.0, 0},
    {"avatar change, nodupavatars, room of 64",      "scale/avatar/64",          "scale/floor_get_server_user/64",   1.0, 0},
    {"avatar change, nodupavatars, room of 1,024",   "scale/avatar/1024",        "scale/floor_get_server_user/1024", 1.0, 0},
    {"avatar change, 9 props each, room of 1,024",   "scale/avatar_9props/1024", "scale/avatar/1024",                3.0, 0},
    {"parameter file of 300 lines",                  "scale/params_load/300",    "scale/params_fgets/300",           5.0, 0},
    // Shown without a goal: its time per line against the 300-line file's
    // says how nearly linear the load stays.
    {"parameter file of 30,000 lines",               "scale/params_load/30000",  "scale/params_fgets/30000",         0,   0},
};

}  // namespace kestrom::bench
