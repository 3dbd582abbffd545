// clock.h - the virtual clock.  The simulated server defines the C library's
// time() to answer it, so the module's clock follows the scenario and no test
// ever waits.  The simulator runs with TZ=UTC, so local time is UTC.
#pragma once

#include <ctime>
#include <string>

namespace kestrom::sim {

// 2026-01-05 12:00:00 UTC, where every simulated server starts.
time_t clockStart();

time_t virtualNow();
void setVirtualNow(time_t now);

// How many times time() has been called in this process (the benchmarks
// count the module's calls per message with it).
long timeCalls();

// Sets the time of day, keeping the date.
void setTimeOfDay(int hours, int minutes, int seconds);

// Makes local time UTC for this process (setenv TZ, tzset).
void useUtc();

// "HH:MM:SS", with "YYYY-MM-DD " in front when `t` is not on the same day as
// `reference`.
std::string clockText(time_t t, time_t reference);

}  // namespace kestrom::sim
