// navigation.cpp - navigation and broadcast commands: finding users, going
// to rooms, messages to everyone, and reloading the parameter file.  Room
// changes are submitted on the user's behalf, so the room-entry rules apply
// to them as to the user's own requests.
#include "commands/commands.h"
#include "commands/operator.h"
#include "commands/scan.h"
#include "core/helpers.h"
#include "params/params.h"

namespace kestrom {

// Tells the issuer which room the target is in.
KESTROM_COMMAND(find) {
    ServerUserRec *target = targetUser ? targetUser : user;
    const ServerRoomRec *room = getUserRoom(target);
    if (userIsHidden(serverState, state, target, user)) return 1;
    char roomName[NAME_SIZE];
    const char *where = room ? roomNameText(room, roomName) : "limbo";
    char name[NAME_SIZE];
    getCUserName(name, target);
    UserMessage(user, "%s is in %s", name, where);
    return 1;
}

// Takes the issuer to the target's room.
KESTROM_COMMAND(goto) {
    ServerUserRec *target = targetUser ? targetUser : user;
    const ServerRoomRec *room = getUserRoom(target);
    if (!room) return 1;
    if (userIsHidden(serverState, state, target, user)) return 1;
    generateGotoRoom(serverState, state, user, room->room.roomID);
    return 1;
}

// Sends the target (the issuer, or for operators the whispered user) to a
// room by number.
KESTROM_COMMAND(gotoroom) {
    ServerUserRec *target = targetUser ? targetUser : user;
    const int32_t roomNumber = cp ? getUint(cp) : -1;
    if (roomNumber < 0) {
        UserMessage(user, "%s", "Sorry, there's no such room");
        return 1;
    }
    if (target != user) {
        const ActorAndTarget names(user, target);
        FormattedLogMessage(user, "gotoroom", "{%s} sent {%s} to room %d", names.actor, names.target,
                            roomNumber);
    }
    generateGotoRoom(serverState, state, target, low16(roomNumber));
    return 1;
}

// Sends the argument to everyone on the server.
KESTROM_COMMAND(gmsg) {
    if (cp) GlobalMessage("%s", cp);
    return 1;
}

// `kestrom reload reads the parameter file again; anything else shows help.
KESTROM_COMMAND(kestrom) {
    if (!cp || wordCmp(cp, "reload") != 0) {
        giveHelp(serverState);
        return 1;
    }
    loadParameterFile(state, user);
    return 1;
}

}  // namespace kestrom
