// common.h - pieces the limit files share: the closeness test of the
// distance rules and the loose-prop freezes.
#pragma once

#include "commands/scan.h"
#include "core/state.h"
#include "core/trace.h"

#include <cstdint>

namespace kestrom {

// The distance of two coordinates, in line (the scans make it twice per
// occupant).
inline uint32_t coordinateDistance(sint16 a, sint16 b) {
    const int32_t d = int32_t{a} - int32_t{b};
    return static_cast<uint32_t>(d < 0 ? -d : d);
}

// a and b lie at most `limit` pixels apart in both coordinates.
inline bool withinDistance(Point a, Point b, uint32_t limit) {
    return coordinateDistance(a.h, b.h) <= limit && coordinateDistance(a.v, b.v) <= limit;
}

// withinDistance of a fixed point and `limit`, for a scan that tests many
// points against it: each coordinate's test is one addition and one
// unsigned comparison (|d| <= limit exactly when d + limit lies in
// 0 .. 2 limit, in 64 bits, where nothing overflows).
class NearPoint {
  public:
    NearPoint(Point centre, uint32_t limit)
        : offsetH_(int64_t{limit} - centre.h), offsetV_(int64_t{limit} - centre.v), span_(2 * uint64_t{limit}) {}
    bool holds(Point p) const {
        return static_cast<uint64_t>(p.h + offsetH_) <= span_ && static_cast<uint64_t>(p.v + offsetV_) <= span_;
    }

  private:
    int64_t offsetH_, offsetV_;
    uint64_t span_;
};

// 1, after telling the user, when the room's loose props are frozen for the
// user: by the member owner (not for the owner) or by an operator.
int loosePropsFrozen(MyState *state, ServerUserRec *user, ServerRoomRec *room, const RoomDat *rd);

// Refuses a loose-prop or move request of a user in no room.
inline int refusedInNoRoom(MyState *state, ServerUserRec *user) {
    traceFixed(state, user, rule::NOROOM, true);
    return 1;
}

}  // namespace kestrom
