// table.cpp - the command table: the 57 chat commands in their fixed order,
// and the lookup of a typed command word.
//
// The order matters: lookup stops at the first row that matches, and help
// lists rows in this order.  Only rank and targetRank change at run time
// (setrank lines of the parameter file); a change lasts until the module is
// started again, across reloads.
#include "commands/commands.h"

#include "commands/scan.h"

#include <cstring>

namespace kestrom {

namespace {

constexpr int NO = 0;
constexpr int GUEST = RANK_GUEST;
constexpr int MEMBER = RANK_MEMBER;
constexpr int WIZARD = RANK_WIZARD;
constexpr int DISABLE = RANK_DISABLE;

// The built-in rows: the table's contents when the module is loaded.
constexpr CmdTable theBuiltInCommands[NBR_COMMANDS] = {
//   command           min usage                          help                                                                                                  flags                                                                 rank    target   routine
    {"chat",           0, "`chat <message>",              "Generate chat for a user.",                                                                          CC_MANAGING       | CF_NEEDSARG | CF_WHISPERONLY,                     WIZARD, WIZARD,  do_chat},
    {"clean",          0, "`clean",                       "Removes all loose props and paint in the current room.",                                             CC_MANAGING       | CF_NOARGS,                                        WIZARD, DISABLE, do_clean},
    {"dress",          0, "`dress <user>",                "Dresses <user> in the props you are currently wearing.",                                             CC_MANAGING       | CF_TARGETNAME,                                    WIZARD, WIZARD,  do_dress},
    {"er",             0, "`er",                          "Goto the room from which the last operator page was sent.",                                          NO                | CF_NOARGS | CF_HIDDEN,                            WIZARD, DISABLE, do_er},
    {"find",           0, "`find <user>",                 "Display in which room <user> currently is.",                                                         CC_USER           | CF_ANYTARGET | CF_TARGETNAME,                     GUEST,  GUEST,   do_find},
    {"gmsg",           0, "`gmsg <message>",              "Sends <message> to everyone on the server.",                                                         CC_MANAGING       | CF_NEEDSARG,                                      WIZARD, DISABLE, do_gmsg},
    {"goto",           0, "`goto <user>",                 "Go to the room where <user> currently is.",                                                          CC_USER           | CF_ANYTARGET | CF_TARGETNAME,                     GUEST,  GUEST,   do_goto},
    {"gotoroom",       0, "`gotoroom <roomID>",           "Goto the room whose ID number is <roomID>.",                                                         CC_USER           | CF_NEEDSARG,                                      GUEST,  WIZARD,  do_gotoroom},
    {"gpage",          0, "`gpage <message>",             "Page the owners with <message>.",                                                                    CC_USER           | CF_NEEDSARG,                                      GUEST,  DISABLE, do_gpage},
    {"killx",          0, "`killx <comment>",             "Kill a user and comment on it.",                                                                     CC_MANAGING       | CF_WHISPERONLY,                                   WIZARD, WIZARD,  do_killx},
    {"listgag",        0, "`listgag <user>",              "Prevent user from listing users or available rooms.",                                                CC_MANAGING       | CF_TARGETNAME | CF_NOTSELF,                       WIZARD, WIZARD,  do_listgag},
    {"move",           0, "`move <x> <y>",                "Move the user (x,y) pixels.",                                                                        CC_MANAGING       | CF_NEEDSARG,                                      WIZARD, WIZARD,  do_move},
    {"myroom",         0, "`myroom",                      "Go to the room that you own.",                                                                       CC_USER           | CF_NOARGS | CF_ANYOWNER,                          MEMBER, DISABLE, do_myroom},
    {"naked",          0, "`naked <user>",                "Remove all props being worn.",                                                                       CC_USER           | CF_TARGETNAME,                                    GUEST,  WIZARD,  do_naked},
    {"namegag",        0, "`namegag [<newname>]",         "Stop a user from changing names and force use of <newname>",                                         CC_MANAGING       | CF_WHISPERONLY,                                   WIZARD, WIZARD,  do_namegag},
    {"newroom",        2, "`newroom [<name>]",            "Create a new room (one allowed per user).",                                                          NO                | CF_HIDDEN,                                        MEMBER, DISABLE, do_newroom},
    {"nolooseprops",   0, "`nolooseprops [on|off]",       "Control if loose props can be dropped in the current room",                                          CC_PERMISSIONS    | CF_ONOFF,                                         WIZARD, DISABLE, do_nolooseprops},
    {"pagegag",        0, "`pagegag <user>",              "Prevent user from sending pages.",                                                                   CC_MANAGING       | CF_TARGETNAME | CF_NOTSELF,                       WIZARD, WIZARD,  do_pagegag},
    {"pdel",           0, "`pdel",                        "Clear loose props in a room",                                                                        CC_MANAGING       | CF_NOARGS,                                        WIZARD, DISABLE, do_pdel},
    {"pinx",           0, "`pinx <user>",                 "Pin <user> in an alternate location.",                                                               CC_MANAGING       | CF_TARGETNAME | CF_NOTSELF,                       WIZARD, WIZARD,  do_pinx},
    {"kestrom",        0, "`kestrom reload",              "Reload the kestrom control file from disk.",                                                         CC_ADMINISTRATION | CF_NEEDSARG,                                      WIZARD, DISABLE, do_kestrom},
    {"propfreeze",     0, "`propfreeze",                  "Freeze or unfreeze loose props in the current room.",                                                CC_PERMISSIONS    | CF_ONOFF,                                         WIZARD, DISABLE, do_propfreeze},
    {"rannounce",      0, "`rannounce <message>",         "Send <message> to everyone in the current (member created) room.",                                   CC_MANAGING       | CF_NEEDSARG | CF_ROOMOWNER,                       WIZARD, DISABLE, do_rannounce},
    {"rbanlist",       0, "`rbanlist",                    "List the users who have been disciplined  in the current (member created) room.",                    CC_RMANAGING      | CF_NOARGS | CF_ROOMOWNER,                         WIZARD, DISABLE, do_rbanlist},
    {"reset",          0, "`reset",                       "Reset the user's client state to match the server.",                                                 CC_USER           | CF_NOARGS,                                        GUEST,  DISABLE, do_reset},
    {"rdelete",        0, "`rdelete",                     "Delete this (member created) room.",                                                                 NO                | CF_HIDDEN,                                        MEMBER, DISABLE, do_rdelete},
    {"respond",        2, "`respond <message>",           "Reply to the last sender of a private message with <message>.",                                      NO                | CF_NEEDSARG | CF_HIDDEN,                          GUEST,  DISABLE, do_respond},
    {"rgag",           0, "`rgag <user>",                 "Gag <user> in the current (member created) room.",                                                   CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME | CF_NOTSELF,        WIZARD, WIZARD,  do_rgag},
    {"rkick",          2, "`rkick <user>",                "Kick <user> out of the (member created) room.",                                                      NO                | CF_ROOMOWNER | CF_TARGETNAME | CF_HIDDEN | CF_NOTSELF, WIZARD, WIZARD, do_rkick},
    {"rlimit",         0, "`rlimit [on|off]",             "Use alternate activity limits in the (member created) room.",                                        CC_RPERMISSIONS   | CF_ROOMOWNER | CF_ONOFF,                          WIZARD, DISABLE, do_rlimit},
    {"rlockdown",      0, "`rlockdown",                   "Set rscripts off, rpaint off, rnolooseprops on, and rlimit on in the current (member created) room.", CC_RPERMISSIONS   | CF_NOARGS | CF_ROOMOWNER,                         WIZARD, DISABLE, do_rlockdown},
    {"rmsg",           0, "`rmsg <message>",              "Send <message> to everyone in the room",                                                             CC_MANAGING       | CF_NEEDSARG,                                      WIZARD, DISABLE, do_rmsg},
    {"rnodupavatars",  0, "`rnodupavatars [on|off]",      "Limit duplicate avatars in the current (member created) room.",                                      CC_RPERMISSIONS   | CF_ROOMOWNER | CF_ONOFF,                          WIZARD, DISABLE, do_rnodupavatars},
    {"rnolooseprops",  0, "`rnolooseprops [on|off]",      "Control whether loose props are permitted in the current (member created) room",                     CC_RPERMISSIONS   | CF_ROOMOWNER | CF_ONOFF,                          WIZARD, DISABLE, do_rnolooseprops},
    {"roompage",       0, "`roompage <message>",          "Summon help from the operators in the current room with <message>.",                                 CC_USER           | CF_NEEDSARG,                                      GUEST,  DISABLE, do_roompage},
    {"roomprefs",      0, "`roomprefs",                   "Show information about the current room.",                                                           CC_PERMISSIONS    | CF_NOARGS,                                        WIZARD, DISABLE, do_roomprefs},
    {"roperatorsonly", 0, "`roperatorsonly [on|off]",     "Control whether members are permitted in the current (member created) room",                         CC_RPERMISSIONS   | CF_ROOMOWNER | CF_ONOFF,                          WIZARD, DISABLE, do_roperatorsonly},
    {"rowner",         0, "`rowner <user>",               "Transfer ownership of the current (member-created) room to <user>.",                                 NO                | CF_ROOMOWNER | CF_ANYTARGET | CF_TARGETNAME | CF_HIDDEN, MEMBER, MEMBER, do_rowner},
    {"rpage",          0, "`rpage <message>",             "Send <message> to the owner of the current (member created) room.",                                  CC_USER           | CF_NEEDSARG,                                      GUEST,  DISABLE, do_rpage},
    {"rpin",           0, "`rpin <user>",                 "Pin <user> when in the current (member created) room.",                                              CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME | CF_NOTSELF,        WIZARD, DISABLE, do_rpin},
    {"rpropfreeze",    0, "`rpropfreeze [on|off]",        "Control whether loose props are frozed in the current (member created) room.",                       CC_RPERMISSIONS   | CF_ROOMOWNER | CF_ONOFF,                          WIZARD, DISABLE, do_rpropfreeze},
    {"rpropgag",       0, "`rpropgag <user>",             "Propgag <user> when in the current (member created) room.",                                          CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME | CF_NOTSELF,        WIZARD, DISABLE, do_rpropgag},
    {"rtake",          0, "`rtake",                       "Take ownership of the current (member-created) room after the owner has been disconnected.",         CC_USER           | CF_NOARGS,                                        MEMBER, DISABLE, do_rtake},
    {"rungag",         0, "`rungag <user>",               "Ungag <user> when in the current (member created) room.",                                            CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME,                     WIZARD, DISABLE, do_rungag},
    {"runkick",        4, "`rkick <user>",                "Rescind kicking <user> out of the (member created) room.",                                           NO                | CF_ROOMOWNER | CF_TARGETNAME | CF_HIDDEN,         WIZARD, DISABLE, do_runkick},
    {"runpin",         0, "`runpin <user>",               "Unpin <user> when in the current (member created) room.",                                            CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME,                     WIZARD, DISABLE, do_runpin},
    {"runpropgag",     0, "`runpropgag <user>",           "Unpropgag <user> when in the current (member created) room.",                                        CC_RMANAGING      | CF_ROOMOWNER | CF_TARGETNAME,                     WIZARD, DISABLE, do_runpropgag},
    {"rwho",           0, "`rwho",                        "Enquire about the room's owner.",                                                                    CC_USER           | CF_NOARGS,                                        GUEST,  DISABLE, do_rwho},
    {"setcolor",       0, "`setcolor <colornbr>",         "Changes your face color to <colornbr>.  (0-15 are valid colors.)",                                   CC_USER           | CF_NEEDSARG,                                      GUEST,  WIZARD,  do_setcolor},
    {"setface",        0, "`setface <facenbr>",           "Changes your face to <facenbr>. (0-12 are valid faces.)",                                            CC_USER           | CF_NEEDSARG,                                      GUEST,  WIZARD,  do_setface},
    {"setpos",         0, "`setpos <x> <y>",              "Move to the (x,y) position in the room.",                                                            CC_MANAGING       | CF_NEEDSARG,                                      WIZARD, WIZARD,  do_setpos},
    {"signoff",        0, "`signoff",                     "Leave this Vantry server.",                                                                          CC_MANAGING       | CF_TARGETNAME,                                    GUEST,  WIZARD,  do_signoff},
    {"take",           0, "`take <user>",                 "Take a user's avatar in a room where taking is permitted.",                                          CC_USER           | CF_ANYTARGET | CF_TARGETNAME,                     GUEST,  GUEST,   do_take},
    {"unlistgag",      0, "`unlistgag <user>",            "Allow user to list users or available rooms.",                                                       CC_MANAGING       | CF_TARGETNAME,                                    WIZARD, WIZARD,  do_unlistgag},
    {"unnamegag",      0, "`unnamegag <user>",            "Allow a user to change names.",                                                                      CC_MANAGING       | CF_TARGETNAME,                                    WIZARD, WIZARD,  do_unnamegag},
    {"unpagegag",      0, "`unpagegag <user>",            "Permit user to send pages.",                                                                         CC_MANAGING       | CF_TARGETNAME,                                    WIZARD, WIZARD,  do_unpagegag},
    {"userprefs",      0, "`userprefs",                   "Reports user's current stats.",                                                                      CC_MANAGING       | CF_TARGETNAME,                                    WIZARD, WIZARD,  do_userprefs},
};

// The rows grouped by the first letter of their command word, each group in
// table order: a typed word can only name a row of its own first letter.
struct LetterIndex {
    uint8_t rows[NBR_COMMANDS];
    uint8_t start[27]; // the rows of letter c are rows[start[c]] .. rows[start[c + 1] - 1]
};

constexpr LetterIndex indexByFirstLetter() {
    LetterIndex index{};
    int next = 0;
    for (int letter = 0; letter < 26; ++letter) {
        index.start[letter] = static_cast<uint8_t>(next);
        for (int i = 0; i < NBR_COMMANDS; ++i)
            if (theBuiltInCommands[i].command[0] == 'a' + letter) index.rows[next++] = static_cast<uint8_t>(i);
    }
    index.start[26] = static_cast<uint8_t>(next);
    return index;
}

constexpr LetterIndex theLetterIndex = indexByFirstLetter();
static_assert(theLetterIndex.start[26] == NBR_COMMANDS, "every command word begins with a lower-case letter");

// The live table starts as a copy of the built-in rows when the module is
// loaded, before any entry point runs.
bool copyBuiltInTable() {
    for (int i = 0; i < NBR_COMMANDS; ++i) cmdTable[i] = theBuiltInCommands[i];
    return true;
}

}  // namespace

CmdTable cmdTable[NBR_COMMANDS];

static const bool theTableIsLoaded = copyBuiltInTable();

void resetCommandRanks() {
    (void)theTableIsLoaded;
    for (int i = 0; i < NBR_COMMANDS; ++i) {
        cmdTable[i].rank = theBuiltInCommands[i].rank;
        cmdTable[i].targetRank = theBuiltInCommands[i].targetRank;
    }
}

// A minimum of 0 means the whole command word must be typed.
CmdTable *findCommand(MyState *, const char *cp) {
    if (!cp) return nullptr;
    const char first = foldCase(*cp);
    if (first < 'a' || first > 'z') return nullptr;
    const int letter = first - 'a';
    for (int i = theLetterIndex.start[letter]; i < theLetterIndex.start[letter + 1]; ++i) {
        CmdTable &row = cmdTable[theLetterIndex.rows[i]];
        const int minimum = row.minimum ? row.minimum : static_cast<int>(std::strlen(row.command));
        if (wordMinCmp(cp, row.command, minimum) == 0) return &row;
    }
    return nullptr;
}

}  // namespace kestrom
