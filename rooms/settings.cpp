// settings.cpp - member room settings commands: the on/off switches
// (rlimit, rnodupavatars, rnolooseprops, rpropfreeze, roperatorsonly),
// rlockdown, and the room announcements rannounce and rmsg.  Every one
// swallows its line.
#include "commands/commands.h"
#include "commands/scan.h"
#include "core/helpers.h"

namespace kestrom {

namespace {

// Where a switch keeps its bit.
enum class SwitchHome {
    RoomDat,  // the module's RoomDat.flags
    HostRoom, // the host's own roomFlags, which the host enforces
};

// What an argument other than "on" or "off" does.
enum class OtherWord {
    Ignored,   // nothing changes and nothing is said
    MeansOff,  // taken as "off"
};

// One switch: its bit, what the caller is told without an argument, and
// what the room is told, after the caller's name, when it is turned on or off.
struct RoomSwitch {
    SwitchHome home;
    uint32_t bit;
    OtherWord otherWord;
    const char *reportOn;
    const char *reportOff;
    const char *announceOn;
    const char *announceOff;
};

constexpr RoomSwitch noDupAvatars = {
    SwitchHome::RoomDat, RF_RNODUPAVATARS, OtherWord::MeansOff,
    "Duplicate Avatars are not allowed in this room", "Duplicate Avatars are allowed in this room",
    "is not allowing duplicate avatars",              "is allowing duplicate avatars"};
constexpr RoomSwitch noLooseProps = {
    SwitchHome::RoomDat, RF_RNOLOOSEPROPS, OtherWord::Ignored,
    "Loose Props are not allowed in this room",       "Loose Props are allowed in this room",
    "is not allowing loose props",                    "is allowing loose props"};
constexpr RoomSwitch propFreeze = {
    SwitchHome::RoomDat, RF_RPROPFREEZE, OtherWord::Ignored,
    "Props are frozen in this room",                  "Props are not frozen in this room",
    "has frozen loose props",                         "has unfroze loose props"};
constexpr RoomSwitch operatorsOnly = {
    SwitchHome::HostRoom, RMF_NOMEMBERS, OtherWord::Ignored,
    "Members are not allowed in this room",           "Members are allowed in this room",
    "is not allowing members",                        "is allowing members"};

// The flag word that holds the switch's bit in room, or null when there is
// no room or it has no record of ours.
uint32_t *switchFlags(const MyState *state, ServerRoomRec *room, const RoomSwitch &sw) {
    if (!room) return nullptr;
    if (sw.home == SwitchHome::HostRoom) return &room->room.roomFlags;
    RoomDat *rd = roomDat(state, room);
    return rd ? reinterpret_cast<uint32_t *>(&rd->flags) : nullptr;
}

// The common body of the switches: report without an argument, otherwise
// tell the room of the change and make it.
int runSwitch(MyState *state, ServerUserRec *user, ServerRoomRec *room, const char *cp,
              const RoomSwitch &sw) {
    uint32_t *flags = switchFlags(state, room, sw);
    if (!flags) return 1;
    if (!cp) {
        UserMessage(user, "%s", (*flags & sw.bit) ? sw.reportOn : sw.reportOff);
        return 1;
    }
    const int word = onOffWord(cp);
    if (word < 0 && sw.otherWord == OtherWord::Ignored) return 1;
    const bool on = word == 1;
    char name[NAME_SIZE];
    getCUserName(name, user);
    RoomMessage(room, "%s %s", name, on ? sw.announceOn : sw.announceOff);
    if (on)
        *flags |= sw.bit;
    else
        *flags &= ~sw.bit;
    return 1;
}

// The lines rlockdown says for the caller, in order.
constexpr const char *lockdownLines[] = {
    "`rscripts off",
    "`rpaint off",
    "`rlimit on",
    "`rnolooseprops on",
};

}  // namespace

// Switches the room to the alternate activity limits (rules naming altmember).
KESTROM_COMMAND(rlimit) {
    if (!state->altMemberActive) {
        UserMessage(user, "rlimit not available on this server");
        return 1;
    }
    RoomDat *rd = roomDat(state, userRoom);
    if (!rd) return 1;
    const int on = cp ? onOffWord(cp) : -1;
    if (on == 1) rd->flags |= RF_RLIMIT;
    if (on == 0) rd->flags &= ~RF_RLIMIT;
    UserMessage(user, "`rlimit %s", (rd->flags & RF_RLIMIT) ? "on" : "off");
    return 1;
}

KESTROM_COMMAND(rnodupavatars) { return runSwitch(state, user, userRoom, cp, noDupAvatars); }
KESTROM_COMMAND(rnolooseprops) { return runSwitch(state, user, userRoom, cp, noLooseProps); }
KESTROM_COMMAND(rpropfreeze) { return runSwitch(state, user, userRoom, cp, propFreeze); }
KESTROM_COMMAND(roperatorsonly) { return runSwitch(state, user, userRoom, cp, operatorsOnly); }

// Says the four lock-down lines for the caller; each meets the screening as
// if typed.
KESTROM_COMMAND(rlockdown) {
    for (const char *line : lockdownLines) generateChat(serverState, state, user, line, 0);
    return 1;
}

// Sends the argument to the whole room, as it is.
KESTROM_COMMAND(rannounce) {
    if (userRoom && cp) RoomMessage(userRoom, "%s", cp);
    return 1;
}

// The operators' room message: the same as rannounce.
KESTROM_COMMAND(rmsg) {
    if (userRoom && cp) RoomMessage(userRoom, "%s", cp);
    return 1;
}

}  // namespace kestrom
