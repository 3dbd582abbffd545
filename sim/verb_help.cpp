// verb_help.cpp - one line on every verb, as sim/README.md describes it.
#include "sim/verb_help.h"

#include <utility>

namespace kestrom::sim {

namespace {

// clang-format off
constexpr std::pair<std::string_view, const char *> MEANINGS[] = {
    // the world
    {"server",          "sets the occupant slots per room (default 32); before start"},
    {"clock",           "sets the virtual time of day; the date stays"},
    {"params",          "the lines up to `end` become the parameter file (again later: rewrites it before a reload)"},
    {"params-file",     "uses an existing parameter file (path relative to the scenario file) and tells what it holds"},
    {"room",            "declares a room; the first is the entrance; owner= makes it a member room"},
    {"start",           "loads the module with the parameter file; users declared before connect now"},
    {"start-args",      "loads the module with exactly these arguments after its path"},
    {"stop",            "shuts the module down"},
    {"user",            "connects a user: record noted, logon screened, placed in the entrance or room="},
    {"leave",           "the user disconnects"},
    {"set",             "changes the server's record of a user directly, not through the module"},
    {"addprop",         "puts a loose prop into a room directly"},
    {"adddraw",         "puts one drawing into a room directly"},
    {"advance",         "moves the clock on, running every timer that falls due at its own time"},
    {"clock-jump",      "the clock jumps by SECONDS (negative: back); timers keep their times"},
    {"fail-alloc",      "the K-th module allocation from now fails (only that one); off: none fails"},
    {"crowd",           "connects COUNT users who behave after PROFILE as the clock advances (chatter, flooder, mimic, ...)"},
    {"fail-alloc-from", "every module allocation from the K-th from now on fails"},
    // printing
    {"help",            "lists the verbs; help VERB tells what one does"},
    {"stats",           "prints the decision statistics so far: per rule and per message type"},
    {"who",             "prints the users: room, rank, position, looks and host flags"},
    {"rooms",           "prints the rooms: kind and flags, owner, people, drawings, loose props"},
    {"why",             "prints the last message's verdict and every decision on it; why USER: USER's last refused message"},
    {"quit",            "ends the console (in a file: the rest of the file is not run)"},
    {"exit",            "the same as quit"},
    // messages a user sends
    {"say",             "USER says TEXT in the room (talk)"},
    {"whisper",         "USER whispers TEXT to TARGET (whis)"},
    {"xsay",            "USER says TEXT, encoded (xtlk)"},
    {"xwhisper",        "USER whispers TEXT to TARGET, encoded (xwis)"},
    {"roommsg",         "USER sends a room message (rmsg)"},
    {"globalmsg",       "USER sends a global message (gmsg)"},
    {"page",            "USER pages the operators (smsg)"},
    {"goto",            "USER asks to go to ROOM (navR)"},
    {"loc",             "USER moves to X Y (uLoc)"},
    {"face",            "USER changes face (usrF)"},
    {"color",           "USER changes colour (usrC)"},
    {"name",            "USER changes name (usrN)"},
    {"props",           "USER wears these props (usrP)"},
    {"desc",            "USER changes face, colour and props at once (usrD)"},
    {"drop",            "USER drops a loose prop at X Y (nPrp)"},
    {"moveprop",        "USER moves the loose prop at INDEX to X Y (mPrp)"},
    {"delprop",         "USER deletes the loose prop at INDEX, or all of them (dPrp)"},
    {"spot",            "USER sets a spot's state (sSta)"},
    {"lock",            "USER locks a door (lock)"},
    {"unlock",          "USER unlocks a door (unlo)"},
    {"roomlist",        "USER asks for the room list (rLst)"},
    {"userlist",        "USER asks for the user list (uLst)"},
    {"wizreq",          "USER asks for operator status (susr)"},
    {"raw",             "USER sends a message of TYPE with the bytes in HEX (- for none)"},
    // checks
    {"expect-pass",     "check: the module passed the directive's message"},
    {"expect-swallow",  "check: the module swallowed the directive's message"},
    {"expect",          "check: USER was sent exactly TEXT on any channel"},
    {"expect-not",      "check: USER was not sent exactly TEXT"},
    {"expect-none",     "check: the module sent USER no text at all"},
    {"expect-said",     "check: a talk or whisper from USER with exactly TEXT reached the server"},
    {"expect-not-said", "check: no such line reached the server"},
    {"expect-log",      "check: a server log line contains TEXT"},
    {"expect-no-log",   "check: no server log line contains TEXT"},
    {"expect-state",    "check: the server's record of USER (room, pos, face, color, props, name, ...)"},
    {"expect-room",     "check: the server's record of ROOM (exists, owner, closed, lprops, people, ...)"},
    {"expect-allocations", "check: exactly N module blocks are not yet returned"},
    {"expect-started",  "check: the module's start returned its state (yes) or failed (no)"},
    {"expect-refused-by", "check: RULE refused the directive's message, with every KEY as given"},
    {"expect-passed-by", "check: RULE was checked and let the directive's message through"},
    {"expect-share",    "the share of a crowd's (or a profile's) messages refused since its start: refused<=P or refused>=P percent"},
};
// clang-format on

}  // namespace

const char *verbMeaning(std::string_view verb) {
    for (const auto &[word, meaning] : MEANINGS)
        if (word == verb) return meaning;
    return nullptr;
}

}  // namespace kestrom::sim
