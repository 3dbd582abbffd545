// trace.h - the decision trace: at each point where the module decides, one
// call that hands the host a KestromDecision (core/host.h) when the host
// provides KestromTraceDecision, and returns at once when it does not.
//
// The operation is bound weakly: the module's reference resolves to null in
// a host that does not export it, and the module binds it once at start into
// MyState::traceDecision.  Every helper below is inline and tests that
// pointer first; the record is built (on the stack, never allocated) only
// when the host traces.
#pragma once

#include "core/state.h"

extern "C" void KestromTraceDecision(const KestromDecision *decision)
    __attribute__((weak, visibility("default")));

namespace kestrom {

// The fixed names of the decisions that no parameter makes (host.h says what
// each one decides).
namespace rule {
constexpr const char *ROOMGAG = "roomgag";
constexpr const char *PAGEGAG = "pagegag";
constexpr const char *NAMEGAG = "namegag";
constexpr const char *LISTGAG = "listgag";
constexpr const char *ROOMPIN = "roompin";
constexpr const char *ROOMPROPGAG = "roompropgag";
constexpr const char *ILLEGALNAME = "illegalname";
constexpr const char *PAGELENGTH = "pagelength";
constexpr const char *GUESTWIZ = "guestwiz";
constexpr const char *RNOLOOSEPROPS = "rnolooseprops";
constexpr const char *RPROPFREEZE = "rpropfreeze";
constexpr const char *RNODUPAVATARS = "rnodupavatars";
constexpr const char *PROPFREEZE = "propfreeze";
constexpr const char *NOROOM = "noroom";
constexpr const char *KICK = "kick";
constexpr const char *SANCTION = "sanction";
constexpr const char *MALFORMED = "malformed";
constexpr const char *RANK = "rank";
constexpr const char *OWNER = "owner";
constexpr const char *TARGET = "target";
constexpr const char *ARGUMENT = "argument";
}  // namespace rule

// The host's operation, or null: what start stores in MyState.
using TraceOperation = void (*)(const KestromDecision *);
TraceOperation boundTraceOperation();

inline bool tracing(const MyState *state) { return state && state->traceDecision; }

// Whom a decision concerns, and the other user involved (0: none), looked
// up only while tracing.
struct DecisionSubject {
    ServerUserRec *user;
    UserID otherID;
};

// ---------------------------------------------------------- the builders
// (core/trace.cpp; called only while tracing)

// `room`: the room decided about; null for the user's own.
void emitFixed(MyState *state, const DecisionSubject &who, const char *name, bool refused,
               bool told, int32_t sanctions, ServerRoomRec *room);
// `measured` is recorded (KESTROM_DF_MEASURE) when `hasMeasure`.
void emitRule(MyState *state, const DecisionSubject &who, int32_t parameter,
              const LimitValue *rule, ServerRoomRec *room, bool refused, bool told,
              bool hasMeasure, int32_t measured);
void emitRate(ServerState *serverState, MyState *state, const ActivityHistory *hist,
              const LimitValue *limit, int32_t parameter, int32_t units, int32_t levelBefore,
              bool refused, bool told);
void emitRatePass(ServerState *serverState, MyState *state, const LimitValue *limit,
                  int32_t parameter, int32_t flag);
void emitCommand(MyState *state, ServerUserRec *issuer, const char *name, const char *command,
                 int32_t rankNeeded, int32_t rankHeld, bool refused, const ServerUserRec *target);

// ------------------------------------------------ one call per decision

// A decision no parameter makes: a gag, a room setting, a malformed body.
inline void traceFixed(MyState *state, ServerUserRec *user, const char *name, bool refused,
                       bool told = false) {
    if (tracing(state)) emitFixed(state, {user, 0}, name, refused, told, 0, nullptr);
}
// The same with the sanction bits of `room` that decided it (kick, sanction).
inline void traceSanctions(MyState *state, ServerUserRec *user, const char *name, ServerRoomRec *room,
                           int32_t sanctions, bool refused, bool told) {
    if (tracing(state)) emitFixed(state, {user, 0}, name, refused, told, sanctions, room);
}
// Swallows nothing itself: records a message refused for its body.
inline void traceMalformed(MyState *state, ServerUserRec *user) {
    if (user) traceFixed(state, user, rule::MALFORMED, true);
}
// A content rule of parameter `parameter`, chosen for `room`.
inline void traceRule(MyState *state, ServerUserRec *user, int32_t parameter, const LimitValue *limit,
                      ServerRoomRec *room, bool refused, bool told, UserID otherID = 0) {
    if (tracing(state))
        emitRule(state, {user, otherID}, parameter, limit, room, refused, told, false, 0);
}
// A size or count rule: `measured` against the rule's maximum.
inline void traceMeasured(MyState *state, ServerUserRec *user, int32_t parameter,
                          const LimitValue *limit, ServerRoomRec *room, bool refused, bool told,
                          int32_t measured, UserID otherID = 0) {
    if (tracing(state))
        emitRule(state, {user, otherID}, parameter, limit, room, refused, told, true, measured);
}
// One leaky-bucket check that counted; hist as the check left it.
inline void traceRate(ServerState *serverState, MyState *state, const ActivityHistory *hist,
                      const LimitValue *limit, int32_t parameter, int32_t units, int32_t levelBefore,
                      bool refused, bool told) {
    if (tracing(state))
        emitRate(serverState, state, hist, limit, parameter, units, levelBefore, refused, told);
}
// A rate check passed without counting (KESTROM_DF_EXEMPT or _UNLIMITED).
inline void traceRatePass(ServerState *serverState, MyState *state, const LimitValue *limit,
                          int32_t parameter, int32_t flag) {
    if (tracing(state)) emitRatePass(serverState, state, limit, parameter, flag);
}
// The duplicate-avatar test: made by the nodupavatars rule `limit`, or
// (null) by the member owner's room setting, traced then only when it refuses.
inline void traceDuplicateAvatar(MyState *state, ServerUserRec *user, const LimitValue *limit,
                                 ServerRoomRec *room, bool refused, bool told, UserID wearer) {
    if (!tracing(state)) return;
    if (limit)
        emitRule(state, {user, wearer}, P_NODUPAVATARS, limit, room, refused, told, false, 0);
    else if (refused)
        emitFixed(state, {user, wearer}, rule::RNODUPAVATARS, true, told, 0, room);
}
// A decision of command dispatch on the row `command`.
inline void traceCommand(MyState *state, ServerUserRec *issuer, const char *name, const char *command,
                         int32_t rankNeeded, int32_t rankHeld, bool refused,
                         const ServerUserRec *target = nullptr) {
    if (tracing(state)) emitCommand(state, issuer, name, command, rankNeeded, rankHeld, refused, target);
}

}  // namespace kestrom
