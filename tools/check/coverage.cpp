// coverage.cpp - room numbers as sorted, disjoint ranges.
#include "tools/check/coverage.h"

#include <algorithm>

namespace kestrom::check {

namespace {

// The part of r that a room can have, or nothing.
bool clip(Range &r) {
    r.low = std::max(r.low, LOWEST_ROOM);
    r.high = std::min(r.high, HIGHEST_ROOM);
    return r.low <= r.high;
}

// The parts of r outside the sorted, disjoint ranges.
std::vector<Range> outside(Range r, const std::vector<Range> &taken) {
    std::vector<Range> free;
    int64_t from = r.low;
    for (const Range &t : taken) {
        if (t.high < from || t.low > r.high) continue;
        if (t.low > from) free.push_back({static_cast<int32_t>(from), t.low - 1});
        from = static_cast<int64_t>(t.high) + 1;
    }
    if (from <= r.high) free.push_back({static_cast<int32_t>(from), r.high});
    return free;
}

}  // namespace

bool Coverage::coversEverything() const {
    return ranges_.size() == 1 && ranges_[0].low == LOWEST_ROOM && ranges_[0].high == HIGHEST_ROOM;
}

Coverage::Share Coverage::share(const Selection &where) const {
    Share s;
    const bool allKinds = (kinds_ & ROOM_KINDS) == ROOM_KINDS;
    for (auto it = where.ranges.rbegin(); it != where.ranges.rend(); ++it) {
        Range r = *it;
        if (!clip(r) || allKinds) continue;
        for (const Range &f : outside(r, ranges_)) s.ranges.push_back(f);
    }
    const int32_t kinds = where.rooms & ROOM_KINDS;
    s.kinds = coversEverything() ? 0 : kinds & ~kinds_;
    s.kindsTaken = kinds & kinds_;
    s.limbo = where.selectsLimbo() && !limbo_;
    s.anything = !s.ranges.empty() || s.kinds != 0 || s.limbo;
    return s;
}

void Coverage::add(const Selection &where) {
    for (Range r : where.ranges)
        if (clip(r)) ranges_.push_back(r);
    std::sort(ranges_.begin(), ranges_.end(), [](const Range &a, const Range &b) { return a.low < b.low; });
    std::vector<Range> merged;
    for (const Range &r : ranges_) {
        if (!merged.empty() && static_cast<int64_t>(r.low) <= static_cast<int64_t>(merged.back().high) + 1)
            merged.back().high = std::max(merged.back().high, r.high);
        else
            merged.push_back(r);
    }
    ranges_ = merged;
    kinds_ |= where.rooms & ROOM_KINDS;
    limbo_ = limbo_ || where.selectsLimbo();
}

}  // namespace kestrom::check
