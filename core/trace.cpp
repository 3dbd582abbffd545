// trace.cpp - building the records of the decision trace.  Only ever called
// while the host traces (the inline helpers of trace.h test that first).
#include "core/trace.h"

#include "core/helpers.h"
#include "limits/limits.h"

#include <cstring>

namespace kestrom {

TraceOperation boundTraceOperation() { return KestromTraceDecision; }

namespace {

constexpr RoomID NO_ROOM_ID = -1;

RoomID roomIdOf(const ServerRoomRec *room) { return room ? room->room.roomID : NO_ROOM_ID; }

const char *parameterName(int32_t parameter) {
    if (parameter < 0 || parameter >= NBR_PARAMETERS) return "";
    return parameterTable[parameter].name ? parameterTable[parameter].name : "";
}

// A record of what is in hand (message or timer action), whom it concerns
// and its outcome; everything else zero, no wait.
KestromDecision newDecision(const MyState *state, const DecisionSubject &who, const char *name,
                            int32_t parameter, bool refused, bool told) {
    KestromDecision d;
    std::memset(&d, 0, sizeof d);
    d.size = sizeof d;
    d.messageType = state->traceMessageType;
    d.timerAction = state->traceTimerAction;
    d.outcome = refused ? KESTROM_REFUSED : KESTROM_PASSED;
    d.told = told ? 1 : 0;
    d.rule = name;
    d.parameter = parameter;
    d.user = who.user;
    d.otherID = who.otherID;
    d.other = who.otherID ? GetServerUser(who.otherID) : nullptr;
    d.room = NO_ROOM_ID;
    d.wait = KESTROM_NO_WAIT;
    return d;
}

// The rule's own part: its line, and how it was chosen for `room`.
void describeRule(const MyState *state, KestromDecision &d, const LimitValue *limit,
                  ServerRoomRec *room) {
    d.room = roomIdOf(room);
    if (!limit) return;
    d.line = limit->line;
    d.maximum = limit->maximum;
    if (d.parameter == P_CHATGOTO || d.parameter == P_DUPIP)
        d.selection = KESTROM_SELECT_ANY;
    else
        describeSelection(state, limit, room, &d);
}

}  // namespace

void emitFixed(MyState *state, const DecisionSubject &who, const char *name, bool refused,
               bool told, int32_t sanctions, ServerRoomRec *room) {
    KestromDecision d = newDecision(state, who, name, -1, refused, told);
    d.room = roomIdOf(room ? room : getUserRoom(who.user));
    d.sanctions = sanctions;
    state->traceDecision(&d);
}

void emitRule(MyState *state, const DecisionSubject &who, int32_t parameter,
              const LimitValue *limit, ServerRoomRec *room, bool refused, bool told,
              bool hasMeasure, int32_t measured) {
    KestromDecision d = newDecision(state, who, parameterName(parameter), parameter, refused, told);
    describeRule(state, d, limit, room);
    if (hasMeasure) {
        d.flags |= KESTROM_DF_MEASURE;
        d.measured = measured;
    }
    state->traceDecision(&d);
}

void emitRate(ServerState *serverState, MyState *state, const ActivityHistory *hist,
              const LimitValue *limit, int32_t parameter, int32_t units, int32_t levelBefore,
              bool refused, bool told) {
    KestromDecision d = newDecision(state, {serverState->currentUser, 0},
                                    parameterName(parameter), parameter, refused, told);
    describeRule(state, d, limit, getUserRoom(serverState->currentUser));
    d.flags |= KESTROM_DF_RATE;
    d.levelBefore = levelBefore;
    d.levelAfter = hist->numberRecent;
    d.decay = limit->decay;
    d.units = units;
    d.wait = secondsUntilAllowed(hist, limit);
    state->traceDecision(&d);
}

void emitRatePass(ServerState *serverState, MyState *state, const LimitValue *limit,
                  int32_t parameter, int32_t flag) {
    KestromDecision d = newDecision(state, {serverState->currentUser, 0},
                                    parameterName(parameter), parameter, false, false);
    describeRule(state, d, limit, getUserRoom(serverState->currentUser));
    d.flags |= flag;
    d.decay = limit->decay;
    state->traceDecision(&d);
}

void emitCommand(MyState *state, ServerUserRec *issuer, const char *name, const char *command,
                 int32_t rankNeeded, int32_t rankHeld, bool refused, const ServerUserRec *target) {
    const UserID other = target && target != issuer ? target->user.userID : 0;
    KestromDecision d = newDecision(state, {issuer, other}, name, -1, refused, refused);
    d.room = roomIdOf(getUserRoom(issuer));
    d.flags |= KESTROM_DF_COMMAND;
    d.command = command;
    d.rankNeeded = rankNeeded;
    d.rankHeld = rankHeld;
    state->traceDecision(&d);
}

}  // namespace kestrom
