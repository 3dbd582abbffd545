// ownership.h - who owns a member room, and what to tell someone looking for
// an owner who is not there.  Shared by the ownership commands and rpage.
#pragma once

#include "core/state.h"

namespace kestrom {

// The user owns a member room: its lastOwnedRoom is a member room whose
// memberOwner is the user's counter.
bool ownsMemberRoom(const ServerUserRec *user);
// The room's owner if connected: the first user in the host's list whose
// counter is the room's memberOwner; null for a public room or an owner away.
ServerUserRec *connectedRoomOwner(ServerState *serverState, const ServerRoomRec *room);
// The take-over test: more than rTakeDelay seconds have passed since the
// room's owner logged off (a departure never seen counts as long ago).
bool ownerGoneLongEnough(const MyState *state, ServerRoomRec *room);
// Tells user that the room's absent owner cannot be reached: the room is up
// for rtake once the take-over test holds, else the owner is "not available".
void tellOwnerAbsent(const MyState *state, ServerUserRec *user, ServerRoomRec *room);

}  // namespace kestrom
