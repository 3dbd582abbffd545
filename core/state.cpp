// state.cpp - the parameter registry and the routines that build, reset and
// free the module's state.
#include "core/state.h"

#include "core/helpers.h"
#include "core/memory.h"
#include "limits/limits.h"
#include "params/params.h"
#include "rooms/rooms.h"

namespace kestrom {

ParameterTable parameterTable[NBR_PARAMETERS + 1];

void setParameter(MyState *state, int32_t index, const char *name, const LimitValue *value,
                  int32_t paramMask) {
    ParameterTable &row = parameterTable[index];
    row.index = index;
    row.paramMask = paramMask;
    row.name = name;
    row.defaultValue = value;
    state->limits[index] = makeDefault(value);
    forgetRuleChoices(state);
}

void freeLimits(MyState *state) {
    while (AutoAnnounce *announce = state->autoannounce) {
        state->autoannounce = announce->next;
        if (announce->event) announce->event->param = nullptr; // its timer dies quietly
        DisposePtr(announce);
    }
    while (StringList *line = state->setranks) {
        state->setranks = line->next;
        DisposePtr(line);
    }
    for (LimitValue *&chain : state->limits) freeRuleChain(chain);
    forgetRuleChoices(state);
}

void freeStorage(MyState *state) {
    freeLimits(state);
    DisposePtr(state->mRoomBG);
    DisposePtr(state->pageResponse);
    DisposePtr(state->gpageResponse);
    DisposePtr(state);
}

UserDat *userDat(const MyState *state, ServerUserRec *user) {
    return user ? static_cast<UserDat *>(getPluginUserInfo(state->myPluginID, user)) : nullptr;
}

RoomDat *roomDat(const MyState *state, ServerRoomRec *room) {
    return room ? static_cast<RoomDat *>(getPluginRoomInfo(state->myPluginID, room)) : nullptr;
}

void clearDataForRoomChange(ServerState *, MyState *state, ServerUserRec *user) {
    UserDat *ud = userDat(state, user);
    if (!ud) return;
    ud->move = {};
    ud->slide = {};
    ud->lastWarning = NO_WARNING;
    ud->lastClientPos = UNKNOWN_CLIENT_POS;
    if (ud->flags & UF_ROOMPINNED) user->user.nbrProps = 0; // the pin stays behind
    ud->flags &= ~UF_ROOM_SANCTIONS;
    scheduleUserEvent(state, user->user.userID, TA_ENTRY_CHECKS, 0);
}

}  // namespace kestrom
