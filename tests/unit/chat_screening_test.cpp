// Chat screening: name cleaning, the prefix scan, mimick, the rate rules on
// the shared chat history, and the page branch with its bookkeeping.
#include "chat_world.h"
#include "core/chat.h"
#include "pages/pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

// ------------------------------------------------------------ checkName

struct NameCase {
    std::string before; // the characters of the name
    std::string after;
    int illegal;
};

// Runs checkName on a Pascal copy of `name`; the cleaned name and verdict.
std::pair<std::string, int> cleaned(const std::string &name, uint16 hostFlags = 0) {
    ServerUserRec user{};
    user.flags = hostFlags;
    ServerState ss{};
    ss.currentUser = &user;
    unsigned char pname[256] = {};
    pname[0] = static_cast<unsigned char>(name.size());
    std::memcpy(pname + 1, name.data(), name.size());
    const int result = checkName(pname, &ss, nullptr, "username");
    return {std::string(reinterpret_cast<char *>(pname + 1), pname[0]), result};
}

TEST(ChatNames, Cleaning) {
    const NameCase cases[] = {
        {"  abc", "abc", 1},          {"ab  c", "ab c", 1},        {"abc", "abc", 0},
        {"abc ", "abc", 1},           {"*abc", "abc", 1},          {"a*b*c", "abc", 1},
        {"'-* abc", "abc", 1},        {"a\tb", "ab", 1},           {"a \x01 b", "a b", 1},
        {"\x7f\xe9t\xe9", "\x7f\xe9t\xe9", 0}, {"a - b", "a - b", 0}, {"a  *  b", "a b", 1},
        {"   ", "", 1},               {"", "", 0},                 {"%s%n%x", "%s%n%x", 0},
        {"Bob's", "Bob's", 0},        {"x   ", "x", 1},
        {std::string(31, 'z'), std::string(31, 'z'), 0},
    };
    for (const NameCase &c : cases) {
        EXPECT_EQ(cleaned(c.before), std::make_pair(c.after, c.illegal)) << '"' << c.before << '"';
    }
}

TEST(ChatNames, TooLongAndExemptUsers) {
    EXPECT_EQ(cleaned(std::string(40, 'a')), std::make_pair(std::string(), 1));
    EXPECT_EQ(cleaned(std::string(32, 'a')), std::make_pair(std::string(), 1));
    EXPECT_EQ(cleaned("  abc", HF_EXEMPT_A), std::make_pair(std::string("  abc"), 0));
    EXPECT_EQ(cleaned("  abc", HF_EXEMPT_B), std::make_pair(std::string("  abc"), 0));
    EXPECT_EQ(cleaned("  abc", HF_IDENTIFIED), std::make_pair(std::string("abc"), 1));
}

// ---------------------------------------------------------- prefix scan

struct PrefixCase {
    const char *line;
    bool swallowed;
    int faceChanges;
};

TEST(ChatPrefix, SpoofsAndFaces) {
    ChatWorld world("spoof public\nfacechange 100000 0 public\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const PrefixCase cases[] = {
        {"@100,100 hello", true, 0}, {"!@ hi", true, 0},       {"hi @ you", false, 0},
        {")bell @x", true, 0},       {")bell hi @x", false, 0}, {") @x", true, 0},
        {")@x", true, 0},            {")a.b_c @x", true, 0},   {")a.b_c  @x", false, 0},
        {")bell", false, 0},         {"):)", false, 1},         {":)", false, 1},
        {";(", false, 1},            {":0", false, 1},          {":x @", false, 0},
        {":", false, 0},             {"|", false, 1},           {"||:(", false, 3},
        {":)@", true, 1},            {"::", false, 1},          {":::@", false, 2},
        {"[(/\\!%^ hi", false, 0},   {"[(/\\!%^@", true, 0},    {"%s%n%x", false, 0},
        {"%@", true, 0},             {"", false, 0},
    };
    UserDat *ud = world.userDatOf(*bob);
    ASSERT_NE(ud, nullptr);
    for (const PrefixCase &c : cases) {
        const int before = ud->faceChange.numberRecent;
        EXPECT_EQ(!world.say(*bob, c.line), c.swallowed) << c.line;
        EXPECT_EQ(ud->faceChange.numberRecent - before, c.faceChanges) << c.line;
    }
}

TEST(ChatPrefix, OnlyWhereASpoofRuleApplies) {
    ChatWorld world("spoof private\nfacechange 100000 0 all\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    UserDat *ud = world.userDatOf(*bob);
    EXPECT_TRUE(world.say(*bob, "@100,100 hello"));
    EXPECT_TRUE(world.say(*bob, ":) |"));
    EXPECT_EQ(ud->faceChange.numberRecent, 0);
}

TEST(ChatPrefix, WarnsOncePerKind) {
    ChatWorld world("spoof public warn\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    EXPECT_FALSE(world.say(*bob, "@x"));
    EXPECT_EQ(world.textsTo(*bob), std::vector<std::string>{"Spoofing is not permitted here"});
    EXPECT_FALSE(world.say(*bob, "@y"));
    EXPECT_TRUE(world.textsTo(*bob).empty());
}

// ------------------------------------------------------- exempt users

TEST(ChatExempt, HostFlagsSkipEverythingButCommandsAndMimick) {
    ChatWorld world("spoof public\nchat 0 0 public\nmimick 3 public\n");
    sim::SimUser *ann = world.addUser("Ann", RANK_GUEST);
    sim::SimUser *sys = world.addUser("Sys", RANK_MEMBER);
    sys->rec.flags |= HF_EXEMPT_A;
    EXPECT_FALSE(world.say(*ann, "hello")); // chat maximum 0
    EXPECT_TRUE(world.say(*sys, "@spoof"));
    EXPECT_FALSE(world.say(*ann, "`clean"));
    EXPECT_FALSE(world.say(*sys, "`clean"));
    EXPECT_EQ(world.textsTo(*sys),
              std::vector<std::string>{"Sorry - you are not privileged to use that command"});
    // Mimick runs before the exemption.
    EXPECT_TRUE(world.say(*sys, "same line"));
    sim::SimUser *cat = world.addUser("Cat", RANK_MEMBER);
    cat->rec.flags |= HF_EXEMPT_B;
    EXPECT_FALSE(world.say(*cat, "same line"));
}

TEST(ChatExempt, RoomGagSwallowsSilentlyButCommandsStillRun) {
    ChatWorld world("# no rules\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    world.userDatOf(*bob)->flags |= UF_ROOMGAGGED;
    EXPECT_FALSE(world.say(*bob, "hello"));
    EXPECT_TRUE(world.textsTo(*bob).empty());
    EXPECT_FALSE(world.say(*bob, "`clean"));
    EXPECT_EQ(world.textsTo(*bob),
              std::vector<std::string>{"Sorry - you are not privileged to use that command"});
}

// ------------------------------------------------------- rate rules

TEST(ChatRates, OneHistoryAndRefusedLinesRemembered) {
    ChatWorld world("chat 2 0 public\nrepchat 5 0 public\npage 100 0 all\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    UserDat *ud = world.userDatOf(*bob);
    EXPECT_TRUE(world.say(*bob, "one"));
    EXPECT_TRUE(world.say(*bob, "`page please come"));
    EXPECT_EQ(ud->chat.numberRecent, 2);   // pages count in the chat history
    EXPECT_FALSE(world.say(*bob, "two"));  // the chat rule: level 2
    EXPECT_STREQ(ud->lastChat, "two");     // refused, still remembered
    EXPECT_TRUE(world.say(*bob, "two"));   // a repeat: the repchat rule
    EXPECT_STREQ(ud->lastChat, "two");
}

TEST(ChatRates, NoMemoryForTheFirstLineLetsItPass) {
    ChatWorld world("chat 0 0 public\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    world.server.heap().failFrom(1);
    const bool passed = world.say(*bob, "hello");
    world.server.heap().stopFailing();
    EXPECT_TRUE(passed);
    EXPECT_EQ(world.userDatOf(*bob)->lastChat, nullptr);
    EXPECT_FALSE(world.say(*bob, "hello"));
}

// ------------------------------------------------------------ mimick

TEST(ChatMimick, RoomMemory) {
    ChatWorld world("mimick 5 public\n");
    sim::SimUser *ann = world.addUser("Ann", RANK_GUEST);
    sim::SimUser *bob = world.addUser("Bob", RANK_MEMBER);
    sim::SimUser *wiz = world.addUser("Wiz", RANK_WIZARD);
    RoomDat *rd = static_cast<RoomDat *>(
        world.server.pluginRoomInfo(sim::THE_PLUGIN_ID, &world.server.room(1)->rec));
    ASSERT_NE(rd, nullptr);
    EXPECT_TRUE(world.say(*ann, "hello world"));
    EXPECT_EQ(rd->lastUserID, ann->id());
    EXPECT_FALSE(world.say(*bob, "hello world"));
    EXPECT_TRUE(world.say(*bob, "Hello world")); // case counts
    EXPECT_TRUE(world.say(*wiz, "Hello world"));
    EXPECT_EQ(rd->lastUserID, wiz->id());
    EXPECT_TRUE(world.say(*ann, "hi"));
    EXPECT_EQ(rd->lastChat, nullptr);
    EXPECT_EQ(rd->lastUserID, 0u);
    EXPECT_TRUE(world.say(*bob, "Hello world"));
}

// Only lines that were let through are remembered: a line nobody heard is
// nobody's to mimick.
TEST(ChatMimick, RefusedLinesAreNotRemembered) {
    ChatWorld world("mimick 5 public\nspoof public\nchat 1 0 public\n");
    sim::SimUser *ann = world.addUser("Ann", RANK_GUEST);
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    sim::SimUser *cat = world.addUser("Cat", RANK_GUEST);
    world.userDatOf(*ann)->flags |= UF_ROOMGAGGED;
    EXPECT_FALSE(world.say(*ann, "hello world"));   // gagged
    EXPECT_TRUE(world.say(*bob, "hello world"));
    world.userDatOf(*ann)->flags &= ~UF_ROOMGAGGED;
    EXPECT_FALSE(world.say(*ann, "@ spoofed line")); // a spoof
    EXPECT_FALSE(world.say(*ann, "hello world"));   // but Bob's line was heard
    EXPECT_TRUE(world.say(*ann, "something new"));
    EXPECT_FALSE(world.say(*ann, "over the rate")); // chat maximum 1
    EXPECT_FALSE(world.say(*cat, "something new")); // Ann's accepted line stands
    EXPECT_TRUE(world.say(*cat, "over the rate"));
}

// -------------------------------------------------------------- pages

TEST(ChatPages, Recognition) {
    const struct {
        const char *line;
        int page;
    } cases[] = {
        {"`page help", 1}, {"'PAG help", 1}, {"`page", 1},    {"`pag,x", 1},
        {"`pa help", 0},   {"`pages x", 0},  {"`pagex", 0},   {"page help", 0},
        {"", 0},           {"``page", 0},    {"`p%s", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(isPageCommand(c.line, nullptr, nullptr), c.page) << c.line;
}

struct LengthCase {
    int32_t limit;
    const char *line;
    bool acceptable;
};

TEST(ChatPages, LengthRuleIsUnsigned) {
    ChatWorld world("# no rules\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const char *tooShort =
        "Your page was not accepted because there wasn't enough information. Please page again "
        "with more detailed message.";
    const LengthCase cases[] = {
        {5, "`page 12345", false},  {5, "`page 123456", true}, {5, "`page 1234 ", false},
        {5, "`page 12345 ", true},  {5, "`page  a b c", false}, {0, "`page x", true},
        {-1, "`page " "a long and detailed page about a problem", false},
        {0x7fffffff, "`page 123456", false},
    };
    for (const LengthCase &c : cases) {
        world.state->pageLengthLimit = c.limit;
        const int refused = world.asCurrent(*bob, [&](ServerState *ss) {
            return pageIsNotAcceptable(ss, world.state, c.line);
        });
        EXPECT_EQ(refused, c.acceptable ? 0 : 1) << c.line << " with " << c.limit;
        const std::vector<std::string> want =
            c.acceptable ? std::vector<std::string>{} : std::vector<std::string>{tooShort};
        EXPECT_EQ(world.textsTo(*bob), want) << c.line;
    }
}

TEST(ChatPages, GagAndUsageComeFirst) {
    ChatWorld world("# no rules\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const auto refusal = [&](const char *line) {
        const int refused = world.asCurrent(*bob, [&](ServerState *ss) {
            return pageIsNotAcceptable(ss, world.state, line);
        });
        EXPECT_EQ(refused, 1) << line;
        return world.textsTo(*bob);
    };
    EXPECT_EQ(refusal("`page"), std::vector<std::string>{"; Usage: `page <msg>"});
    EXPECT_EQ(refusal("`page \t "), std::vector<std::string>{"; Usage: `page <msg>"});
    world.userDatOf(*bob)->flags |= UF_PAGEGAGGED;
    EXPECT_EQ(refusal("`page"), std::vector<std::string>{"Sorry, you've been pagegagged."});
    EXPECT_EQ(refusal("`page help me"), std::vector<std::string>{"Sorry, you've been pagegagged."});
}

TEST(ChatPages, AcceptedPagesAreRecordedAndAnswered) {
    ChatWorld world("pagelength 3\npage 10 0 all\nreppage 1 0 all\npageresponse An operator will come.\n");
    world.addRoom(7, "Attic");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST, 7);
    UserDat *ud = world.userDatOf(*bob);
    EXPECT_EQ(world.state->lastUserPageRoom, -1);

    EXPECT_FALSE(world.say(*bob, "`page abc")); // too short: nothing recorded
    EXPECT_EQ(world.state->lastUserPageRoom, -1);
    EXPECT_STREQ(ud->lastChat, "");

    EXPECT_TRUE(world.say(*bob, "`page help me"));
    EXPECT_EQ(world.state->lastUserPageRoom, 7);
    EXPECT_STREQ(world.state->lastUserPageName, "Bob");
    EXPECT_STREQ(ud->lastChat, "`page help me");
    world.server.recorder().openWindow();
    world.server.advance(1);
    EXPECT_EQ(world.textsTo(*bob), std::vector<std::string>{"An operator will come."});

    // The repeat is over the reppage rule: refused, nothing recorded anew.
    world.server.place(*bob, *world.server.room(1));
    EXPECT_FALSE(world.say(*bob, "`page help me"));
    EXPECT_EQ(world.state->lastUserPageRoom, 7);
    world.server.recorder().openWindow();
    world.server.advance(1);
    EXPECT_TRUE(world.textsTo(*bob).empty());
}

TEST(ChatPages, NoResponseWithoutPageResponse) {
    ChatWorld world("# no rules\n");
    sim::SimUser *bob = world.addUser("Bob", RANK_GUEST);
    const size_t timers = world.server.pendingTimers();
    EXPECT_TRUE(world.say(*bob, "`page help me"));
    EXPECT_EQ(world.server.pendingTimers(), timers);
    EXPECT_EQ(world.state->lastUserPageRoom, 1);
}

}  // namespace
