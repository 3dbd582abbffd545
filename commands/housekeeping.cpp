// housekeeping.cpp - room housekeeping commands: clearing a room's loose
// props and drawings, and the room's no-loose-props and frozen-props
// switches.
#include "commands/commands.h"
#include "commands/scan.h"
#include "core/helpers.h"

namespace kestrom {

namespace {

// The replies of an on/off room switch.
struct SwitchTexts {
    const char *whenSet;   // asked, and the switch is on
    const char *whenClear; // asked, and the switch is off
    const char *turnedOn;
    const char *turnedOff;
};

constexpr SwitchTexts NOLOOSEPROPS_TEXTS = {
    "Loose Props are not allowed in this room", "Loose Props are allowed in this room",
    "No loose props is on",                     "No loose props is off"};
constexpr SwitchTexts PROPFREEZE_TEXTS = {
    "Props are frozen in this room",    "Props are not frozen in this room",
    "Frozen props have been turned on", "Frozen props have been turned off"};

// Reports the switch `bit` of `flags` with no argument, sets or clears it on
// a first word of on or off, and does nothing on any other argument.
template <typename Flags>
void runSwitch(ServerUserRec *user, const char *argument, Flags &flags, Flags bit,
               const SwitchTexts &texts) {
    if (!argument) {
        UserMessage(user, "%s", (flags & bit) ? texts.whenSet : texts.whenClear);
        return;
    }
    switch (onOffWord(argument)) {
    case 1:
        flags |= bit;
        UserMessage(user, "%s", texts.turnedOn);
        break;
    case 0:
        flags &= ~bit;
        UserMessage(user, "%s", texts.turnedOff);
        break;
    default: break;
    }
}

}  // namespace

// Removes the loose props and drawings of the issuer's room.
KESTROM_COMMAND(clean) {
    resetDraw(serverState, state);
    DeleteLooseProp(user, -1);
    return 1;
}

// Removes the loose props of the issuer's room.
KESTROM_COMMAND(pdel) {
    DeleteLooseProp(user, -1);
    return 1;
}

// The host's no-loose-props flag of the issuer's room.
KESTROM_COMMAND(nolooseprops) {
    if (!userRoom) return 1;
    runSwitch<uint32>(user, cp, userRoom->room.roomFlags, RMF_NOLOOSEPROPS, NOLOOSEPROPS_TEXTS);
    return 1;
}

// The frozen-props flag of the issuer's room.
KESTROM_COMMAND(propfreeze) {
    RoomDat *rd = roomDat(state, userRoom);
    if (!rd) return 1;
    runSwitch<int32_t>(user, cp, rd->flags, RF_PROPFREEZE, PROPFREEZE_TEXTS);
    return 1;
}

}  // namespace kestrom
