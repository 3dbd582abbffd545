// discipline.cpp - discipline commands: gags, pins, kills and sign-offs.
// Every disciplinary act is logged as an action line and announced to the
// operators as a page from the system.
#include "commands/commands.h"
#include "commands/operator.h"
#include "core/helpers.h"
#include "limits/limits.h"

#include <cstdio>
#include <cstring>

namespace kestrom {

namespace {

// One command of the gag family: the UserDat bit it sets or clears, and the
// word that names it in the log and in the operators' notice.
struct GagRow {
    const char *word;
    int32_t bit;
    bool set;
    const char *done; // "pagegagged", ...
};

enum GagCommand { PAGEGAG, UNPAGEGAG, LISTGAG, UNLISTGAG, UNNAMEGAG };

constexpr GagRow gagTable[] = {
    {"pagegag",   UF_PAGEGAGGED, true,  "pagegagged"},
    {"unpagegag", UF_PAGEGAGGED, false, "unpagegagged"},
    {"listgag",   UF_LISTGAGGED, true,  "listgagged"},
    {"unlistgag", UF_LISTGAGGED, false, "unlistgagged"},
    {"unnamegag", UF_NAMEGAGGED, false, "unnamegagged"},
};

// Sets or clears one bit of the target's UserDat flags.
void setUserFlag(MyState *state, ServerUserRec *target, int32_t bit, bool set) {
    UserDat *ud = userDat(state, target);
    if (!ud) return;
    ud->flags = set ? (ud->flags | bit) : (ud->flags & ~bit);
}

// Tells every operator "Page from System: <target> <done> by <issuer>".
void noticeToOperators(ServerUserRec *issuer, ServerUserRec *target, const char *done) {
    const ActorAndTarget names(issuer, target);
    WizGlobalMessage("Page from System: %s %s by %s", names.target, done, names.actor);
}

// The gag family's one body: flag, action log, operators' notice.
int applyGag(ServerState *serverState, MyState *state, ServerUserRec *user,
             ServerUserRec *targetUser, GagCommand command) {
    if (!targetUser) return 1;
    const GagRow &row = gagTable[command];
    setUserFlag(state, targetUser, row.bit, row.set);
    makeServerActionLog(serverState, state, user, row.word, targetUser);
    noticeToOperators(user, targetUser, row.done);
    return 1;
}

constexpr size_t MAX_NAME_LENGTH = 31;

// Renames target to `name` with a 'usrN' carried out without screening (the
// target is name-gagged now, and our own screening would refuse it).
void renameUser(MyState *state, ServerUserRec *issuer, ServerUserRec *target, const char *name) {
    const size_t length = std::strlen(name);
    ClientMsg *msg = newMessage(KESTROM_FOURCC('u', 's', 'r', 'N'), static_cast<uint32>(length + 1),
                                static_cast<sint32>(target->user.userID));
    if (!msg) {
        UserMessage(issuer, "%s", "Can't get storage to change name of this user");
        return;
    }
    char *body = reinterpret_cast<char *>(clientMsgBody(msg));
    std::memcpy(body, name, length + 1);
    CtoPstr(body);
    deliverMessageDirect(state->myPluginID, msg, target);
}

// The host's kill line: a comment is kept only up to this length.
constexpr int MAX_COMMENT_LINE = 198;

}  // namespace

KESTROM_COMMAND(pagegag) { return applyGag(serverState, state, user, targetUser, PAGEGAG); }
KESTROM_COMMAND(unpagegag) { return applyGag(serverState, state, user, targetUser, UNPAGEGAG); }
KESTROM_COMMAND(listgag) { return applyGag(serverState, state, user, targetUser, LISTGAG); }
KESTROM_COMMAND(unlistgag) { return applyGag(serverState, state, user, targetUser, UNLISTGAG); }
KESTROM_COMMAND(unnamegag) { return applyGag(serverState, state, user, targetUser, UNNAMEGAG); }

// Name-gags the whispered user and, given a name, renames the user to it.
KESTROM_COMMAND(namegag) {
    if (!targetUser) return 1;
    setUserFlag(state, targetUser, UF_NAMEGAGGED, true);
    const char *newName = cp;
    if (newName && std::strlen(newName) > MAX_NAME_LENGTH) {
        UserMessage(user, "%s", "replacement name longer than 31 characters, ignored");
        newName = nullptr;
    }
    makeServerActionLog(serverState, state, user, "namegag", targetUser);
    const ActorAndTarget names(user, targetUser);
    WizGlobalMessage("Page from System: %s namegagged by %s as %s", names.target, names.actor,
                     newName ? newName : names.target);
    if (newName) renameUser(state, user, targetUser, newName);
    return 1;
}

// Strips the target to the pin prop and fixes the target at the pin spot of
// the issuer's room.
KESTROM_COMMAND(pinx) {
    if (!targetUser) return 1;
    wearOnlyPinProp(targetUser);
    const Point spot = pinSpot(getRoomRule(state, P_PINX, getUserRoom(serverState->currentUser)));
    targetUser->user.roomPos = spot;
    sendMsgUserMove(toUserRoom(targetUser), targetUser, spot);
    targetUser->flags |= HF_PINMARK;
    makeServerActionLog(serverState, state, user, "pinx", targetUser);
    noticeToOperators(user, targetUser, "pinxed");
    return 1;
}

// Has the issuer send the host's own kill, ban and (with a text) comment lines.
KESTROM_COMMAND(killx) {
    if (!targetUser) return 1;
    char address[IPSTR_SIZE];
    getUserIP(address, targetUser);
    generateChat(serverState, state, user, "`kill", targetUser->user.userID);
    char line[MAX_COMMENT_LINE + 2];
    std::snprintf(line, sizeof line, "`banip %s", address);
    generateChat(serverState, state, user, line, 0);
    if (!cp) return 1;
    const int length = std::snprintf(line, sizeof line, "`comment %s %s", address, cp);
    if (length < 0 || length > MAX_COMMENT_LINE) {
        UserMessage(user, "%s", "`killx comment string is too long, it was not saved");
        return 1;
    }
    generateChat(serverState, state, user, line, 0);
    return 1;
}

// Logs the target off: the issuer, or for operators the named user.
KESTROM_COMMAND(signoff) {
    ServerUserRec *leaving = targetUser ? targetUser : user;
    logActOnOther(user, leaving, "signoff", "signed off");
    ScheduleUserKill(leaving, KILL_LOGGEDOFF, nullptr, 0);
    return 1;
}

}  // namespace kestrom
