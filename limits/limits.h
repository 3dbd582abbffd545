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

// The rule of parameter `param` (its chain in state->limits) that selects
// `room` (null: the user is in no room): the rule the chain walk gives,
// remembered per room number and kind until the chain changes.
LimitValue *getRoomRule(MyState *state, int32_t param, ServerRoomRec *room);
// The stamp of parameter `param`'s chain: it changes whenever the chain may
// have (a load, another head or last rule), and is never 0.
uint32_t ruleChainStamp(MyState *state, int32_t param);
// Forgets every rule choice: the chains were replaced or reordered.
void forgetRuleChoices(MyState *state);

// How `rule` was chosen for `room` (null: limbo), into the trace record.
void describeSelection(const MyState *state, const LimitValue *rule, ServerRoomRec *room,
                       KestromDecision *d);

// -------------------------------------------------------------- rate check

// 1 to refuse, 0 to allow numActions units of an activity against hist.
int checkLimit(ServerState *serverState, MyState *state, ActivityHistory *hist,
               const LimitValue *limit, UserDat *ud, int32_t limitNumber, int32_t numActions,
               const char *type);

// The least whole number of seconds after which the bucket, left as it is,
// has drained below the maximum (the drain's own arithmetic); 0 when it is
// below already; KESTROM_NO_WAIT when it never gets there.
int32_t secondsUntilAllowed(const ActivityHistory *hist, const LimitValue *limit);

// A rate rule in use: its parameter, the user's counter it fills, and the
// plural noun of its warning ("Chat messages are limited here").
struct RateKind {
    int32_t index;
    ActivityHistory UserDat::*history;
    const char *type;
};

constexpr RateKind PAGE_RATE         = {P_PAGE,            &UserDat::chat,            "Page messages"};
constexpr RateKind REPPAGE_RATE      = {P_REPPAGE,         &UserDat::chat,            "Repeated pages"};
constexpr RateKind CHAT_RATE         = {P_CHAT,            &UserDat::chat,            "Chat messages"};
constexpr RateKind REPCHAT_RATE      = {P_REPCHAT,         &UserDat::chat,            "Repeated chat messages"};
constexpr RateKind PROPDROP_RATE     = {P_PROPDROP,        &UserDat::propDrop,        "Prop drops"};
constexpr RateKind ROOMMSG_RATE      = {P_ROOMMSG,         &UserDat::roommsg,         "Room messages"};
constexpr RateKind FACE_RATE         = {P_FACECHANGE,      &UserDat::faceChange,      "Face changes"};
constexpr RateKind AVATAR_RATE       = {P_AVATARCHANGE,    &UserDat::avatarChange,    "Avatar changes"};
constexpr RateKind MOVE_RATE         = {P_MOVE,            &UserDat::move,            "Moves"};
constexpr RateKind SLIDE_RATE        = {P_SLIDE,           &UserDat::slide,           "Slides"};
constexpr RateKind SPOTSTATE_RATE    = {P_SPOTSTATECHANGE, &UserDat::spotStateChange, "Spot state changes"};
constexpr RateKind NAME_RATE         = {P_NAMECHANGE,      &UserDat::nameChange,      "Name changes"};
constexpr RateKind NEWROOM_RATE      = {P_NEWROOM,         &UserDat::newRoom,         "Repeated room creation"};
constexpr RateKind GPAGE_RATE        = {P_GPAGE,           &UserDat::gpage,           "GPage Messages"};
constexpr RateKind RPAGE_RATE        = {P_RPAGE,           &UserDat::rpage,           "RPage Messages"};
constexpr RateKind ROOMPAGE_RATE     = {P_ROOMPAGE,        &UserDat::roompage,        "Room Page Messages"};

// Counts `units` of the current user's activity against the kind's rule for
// `room`, the user's room: 1 to refuse, 0 when allowed or when no rule
// applies there (or the user has no UserDat).
int rateRefuses(ServerState *serverState, MyState *state, UserDat *ud, ServerRoomRec *room,
                const RateKind &kind, int32_t units = 1);

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
// `wearer`, when given, receives the ID of the occupant found (0: none, or
// an avatar of more than nine props).
int isThereADuplicateAvatar(ServerState *serverState, MyState *state, ServerRoomRec *room,
                            ServerUserRec *ignoreuser, int32_t nbrProps, const AssetSpec *props,
                            UserID *wearer = nullptr);
void copyAndSortProps(const AssetSpec *input, AssetSpec *output, int32_t count);

// A signature of a list of props that does not depend on their order: the
// sum of the ids (modulo 2^32).  Two lists holding the same ids, each as
// often, have the same signature; the reverse may fail, so equal signatures
// are then confirmed id by id.
inline uint32_t propListSignature(const AssetSpec *props, int32_t count) {
    uint32_t sum = 0;
    for (int32_t i = 0; i < count; ++i) sum += static_cast<uint32_t>(props[i].id);
    return sum;
}

}  // namespace kestrom
