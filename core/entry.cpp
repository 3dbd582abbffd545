// entry.cpp - the module's lifecycle entry points: start, stop, and the notes
// the host sends when users and rooms come and go.
#include "commands/commands.h"
#include "core/addresses.h"
#include "core/helpers.h"
#include "core/memory.h"
#include "core/state.h"
#include "core/trace.h"
#include "params/params.h"
#include "rooms/rooms.h"

using namespace kestrom;

namespace {

// Built-in default rules: roomsChecked, maximum, decay.
constexpr LimitValue defaultRule(int32_t roomsChecked, uint32_t maximum, double decay) {
    return LimitValue{nullptr, nullptr, roomsChecked, maximum, decay, nullptr, 0, nullptr, 0};
}

constexpr LimitValue D_ZONE = defaultRule(RC_PUBLIC, 12, 0.0);
constexpr LimitValue D_SPOOF = defaultRule(RC_PUBLIC, 0, 0.0);
constexpr LimitValue D_PAGE = defaultRule(RC_PUBLIC | RC_PRIVATE | RC_MEMBER, 1, 0.5);
constexpr LimitValue D_REPPAGE = defaultRule(RC_PUBLIC | RC_PRIVATE | RC_MEMBER, 1, 0.1);
constexpr LimitValue D_CHAT = defaultRule(RC_PUBLIC, 10, 1.0);
constexpr LimitValue D_REPCHAT = defaultRule(RC_PUBLIC, 10, 1.0);
constexpr LimitValue D_PROPDROP = defaultRule(RC_PUBLIC, 10, 1.0);
constexpr LimitValue D_ROOMMSG = defaultRule(RC_PUBLIC, 0, 0.2);
constexpr LimitValue D_FACECHANGE = defaultRule(RC_PUBLIC, 10, 0.5);
constexpr LimitValue D_AVATARCHANGE = defaultRule(RC_PUBLIC, 40, 2.0);
constexpr LimitValue D_MOVE = defaultRule(RC_PUBLIC, 30, 0.2);
constexpr LimitValue D_SLIDE = defaultRule(RC_PUBLIC, 30, 0.2);
constexpr LimitValue D_SPOTSTATECHANGE = defaultRule(RC_PUBLIC, 30, 0.5);
constexpr LimitValue D_NAMECHANGE = defaultRule(RC_PUBLIC, 40, 2.0);
constexpr LimitValue D_AVATARZONE = defaultRule(RC_PUBLIC, 12, 0.0);
constexpr LimitValue D_PAGE_COMMAND = defaultRule(RC_PUBLIC | RC_PRIVATE | RC_MEMBER, 1, 0.5);

// One registry row: index, name, paramMask, default.
struct ParameterRow {
    int32_t index;
    const char *name;
    int32_t paramMask;
    const LimitValue *defaultValue;
};

// In registration order (each row is written when it is registered).
constexpr ParameterRow registrations[NBR_PARAMETERS] = {
    {P_ZONE,            "zone",            PM_MAXIMUM,              &D_ZONE},
    {P_MIMICK,          "mimick",          PM_MAXIMUM,              nullptr},
    {P_AVATARZONE,      "avatarzone",      PM_MAXIMUM,              &D_AVATARZONE},
    {P_SPOOF,           "spoof",           0,                       &D_SPOOF},
    {P_TAKE,            "take",            0,                       nullptr},
    {P_GODONLY,         "godonly",         0,                       nullptr},
    {P_PAGE,            "page",            PM_MAXIMUM | PM_DECAY,   &D_PAGE},
    {P_ROOMPAGE,        "roompage",        PM_MAXIMUM | PM_DECAY,   &D_PAGE_COMMAND},
    {P_GPAGE,           "gpage",           PM_MAXIMUM | PM_DECAY,   &D_PAGE_COMMAND},
    {P_RPAGE,           "rpage",           PM_MAXIMUM | PM_DECAY,   &D_PAGE_COMMAND},
    {P_PINX,            "pinx",            PM_MAXIMUM | PM_DECAY,   nullptr},
    {P_REPPAGE,         "reppage",         PM_MAXIMUM | PM_DECAY,   &D_REPPAGE},
    {P_CHAT,            "chat",            PM_MAXIMUM | PM_DECAY,   &D_CHAT},
    {P_REPCHAT,         "repchat",         PM_MAXIMUM | PM_DECAY,   &D_REPCHAT},
    {P_ROOMMSG,         "roommsg",         PM_MAXIMUM | PM_DECAY,   &D_ROOMMSG},
    {P_PROPDROP,        "propdrop",        PM_MAXIMUM | PM_DECAY,   &D_PROPDROP},
    {P_FACECHANGE,      "facechange",      PM_MAXIMUM | PM_DECAY,   &D_FACECHANGE},
    {P_MOVE,            "move",            PM_MAXIMUM | PM_DECAY,   &D_MOVE},
    {P_SLIDE,           "slide",           PM_MAXIMUM | PM_DECAY,   &D_SLIDE},
    {P_SPOTSTATECHANGE, "spotstatechange", PM_MAXIMUM | PM_DECAY,   &D_SPOTSTATECHANGE},
    {P_AVATARCHANGE,    "avatarchange",    PM_MAXIMUM | PM_DECAY,   &D_AVATARCHANGE},
    {P_CHATGOTO,        "chatgoto",        PM_ROOM | PM_STRING,     nullptr},
    {P_CLEARLOOSEPROPS, "clearlooseprops", PM_MAXIMUM,              nullptr},
    {P_NODUPAVATARS,    "nodupavatars",    0,                       nullptr},
    {P_NAMECHANGE,      "namechange",      PM_MAXIMUM | PM_DECAY,   &D_NAMECHANGE},
    {P_DUPIP,           "dupip",           PM_MAXIMUM | PM_STRING,  nullptr},
    {P_NEWROOM,         "newroom",         PM_MAXIMUM | PM_DECAY,   nullptr},
};

MyState *asState(void *pluginDat) { return static_cast<MyState *>(pluginDat); }

// The defaults of a new state (NewPtrClear has zeroed the rest).
void storeDefaults(MyState *state, PluginID pluginID, int argc, char **argv) {
    state->myPluginID = pluginID;
    state->argc = argc;
    state->argv = argv;
    state->guestWiz = 1;
    state->rTakeDelay = -1;
    state->mroomdiscipline = -1;
    state->lastUserPageRoom = -1;
    state->traceDecision = boundTraceOperation();
    state->traceTimerAction = KESTROM_NO_TIMER;
}

void scheduleArrivalEvents(MyState *state, UserID userID) {
    if (state->wizInMemberRooms) scheduleUserEvent(state, userID, TA_WIZARDS_MAY, 1);
    scheduleUserEvent(state, userID, TA_ENTRY_CHECKS, 1);
    scheduleUserEvent(state, userID, TA_LOGON_CHECKS, 1);
}

void clearUserDat(UserDat *ud) {
    *ud = UserDat{};
    ud->lastWarning = NO_WARNING;
    ud->lastClientPos = UNKNOWN_CLIENT_POS;
}

// Frees what a user's record points to.
void releaseUserDat(MyState *state, ServerUserRec *user) {
    UserDat *ud = userDat(state, user);
    if (!ud) return;
    disposeAndClear(ud->lastChat);
    unfileUserAddress(state, ud);
}

// Frees what a room's record points to.
void releaseRoomDat(MyState *state, ServerRoomRec *room) {
    RoomDat *rd = roomDat(state, room);
    if (!rd) return;
    disposeAndClear(rd->lastChat);
    freeBadActorList(rd);
}

// Frees what users' and rooms' records point to, walking the host's lists.
void freeHostHeldRecords(ServerState *ss, MyState *state) {
    if (!ss) return;
    for (ServerUserRec *user = ss->userList; user; user = user->nextUser) releaseUserDat(state, user);
    for (ServerRoomRec *room = ss->roomList; room; room = room->nextRoom) releaseRoomDat(state, room);
}

}  // namespace

extern "C" {

void *initializeServerPlugin(PluginID pluginID, int argc, char **argv) {
    MyState *state = newZeroed<MyState>();
    if (!state) {
        FormattedLogMessage(nullptr, "DISASTER: ", "%s", "Unable to allocate storage for kestrom plugin");
        return nullptr;
    }
    storeDefaults(state, pluginID, argc, argv);
    resetCommandRanks();
    for (const ParameterRow &row : registrations)
        setParameter(state, row.index, row.name, row.defaultValue, row.paramMask);
    setPluginUserInfoSize(pluginID, static_cast<sint32>(sizeof(UserDat)));
    setPluginRoomInfoSize(pluginID, static_cast<sint32>(sizeof(RoomDat)));
    FormattedLogMessage(nullptr, "kestrom", "kestrom version %s: moderation and member rooms",
                        theVersionNumber);
    if (!loadParameterFile(state, nullptr)) {
        FormattedLogMessage(nullptr, "kestrom", "%s", "*** kestrom initialization failed ***");
        freeStorage(state);
        return nullptr;
    }
    return state;
}

void shutdownServerPlugin(ServerState *ss, void *pluginDat) {
    MyState *state = asState(pluginDat);
    if (!state) return;
    freeHostHeldRecords(ss, state);
    freeStorage(state);
}

void noteUserCreation(ServerState *ss, void *pluginDat, ServerUserRec *user) {
    MyState *state = asState(pluginDat);
    if (!state || !user) return;
    if (UserDat *ud = userDat(state, user)) {
        unfileUserAddress(state, ud);
        clearUserDat(ud);
        fileUserAddress(ss, state, user, ud);
    }
    holdUserAtHand(state, user);
    scheduleArrivalEvents(state, user->user.userID);
}

void noteUserDeletion(ServerState *ss, void *pluginDat, ServerUserRec *user) {
    MyState *state = asState(pluginDat);
    if (!state || !user) return;
    releaseUserDat(state, user);
    dropUserAtHand(state, user);
    if (!ss) return;
    for (ServerRoomRec *room = ss->roomList; room; room = room->nextRoom) {
        if (room->memberOwner != user->counter) continue;
        if (RoomDat *rd = roomDat(state, room)) rd->ownerLogoffTime = time(nullptr);
        break;
    }
}

void noteRoomCreation(ServerState *, void *pluginDat, ServerRoomRec *room) {
    MyState *state = asState(pluginDat);
    if (!state) return;
    if (RoomDat *rd = roomDat(state, room)) {
        if (rd->badActorIndex == state) forgetBadActorIndex(rd); // a record handed over again
        *rd = RoomDat{};
    }
}

void noteRoomDeletion(ServerState *, void *pluginDat, ServerRoomRec *room) {
    MyState *state = asState(pluginDat);
    if (state) releaseRoomDat(state, room);
}

void noteUserRoomEntry(ServerState *, void *, ServerUserRec *, ServerRoomRec *) {}

}  // extern "C"
