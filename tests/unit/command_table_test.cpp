// The command table: its shape, the abbreviation rules of the lookup, and
// rank changes that last until the ranks are reset at the next start.
#include "commands/commands.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

using namespace kestrom;

namespace {

const char *found(const char *typed) {
    const CmdTable *row = findCommand(nullptr, typed);
    return row ? row->command : "(none)";
}

TEST(CommandTable, HasItsRowsInOrder) {
    const char *order[NBR_COMMANDS] = {
        "chat", "clean", "dress", "er", "find", "gmsg", "goto", "gotoroom", "gpage", "killx",
        "listgag", "move", "myroom", "naked", "namegag", "newroom", "nolooseprops", "pagegag",
        "pdel", "pinx", "kestrom", "propfreeze", "rannounce", "rbanlist", "reset", "rdelete",
        "respond", "rgag", "rkick", "rlimit", "rlockdown", "rmsg", "rnodupavatars",
        "rnolooseprops", "roompage", "roomprefs", "roperatorsonly", "rowner", "rpage", "rpin",
        "rpropfreeze", "rpropgag", "rtake", "rungag", "runkick", "runpin", "runpropgag", "rwho",
        "setcolor", "setface", "setpos", "signoff", "take", "unlistgag", "unnamegag",
        "unpagegag", "userprefs",
    };
    for (int i = 0; i < NBR_COMMANDS; ++i) {
        const CmdTable &row = cmdTable[i];
        EXPECT_STREQ(row.command, order[i]) << "row " << i + 1;
        EXPECT_NE(row.implementation, nullptr) << row.command;
        EXPECT_EQ(row.shortHelp[0], '`') << row.command;
        EXPECT_GT(std::strlen(row.longHelp), 0u) << row.command;
        // Rows without a help class are the hidden ones, and only they.
        EXPECT_EQ((row.flags & CF_CLASSMASK) == 0, (row.flags & CF_HIDDEN) != 0) << row.command;
        for (const char *c = row.command; *c; ++c) EXPECT_TRUE(std::islower(*c)) << row.command;
    }
}

TEST(CommandTable, SpotChecksOfTheData) {
    const CmdTable *rkick = findCommand(nullptr, "rkick");
    ASSERT_NE(rkick, nullptr);
    EXPECT_EQ(rkick->flags, CF_ROOMOWNER | CF_TARGETNAME | CF_HIDDEN | CF_NOTSELF);
    EXPECT_EQ(rkick->minimum, 2);
    const CmdTable *runkick = findCommand(nullptr, "runkick");
    ASSERT_NE(runkick, nullptr);
    EXPECT_STREQ(runkick->shortHelp, "`rkick <user>"); // the row's usage names rkick
    const CmdTable *rbanlist = findCommand(nullptr, "rbanlist");
    ASSERT_NE(rbanlist, nullptr);
    EXPECT_STREQ(rbanlist->longHelp,
                 "List the users who have been disciplined  in the current (member created) room.");
    const CmdTable *kestrom = findCommand(nullptr, "kestrom");
    ASSERT_NE(kestrom, nullptr);
    EXPECT_EQ(kestrom->flags & CF_CLASSMASK, CC_ADMINISTRATION);
    EXPECT_EQ(kestrom->implementation, &do_kestrom);
}

TEST(CommandTable, Abbreviations) {
    const struct {
        const char *typed;
        const char *command;
    } cases[] = {
        {"ne", "newroom"},        {"newr", "newroom"},   {"n", "(none)"},
        {"newrooms", "(none)"},   {"res", "respond"},    {"re", "respond"},
        {"reset", "reset"},       {"run", "(none)"},     {"runk", "runkick"},
        {"rk", "rkick"},          {"r", "(none)"},       {"rki", "rkick"},
        {"find,Bob", "find"},     {"FIND Bob", "find"},  {"fin", "(none)"},
        {"findx", "(none)"},      {"", "(none)"},        {"`find", "(none)"},
        {"KESTROM reload", "kestrom"}, {"userprefs!", "userprefs"}, {"er", "er"},
    };
    for (const auto &c : cases) EXPECT_STREQ(found(c.typed), c.command) << '"' << c.typed << '"';
    EXPECT_EQ(findCommand(nullptr, nullptr), nullptr);
}

// Every accepted spelling of a command finds that command's own row.
TEST(CommandTable, NoTypedWordMatchesTwoRows) {
    for (const CmdTable &row : cmdTable) {
        const int length = static_cast<int>(std::strlen(row.command));
        const int shortest = row.minimum ? row.minimum : length;
        for (int n = shortest; n <= length; ++n) {
            const std::string typed(row.command, n);
            EXPECT_EQ(findCommand(nullptr, typed.c_str()), &row) << typed;
        }
    }
}

TEST(CommandTable, ResetRestoresTheBuiltInRanks) {
    CmdTable *chat = findCommand(nullptr, "chat");
    CmdTable *clean = findCommand(nullptr, "clean");
    ASSERT_NE(chat, nullptr);
    ASSERT_NE(clean, nullptr);
    chat->rank = RANK_DISABLE;
    chat->targetRank = RANK_GOD;
    clean->rank = RANK_GUEST;
    resetCommandRanks();
    EXPECT_EQ(chat->rank, RANK_WIZARD);
    EXPECT_EQ(chat->targetRank, RANK_WIZARD);
    EXPECT_EQ(clean->rank, RANK_WIZARD);
    EXPECT_EQ(clean->targetRank, RANK_DISABLE);
}

}  // namespace
