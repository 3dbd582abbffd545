// ownership.cpp - member room ownership commands: newroom, myroom, rowner,
// rtake, rdelete, rwho and roomprefs.  newroom, rowner and rdelete share their
// names with the host's own commands: they check or prepare, then let the
// line go on (0) so that the host does the work.
#include "rooms/ownership.h"

#include "commands/commands.h"
#include "core/helpers.h"
#include "limits/limits.h"

#include <cstdio>
#include <ctime>

namespace kestrom {

// ------------------------------------------------------------ ownership

bool ownsMemberRoom(const ServerUserRec *user) {
    return user && user->lastOwnedRoom && user->lastOwnedRoom->memberOwner != 0 &&
           ownsRoom(user, user->lastOwnedRoom);
}

ServerUserRec *connectedRoomOwner(ServerState *serverState, const ServerRoomRec *room) {
    if (!room || room->memberOwner == 0) return nullptr;
    for (ServerUserRec *u = serverState->userList; u; u = u->nextUser)
        if (u->counter == room->memberOwner) return u;
    return nullptr;
}

bool ownerGoneLongEnough(const MyState *state, ServerRoomRec *room) {
    const RoomDat *rd = roomDat(state, room);
    const time_t loggedOff = rd ? rd->ownerLogoffTime : 0;
    return std::difftime(std::time(nullptr), loggedOff) > state->rTakeDelay;
}

void tellOwnerAbsent(const MyState *state, ServerUserRec *user, ServerRoomRec *room) {
    if (ownerGoneLongEnough(state, room))
        UserMessage(user, "Room is unowned, use `rtake to become the owner");
    else
        UserMessage(user, "Room owner is not available");
}

// ------------------------------------------------------------- commands

// Screens room creation: one room per user (the host's rule), no room while
// pinned, the newroom rate, and the picture line for new rooms.
KESTROM_COMMAND(newroom) {
    if (ownsMemberRoom(user)) return 0; // the host refuses it; nothing counted
    if (user->flags & HF_PINMARK) {
        UserMessage(user, "You can't make a room while pinned");
        return 1;
    }
    if (rateRefuses(serverState, state, userDat(state, user), userRoom, NEWROOM_RATE)) return 1;
    if (state->mRoomBG) {
        char line[16 + 256];
        std::snprintf(line, sizeof line, "`rpicture %s", state->mRoomBG);
        generateChat(serverState, state, user, line, 0); // handled after the room exists
    }
    return 0;
}

// Goes to the caller's own member room.
KESTROM_COMMAND(myroom) {
    if (!user->lastOwnedRoom) {
        UserMessage(user, "You don't own a member room");
        return 1;
    }
    ServerUserRec *who = targetUser ? targetUser : user;
    generateGotoRoom(serverState, state, who, user->lastOwnedRoom->room.roomID);
    return 1;
}

// Screens a hand-over: the new owner owns no room and, with rownerinroom,
// stands in the room.  The caller forgets the room once the host has moved it.
KESTROM_COMMAND(rowner) {
    ServerUserRec *newOwner = targetUser ? targetUser : user;
    if (ownsMemberRoom(newOwner)) {
        UserMessage(user, "That user already owns a member room");
        return 1;
    }
    if (state->rownerInRoom && ownsMemberRoom(user) &&
        newOwner->user.roomID != user->lastOwnedRoom->room.roomID) {
        UserMessage(user, "The new owner must be in the member room");
        return 1;
    }
    scheduleUserEvent(state, user->user.userID, TA_DROP_OWNED, 1);
    return 0;
}

// Makes the caller the owner of room, telling the caller, the room and the log.
static void takeOverRoom(ServerUserRec *user, ServerRoomRec *room) {
    room->memberOwner = user->counter;
    user->lastOwnedRoom = room;
    char name[NAME_SIZE], roomName[NAME_SIZE];
    getCUserName(name, user);
    UserMessage(user, "You now own the room");
    RoomMessage(room, "Ownership transferred to %s", name);
    FormattedLogMessage(user, "rtake", "{%d} {%s} {%s}", room->room.roomID,
                        roomNameText(room, roomName), name);
}

// Takes over a member room whose owner left more than rtakedelay seconds ago.
KESTROM_COMMAND(rtake) {
    if (state->rTakeDelay < 0) return 0;
    if (!userRoom) {
        UserMessage(user, "Room is not available");
        return 1;
    }
    if (userRoom->memberOwner == 0) {
        UserMessage(user, "Sorry - this is a public room");
        return 1;
    }
    if (GetServerUserByCounter(userRoom->memberOwner)) {
        UserMessage(user, "You may send a message to the room owner with `rpage");
        return 1;
    }
    if (!ownerGoneLongEnough(state, userRoom)) {
        UserMessage(user, "Waiting for owner to return");
        return 1;
    }
    takeOverRoom(user, userRoom);
    return 1;
}

// Before the owner's own deletion of the room, resets everyone in it as for a
// room change.
KESTROM_COMMAND(rdelete) {
    if (cp) return 0;
    if (!isRoomOwner(serverState, state, user, userRoom)) return 0;
    if (!userRoom->occupants) return 0;
    for (int slot = 0; slot < serverState->maxPeoplePerRoom; ++slot) {
        const UserID id = userRoom->occupants[slot];
        if (ServerUserRec *occupant = id ? GetServerUser(id) : nullptr)
            clearDataForRoomChange(serverState, state, occupant);
    }
    return 0;
}

// Tells who owns the current room: by name to operators (and to everyone
// with memberrwho), otherwise only that there is one.
KESTROM_COMMAND(rwho) {
    if (!userRoom) {
        UserMessage(user, "Room information is not available");
        return 1;
    }
    if (userRoom->memberOwner == 0) {
        UserMessage(user, "Sorry - this is a public room");
        return 1;
    }
    ServerUserRec *owner = connectedRoomOwner(serverState, userRoom);
    if (!owner) {
        tellOwnerAbsent(state, user, userRoom);
        return 1;
    }
    if (UserRank(user) < RANK_WIZARD && !state->memberRWho) {
        UserMessage(user, "This room has an owner, user `rpage to send a message to the owner");
        return 1;
    }
    char ownerName[NAME_SIZE];
    getCUserName(ownerName, owner);
    UserMessage(user, "This room is owned by %s", ownerName);
    return 1;
}

// Lists facts about the current room.
KESTROM_COMMAND(roomprefs) {
    if (!userRoom) return 1;
    const RoomRec &r = userRoom->room;
    char roomName[NAME_SIZE];
    UserMessage(user, "; Name: %s", roomNameText(userRoom, roomName));
    UserMessage(user, "; ID: %d", static_cast<int>(user->user.roomID));
    UserMessage(user, "; Last Painter: %d", static_cast<int>(userRoom->lastPainter));
    UserMessage(user, "; Max Occupancy: %d", userRoom->maxOccupancy);
    UserMessage(user, "; NbrDraw Commands: %d", static_cast<int>(r.nbrDrawCmds));
    UserMessage(user, "; NbrUsers: %d", static_cast<int>(r.nbrPeople));
    UserMessage(user, "; NbrHotspots: %d", static_cast<int>(r.nbrHotspots));
    UserMessage(user, "; NbrPictures: %d", static_cast<int>(r.nbrPictures));
    UserMessage(user, "; NbrProps: %d", static_cast<int>(r.nbrLProps));
    return 1;
}

}  // namespace kestrom
