// commands.h - the command interpreter: the table of 57 chat commands, the
// lookup and dispatch of command lines, chat-goto phrases and help, and the
// routine of every row.
#pragma once

#include "core/state.h"

namespace kestrom {

// A command routine: the issuer (the current user), the issuer's room (never
// null), the target worked out by dispatch (or null), the line after the quote
// character, and the argument (or null).  1 swallows the line, 0 lets it go on
// to the host.
using CommandRoutine = int (*)(ServerState *serverState, MyState *state, ServerUserRec *user,
                               ServerRoomRec *userRoom, ServerUserRec *targetUser, const char *cmd,
                               const char *cp);

// Behaviour bits of CmdTable.flags.
constexpr int CF_NOARGS = 0x001;       // an argument draws the usage text
constexpr int CF_NEEDSARG = 0x002;     // no argument draws the usage text
constexpr int CF_ROOMOWNER = 0x004;    // the current room's owner counts as privileged
constexpr int CF_ANYTARGET = 0x008;    // no rank comparison with the target
constexpr int CF_TARGETNAME = 0x010;   // said aloud, the argument names the target
constexpr int CF_ONOFF = 0x020;        // the argument is on or off
constexpr int CF_WHISPERONLY = 0x040;  // must be whispered to the target
constexpr int CF_HIDDEN = 0x080;       // left out of help
constexpr int CF_ANYOWNER = 0x100;     // owning any member room counts for rank
constexpr int CF_NOTSELF = 0x200;      // the target may not be the issuer

// Help classes, in bits 24-27 of flags.
constexpr int CF_CLASSMASK = 0x0F000000;
constexpr int CC_USER = 1 << 24;
constexpr int CC_RMANAGING = 2 << 24;
constexpr int CC_RPERMISSIONS = 3 << 24;
constexpr int CC_MANAGING = 4 << 24;
constexpr int CC_PERMISSIONS = 5 << 24;
constexpr int CC_ADMINISTRATION = 6 << 24;

// One row of the command table.
struct CmdTable {
    const char *command;   // lower case, without the quote character
    int minimum;           // shortest abbreviation; 0: the whole word
    const char *shortHelp; // usage text
    const char *longHelp;  // one-line description
    int flags;             // CF_ bits and the CC_ class
    int rank;              // lowest rank that may use it
    int targetRank;        // lowest rank that may direct it at someone else
    CommandRoutine implementation;
};

constexpr int NBR_COMMANDS = 57;

// The table, in its fixed order.  Only rank and targetRank change at run time
// (setrank lines).
extern CmdTable cmdTable[NBR_COMMANDS];

// The first chat-goto entry (in chain order) whose phrase is the whole
// line, ignoring case, or null.
const LimitValue *findChatGoto(MyState *state, const char *line);

// Puts every row's ranks back to the built-in values (at start).
void resetCommandRanks();
// The first row whose command cp names, or null.
CmdTable *findCommand(MyState *state, const char *cp);
// Runs a command line (its first character a quote) said by the current user;
// target is the whisper target or 0.  Nonzero: the line has been dealt with.
int dispatchCommand(const char *line, ServerState *serverState, MyState *state, UserID target);
// Chat-goto phrases, then command lines.  Nonzero: swallow the line.
int isBadCommand(const char *line, ServerState *serverState, MyState *state, UserID target);
// 1 when the line was a help request answered in full.
int isCommandExecuted(ServerState *serverState, MyState *state, const char *line, UserID target);
// The two help lines of the kestrom command.
void giveHelp(ServerState *serverState);

// --------------------------------------------------------------- routines

// Declares (and, followed by a body, defines) the routine do_<word> with the
// CommandRoutine parameters under their usual names.
#define KESTROM_COMMAND(word)                                                                  \
    int do_##word([[maybe_unused]] ServerState *serverState, [[maybe_unused]] MyState *state,   \
                  [[maybe_unused]] ServerUserRec *user, [[maybe_unused]] ServerRoomRec *userRoom, \
                  [[maybe_unused]] ServerUserRec *targetUser, [[maybe_unused]] const char *cmd, \
                  [[maybe_unused]] const char *cp)

// Discipline (commands/discipline.cpp)
KESTROM_COMMAND(pagegag);
KESTROM_COMMAND(unpagegag);
KESTROM_COMMAND(namegag);
KESTROM_COMMAND(unnamegag);
KESTROM_COMMAND(listgag);
KESTROM_COMMAND(unlistgag);
KESTROM_COMMAND(pinx);
KESTROM_COMMAND(killx);
KESTROM_COMMAND(signoff);

// Avatars and positions (commands/avatar.cpp)
KESTROM_COMMAND(chat);
KESTROM_COMMAND(dress);
KESTROM_COMMAND(naked);
KESTROM_COMMAND(move);
KESTROM_COMMAND(setpos);
KESTROM_COMMAND(setface);
KESTROM_COMMAND(setcolor);
KESTROM_COMMAND(take);
KESTROM_COMMAND(reset);
KESTROM_COMMAND(userprefs);

// Navigation and broadcast (commands/navigation.cpp)
KESTROM_COMMAND(find);
KESTROM_COMMAND(goto);
KESTROM_COMMAND(gotoroom);
KESTROM_COMMAND(gmsg);
KESTROM_COMMAND(kestrom);

// Room housekeeping (commands/housekeeping.cpp)
KESTROM_COMMAND(clean);
KESTROM_COMMAND(pdel);
KESTROM_COMMAND(nolooseprops);
KESTROM_COMMAND(propfreeze);

// Member room ownership (rooms/ownership.cpp)
KESTROM_COMMAND(newroom);
KESTROM_COMMAND(myroom);
KESTROM_COMMAND(rowner);
KESTROM_COMMAND(rtake);
KESTROM_COMMAND(rdelete);
KESTROM_COMMAND(rwho);
KESTROM_COMMAND(roomprefs);

// Member room discipline (rooms/room_discipline.cpp)
KESTROM_COMMAND(rgag);
KESTROM_COMMAND(rungag);
KESTROM_COMMAND(rpin);
KESTROM_COMMAND(runpin);
KESTROM_COMMAND(rpropgag);
KESTROM_COMMAND(runpropgag);
KESTROM_COMMAND(rkick);
KESTROM_COMMAND(runkick);
KESTROM_COMMAND(rbanlist);

// Member room settings (rooms/settings.cpp)
KESTROM_COMMAND(rlimit);
KESTROM_COMMAND(rnodupavatars);
KESTROM_COMMAND(rnolooseprops);
KESTROM_COMMAND(rpropfreeze);
KESTROM_COMMAND(roperatorsonly);
KESTROM_COMMAND(rlockdown);
KESTROM_COMMAND(rannounce);
KESTROM_COMMAND(rmsg);

// Page commands (pages/page_commands.cpp)
KESTROM_COMMAND(gpage);
KESTROM_COMMAND(rpage);
KESTROM_COMMAND(roompage);
KESTROM_COMMAND(respond);
KESTROM_COMMAND(er);

}  // namespace kestrom
