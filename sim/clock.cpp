// clock.cpp - the virtual clock, and time() for everything in the process.
#include "sim/clock.h"

#include <cstdio>
#include <cstdlib>

namespace kestrom::sim {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
constexpr long daysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr time_t theStart = daysFromCivil(2026, 1, 5) * 86400 + 12 * 3600;
static_assert(theStart == 1767614400);

constinit time_t theNow = theStart;
constinit long theTimeCalls = 0;

std::tm utcFields(time_t t) {
    std::tm fields{};
    gmtime_r(&t, &fields);
    return fields;
}

}  // namespace

time_t clockStart() { return theStart; }
time_t virtualNow() { return theNow; }
void setVirtualNow(time_t now) { theNow = now; }
long timeCalls() { return theTimeCalls; }

void setTimeOfDay(int hours, int minutes, int seconds) {
    const time_t midnight = theNow - (theNow % 86400 + 86400) % 86400;
    theNow = midnight + hours * 3600 + minutes * 60 + seconds;
}

void useUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

std::string clockText(time_t t, time_t reference) {
    const std::tm when = utcFields(t);
    const std::tm ref = utcFields(reference);
    char text[40];
    if (when.tm_year == ref.tm_year && when.tm_yday == ref.tm_yday)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", when.tm_hour, when.tm_min, when.tm_sec);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when.tm_year + 1900,
                      when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}

}  // namespace kestrom::sim

// The C library's clock, replaced: the module (and everything else in the
// process) reads the virtual clock.
extern "C" time_t time(time_t *out) noexcept {
    ++kestrom::sim::theTimeCalls;
    const time_t now = kestrom::sim::virtualNow();
    if (out) *out = now;
    return now;
}
