// rooms.h - the room sanctions registry and room entry.
#pragma once

#include "core/state.h"

namespace kestrom {

// The list length a room keeps when mroomdiscipline is not above 0.
constexpr int32_t DEFAULT_BAD_ACTOR_CAPACITY = 20;

// Records `sanction` against user in room (adds to a matching entry).
void rememberPerp(ServerState *serverState, MyState *state, ServerUserRec *user,
                  ServerRoomRec *room, int32_t sanction);
// Withdraws `sanction` from every entry matching user; empty entries go.
void forgivePerp(ServerState *serverState, MyState *state, ServerUserRec *user,
                 ServerRoomRec *room, int32_t sanction);
// The sanction bits room holds against user; 0 for owners and operators.
int32_t getUserSanctions(MyState *state, ServerUserRec *user, ServerRoomRec *room, UserDat *ud);
// 1 when user may enter room dest; 0 after telling the user why not.
int roomEntryPermitted(ServerState *serverState, MyState *state, RoomID dest, ServerUserRec *user);
// Takes a room's entries out of the registry's indexes (they stay listed;
// the list is then searched by walking it).
void forgetBadActorIndex(RoomDat *rd);
// Frees every entry of a room's list.
void freeBadActorList(RoomDat *rd);

}  // namespace kestrom
