// dispatch.cpp - running a command line: find the row, check the issuer's
// privilege, work out the target and the argument, answer every refusal, and
// call the row's routine.
#include "commands/commands.h"

#include "commands/scan.h"
#include "core/helpers.h"
#include "core/trace.h"

#include <cstring>

namespace kestrom {

namespace {

constexpr const char *CAN_BE_WHISPERED = " (can be whispered to another user)";
constexpr const char *MUST_BE_WHISPERED = " (must be whispered to another user)";

// Who is issuing the command, and where.
struct Issuer {
    ServerState *serverState;
    MyState *state;
    ServerUserRec *user;
    ServerRoomRec *room;
    int rank;
};

bool has(const CmdTable &row, int flag) { return (row.flags & flag) != 0; }

// The issuer owns the member room the issuer is in.
bool ownsCurrentRoom(const Issuer &is) {
    return isRoomOwner(is.serverState, is.state, is.user, is.room) != 0;
}

// A decision of dispatch on the row, for the issuer: traced, and whether
// the row may go on.
bool decided(const Issuer &is, const CmdTable &row, const char *name, bool refused,
             int32_t rankNeeded, const ServerUserRec *target = nullptr) {
    traceCommand(is.state, is.user, name, row.command, rankNeeded, is.rank, refused, target);
    return !refused;
}

// The issuer may use the row; otherwise the issuer has been told why not.
// (Passing is traced where dispatch calls the routine.)
bool mayUse(const Issuer &is, const CmdTable &row) {
    if (is.rank >= row.rank) return true;
    if (has(row, CF_ROOMOWNER)) {
        if (ownsCurrentRoom(is)) return true;
        UserMessage(is.user, "%s", "Sorry - you are not the owner of this room");
        return decided(is, row, rule::OWNER, true, row.rank);
    }
    if (has(row, CF_ANYOWNER) && is.user->lastOwnedRoom) return true;
    UserMessage(is.user, "%s", "Sorry - you are not privileged to use that command");
    return decided(is, row, rule::RANK, true, row.rank);
}

// The issuer may direct the row at someone else.
bool mayDirect(const Issuer &is, const CmdTable &row) {
    return is.rank >= row.targetRank || (has(row, CF_ROOMOWNER) && ownsCurrentRoom(is));
}

// Works out the user the command acts on into *target (null: nobody).
// False when the line has been refused (the issuer has been told).
bool findTarget(const Issuer &is, const CmdTable &row, UserID whisperTarget, const char *arg,
                ServerUserRec **target) {
    *target = is.user;
    if (!mayDirect(is, row)) return true;
    if (!has(row, CF_TARGETNAME | CF_WHISPERONLY) && row.targetRank > RANK_GOD) {
        *target = nullptr;
        return true;
    }
    if (whisperTarget != 0) {
        *target = GetServerUser(whisperTarget);
        if (!*target) {
            UserMessage(is.user, "%s", "Whisper target not found");
            return decided(is, row, rule::TARGET, true, row.targetRank);
        }
    } else if (has(row, CF_WHISPERONLY)) {
        UserMessage(is.user, "%s%s", row.shortHelp, MUST_BE_WHISPERED);
        return decided(is, row, rule::TARGET, true, row.targetRank);
    } else if (arg && has(row, CF_TARGETNAME)) {
        *target = GetServerUserByName(arg);
        if (!*target) {
            UserMessage(is.user, "User %s not found", arg);
            return decided(is, row, rule::TARGET, true, row.targetRank);
        }
    }
    if (!has(row, CF_ANYTARGET)) {
        const int targetRank = UserRank(*target);
        if (is.rank < targetRank) {
            char name[NAME_SIZE];
            getCUserName(name, *target);
            UserMessage(is.user, "You can't control %s", name);
            return decided(is, row, rule::TARGET, true, targetRank, *target);
        }
    }
    return true;
}

// The argument of an on/off command is exactly "on" or "off".
bool isOnOff(const char *arg) { return std::strcmp(arg, "on") == 0 || std::strcmp(arg, "off") == 0; }

// The argument is missing, not allowed, or names the issuer where it may not.
bool wantsUsage(const CmdTable &row, const char *arg, const ServerUserRec *target,
                const ServerUserRec *issuer) {
    return (has(row, CF_NEEDSARG) && !arg) || (has(row, CF_NOARGS) && arg) ||
           (has(row, CF_NOTSELF) && target == issuer);
}

}  // namespace

int dispatchCommand(const char *line, ServerState *serverState, MyState *state, UserID target) {
    CmdTable *row = findCommand(state, line + 1);
    if (!row || !row->implementation) return 0;
    ServerUserRec *user = serverState->currentUser;
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return 1;
    const Issuer is{serverState, state, user, room, UserRank(user)};
    if (!mayUse(is, *row)) return 1;

    const char *arg = nextWord(line + wordLength(line));
    ServerUserRec *targetUser = nullptr;
    if (!findTarget(is, *row, target, arg, &targetUser)) return 1;

    const char *suffix = is.rank >= row->targetRank ? CAN_BE_WHISPERED : "";
    if (has(*row, CF_ONOFF) && arg && !isOnOff(arg))
        UserMessage(user, "%s%s", row->shortHelp, suffix);
    if (wantsUsage(*row, arg, targetUser, user)) {
        UserMessage(user, "Usage: %s%s", row->shortHelp, suffix);
        decided(is, *row, rule::ARGUMENT, true, row->rank, targetUser);
        return 1;
    }
    decided(is, *row, is.rank >= row->rank ? rule::RANK : rule::OWNER, false, row->rank, targetUser);
    return row->implementation(serverState, state, user, room, targetUser, line + 1, arg);
}

}  // namespace kestrom
