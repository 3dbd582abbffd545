// chat.cpp - chat screening and name cleaning.
//
// Every chat line goes through badchat once the dispatcher has decoded it:
// commands first, then mimick, the room gag, the spoof and face prefixes, and
// the four rate rules that share the user's chat history.
#include "core/chat.h"

#include "commands/commands.h"
#include "commands/scan.h"
#include "core/helpers.h"
#include "core/memory.h"
#include "core/trace.h"
#include "limits/limits.h"
#include "pages/pages.h"

#include <cstring>

namespace kestrom {

namespace {

// Characters that may open a line and are looked at by the prefix scan.
constexpr const char *PREFIX_SET = ":;|[()\\/!@%^";
// Characters that complete an eye (':' or ';') into a face.
constexpr const char *MOUTH_SET = ":;|[()\\/!@%^0";

// c is one of the characters of set (never the terminating NUL).
bool isIn(char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The characters of a name after ')': letters, digits, '_' and '.'.
bool isNameChar(char c) { return isAlnum(c) || c == '_' || c == '.'; }

// The rule of parameter `index` that applies in `room`, the user's room.
LimitValue *ruleIn(MyState *state, int32_t index, ServerRoomRec *room) {
    return getRoomRule(state, index, room);
}

// The outcome of the mimick rule: refused, or the room whose memory takes
// the line once the line is let through (null: nothing to remember).
struct Mimick {
    bool refused;
    RoomDat *remember;
};

// Mimick: refuses a member repeating what someone else just said here.  A
// line too short for the rule clears the room's memory.
Mimick checkMimick(const char *line, MyState *state, ServerUserRec *user, ServerRoomRec *room) {
    const LimitValue *rule = ruleIn(state, P_MIMICK, room);
    if (!rule) return {false, nullptr};
    RoomDat *rd = roomDat(state, room);
    if (!rd) return {false, nullptr};
    const size_t length = std::strlen(line);
    const auto measured = static_cast<int32_t>(length);
    if (length < rule->maximum) {
        disposeAndClear(rd->lastChat);
        rd->lastUserID = 0;
        traceMeasured(state, user, P_MIMICK, rule, room, false, false, measured);
        return {false, nullptr};
    }
    const bool repeatsAnother = rd->lastChat && UserRank(user) <= RANK_MEMBER &&
                                rd->lastUserID != user->user.userID &&
                                std::strcmp(rd->lastChat, line) == 0;
    if (!repeatsAnother) {
        traceMeasured(state, user, P_MIMICK, rule, room, false, false, measured);
        return {false, rd};
    }
    const bool told = (rule->roomsChecked & RC_WARN) &&
                      warnOnce(user, userDat(state, user), P_MIMICK, "Repeating others chat is limited here");
    traceMeasured(state, user, P_MIMICK, rule, room, true, told, measured, rd->lastUserID);
    return {true, nullptr};
}

// Refuses a spoof ('@' among the opening symbols); tells the user once.
int refuseSpoof(MyState *state, ServerUserRec *user, UserDat *ud, const LimitValue *rule,
                ServerRoomRec *room) {
    const bool told =
        (rule->roomsChecked & RC_WARN) && warnOnce(user, ud, P_SPOOF, "Spoofing is not permitted here");
    traceRule(state, user, P_SPOOF, rule, room, true, told);
    return 1;
}

// The prefix scan found no spoof.
int passSpoof(MyState *state, ServerUserRec *user, const LimitValue *rule, ServerRoomRec *room) {
    traceRule(state, user, P_SPOOF, rule, room, false, false);
    return 0;
}

// Walks the symbols that open the line: '@' is a spoof, '|' and eye-mouth
// pairs are face changes, ")name " is skipped.  1 to refuse.
int badPrefix(const char *line, ServerState *serverState, MyState *state, ServerUserRec *user,
              UserDat *ud, ServerRoomRec *room) {
    const LimitValue *rule = ruleIn(state, P_SPOOF, room);
    if (!rule) return 0;
    const char *p = line;
    while (isIn(*p, PREFIX_SET)) {
        switch (*p) {
        case '@':
            return refuseSpoof(state, user, ud, rule, room);
        case ')':
            if (p[1] == ' ') {
                p += 2;
            } else if (isNameChar(p[1])) {
                ++p;
                while (isNameChar(*p)) ++p;
                if (*p == ' ') ++p;
            } else {
                ++p;
            }
            break;
        case '|':
            if (faceComingTooFast(serverState, state)) return 1;
            ++p;
            break;
        case ':':
        case ';':
            if (!isIn(p[1], MOUTH_SET)) return passSpoof(state, user, rule, room);
            if (faceComingTooFast(serverState, state)) return 1;
            p += 2;
            break;
        default:
            ++p;
            break;
        }
    }
    return passSpoof(state, user, rule, room);
}

// The four rate rules that count in the chat history, by
// [is a page][repeats the previous line].
constexpr const RateKind *CHAT_RULES[2][2] = {
    {&CHAT_RATE, &REPCHAT_RATE},
    {&PAGE_RATE, &REPPAGE_RATE},
};

// Remembers an accepted page for `er` and sends the page response later.
void recordAcceptedPage(MyState *state, ServerUserRec *user) {
    state->lastUserPageRoom = user->user.roomID;
    getCUserName(state->lastUserPageName, user);
    if (state->pageResponse) scheduleUserEvent(state, user->user.userID, TA_PAGE_RESPONSE, 1);
}

// The rate rules for chat lines and pages, new and repeated; the line then
// becomes the user's previous line, refused or not (a repeated line already
// is).  1 to refuse.
int chatRateRefuses(const char *line, ServerState *serverState, MyState *state, ServerUserRec *user,
                    UserDat *ud, ServerRoomRec *room) {
    if (!ud->lastChat) keepText(ud->lastChat, ud->lastChatCapacity, "");
    if (!ud->lastChat) return 0;
    const bool repeated = std::strcmp(line, ud->lastChat) == 0;
    const bool page = isPageCommand(line, serverState, state) != 0;
    if (page && pageIsNotAcceptable(serverState, state, line)) return 1;
    const int result = rateRefuses(serverState, state, ud, room, *CHAT_RULES[page][repeated]);
    if (page && result == 0) recordAcceptedPage(state, user);
    if (!repeated) keepText(ud->lastChat, ud->lastChatCapacity, line);
    return result;
}

// Characters a name may not begin with.
bool isLeadingJunk(unsigned char c) {
    return c == ' ' || c == '\'' || c == '-' || c == '*' || c < 32;
}

// The rules after mimick: the room gag, the prefix scan and the rate rules.
// Users exempted by their host flags pass.  1 to refuse.
int refusedByRules(const char *line, ServerState *serverState, MyState *state,
                   ServerUserRec *user, ServerRoomRec *room) {
    if (isPrivileged(user)) return 0;
    UserDat *ud = userDat(state, user);
    if (!ud) return 0;
    if (ud->flags & UF_ROOMGAGGED) {
        traceFixed(state, user, rule::ROOMGAG, true);
        return 1;
    }
    if (badPrefix(line, serverState, state, user, ud, room)) return 1;
    return chatRateRefuses(line, serverState, state, user, ud, room);
}

}  // namespace

// The room remembers only lines that were let through: a line nobody heard
// (gagged, spoofed, over a rate) is nobody's to mimick.
int badchat(const char *line, ServerState *serverState, MyState *state, UserID target,
            const char *) {
    ServerUserRec *user = serverState->currentUser;
    if (!user) return 1; // nobody to speak it
    if (isBadCommand(line, serverState, state, target)) return 1;
    ServerRoomRec *room = getUserRoom(user);
    const Mimick mimick = checkMimick(line, state, user, room);
    if (mimick.refused) return 1;
    const int result = refusedByRules(line, serverState, state, user, room);
    if (result == 0 && mimick.remember) {
        keepText(mimick.remember->lastChat, mimick.remember->lastChatCapacity, line);
        mimick.remember->lastUserID = user->user.userID;
    }
    return result;
}

int checkName(unsigned char *pname, ServerState *serverState, MyState *, const char *) {
    if (isPrivileged(serverState->currentUser)) return 0;
    const int oldLength = pname[0];
    if (oldLength > 31) {
        pname[0] = 0;
        return 1;
    }
    int from = 1;
    while (from <= oldLength && isLeadingJunk(pname[from])) ++from;
    int kept = 0;
    for (; from <= oldLength; ++from) {
        const unsigned char c = pname[from];
        if (c == '*' || c < 32) continue;
        if (c == ' ' && kept > 0 && pname[kept] == ' ') continue;
        pname[++kept] = c;
    }
    if (kept > 0 && pname[kept] == ' ') --kept;
    pname[0] = static_cast<unsigned char>(kept);
    return kept != oldLength;
}

}  // namespace kestrom
