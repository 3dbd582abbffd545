// page_commands.cpp - the page commands: gpage (to the server owners), rpage
// (to the owner of the current member room), roompage (to the operators in
// the room), respond (answer the last private sender) and er (an operator
// goes to the closed member room of the last page).
#include "commands/commands.h"
#include "core/helpers.h"
#include "limits/limits.h"
#include "rooms/ownership.h"

#include <cstring>

namespace kestrom {

namespace {

// 1 when the caller may not page (and has been told so).
int refusedAsPageGagged(const UserDat *ud, ServerUserRec *user) {
    if (!ud || !(ud->flags & UF_PAGEGAGGED)) return 0;
    UserMessage(user, "Sorry, you've been pagegagged.");
    return 1;
}

// The text is shorter than a length setting, both taken as unsigned 32-bit
// numbers (so a negative setting makes every text too short).
bool textShorterThan(const char *text, int32_t setting) {
    return static_cast<uint32_t>(std::strlen(text)) < static_cast<uint32_t>(setting);
}

// Sends a response setting to the caller as plain text, when it is set.
void sendResponse(ServerUserRec *user, const char *response) {
    if (response) UserMessage(user, "%s", response);
}

}  // namespace

// Pages the server owners: owners page each other without checks; others are
// screened for gag, length (members and guests) and rate.
KESTROM_COMMAND(gpage) {
    const char *text = cp ? cp : "";
    UserDat *ud = userDat(state, user);
    char name[NAME_SIZE];
    getCUserName(name, user);
    if (UserRank(user) >= RANK_GOD) {
        GodGlobalMessage("Owner Page from %s: %s", name, text);
        return 1;
    }
    if (refusedAsPageGagged(ud, user)) return 1;
    if (textShorterThan(text, state->gpageLengthLimit) && UserRank(user) <= RANK_MEMBER) {
        UserMessage(user, "Your gpage was not accepted because there wasn't enough information. "
                          "Please page again with a more detailed message.");
        return 1;
    }
    if (rateRefuses(serverState, state, ud, userRoom, GPAGE_RATE)) return 1;
    if (!userRoom) return 1;
    char roomName[NAME_SIZE];
    UserMessage(user, "The owners have been paged");
    GodGlobalMessage("Owner Page from %s in %s (%d): %s", name, roomNameText(userRoom, roomName),
                     static_cast<int>(userRoom->room.roomID), text);
    sendResponse(user, state->gpageResponse);
    return 1;
}

// Pages the owner of the current member room, wherever the owner is; the
// owner can answer with respond.  The rate is counted before anything else.
KESTROM_COMMAND(rpage) {
    const char *text = cp ? cp : "";
    UserDat *ud = userDat(state, user);
    if (rateRefuses(serverState, state, ud, userRoom, RPAGE_RATE)) return 1;
    if (!userRoom) {
        UserMessage(user, "Room info not available");
        return 1;
    }
    if (userRoom->memberOwner == 0) {
        UserMessage(user, "Sorry - this is a public room");
        return 1;
    }
    if (refusedAsPageGagged(ud, user)) return 1;
    ServerUserRec *owner = connectedRoomOwner(serverState, userRoom);
    if (!owner) {
        tellOwnerAbsent(state, user, userRoom);
        return 1;
    }
    char name[NAME_SIZE];
    getCUserName(name, user);
    UserMessage(owner, "RPage from %s: %s", name, text);
    owner->lastESPsender = user->user.userID;
    UserMessage(user, "The member room owner has been paged.");
    return 1;
}

// Pages the operators in the current room: operators page each other without
// checks; others are screened for gag, length (pagelength) and rate.
KESTROM_COMMAND(roompage) {
    const char *text = cp ? cp : "";
    UserDat *ud = userDat(state, user);
    char name[NAME_SIZE];
    getCUserName(name, user);
    if (UserRank(user) >= RANK_WIZARD) {
        if (userRoom) WizRoomMessage(userRoom, "Room Page from %s: %s", name, text);
        return 1;
    }
    if (refusedAsPageGagged(ud, user)) return 1;
    if (textShorterThan(text, state->pageLengthLimit)) {
        UserMessage(user, "Your room page was not accepted because there wasn't enough "
                          "information. Please page again with a more detailed message.");
        return 1;
    }
    if (rateRefuses(serverState, state, ud, userRoom, ROOMPAGE_RATE)) return 1;
    if (!userRoom) return 1;
    sendResponse(user, state->gpageResponse);
    UserMessage(user, "The operators in this room have been paged");
    sendResponse(user, state->pageResponse);
    WizRoomMessage(userRoom, "Room Page from %s: %s", name, text);
    return 1;
}

// Answers the last user who sent the caller a private page, when that user is
// in the caller's room; otherwise the host's own command has the line.
KESTROM_COMMAND(respond) {
    if (user->lastESPsender == 0) return 0;
    ServerUserRec *sender = GetServerUser(user->lastESPsender);
    if (!sender || !userRoom) return 0;
    ServerRoomRec *senderRoom = getUserRoom(sender);
    if (!senderRoom || senderRoom != userRoom) return 0;
    const char *text = cp ? cp : "";
    char name[NAME_SIZE], senderName[NAME_SIZE];
    getCUserName(name, user);
    getCUserName(senderName, sender);
    UserPrivateMessage(user, "Message to %s: %s", senderName, text);
    UserPrivateMessage(sender, "Message from %s: %s", name, text);
    return 1;
}

// Takes an operator into the room of the last accepted page when that is a
// closed or passworded member room; the host's own er handles every other.
KESTROM_COMMAND(er) {
    if (!state->wizInMemberRooms) return 0;
    ServerRoomRec *room = GetRoom(state->lastUserPageRoom);
    if (!room || room->memberOwner == 0 || !isClosedOrPassworded(room)) return 0;
    char name[NAME_SIZE];
    getCUserName(name, user);
    WizNeighborMessage(user, "Page from System: %s has responded to %s's page via `er", name,
                       state->lastUserPageName);
    clearDataForRoomChange(serverState, state, user);
    ChangeUserRoom(user, room, 1, nullptr);
    return 1;
}

}  // namespace kestrom
