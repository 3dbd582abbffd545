// room_discipline.cpp - member room discipline commands: gag, pin, prop-gag
// and kick a user in the caller's current room, lift them again, and list
// the room's disciplined users.
//
// Gag, pin and prop-gag belong to the module alone and work only while
// mroomdiscipline is above 0.  rkick and runkick share their names with the
// host's own commands: they record or withdraw the kick and let the line go
// on, so that the host moves the user out or lifts its own kick.
#include "commands/commands.h"
#include "core/helpers.h"
#include "rooms/rooms.h"

namespace kestrom {

namespace {

// One of the gag, pin and prop-gag commands: the sanction it records or
// lifts, the room flag the sanction sets, and what the caller is told.
struct RoomSanctionRow {
    int32_t sanction;
    int32_t userFlag;
    const char *given;
    const char *lifted;
};

constexpr RoomSanctionRow RGAG     = {SANCTION_GAG,     UF_ROOMGAGGED,     "rgagged",     "rungagged"};
constexpr RoomSanctionRow RPIN     = {SANCTION_PIN,     UF_ROOMPINNED,     "rpinned",     "runpinned"};
constexpr RoomSanctionRow RPROPGAG = {SANCTION_PROPGAG, UF_ROOMPROPGAGGED, "rpropgagged", "runpropgagged"};

bool roomDisciplineOn(const MyState *state) { return state->mroomdiscipline > 0; }

// Tells the caller what was done to the target: "Bob rgagged".
void tellCaller(ServerUserRec *user, const ServerUserRec *target, const char *done) {
    char name[NAME_SIZE];
    getCUserName(name, target);
    UserMessage(user, "%s %s", name, done);
}

// Records the sanction in the caller's room and applies it to the target
// at once (timer action 5).
int giveRoomSanction(ServerState *serverState, MyState *state, ServerUserRec *user,
                     ServerRoomRec *userRoom, ServerUserRec *targetUser, const RoomSanctionRow &row) {
    if (!roomDisciplineOn(state)) return 0;
    if (!targetUser) return 1;
    rememberPerp(serverState, state, targetUser, userRoom, row.sanction);
    if (!scheduleUserEvent(state, targetUser->user.userID, TA_SANCTIONS, 0)) return 1;
    tellCaller(user, targetUser, row.given);
    return 1;
}

// Takes the pin prop off a user who wears it alone; other avatars stay.
void removeLonePinProp(ServerUserRec *target) {
    UserRec &u = target->user;
    if (u.nbrProps != 1 || u.propSpec[0].id != PIN_PROP.id) return;
    u.nbrProps = 0;
    sendMsgUserProp(toUserRoom(target), target, 0, nullptr);
}

// Withdraws the sanction in the caller's room and undoes its effect on the
// target wherever the target is.
int liftRoomSanction(ServerState *serverState, MyState *state, ServerUserRec *user,
                     ServerRoomRec *userRoom, ServerUserRec *targetUser, const RoomSanctionRow &row) {
    if (!roomDisciplineOn(state)) return 0;
    if (!targetUser) return 1;
    forgivePerp(serverState, state, targetUser, userRoom, row.sanction);
    if (UserDat *ud = userDat(state, targetUser)) ud->flags &= ~row.userFlag;
    if (row.sanction == SANCTION_PIN) removeLonePinProp(targetUser);
    tellCaller(user, targetUser, row.lifted);
    return 1;
}

// The sanction words of a ban list line, each with its leading blank.
const char *sanctionWord(int32_t flags, int32_t sanction, const char *word) {
    return (flags & sanction) ? word : "";
}

}  // namespace

KESTROM_COMMAND(rgag) { return giveRoomSanction(serverState, state, user, userRoom, targetUser, RGAG); }
KESTROM_COMMAND(rpin) { return giveRoomSanction(serverState, state, user, userRoom, targetUser, RPIN); }
KESTROM_COMMAND(rpropgag) {
    return giveRoomSanction(serverState, state, user, userRoom, targetUser, RPROPGAG);
}

KESTROM_COMMAND(rungag) { return liftRoomSanction(serverState, state, user, userRoom, targetUser, RGAG); }
KESTROM_COMMAND(runpin) { return liftRoomSanction(serverState, state, user, userRoom, targetUser, RPIN); }
KESTROM_COMMAND(runpropgag) {
    return liftRoomSanction(serverState, state, user, userRoom, targetUser, RPROPGAG);
}

// Records the kick and resets the target's room state; the host's own rkick
// then takes the target out of the room.
KESTROM_COMMAND(rkick) {
    if (!targetUser) return 0;
    rememberPerp(serverState, state, targetUser, userRoom, SANCTION_KICK);
    clearDataForRoomChange(serverState, state, targetUser);
    return 0;
}

// Withdraws the kick; the host's own runkick does the rest.
KESTROM_COMMAND(runkick) {
    if (targetUser) forgivePerp(serverState, state, targetUser, userRoom, SANCTION_KICK);
    return 0;
}

// Lists the room's disciplined users, newest first.
KESTROM_COMMAND(rbanlist) {
    const RoomDat *rd = roomDat(state, userRoom);
    if (!rd || !rd->badActorList) {
        UserMessage(user, "%s", "No entries in the room's ban list");
        return 1;
    }
    for (const RoomBadActor *entry = rd->badActorList; entry; entry = entry->next) {
        const int32_t f = entry->flags;
        UserMessage(user, "; %s%s%s%s: %s", sanctionWord(f, SANCTION_KICK, " kicked"),
                    sanctionWord(f, SANCTION_PIN, " pinned"), sanctionWord(f, SANCTION_GAG, " gagged"),
                    sanctionWord(f, SANCTION_PROPGAG, " propgagged"), entry->username);
    }
    return 1;
}

}  // namespace kestrom
