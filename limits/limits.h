// limits.h - activity limits (rule lookup, the leaky bucket and the screening
// routines built on them) and the loose-prop and avatar rules.
#pragma once

#include "core/state.h"

namespace kestrom {

// ------------------------------------------------------------ rule lookup

// The rule of the chain `first` that selects room roomID, or null.
LimitValue *getRoomLimitForRoom(ServerState *serverState, MyState *state, LimitValue *first,
                                RoomID roomID);
// The same for the current user's room.
LimitValue *getRoomLimit(ServerState *serverState, MyState *state, LimitValue *first);
// The same for a room already in hand (null: the user is in no room).
LimitValue *getRoomLimitIn(MyState *state, LimitValue *first, ServerRoomRec *room);

// -------------------------------------------------------------- rate check

// 1 to refuse, 0 to allow numActions units of an activity against hist.
int checkLimit(ServerState *serverState, MyState *state, ActivityHistory *hist,
               const LimitValue *limit, UserDat *ud, int32_t limitNumber, int32_t numActions,
               const char *type);

// ------------------------------------------------------ screening routines
// Each acts on serverState->currentUser: 1 to refuse, 0 to allow.

int roommsgComingTooFast(ServerState *serverState, MyState *state);
int nameComingTooFast(ServerState *serverState, MyState *state);
int faceComingTooFast(ServerState *serverState, MyState *state);
int spotStateComingTooFast(ServerState *serverState, MyState *state);
int propsComingTooFast(ServerState *serverState, MyState *state);
int propDelBlocked(ServerState *serverState, MyState *state, int32_t propNum);
int avatarComingTooFast(ServerState *serverState, MyState *state, int32_t nbrProps,
                        const AssetSpec *props);
int moveComingTooFast(ServerState *serverState, MyState *state, Point pos);

// ----------------------------------------------------- loose props, avatars

// The body of an 'mPrp' message.
struct PropMove {
    int32_t propID; // the loose prop's index in the room
    Point pos;      // where it is to go
};

int isBadPropMove(ServerState *serverState, MyState *state, const PropMove *pm);
LPropRec *findPropInRoom(ServerState *serverState, MyState *state, int32_t propNum);
int anotherPropAlreadyAt(ServerState *serverState, MyState *state, const LPropRec *roomprop,
                         AssetSpec propSpec, Point loc);
int isThereADuplicateAvatar(ServerState *serverState, MyState *state, ServerRoomRec *room,
                            ServerUserRec *ignoreuser, int32_t nbrProps, const AssetSpec *props);
void copyAndSortProps(const AssetSpec *input, AssetSpec *output, int32_t count);

}  // namespace kestrom
