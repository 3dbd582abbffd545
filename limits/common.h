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

// 1, after telling the user, when the room's loose props are frozen for the
// user: by the member owner (not for the owner) or by an operator.
int loosePropsFrozen(MyState *state, ServerUserRec *user, ServerRoomRec *room, const RoomDat *rd);

// Refuses a loose-prop or move request of a user in no room.
inline int refusedInNoRoom(MyState *state, ServerUserRec *user) {
    traceFixed(state, user, rule::NOROOM, true);
    return 1;
}

}  // namespace kestrom
