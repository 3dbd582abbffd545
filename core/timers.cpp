// timers.cpp - handleTimerEvent: the module's timed work.
//
// Every event names a user (0 for announcements) and an action.  An action
// either finishes (the event is freed), waits for the user to be placed or
// identified (the same event comes back a second later), or re-arms itself
// (announcements, daily).
#include "core/addresses.h"
#include "core/helpers.h"
#include "core/memory.h"
#include "core/state.h"
#include "core/trace.h"
#include "limits/limits.h"
#include "rooms/rooms.h"

namespace kestrom {

namespace {

constexpr int32_t RETRY_DELAY = 1;
constexpr int32_t SECONDS_PER_DAY = 86400;

enum class Outcome {
    Finished, // free the event
    Retry,    // schedule the same event again in a second
    Rearmed,  // the action scheduled the event again itself
};

using ActionRoutine = Outcome (*)(ServerState *ss, MyState *state, TimerEvent *event,
                                  ServerUserRec *user);

// ------------------------------------------------------------ helpers

ServerRoomRec *findRoomOwnedBy(ServerState *ss, uint32_t counter) {
    for (ServerRoomRec *room = ss->roomList; room; room = room->nextRoom)
        if (room->memberOwner != 0 && room->memberOwner == counter) return room;
    return nullptr;
}

bool roomStillExists(ServerState *ss, const ServerRoomRec *wanted) {
    for (const ServerRoomRec *room = ss->roomList; room; room = room->nextRoom)
        if (room == wanted) return true;
    return false;
}

// The rule of `param` that selects the room, or null.
const LimitValue *roomRule(MyState *state, int32_t param, ServerRoomRec *room) {
    return getRoomRule(state, param, room);
}

// Strips the user's worn props and tells everyone in the room.
void stripAvatar(ServerUserRec *user) {
    user->user.nbrProps = 0;
    sendMsgUserProp(toUserRoom(user), user, 0, nullptr);
}

// ---------------------------------------------------- dupip patterns

constexpr int WILDCARD = -1;
constexpr int NO_MATCH = -1;
constexpr int CATCH_ALL_WILDCARDS = 4;
constexpr int NOTHING_CHOSEN = 5;

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads one part of an address pattern: '*' or a number up to 255.
const char *readPatternPart(const char *p, int &part) {
    if (*p == '*') {
        part = WILDCARD;
        return p + 1;
    }
    if (!isDigit(*p)) return nullptr;
    int value = 0;
    for (; isDigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > 255) return nullptr;
    }
    part = value;
    return p;
}

// Splits "a.b.c.d" (each part '*' or 0..255, trailing blanks allowed) into
// four parts; false for anything else.
bool parseAddressPattern(const char *pattern, int (&parts)[4]) {
    const char *p = pattern;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != '.') return false;
            ++p;
        }
        p = readPatternPart(p, parts[i]);
        if (!p) return false;
    }
    while (isTrailingSpace(*p)) ++p;
    return *p == '\0';
}

// The wildcards of a rule that fits the address, or NO_MATCH.  A rule
// without a pattern fits every address with four wildcards.
int ruleWildcards(const LimitValue *rule, const unsigned char (&address)[4]) {
    if (!rule->string) return CATCH_ALL_WILDCARDS;
    int parts[4];
    if (!parseAddressPattern(rule->string, parts)) return NO_MATCH;
    int wildcards = 0;
    for (int i = 0; i < 4; ++i) {
        if (parts[i] == WILDCARD) ++wildcards;
        else if (parts[i] != address[i]) return NO_MATCH;
    }
    return wildcards;
}

// The dupip rule that fits the address best: fewest wildcards, the earlier
// rule on a tie.
const LimitValue *bestDupipRule(const MyState *state, IPAddress ip) {
    unsigned char address[4];
    std::memcpy(address, &ip, sizeof address); // dotted order in memory
    const LimitValue *choice = nullptr;
    int choiceWildcards = NOTHING_CHOSEN;
    for (const LimitValue *rule = state->limits[P_DUPIP]; rule; rule = rule->next) {
        const int wildcards = ruleWildcards(rule, address);
        if (wildcards == NO_MATCH || wildcards >= choiceWildcards) continue;
        choice = rule;
        choiceWildcards = wildcards;
    }
    return choice;
}

// Logs off the last of several users sharing the user's address when the
// best dupip rule allows fewer; nobody when one of them is an operator.
void checkDuplicateAddresses(ServerState *ss, MyState *state, ServerUserRec *user) {
    if (!state->limits[P_DUPIP]) return; // no rule: nobody is ever logged off
    const AddressSharers sharers = usersSharingAddress(ss, state, user);
    const int sharing = sharers.count, highestRank = sharers.highestRank;
    ServerUserRec *last = sharers.last;
    const int others = sharing - 1;
    if (others <= 0 || highestRank > RANK_MEMBER) return;
    const LimitValue *rule = bestDupipRule(state, user->netAddress.ipAddress);
    if (!rule) return;
    if (static_cast<uint32_t>(others) <= rule->maximum) {
        traceMeasured(state, user, P_DUPIP, rule, nullptr, false, false, others);
        return;
    }
    ScheduleUserKill(last, KILL_WITHTEXT, "Duplicate IP limit exceeded", 0);
    traceMeasured(state, last, P_DUPIP, rule, nullptr, true, true, others,
                  last == user ? 0 : user->user.userID);
}

// --------------------------------------------------------------- actions

// Action 0: tell an arriving user that operators may enter closed rooms.
Outcome tellWizardsMay(ServerState *, MyState *, TimerEvent *, ServerUserRec *user) {
    if (!getUserRoom(user)) return Outcome::Retry;
    UserMessage(user, "%s", theWizardsMayMsg);
    return Outcome::Finished;
}

// Action 5: applies the room's prop-gag, pin and gag to a user in it.
Outcome applySanctions(ServerState *, MyState *state, TimerEvent *, ServerUserRec *user) {
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return Outcome::Retry;
    UserDat *ud = userDat(state, user);
    const int32_t sanctions = getUserSanctions(state, user, room, ud);
    int32_t flags = 0;
    if (sanctions & SANCTION_PROPGAG) {
        stripAvatar(user);
        flags |= UF_ROOMPROPGAGGED;
    }
    if (sanctions & SANCTION_PIN) {
        wearOnlyPinProp(user);
        user->user.roomPos = PIN_SPOT;
        UpdateUserPosition(user, PIN_SPOT);
        flags |= UF_ROOMPINNED;
    }
    if (sanctions & SANCTION_GAG) flags |= UF_ROOMGAGGED;
    if (ud) ud->flags |= flags;
    const int32_t applied = sanctions & (SANCTION_PROPGAG | SANCTION_PIN | SANCTION_GAG);
    if (applied) traceSanctions(state, user, rule::SANCTION, room, applied, true, false);
    return Outcome::Finished;
}

// Strips a duplicate avatar from a user entering a room that bars them.
void checkDuplicateAvatar(ServerState *ss, MyState *state, ServerUserRec *user,
                          ServerRoomRec *room) {
    if (user->user.nbrProps == 0) return;
    const LimitValue *rule = roomRule(state, P_NODUPAVATARS, room);
    if (!rule) {
        const RoomDat *rd = roomDat(state, room);
        const bool roomBars = rd && (rd->flags & RF_RNODUPAVATARS);
        if (!roomBars || isMemberOwnerOf(user, room) || UserRank(user) > RANK_MEMBER) return;
    }
    if (rule && !(rule->roomsChecked & RC_WARN)) return;
    UserDat *ud = userDat(state, user);
    if (ud && ud->lastWarning == P_NODUPAVATARS) return;
    UserID wearer = 0;
    if (!isThereADuplicateAvatar(ss, state, room, user, user->user.nbrProps, user->user.propSpec,
                                 &wearer)) {
        traceDuplicateAvatar(state, user, rule, room, false, false, 0);
        return;
    }
    UserMessage(user, "%s", "You aren't permitted to wear the same avatar as someone else here");
    stripAvatar(user);
    if (ud) ud->lastWarning = P_NODUPAVATARS;
    traceDuplicateAvatar(state, user, rule, room, true, true, wearer);
}

// Action 1: the room's entry checks, then its sanctions.
Outcome runEntryChecks(ServerState *ss, MyState *state, TimerEvent *event, ServerUserRec *user) {
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return Outcome::Retry;
    if (roomRule(state, P_TAKE, room))
        UserMessage(user, "%s",
                    "This is a Take Avatar Room.  To take someone else's avatar, whisper `take.  "
                    "Only wear avatars you are willing to share in this room.");
    if (const LimitValue *godonly = roomRule(state, P_GODONLY, room)) {
        const bool loggedOff = UserRank(user) <= RANK_WIZARD;
        if (loggedOff) ScheduleUserKill(user, KILL_LOGGEDOFF, nullptr, 0);
        traceRule(state, user, P_GODONLY, godonly, room, loggedOff, false);
    }
    checkDuplicateAvatar(ss, state, user, room);
    ServerUserRec *again = GetServerUser(event->userID);
    return again ? applySanctions(ss, state, event, again) : Outcome::Finished;
}

// Action 2: an announcement to everyone, again tomorrow; an announcement
// removed by a reload ends here.
Outcome sendAnnouncement(ServerState *, MyState *state, TimerEvent *event, ServerUserRec *) {
    const auto *announce = static_cast<const AutoAnnounce *>(event->param);
    if (!announce) return Outcome::Finished;
    GlobalMessage("%s", announce->message());
    scheduleTimerEvent(state->myPluginID, event, SECONDS_PER_DAY);
    return Outcome::Rearmed;
}

// Action 3: the page response, when one is still set.
Outcome sendPageResponse(ServerState *, MyState *state, TimerEvent *, ServerUserRec *user) {
    if (state->pageResponse) UserMessage(user, "%s", state->pageResponse);
    return Outcome::Finished;
}

// Action 4: duplicate addresses, then re-link a returning owner's room.
Outcome runLogonChecks(ServerState *ss, MyState *state, TimerEvent *, ServerUserRec *user) {
    const bool identified = user->counter != 0 || user->crc != 0 || (user->flags & HF_IDENTIFIED);
    if (!identified) return Outcome::Retry;
    checkDuplicateAddresses(ss, state, user);
    if (ServerRoomRec *owned = findRoomOwnedBy(ss, user->counter)) user->lastOwnedRoom = owned;
    return Outcome::Finished;
}

// Action 6: forget a member room that has changed hands (or is gone).
Outcome dropLostRoom(ServerState *ss, MyState *, TimerEvent *, ServerUserRec *user) {
    ServerRoomRec *owned = user->lastOwnedRoom;
    if (!owned) return Outcome::Finished;
    if (!roomStillExists(ss, owned) || owned->memberOwner != user->counter)
        user->lastOwnedRoom = nullptr;
    return Outcome::Finished;
}

// One row per action: whether it concerns a connected user, and its routine.
struct ActionRow {
    int32_t action;
    bool needsUser;
    ActionRoutine routine;
};

constexpr ActionRow actionTable[] = {
    {TA_WIZARDS_MAY,   true,  tellWizardsMay},
    {TA_ENTRY_CHECKS,  true,  runEntryChecks},
    {TA_ANNOUNCE,      false, sendAnnouncement},
    {TA_PAGE_RESPONSE, true,  sendPageResponse},
    {TA_LOGON_CHECKS,  true,  runLogonChecks},
    {TA_SANCTIONS,     true,  applySanctions},
    {TA_DROP_OWNED,    true,  dropLostRoom},
};

const ActionRow *findAction(int32_t action) {
    for (const ActionRow &row : actionTable)
        if (row.action == action) return &row;
    return nullptr;
}

// Runs the event's action; a user who has left (or an unknown action)
// finishes it at once.
Outcome runAction(ServerState *ss, MyState *state, TimerEvent *event) {
    const ActionRow *row = findAction(event->action);
    if (!row) return Outcome::Finished;
    ServerUserRec *user = nullptr;
    if (row->needsUser) {
        if (!ss) return Outcome::Finished;
        user = GetServerUser(event->userID);
        if (!user) return Outcome::Finished;
    }
    return row->routine(ss, state, event, user);
}

}  // namespace

}  // namespace kestrom

using namespace kestrom;

extern "C" void handleTimerEvent(ServerState *ss, void *pluginDat, void *timerDat) {
    auto *state = static_cast<MyState *>(pluginDat);
    auto *event = static_cast<TimerEvent *>(timerDat);
    if (!state || !event) return;
    state->traceMessageType = 0;
    state->traceTimerAction = event->action;
    switch (runAction(ss, state, event)) {
    case Outcome::Finished: DisposePtr(event); break;
    case Outcome::Retry: scheduleTimerEvent(state->myPluginID, event, RETRY_DELAY); break;
    case Outcome::Rearmed: break;
    }
}
