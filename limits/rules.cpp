// rules.cpp - choosing the rule of a parameter for a room, and the leaky
// bucket that every rate rule counts in.
#include "core/helpers.h"
#include "core/trace.h"
#include "limits/limits.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kestrom {

// The first of the rule's room-number ranges that holds the room, or null.
static const RoomNumbers *selectingRange(const LimitValue *rule, RoomID roomID) {
    for (const RoomNumbers *range = rule->roomNumbers; range; range = range->next)
        if (roomID >= range->low && roomID <= range->high) return range;
    return nullptr;
}

static bool rangesSelect(const LimitValue *rule, RoomID roomID) {
    return selectingRange(rule, roomID) != nullptr;
}

// The room-kind bit that selects the room: member rooms by their owner's
// room-limits switch, the others by the host's private flag.
static int32_t roomKind(const MyState *state, ServerRoomRec *room) {
    if (room->memberOwner != 0) {
        const RoomDat *rd = roomDat(state, room);
        return (rd && (rd->flags & RF_RLIMIT)) ? RC_ALTMEMBER : RC_MEMBER;
    }
    return (room->room.roomFlags & RMF_PRIVATE) ? RC_PRIVATE : RC_PUBLIC;
}

// Whether one rule applies in `room` of kind `kind` (no room: limbo, where
// any selection does).
static bool ruleSelects(const LimitValue *rule, const ServerRoomRec *room, int32_t kind) {
    if (!room) return rule->roomsChecked != 0;
    if (rangesSelect(rule, room->room.roomID)) return true;
    return (rule->roomsChecked & kind) != 0;
}

// The first rule of the chain that applies in `room` of kind `kind`: the
// chain order's choice.
static LimitValue *walkChain(LimitValue *first, const ServerRoomRec *room, int32_t kind) {
    for (LimitValue *rule = first; rule; rule = rule->next)
        if (ruleSelects(rule, room, kind)) return rule;
    return nullptr;
}

LimitValue *getRoomLimitIn(MyState *state, LimitValue *first, ServerRoomRec *room) {
    if (!first) return nullptr;
    return walkChain(first, room, room ? roomKind(state, room) : 0);
}

namespace {

// Stamps never repeat while the module is loaded, so that a choice made
// under one chain (or one start of the module) is never taken for another.
uint32_t theLastStamp = 0;

uint32_t newStamp() {
    if (++theLastStamp == 0) ++theLastStamp;
    return theLastStamp;
}

// The chain's stamp, renewed when its head or last rule has changed.
uint32_t chainStamp(MyState *state, int32_t param, const LimitValue *head) {
    RuleChainMark &mark = state->ruleChains[param];
    if (mark.stamp != 0 && mark.head == head && !(mark.tail && mark.tail->next)) return mark.stamp;
    const LimitValue *tail = head;
    while (tail && tail->next) tail = tail->next;
    mark = {head, tail, newStamp()};
    return mark.stamp;
}

}  // namespace

uint32_t ruleChainStamp(MyState *state, int32_t param) {
    return chainStamp(state, param, state->limits[param]);
}

void forgetRuleChoices(MyState *state) {
    for (RuleChainMark &mark : state->ruleChains) mark = {};
}

// Chains this short, of rules without ranges, are walked: the walk costs
// less than looking the choice up.
constexpr int SHORT_WALK = 3;

LimitValue *getRoomRule(MyState *state, int32_t param, ServerRoomRec *room) {
    LimitValue *first = state->limits[param];
    if (!first) return nullptr;
    const int32_t kind = room ? roomKind(state, room) : 0;
    int walked = 0;
    for (LimitValue *rule = first;; rule = rule->next) {
        if (!rule) return nullptr;
        if (rule->roomNumbers || ++walked > SHORT_WALK) break;
        if (room ? (rule->roomsChecked & kind) != 0 : rule->roomsChecked != 0) return rule;
    }
    const uint32_t stamp = chainStamp(state, param, first);
    if (!room) {
        RuleChoice &choice = state->limboChoice[param];
        if (choice.stamp != stamp) choice = {stamp, 0, 0, walkChain(first, nullptr, 0)};
        return choice.rule;
    }
    const RoomID roomID = room->room.roomID;
    RuleChoice &choice = state->ruleChoices[param][static_cast<uint16_t>(roomID) % RULE_CHOICE_SLOTS];
    if (choice.stamp != stamp || choice.roomID != roomID || choice.kind != kind)
        choice = {stamp, roomID, static_cast<int16_t>(kind), walkChain(first, room, kind)};
    return choice.rule;
}

void describeSelection(const MyState *state, const LimitValue *rule, ServerRoomRec *room,
                       KestromDecision *d) {
    d->selection = KESTROM_SELECT_NONE;
    if (!rule) return;
    if (!room) {
        d->selection = KESTROM_SELECT_LIMBO;
        return;
    }
    if (const RoomNumbers *range = selectingRange(rule, room->room.roomID)) {
        d->selection = KESTROM_SELECT_RANGE;
        d->rangeLow = range->low;
        d->rangeHigh = range->high;
        return;
    }
    const int32_t kind = roomKind(state, room);
    if (rule->roomsChecked & kind) {
        d->selection = KESTROM_SELECT_KIND;
        d->selectionBit = kind;
    }
}

LimitValue *getRoomLimitForRoom(ServerState *, MyState *state, LimitValue *first, RoomID roomID) {
    if (!first) return nullptr;
    return getRoomLimitIn(state, first, GetRoom(roomID));
}

LimitValue *getRoomLimit(ServerState *serverState, MyState *state, LimitValue *first) {
    if (!first) return nullptr;
    return getRoomLimitIn(state, first, getUserRoom(serverState->currentUser));
}

// The level left after the bucket drained since the last check.  A clock
// that went back, a negative or unusable decay drains nothing.
static int32_t drainedLevel(const ActivityHistory *hist, const LimitValue *limit, time_t now) {
    const double elapsed = difftime(now, hist->lastTime);
    double drain = elapsed > 0 ? std::trunc(elapsed * limit->decay) : 0;
    if (!(drain > 0)) drain = 0;
    const double level = static_cast<double>(hist->numberRecent) - drain;
    return level > 0 ? truncatedInt32(level) : 0;
}

int32_t secondsUntilAllowed(const ActivityHistory *hist, const LimitValue *limit) {
    constexpr int64_t LONGEST = INT32_MAX;
    if (limit->maximum == 0 || !(limit->decay > 0) || !std::isfinite(limit->decay))
        return KESTROM_NO_WAIT;
    const auto levelAfter = [&](int64_t seconds) {
        return static_cast<uint32_t>(drainedLevel(hist, limit, hist->lastTime + seconds));
    };
    if (levelAfter(0) < limit->maximum) return 0;
    if (levelAfter(LONGEST) >= limit->maximum) return KESTROM_NO_WAIT;
    // The level never rises as time goes on: the first second below the
    // maximum lies after `low` (not below) and at or before `high` (below).
    int64_t low = 0, high = LONGEST;
    while (high - low > 1) {
        const int64_t mid = low + (high - low) / 2;
        (levelAfter(mid) < limit->maximum ? high : low) = mid;
    }
    return static_cast<int32_t>(high);
}

// level + units, saturating instead of wrapping.
static int32_t addUnits(int32_t level, int32_t numActions) {
    const int64_t sum = static_cast<int64_t>(level) + numActions;
    return sum > INT_MAX ? INT_MAX : static_cast<int32_t>(sum);
}

// Tells the user once per kind in a row that the activity is limited; true
// when the user was told now.
static bool warnLimited(ServerState *serverState, UserDat *ud, int32_t limitNumber,
                        const char *type) {
    if (!ud || ud->lastWarning == limitNumber) return false;
    const bool told = serverState->currentUser != nullptr;
    if (told) UserMessage(serverState->currentUser, "%s are limited here", type);
    ud->lastWarning = limitNumber;
    return told;
}

// The time of the message in hand, read from the clock by its first rate
// check; outside a message, the clock itself.
static time_t messageTime(MyState *state) {
    if (!state || !state->inMessage) return time(nullptr);
    if (!state->messageTimeRead) {
        state->messageTime = time(nullptr);
        state->messageTimeRead = true;
    }
    return state->messageTime;
}

int checkLimit(ServerState *serverState, MyState *state, ActivityHistory *hist, const LimitValue *limit,
               UserDat *ud, int32_t limitNumber, int32_t numActions, const char *type) {
    ServerUserRec *user = serverState->currentUser;
    if (user && UserRank(user) >= RANK_WIZARD) {
        traceRatePass(serverState, state, limit, limitNumber, KESTROM_DF_EXEMPT);
        return 0;
    }
    if (limit->maximum == LIMIT_UNLIMITED) {
        traceRatePass(serverState, state, limit, limitNumber, KESTROM_DF_UNLIMITED);
        return 0;
    }

    const time_t now = messageTime(state);
    const int32_t level = drainedLevel(hist, limit, now);
    hist->numberRecent = level;
    hist->lastTime = now;
    if (static_cast<uint32_t>(level) < limit->maximum) {
        hist->numberRecent = addUnits(level, numActions);
        traceRate(serverState, state, hist, limit, limitNumber, numActions, level, false, false);
        return 0;
    }

    const bool told = (limit->roomsChecked & RC_WARN) && warnLimited(serverState, ud, limitNumber, type);
    const int32_t refused = addUnits(level, numActions);
    const double cap = static_cast<double>(limit->maximum) + limit->decay;
    hist->numberRecent = refused > cap ? truncatedInt32(cap) : refused;
    traceRate(serverState, state, hist, limit, limitNumber, numActions, level, true, told);
    return 1;
}

}  // namespace kestrom
