// help.cpp - `help: the commands a user may use, by class, or the usage of
// one command.  Listings of the owners' classes are answered in full; the
// others go on to the host, which adds its own commands.
#include "commands/commands.h"

#include "commands/scan.h"

namespace kestrom {

namespace {

constexpr int EVERY_CLASS = -1;

// One class keyword of `help: how much must be typed, what it lists, and the
// line printed before the listing.
struct HelpClass {
    const char *keyword;
    int minimum;
    int helpClass;
    const char *header;
};

// In the order they are tested.
constexpr HelpClass helpClasses[] = {
    {"user",           4, CC_USER,           "; Commands available to unprivileged users"},
    {"rmanaging",      6, CC_RMANAGING,      "; Commands for managing users in a (member created) room"},
    {"rpermissions",   5, CC_RPERMISSIONS,   "; Commands controlling what users can do in a (member created) room"},
    {"managing",       5, CC_MANAGING,       "; Commands for operators to manage the online population:"},
    {"permissions",    4, CC_PERMISSIONS,    "; Commands controlling what users can do inside this Vantry:"},
    {"administration", 5, CC_ADMINISTRATION, "; Commands for server operations and administration:"},
    {"all",            3, EVERY_CLASS,       "; All commands:"},
};

// The class list shown to operators and to owners of a member room.
constexpr const char *classListLines[] = {
    "; List of classes of commands",
    ";    user -- Commands available to unprivileged users",
    ";    mrooms -- Commands for managing a member created room",
    ";    rmanaging -- Commands for managing user in a member created room",
    ";    rpermissions -- Commands controlling what users can do in a member created room",
};

// Sent to operators after the class list.
constexpr const char *operatorHintLines[] = {
    "; Type `help followed by a class name for a list of commands in that class.",
    "; Type `help followed by a command name for full documentation of that command.",
    "; Command name abbreviations are allowed if unambiguous.",
};

// Who asks for help: the user, the user's rank, and the owner mask (the
// owner bits when the user owns a member room, else 0).
struct Reader {
    ServerUserRec *user;
    int rank;
    int ownerMask;
};

// The reader may use the row (by rank, or as the owner of a member room).
bool mayUse(const Reader &reader, const CmdTable &row) {
    return reader.rank >= row.rank || (row.flags & reader.ownerMask) != 0;
}

void say(const Reader &reader, const char *text) { UserPrivateMessage(reader.user, "%s", text); }

// The class keyword the word names, or null.
const HelpClass *findHelpClass(const char *word) {
    for (const HelpClass &entry : helpClasses)
        if (wordMinCmp(word, entry.keyword, entry.minimum) == 0) return &entry;
    return nullptr;
}

// Lists the rows of the class (or every class) the reader may use.
void listCommands(const Reader &reader, int helpClass) {
    for (const CmdTable &row : cmdTable) {
        if (!mayUse(reader, row) || (row.flags & CF_HIDDEN)) continue;
        if (helpClass != EVERY_CLASS && (row.flags & CF_CLASSMASK) != helpClass) continue;
        UserPrivateMessage(reader.user, "; %s -- %s", row.shortHelp, row.longHelp);
    }
}

// Lists one class; 1 (swallow) for the owners' classes, which the host has
// nothing to add to.
int listClass(const Reader &reader, int helpClass) {
    listCommands(reader, helpClass);
    return helpClass == CC_RMANAGING || helpClass == CC_RPERMISSIONS;
}

// The usage of one command; 1 when answered, 0 (silent) for a command the
// reader may not see, which the host may know.
int helpOnCommand(const Reader &reader, MyState *state, const char *word) {
    if (isCommandQuote(*word)) ++word;
    const CmdTable *row = findCommand(state, word);
    if (!row || (row->flags & CF_HIDDEN) || !mayUse(reader, *row)) return 0;
    UserPrivateMessage(reader.user, "; Usage: %s -- %s", row->shortHelp, row->longHelp);
    return 1;
}

// `help alone from an operator or an owner: the class list.
int showClassList(const Reader &reader) {
    for (const char *text : classListLines) say(reader, text);
    if (reader.rank <= RANK_MEMBER) return 1;
    for (const char *text : operatorHintLines) say(reader, text);
    return 0;
}

}  // namespace

int isCommandExecuted(ServerState *serverState, MyState *state, const char *line, UserID) {
    if (!isCommandQuote(line[0]) || wordCmp(line + 1, "help") != 0) return 0;
    ServerUserRec *user = serverState->currentUser;
    if (!user) return 0;
    const int rank = UserRank(user);
    const Reader reader{user, rank, user->lastOwnedRoom ? (CF_ROOMOWNER | CF_ANYOWNER) : 0};

    const char *word = nextWord(line + wordLength(line));
    if (!word) {
        if (rank >= RANK_WIZARD || reader.ownerMask) return showClassList(reader);
        return listClass(reader, EVERY_CLASS);
    }
    if (const HelpClass *entry = findHelpClass(word)) {
        say(reader, entry->header);
        return listClass(reader, entry->helpClass);
    }
    return helpOnCommand(reader, state, word);
}

void giveHelp(ServerState *serverState) {
    ServerUserRec *user = serverState->currentUser;
    if (!user) return;
    UserPrivateMessage(user, "%s", "; kestrom usage:");
    UserPrivateMessage(user, "%s", "; `kestrom reload - reload parameter file");
}

}  // namespace kestrom
