// Text that users type must never become a format: every line, name,
// phrase, page and command argument below is full of conversion specifiers.
// Had any reached a format, "<%%>" would come back as "<%>" (or the %n
// would write through a stray pointer).
#include "chat_world.h"
#include "commands/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrom;
using kestrom::testing::ChatWorld;

namespace {

const std::string HOSTILE = "<%%>%s%n%x%d%p%s";
const std::string HOSTILE_NAME = "<%%>%n%s%x";
const std::string COLLAPSED = "<%>";

class FormatSafety : public ::testing::Test {
protected:
    FormatSafety()
        : world("spoof public warn\nmimick 3 public warn\nfacechange 0 0 public warn\n"
                "chat 1000 0 public warn\npagelength 3\nmroomdiscipline 10\n"
                "chatgoto 86 <%%>%s%n beam\npageresponse <%%>%s%n%x response\n") {
        world.addRoom(86, "Bridge");
        world.addRoom(5, "<%%>%s room", 900001);
        mark = userNamed(HOSTILE_NAME, RANK_GUEST);
        wiz = userNamed("Wiz", RANK_WIZARD);
        god = userNamed("%n%n%n%s", RANK_GOD);
        member = userNamed("Mem", RANK_MEMBER);
    }

    sim::SimUser *userNamed(const std::string &name, int rank) {
        sim::SimUser *user = world.addUser(name, rank);
        everyone.push_back(user);
        return user;
    }

    // Connects again anyone a command has logged off.
    void reconnectTheLost() {
        for (sim::SimUser *&user : everyone) {
            if (user->connected) continue;
            const std::string name = user->name();
            const int rank = user->rank;
            user = world.addUser(name, rank);
        }
    }

    // Every text and log line seen since the last check, checked.
    void expectNoFormatting(const std::string &what) {
        for (const sim::Event &e : world.server.recorder().window()) {
            if (e.kind != sim::EventKind::Text && e.kind != sim::EventKind::Log) continue;
            EXPECT_EQ(e.text.find(COLLAPSED), std::string::npos) << what << ": " << e.text;
        }
        EXPECT_EQ(world.server.faults(), 0) << what;
    }

    bool send(sim::SimUser *user, sim::Message message, const std::string &what) {
        world.server.recorder().openWindow();
        const bool passed = world.server.send(*user, std::move(message));
        world.server.finishDirective();
        world.server.advance(1);
        expectNoFormatting(what);
        reconnectTheLost();
        return passed;
    }

    ChatWorld world;
    sim::SimUser *mark, *wiz, *god, *member;
    std::vector<sim::SimUser *> everyone;
};

TEST_F(FormatSafety, EveryKindOfChatLine) {
    namespace msg = sim::msg;
    for (sim::SimUser *who : {mark, wiz}) {
        send(who, msg::talk(HOSTILE), "talk");
        send(who, msg::talk(HOSTILE), "talk again");
        send(who, msg::talk("@" + HOSTILE), "spoof");
        send(who, msg::talk(":)" + HOSTILE), "face");
        send(who, msg::whisper(god->id(), HOSTILE), "whisper");
        send(who, msg::xtalk(HOSTILE), "xtalk");
        send(who, msg::xwhisper(member->id(), HOSTILE), "xwhisper");
        send(who, msg::roomMessage(HOSTILE), "rmsg");
        send(who, msg::globalMessage(HOSTILE), "gmsg");
        send(who, msg::page(HOSTILE), "smsg");
        send(who, msg::talk("`page " + HOSTILE), "page");
        send(who, msg::talk("`page " + HOSTILE), "repeated page");
        send(who, msg::talk("`page %s"), "short page");
        send(who, msg::talk("`help " + HOSTILE), "help");
        send(who, msg::talk("`help `" + HOSTILE), "help on a command");
        send(who, msg::talk("`" + HOSTILE), "no command");
        send(who, msg::talk("<%%>%S%N BEAM"), "phrase");
        send(who, msg::whisper(mark->id(), "<%%>%s%n beam"), "whispered phrase");
        send(who, msg::whisper(god->id(), "<%%>%s%n beam"), "phrase to a god");
        send(who, msg::name(HOSTILE), "name");
        send(who, msg::name("  " + HOSTILE), "illegal name");
    }
    std::string error;
    sim::UserPlan plan = sim::UserPlan::numbered("  " + HOSTILE, 99);
    world.server.recorder().openWindow();
    ASSERT_NE(world.server.connect(plan, error), nullptr) << error;
    expectNoFormatting("logon");
}

// Every command of the table, with a hostile argument, said and whispered,
// by users of every rank, and aimed at a user with a hostile name.
TEST_F(FormatSafety, EveryCommandAndArgument) {
    for (const CmdTable &row : cmdTable) {
        const std::string command = std::string("`") + row.command;
        for (sim::SimUser *&issuer : everyone) {
            const std::string who = std::string(row.command) + " by " + issuer->handle;
            send(issuer, sim::msg::talk(command + " " + HOSTILE), who + ", said");
            send(issuer, sim::msg::talk(command + " " + HOSTILE_NAME), who + ", naming");
            send(issuer, sim::msg::talk(command + " " + HOSTILE + " " + HOSTILE), who + ", two");
            send(issuer, sim::msg::whisper(mark->id(), command + " " + HOSTILE), who + ", whispered");
            send(issuer, sim::msg::whisper(god->id(), command), who + ", to a god");
        }
    }
}

TEST_F(FormatSafety, RepliesCarryTheTextLiterally) {
    world.server.recorder().openWindow();
    world.say(*member, "`find " + HOSTILE);
    EXPECT_EQ(world.textsTo(*member), std::vector<std::string>{"User " + HOSTILE + " not found"});
    world.say(*wiz, "`listgag " + std::string("%n%n%n%s"));
    EXPECT_EQ(world.textsTo(*wiz), std::vector<std::string>{"You can't control %n%n%n%s"});
    world.say(*wiz, "<%%>%s%n beam", god);
    EXPECT_EQ(world.textsTo(*wiz), std::vector<std::string>{"You can't move %n%n%n%s"});
    world.say(*wiz, "<%%>%s%n beam", mark);
    const std::string logged =
        "chatgoto: {Wiz} sent {" + HOSTILE_NAME + "} to room 86 by chatgoto";
    const std::vector<std::string> logs = world.logLines();
    EXPECT_NE(std::find(logs.begin(), logs.end(), logged), logs.end());
}

}  // namespace
