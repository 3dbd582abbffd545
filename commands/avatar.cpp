// avatar.cpp - avatar and position commands: what a user looks like, where
// the user stands, and the user's statistics.
#include "commands/commands.h"
#include "commands/operator.h"
#include "commands/scan.h"
#include "core/helpers.h"
#include "limits/limits.h"

#include <cstring>

namespace kestrom {

namespace {

// A copy of a user's looks, so that one user's avatar can be handed to
// another (or to the same user) without reading the record being written.
struct Looks {
    sint16 faceNbr;
    sint16 colorNbr;
    sint32 nbrProps;
    AssetSpec props[KESTROM_MAX_WORN_PROPS];

    explicit Looks(const ServerUserRec *of) {
        const UserRec &u = of->user;
        faceNbr = u.faceNbr;
        colorNbr = u.colorNbr;
        nbrProps = u.nbrProps > KESTROM_MAX_WORN_PROPS ? KESTROM_MAX_WORN_PROPS : u.nbrProps;
        std::memcpy(props, u.propSpec, sizeof props);
    }
};

// Gives `to` the looks in `looks`, as the host's record of `to`.
void wearLooks(ServerUserRec *to, const Looks &looks) {
    ChangeUserDesc(to, looks.colorNbr, looks.faceNbr, looks.nbrProps, looks.props);
}

// Shows `looks` as to's looks on to's own client.
void showLooks(ServerUserRec *to, const Looks &looks) {
    sendMsgUserDesc(toUser(to), to, looks.faceNbr, looks.colorNbr, looks.nbrProps, looks.props);
}

// Sends user's own description to the client(s) of `to`.
void sendDescription(Fanout to, ServerUserRec *user) {
    const UserRec &u = user->user;
    sendMsgUserDesc(to, user, u.faceNbr, u.colorNbr, u.nbrProps, u.propSpec);
}

// Puts user at pos and tells everyone in the user's room.
void placeUser(ServerUserRec *user, Point pos) {
    user->user.roomPos = pos;
    sendMsgUserMove(toUserRoom(user), user, pos);
}

// What setface and setcolor change: the highest valid number, the host call
// and the words of the log line.
struct FaceSetting {
    int32_t highest;
    void (*change)(ServerUserRec *user, sint16 value);
    const char *tag;
    const char *done; // "{issuer} <done> {target}"
};

constexpr FaceSetting FACE = {12, ChangeUserFace, "setface", "set face on"};
constexpr FaceSetting COLOR = {15, ChangeUserColor, "setcolor", "setcolor on"};

// setface and setcolor: silent on a bad number, held back by the face rate.
int changeFace(ServerState *serverState, MyState *state, ServerUserRec *user,
               ServerUserRec *target, const char *argument, const FaceSetting &setting) {
    const int32_t n = argument ? getUint(argument) : -1;
    if (n < 0 || n > setting.highest) return 1;
    if (faceComingTooFast(serverState, state)) {
        resetUser(serverState, state);
        return 1;
    }
    setting.change(target, static_cast<sint16>(n));
    sendDescription(toUser(target), target);
    logActOnOther(user, target, setting.tag, setting.done);
    return 1;
}

// True when the user is pinned, by a member room or by pinx.
bool isPinned(MyState *state, ServerUserRec *user) {
    const UserDat *ud = userDat(state, user);
    return (ud && (ud->flags & UF_ROOMPINNED)) || (user->flags & HF_PINMARK);
}

}  // namespace

// Makes the whispered user say the argument, screened as if typed.
KESTROM_COMMAND(chat) {
    if (!targetUser || !cp) return 1;
    if (targetUser != user) {
        const ActorAndTarget names(user, targetUser);
        FormattedLogMessage(user, "chat", "{%s} made {%s} say {%s}", names.actor, names.target, cp);
    }
    generateChat(serverState, state, targetUser, cp, 0);
    return 1;
}

// Dresses the target in the issuer's face, colour and props.
KESTROM_COMMAND(dress) {
    ServerUserRec *target = targetUser ? targetUser : user;
    logActOnOther(user, target, "dress", "dressed");
    wearLooks(target, Looks(user));
    sendDescription(toUser(target), target);
    return 1;
}

// Removes every prop the target wears; a pinned issuer cannot.
KESTROM_COMMAND(naked) {
    ServerUserRec *target = targetUser ? targetUser : user;
    if (isPinned(state, user)) return 1;
    if (faceComingTooFast(serverState, state)) {
        resetUser(serverState, state);
        return 1;
    }
    target->user.nbrProps = 0;
    sendMsgUserProp(toUserRoom(target), target, 0, target->user.propSpec);
    resetUser(serverState, state);
    logActOnOther(user, target, "naked", "made", " naked");
    return 1;
}

// Shifts the target by a number of pixels, stopping at the room's edges.
KESTROM_COMMAND(move) {
    ServerUserRec *target = targetUser ? targetUser : user;
    if (!cp) return 1;
    const Motion motion = parseMotion(cp);
    if (motion.result == Motion::USAGE) {
        replyUsage(state, user, "move");
        return 1;
    }
    if (motion.result == Motion::BAD_NUMBER) {
        UserMessage(user, "%s", "Motion must be <number> <number>");
        return 1;
    }
    placeUser(target, movedWithin(target->user.roomPos, motion.dh, motion.dv));
    logActOnOther(user, target, "move", "moved");
    return 1;
}

// Puts the target at a position in the room.
KESTROM_COMMAND(setpos) {
    ServerUserRec *target = targetUser ? targetUser : user;
    if (!cp) return 1;
    const Placement placement = parsePlacement(cp);
    if (placement.result == Placement::USAGE) {
        replyUsage(state, user, "setpos");
        return 1;
    }
    if (placement.result == Placement::OUT_OF_RANGE) {
        UserMessage(user, "%s", "Position must be 0..511 0..383");
        return 1;
    }
    placeUser(target, placement.pos);
    logActOnOther(user, target, "setpos", "setpos on");
    return 1;
}

KESTROM_COMMAND(setface) {
    return changeFace(serverState, state, user, targetUser ? targetUser : user, cp, FACE);
}

KESTROM_COMMAND(setcolor) {
    return changeFace(serverState, state, user, targetUser ? targetUser : user, cp, COLOR);
}

// Copies another user's avatar, where the take rule allows it and both
// users are in the same room.
KESTROM_COMMAND(take) {
    ServerUserRec *source = targetUser ? targetUser : user;
    if (!getRoomRule(state, P_TAKE, getUserRoom(serverState->currentUser)) ||
        source->user.roomID != user->user.roomID) {
        UserMessage(user, "%s", "The `take command is not permitted here");
        return 1;
    }
    const Looks taken(source);
    wearLooks(user, taken);
    showLooks(user, taken);
    resetUser(serverState, state);
    return 1;
}

// Resends the issuer's own description, position and name to the issuer.
KESTROM_COMMAND(reset) {
    const UserRec &u = user->user;
    sendDescription(toUser(user), user);
    sendMsgUserMove(toUser(user), user, u.roomPos);
    sendMsgUserName(toUser(user), user, u.name);
    return 1;
}

// Reports the target's statistics to the issuer, one line each.
KESTROM_COMMAND(userprefs) {
    const ServerUserRec *target = targetUser ? targetUser : user;
    const UserRec &u = target->user;
    char name[NAME_SIZE];
    getCUserName(name, target);
    UserMessage(user, "; Signon Time: %lld", static_cast<long long>(target->signonTime));
    UserMessage(user, "; Last Active: %lld", static_cast<long long>(target->lastActive));
    UserMessage(user, "; Desired Room at login: %d", target->desiredRoom);
    UserMessage(user, "; Screen Name: %s", name);
    UserMessage(user, "; UserID: %d", static_cast<int>(u.userID));
    UserMessage(user, "; ColorNbr: %d", u.colorNbr);
    UserMessage(user, "; FaceNbr: %d", u.faceNbr);
    UserMessage(user, "; NbrAuthAttempts: %d", target->authAttempts);
    UserMessage(user, "; NbrFailedPassAttempts: %d", target->nbrFailedPasswordAttempts);
    UserMessage(user, "; NbrFloodEvents: %d", target->nbrFloodEvents);
    UserMessage(user, "; NbrProps: %d", u.nbrProps);
    UserMessage(user, "; Position: %d %d", u.roomPos.v, u.roomPos.h);
    UserMessage(user, "; PUID: %d", static_cast<int>(target->puidCRC));
    return 1;
}

}  // namespace kestrom
