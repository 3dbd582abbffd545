// screening.cpp - the activity checks the dispatcher runs on room messages,
// names, faces, spot states, prop drops and deletions, avatars and moves.
#include "core/helpers.h"
#include "core/trace.h"
#include "limits/common.h"
#include "limits/limits.h"

namespace kestrom {

namespace {

// How close (in both coordinates) a request must be to count as a slide.
constexpr int SLIDE_DISTANCE = 4;

// The plain pattern: privileged users (when `privilegedPass`) and users
// without a record go free, everyone else is rate-checked.
int plainRateRefuses(ServerState *serverState, MyState *state, const RateKind &kind,
                     bool privilegedPass) {
    ServerUserRec *user = serverState->currentUser;
    UserDat *ud = userDat(state, user);
    if (privilegedPass && isPrivileged(user)) return 0;
    if (!ud) return 0;
    return rateRefuses(serverState, state, ud, getUserRoom(user), kind);
}

// The units an avatar change costs: the new props minus those worn
// unchanged at the same position (ids compared), at least 1.
int32_t avatarChangeCost(const ServerUserRec *user, int32_t nbrProps, const AssetSpec *props) {
    int32_t worn = user->user.nbrProps;
    if (worn > KESTROM_MAX_WORN_PROPS) worn = KESTROM_MAX_WORN_PROPS;
    int32_t same = 0;
    for (int32_t i = 0; i < nbrProps && i < worn; ++i)
        if (props[i].id == user->user.propSpec[i].id) ++same;
    const int32_t cost = nbrProps - same;
    return cost < 1 ? 1 : cost;
}

// The slot of the first other occupant of the room who stands within the
// personal space of `pos`, or -1.
int occupantWithin(ServerState *serverState, MyState *state, const ServerRoomRec *room,
                   const ServerUserRec *user, Point pos, uint32_t space) {
    const UserID *occupants = room->occupants;
    if (!occupants) return -1;
    const NearPoint near(pos, space);
    return firstOccupantWhere(state, occupants, serverState->maxPeoplePerRoom, user->user.userID,
                              [&near](const ServerUserRec &other) { return near.holds(other.user.roomPos); });
}

}  // namespace

int rateRefuses(ServerState *serverState, MyState *state, UserDat *ud, ServerRoomRec *room,
                const RateKind &kind, int32_t units) {
    if (!ud) return 0;
    const LimitValue *rule = getRoomRule(state, kind.index, room);
    if (!rule) return 0;
    return checkLimit(serverState, state, &(ud->*kind.history), rule, ud, kind.index, units,
                      kind.type);
}

int roommsgComingTooFast(ServerState *serverState, MyState *state) {
    return plainRateRefuses(serverState, state, ROOMMSG_RATE, true);
}

int nameComingTooFast(ServerState *serverState, MyState *state) {
    return plainRateRefuses(serverState, state, NAME_RATE, true);
}

int faceComingTooFast(ServerState *serverState, MyState *state) {
    return plainRateRefuses(serverState, state, FACE_RATE, true);
}

int spotStateComingTooFast(ServerState *serverState, MyState *state) {
    return plainRateRefuses(serverState, state, SPOTSTATE_RATE, false);
}

int propsComingTooFast(ServerState *serverState, MyState *state) {
    ServerUserRec *user = serverState->currentUser;
    UserDat *ud = userDat(state, user);
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return refusedInNoRoom(state, user);
    if (isPrivileged(user)) return 0;
    const RoomDat *rd = roomDat(state, room);
    if (rd && (rd->flags & RF_RNOLOOSEPROPS) && !isMemberOwnerOf(user, room)) {
        UserMessage(user, "%s", "The owner has limited loose props here");
        traceFixed(state, user, rule::RNOLOOSEPROPS, true, true);
        return 1;
    }
    if (!ud) return 0;
    if (ud->flags & UF_ROOMPINNED) {
        traceFixed(state, user, rule::ROOMPIN, true);
        return 1;
    }
    return rateRefuses(serverState, state, ud, room, PROPDROP_RATE);
}

int propDelBlocked(ServerState *serverState, MyState *state, int32_t propNum) {
    ServerUserRec *user = serverState->currentUser;
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return refusedInNoRoom(state, user);
    if (loosePropsFrozen(state, user, room, roomDat(state, room))) return 1;
    if (isPrivileged(user) || propNum != -1) return 0;

    const LimitValue *rule = getRoomRule(state, P_CLEARLOOSEPROPS, room);
    if (!rule) return 0;
    const int32_t people = room->room.nbrPeople;
    if (room->room.nbrPeople <= rule->maximum || user->lastOwnedRoom == room) {
        traceMeasured(state, user, P_CLEARLOOSEPROPS, rule, room, false, false, people);
        return 0;
    }
    const bool told = (rule->roomsChecked & RC_WARN) &&
                      warnOnce(user, userDat(state, user), P_CLEARLOOSEPROPS, "Clearlooseprops is limited here");
    traceMeasured(state, user, P_CLEARLOOSEPROPS, rule, room, true, told, people);
    return 1;
}

int avatarComingTooFast(ServerState *serverState, MyState *state, int32_t nbrProps,
                        const AssetSpec *props) {
    ServerUserRec *user = serverState->currentUser;
    UserDat *ud = userDat(state, user);
    if (!ud || isPrivileged(user)) return 0;
    if (ud->flags & (UF_ROOMPINNED | UF_ROOMPROPGAGGED)) {
        traceFixed(state, user, (ud->flags & UF_ROOMPINNED) ? rule::ROOMPIN : rule::ROOMPROPGAG, true);
        return 1;
    }
    ServerRoomRec *room = getUserRoom(user);
    if (rateRefuses(serverState, state, ud, room, AVATAR_RATE, avatarChangeCost(user, nbrProps, props)))
        return 1;
    if (nbrProps == 0 || !room) return 0;

    const RoomDat *rd = roomDat(state, room);
    const LimitValue *rule = getRoomRule(state, P_NODUPAVATARS, room);
    const bool roomBarsDuplicates =
        rd && (rd->flags & RF_RNODUPAVATARS) && !isMemberOwnerOf(user, room);
    if (!rule && !roomBarsDuplicates) return 0;
    UserID wearer = 0;
    const bool duplicate = isThereADuplicateAvatar(serverState, state, room, user, nbrProps, props, &wearer);
    const bool told = duplicate && (!rule || (rule->roomsChecked & RC_WARN)) &&
                      warnOnce(user, ud, P_NODUPAVATARS,
                               "You aren't permitted to wear the same avatar as someone else here");
    traceDuplicateAvatar(state, user, rule, room, duplicate, told, wearer);
    return duplicate ? 1 : 0;
}

int moveComingTooFast(ServerState *serverState, MyState *state, Point pos) {
    ServerUserRec *user = serverState->currentUser;
    UserDat *ud = userDat(state, user);
    if (ud && (ud->flags & UF_ROOMPINNED)) {
        traceFixed(state, user, rule::ROOMPIN, true);
        return 1;
    }
    if (!user || UserRank(user) >= RANK_WIZARD) return 0;

    ServerRoomRec *room = getUserRoom(user);
    if (ud) {
        const Point last = ud->lastClientPos;
        ud->lastClientPos = pos;
        const bool slide = withinDistance(pos, user->user.roomPos, SLIDE_DISTANCE) ||
                           withinDistance(pos, last, SLIDE_DISTANCE);
        if (rateRefuses(serverState, state, ud, room, slide ? SLIDE_RATE : MOVE_RATE)) return 1;
    }

    const LimitValue *zone = getRoomRule(state, P_AVATARZONE, room);
    if (!zone) return 0;
    if (!room) return refusedInNoRoom(state, user);
    const int slot = occupantWithin(serverState, state, room, user, pos, zone->maximum);
    if (slot < 0) {
        traceRule(state, user, P_AVATARZONE, zone, room, false, false);
        return 0;
    }
    const bool told = (zone->roomsChecked & RC_WARN) &&
                      warnOnce(user, ud, P_AVATARZONE, "Avatars have some private space here");
    traceRule(state, user, P_AVATARZONE, zone, room, true, told, room->occupants[slot]);
    return 1;
}

}  // namespace kestrom
