// carry_out.cpp - what the server does of its own with a message that the
// module passed: talk reaches the room, whispers their target, room changes
// move the user (after the server's own entry checks), looks and positions
// are stored, loose props are added, moved and deleted, the logon takes its
// (possibly cleaned) name, and backquoted lines run the server's commands.
#include "sim/clock.h"
#include "sim/server.h"

#include "sim/values.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace kestrom::sim {

namespace {

std::string posText(Point p) { return std::to_string(p.h) + " " + std::to_string(p.v); }

std::string roomText(const SimRoom &r) { return "room " + std::to_string(r.id()) + " " + quoted(r.name()); }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

// The server's handlers, one per message type and one per chat command.
class ServerActions {
public:
    using Handler = void (*)(Server &, SimUser &, BodyReader &);
    using Command = void (*)(Server &, SimUser &, const std::string &args, UserID target);

    struct MessageRow {
        uint32 type;
        Handler handler;
    };
    struct CommandRow {
        const char *word;
        Command command;
    };

    static const MessageRow messages[];
    static const CommandRow commands[];

    static void say(Server &s, SimUser &u, const std::string &text, UserID target, const char *how);
    static void command(Server &s, SimUser &u, const std::string &line, UserID target);
    static void gotoRoom(Server &s, SimUser &u, RoomID dest);

    // ---- messages
    static void talk(Server &s, SimUser &u, BodyReader &b) {
        if (auto text = b.cString()) return say(s, u, *text, 0, "talk");
        s.note(EventKind::Server, "server ignores a talk whose text does not end within it");
    }
    static void whisper(Server &s, SimUser &u, BodyReader &b) {
        auto target = b.read<UserID>();
        auto text = b.cString();
        if (target && text) return say(s, u, *text, *target, "whisper");
        s.note(EventKind::Server, "server ignores a malformed whisper");
    }
    static std::optional<std::string> decoded(BodyReader &b) {
        auto length = b.read<uint16>();
        if (!length || *length < 3 || static_cast<size_t>(*length - 3) > b.left()) return std::nullopt;
        std::string out(static_cast<size_t>(*length - 3) + 1, '\0');
        decodeChat(b.here(), out.data(), out.size() - 1);
        out.resize(std::strlen(out.c_str()));
        return out;
    }
    static void xtalk(Server &s, SimUser &u, BodyReader &b) {
        if (auto text = decoded(b)) return say(s, u, *text, 0, "xtalk");
        s.note(EventKind::Server, "server ignores a malformed xtlk");
    }
    static void xwhisper(Server &s, SimUser &u, BodyReader &b) {
        auto target = b.read<UserID>();
        auto text = target ? decoded(b) : std::nullopt;
        if (text) return say(s, u, *text, *target, "xwhisper");
        s.note(EventKind::Server, "server ignores a malformed xwis");
    }
    static void broadcast(Server &s, SimUser &u, BodyReader &b, const char *what, Audience audience) {
        auto text = b.cString();
        if (!text) return s.note(EventKind::Server, std::string("server ignores a ") + what + " without an end");
        SimRoom *r = s.room(u.roomID());
        if (audience == Audience::Room && !r) return;
        const auto people = s.audienceOf(audience, &u, r);
        s.note(EventKind::Server, std::string(what) + " from " + u.handle + " reaches " + namesOf(people) + ": " +
                                      quoted(*text));
    }
    static void roomMessage(Server &s, SimUser &u, BodyReader &b) { broadcast(s, u, b, "room message", Audience::Room); }
    static void globalMessage(Server &s, SimUser &u, BodyReader &b) {
        broadcast(s, u, b, "global message", Audience::Everyone);
    }
    static void pageMessage(Server &s, SimUser &u, BodyReader &b) { broadcast(s, u, b, "page", Audience::Operators); }
    static void navigate(Server &s, SimUser &u, BodyReader &b) {
        if (auto dest = b.read<RoomID>()) return gotoRoom(s, u, *dest);
        s.note(EventKind::Server, "server ignores a navR without a room");
    }
    static void location(Server &s, SimUser &u, BodyReader &b) {
        auto pos = b.point();
        if (!pos) return s.note(EventKind::Server, "server ignores a uLoc without a position");
        u.rec.user.roomPos = *pos;
        s.note(EventKind::Server, u.handle + " moves to " + posText(*pos));
    }
    static void face(Server &s, SimUser &u, BodyReader &b) {
        auto face = b.read<sint16>();
        if (!face || *face < 0 || *face > 12) return s.note(EventKind::Server, "server refuses a face outside 0..12");
        u.rec.user.faceNbr = *face;
        s.note(EventKind::Server, u.handle + "'s face is now " + std::to_string(*face));
    }
    static void color(Server &s, SimUser &u, BodyReader &b) {
        auto color = b.read<sint16>();
        if (!color || *color < 0 || *color > 15)
            return s.note(EventKind::Server, "server refuses a colour outside 0..15");
        u.rec.user.colorNbr = *color;
        s.note(EventKind::Server, u.handle + "'s colour is now " + std::to_string(*color));
    }
    static void name(Server &s, SimUser &u, BodyReader &b) {
        auto name = b.pascal();
        if (!name) return s.note(EventKind::Server, "server ignores a usrN whose name runs past it");
        u.setName(*name);
        s.note(EventKind::Server, u.handle + " is now named " + quoted(u.name()));
    }
    static std::optional<std::vector<AssetSpec>> propList(Server &s, BodyReader &b) {
        auto count = b.read<sint32>();
        auto props = count ? b.assets(*count) : std::nullopt;
        if (!props) s.note(EventKind::Server, "server ignores a prop list that runs past the message");
        else if (props->size() > KESTROM_MAX_WORN_PROPS) s.note(EventKind::Server, "server refuses more than 9 props");
        else return props;
        return std::nullopt;
    }
    static void props(Server &s, SimUser &u, BodyReader &b) {
        auto props = propList(s, b);
        if (!props) return;
        u.setProps(*props);
        s.note(EventKind::Server, u.handle + " now wears " + propsText(*props));
    }
    static void desc(Server &s, SimUser &u, BodyReader &b) {
        auto face = b.read<sint16>();
        auto color = b.read<sint16>();
        auto props = face && color ? propList(s, b) : std::nullopt;
        if (!props) return;
        u.rec.user.faceNbr = *face;
        u.rec.user.colorNbr = *color;
        u.setProps(*props);
        s.note(EventKind::Server, u.handle + " now has face " + std::to_string(*face) + ", colour " +
                                      std::to_string(*color) + ", props " + propsText(*props));
    }
    static void dropProp(Server &s, SimUser &u, BodyReader &b) {
        auto prop = b.asset();
        auto pos = b.point();
        SimRoom *r = s.room(u.roomID());
        if (!prop || !pos || !r) return s.note(EventKind::Server, "server ignores a malformed nPrp");
        if (r->hasFlag(RMF_NOLOOSEPROPS))
            return s.note(EventKind::Server, "server refuses the drop: room " + std::to_string(r->id()) +
                                                 " takes no loose props");
        if (!s.addLooseProp(*r, *prop, *pos))
            return s.note(EventKind::Server, "server refuses the drop: room " + std::to_string(r->id()) + " is full of props");
        s.note(EventKind::Server, u.handle + " drops prop " + propsText({*prop}) + " at " + posText(*pos) +
                                      " in room " + std::to_string(r->id()));
    }
    static void moveProp(Server &s, SimUser &u, BodyReader &b) {
        auto index = b.read<sint32>();
        auto pos = b.point();
        SimRoom *r = s.room(u.roomID());
        if (!index || !pos || !r) return s.note(EventKind::Server, "server ignores a malformed mPrp");
        if (!r->moveLooseProp(*index, *pos))
            return s.note(EventKind::Server, "server ignores the move: no loose prop " + std::to_string(*index));
        s.note(EventKind::Server, u.handle + " moves loose prop " + std::to_string(*index) + " to " + posText(*pos));
    }
    static void deleteProp(Server &s, SimUser &u, BodyReader &b) {
        auto index = b.read<sint32>();
        SimRoom *r = s.room(u.roomID());
        if (!index || !r) return s.note(EventKind::Server, "server ignores a malformed dPrp");
        if (*index == -1) {
            r->clearLooseProps();
            return s.note(EventKind::Server, u.handle + " deletes every loose prop of room " + std::to_string(r->id()));
        }
        if (!r->deleteLooseProp(*index))
            return s.note(EventKind::Server, "server ignores the deletion: no loose prop " + std::to_string(*index));
        s.note(EventKind::Server, u.handle + " deletes loose prop " + std::to_string(*index));
    }
    static void logon(Server &s, SimUser &u, BodyReader &b) {
        if (b.left() < REGI_RECORD_SIZE) return s.note(EventKind::Server, "server ignores a short logon record");
        const unsigned char *record = b.here();
        const size_t n = std::min<size_t>(record[REGI_OFFSET_USERNAME], 31);
        u.setName(std::string_view(reinterpret_cast<const char *>(record + REGI_OFFSET_USERNAME + 1), n));
        s.note(EventKind::Server, u.handle + " logs on as " + quoted(u.name()));
    }
    static void spotState(Server &s, SimUser &u, BodyReader &b) {
        auto room = b.read<RoomID>();
        auto spot = b.read<HotspotID>();
        auto state = b.read<sint16>();
        if (!room || !spot || !state) return s.note(EventKind::Server, "server ignores a malformed sSta");
        s.note(EventKind::Server, u.handle + " sets spot " + std::to_string(*spot) + " of room " +
                                      std::to_string(*room) + " to state " + std::to_string(*state) +
                                      " (the room has no hotspots)");
    }
    static void door(Server &s, SimUser &u, BodyReader &b, const char *what) {
        auto room = b.read<RoomID>();
        auto door = b.read<HotspotID>();
        if (!room || !door) return s.note(EventKind::Server, std::string("server ignores a malformed ") + what);
        s.note(EventKind::Server, u.handle + " " + what + "s door " + std::to_string(*door) + " of room " +
                                      std::to_string(*room) + " (the room has no doors)");
    }
    static void lock(Server &s, SimUser &u, BodyReader &b) { door(s, u, b, "lock"); }
    static void unlock(Server &s, SimUser &u, BodyReader &b) { door(s, u, b, "unlock"); }
    static void roomList(Server &s, SimUser &u, BodyReader &) {
        s.note(EventKind::Server, "server sends " + u.handle + " the room list (" + std::to_string(s.rooms().size()) + " rooms)");
    }
    static void userList(Server &s, SimUser &u, BodyReader &) {
        s.note(EventKind::Server, "server sends " + u.handle + " the user list (" +
                                      std::to_string(s.connectedUsers().size()) + " users)");
    }
    static void wizardRequest(Server &s, SimUser &u, BodyReader &) {
        s.note(EventKind::Server, "server takes " + u.handle + "'s request for operator status (no password given)");
    }

    // ---- the server's own chat commands
    static SimUser *target(Server &s, const std::string &args, UserID whisperedTo) {
        if (!args.empty()) {
            ServerUserRec *rec = s.findUserByName(args.c_str());
            return rec ? s.userRecs_.at(rec) : nullptr;
        }
        return whisperedTo ? s.user(whisperedTo) : nullptr;
    }
    static bool ownsOrOperates(const SimUser &u, const SimRoom &r) {
        return u.rank >= 2 || (r.rec.memberOwner != 0 && r.rec.memberOwner == u.rec.counter);
    }
    static void refuse(Server &s, const std::string &word, const std::string &why) {
        s.note(EventKind::Server, "server refuses `" + word + ": " + why);
    }
    static void newroom(Server &s, SimUser &u, const std::string &args, UserID) {
        if (u.rec.counter == 0) return refuse(s, "newroom", u.handle + " has no client counter");
        for (SimRoom *r : s.rooms())
            if (r->rec.memberOwner == u.rec.counter)
                return refuse(s, "newroom", u.handle + " already owns room " + std::to_string(r->id()));
        const RoomID id = static_cast<RoomID>(s.roomsById_.empty() ? 1 : s.roomsById_.rbegin()->first + 1);
        if (id <= 0) return refuse(s, "newroom", "no room number is left");
        RoomPlan plan;
        plan.id = id;
        plan.name = args.empty() ? u.name() + "'s Room" : args;
        plan.owner = u.rec.counter;
        std::string error;
        SimRoom *r = s.addRoom(plan, error);
        if (!r) return refuse(s, "newroom", error);
        u.rec.lastOwnedRoom = &r->rec;
        s.moveUser(u, *r);
    }
    static void rowner(Server &s, SimUser &u, const std::string &args, UserID whisperedTo) {
        SimRoom *r = s.room(u.roomID());
        SimUser *heir = target(s, args, whisperedTo);
        if (!r || r->rec.memberOwner == 0) return refuse(s, "rowner", "not a member room");
        if (!ownsOrOperates(u, *r)) return refuse(s, "rowner", u.handle + " does not own " + roomText(*r));
        if (!heir) return refuse(s, "rowner", "no such user");
        r->rec.memberOwner = heir->rec.counter;
        heir->rec.lastOwnedRoom = &r->rec;
        s.note(EventKind::Server, "server hands " + roomText(*r) + " to " + heir->handle);
    }
    static void rdelete(Server &s, SimUser &u, const std::string &, UserID) {
        SimRoom *r = s.room(u.roomID());
        if (!r || r->rec.memberOwner == 0 || r->rec.memberOwner != u.rec.counter)
            return refuse(s, "rdelete", u.handle + " does not own this room");
        if (r == s.entrance()) return refuse(s, "rdelete", "the entrance stays");
        s.note(EventKind::Server, "server deletes " + roomText(*r));
        Recorder::Nest nest(s.recorder());
        s.deleteRoom(*r);
    }
    static void rkick(Server &s, SimUser &u, const std::string &args, UserID whisperedTo) {
        SimRoom *r = s.room(u.roomID());
        SimUser *victim = target(s, args, whisperedTo);
        if (!r || !ownsOrOperates(u, *r)) return refuse(s, "rkick", u.handle + " does not own this room");
        if (!victim || victim->roomID() != r->id()) return refuse(s, "rkick", "no such user in the room");
        s.note(EventKind::Server, "server kicks " + victim->handle + " out of " + roomText(*r));
        if (SimRoom *gate = s.entrance(); gate && gate != r) s.moveUser(*victim, *gate);
    }
    static void kill(Server &s, SimUser &u, const std::string &, UserID whisperedTo) {
        if (u.rank < 2) return refuse(s, "kill", u.handle + " is no operator");
        SimUser *victim = whisperedTo ? s.user(whisperedTo) : nullptr;
        if (!victim) return refuse(s, "kill", "it must be whispered to a connected user");
        s.note(EventKind::Server, "server kills " + victim->handle);
        Recorder::Nest nest(s.recorder());
        s.disconnect(*victim);
    }
    static void page(Server &s, SimUser &u, const std::string &args, UserID) {
        const auto people = s.audienceOf(Audience::Operators, &u, nullptr);
        s.note(EventKind::Server, "page from " + u.handle + " reaches " + namesOf(people) + ": " + quoted(args));
    }
    static void rpicture(Server &s, SimUser &u, const std::string &args, UserID) {
        SimRoom *r = s.room(u.roomID());
        if (!r || !ownsOrOperates(u, *r)) return refuse(s, "rpicture", u.handle + " does not own this room");
        r->setPicture(args);
        s.note(EventKind::Server, "server sets the picture of " + roomText(*r) + " to " + quoted(args));
    }
    static void accept(Server &s, SimUser &u, const std::string &word, const std::string &args) {
        s.note(EventKind::Server, "server accepts `" + word + (args.empty() ? "" : " " + args) + " from " + u.handle);
    }
};

const ServerActions::MessageRow ServerActions::messages[] = {
    {KESTROM_FOURCC('t', 'a', 'l', 'k'), &ServerActions::talk},
    {KESTROM_FOURCC('w', 'h', 'i', 's'), &ServerActions::whisper},
    {KESTROM_FOURCC('x', 't', 'l', 'k'), &ServerActions::xtalk},
    {KESTROM_FOURCC('x', 'w', 'i', 's'), &ServerActions::xwhisper},
    {KESTROM_FOURCC('r', 'm', 's', 'g'), &ServerActions::roomMessage},
    {KESTROM_FOURCC('g', 'm', 's', 'g'), &ServerActions::globalMessage},
    {KESTROM_FOURCC('s', 'm', 's', 'g'), &ServerActions::pageMessage},
    {KESTROM_FOURCC('n', 'a', 'v', 'R'), &ServerActions::navigate},
    {KESTROM_FOURCC('u', 'L', 'o', 'c'), &ServerActions::location},
    {KESTROM_FOURCC('u', 's', 'r', 'F'), &ServerActions::face},
    {KESTROM_FOURCC('u', 's', 'r', 'C'), &ServerActions::color},
    {KESTROM_FOURCC('u', 's', 'r', 'N'), &ServerActions::name},
    {KESTROM_FOURCC('u', 's', 'r', 'P'), &ServerActions::props},
    {KESTROM_FOURCC('u', 's', 'r', 'D'), &ServerActions::desc},
    {KESTROM_FOURCC('n', 'P', 'r', 'p'), &ServerActions::dropProp},
    {KESTROM_FOURCC('m', 'P', 'r', 'p'), &ServerActions::moveProp},
    {KESTROM_FOURCC('d', 'P', 'r', 'p'), &ServerActions::deleteProp},
    {KESTROM_FOURCC('r', 'e', 'g', 'i'), &ServerActions::logon},
    {KESTROM_FOURCC('s', 'S', 't', 'a'), &ServerActions::spotState},
    {KESTROM_FOURCC('l', 'o', 'c', 'k'), &ServerActions::lock},
    {KESTROM_FOURCC('u', 'n', 'l', 'o'), &ServerActions::unlock},
    {KESTROM_FOURCC('r', 'L', 's', 't'), &ServerActions::roomList},
    {KESTROM_FOURCC('u', 'L', 's', 't'), &ServerActions::userList},
    {KESTROM_FOURCC('s', 'u', 's', 'r'), &ServerActions::wizardRequest},
};

const ServerActions::CommandRow ServerActions::commands[] = {
    {"newroom",  &ServerActions::newroom},
    {"rowner",   &ServerActions::rowner},
    {"rdelete",  &ServerActions::rdelete},
    {"rkick",    &ServerActions::rkick},
    {"kill",     &ServerActions::kill},
    {"page",     &ServerActions::page},
    {"rpicture", &ServerActions::rpicture},
    {"banip",    nullptr},
    {"comment",  nullptr},
    {"rscripts", nullptr},
    {"rpaint",   nullptr},
    {"runkick",  nullptr},
    {"er",       nullptr},
};

void ServerActions::say(Server &s, SimUser &u, const std::string &text, UserID target, const char *how) {
    if (s.recording()) {
        Event e;
        e.kind = EventKind::Said;
        e.channel = how;
        e.text = text;
        e.user = &u;
        if (!target) {
            SimRoom *r = s.room(u.roomID());
            e.receivers = r ? s.occupantsOf(*r) : std::vector<const SimUser *>{};
            e.detail = u.handle + " says " + quoted(text) + " (heard by " + namesOf(e.receivers) + ")";
        } else if (SimUser *t = s.user(target)) {
            e.receivers = {&u, t};
            e.detail = u.handle + " whispers to " + t->handle + ": " + quoted(text);
        } else {
            e.detail = u.handle + " whispers to user " + std::to_string(target) + ", who is not here: " + quoted(text);
        }
        if (std::string_view(how).front() == 'x') e.detail += " [" + std::string(how) + "]";
        s.recorder().record(std::move(e));
    }
    if (!text.empty() && text.front() == '`') {
        Recorder::Nest nest(s.recorder());
        command(s, u, text.substr(1), target);
    }
}

void ServerActions::command(Server &s, SimUser &u, const std::string &line, UserID target) {
    size_t end = 0;
    while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) ++end;
    const std::string word = line.substr(0, end);
    const std::string args = trimmed(std::string_view(line).substr(end));
    for (const CommandRow &row : commands) {
        if (!equalsIgnoringCase(word, row.word)) continue;
        if (row.command) return row.command(s, u, args, target);
        return accept(s, u, row.word, args);
    }
    s.note(EventKind::Server, "server: `" + word + " is not one of its commands");
}

void ServerActions::gotoRoom(Server &s, SimUser &u, RoomID dest) {
    SimRoom *r = s.room(dest);
    const std::string why = !r                                  ? "there is no such room"
                            : r->id() == u.roomID()             ? ""
                            : r->hasFlag(RMF_CLOSED)            ? "it is closed"
                            : r->rec.roomPassword[0] != 0       ? "it has a password"
                            : r->hasFlag(RMF_NOMEMBERS) && u.rank < 2 ? "it is for operators"
                            : r->occupantsInOrder().size() >= static_cast<size_t>(s.maxPeople()) ? "it is full"
                                                                : "";
    if (r && r->id() == u.roomID()) return s.note(EventKind::Server, u.handle + " is already in room " + std::to_string(dest));
    if (!why.empty())
        return s.note(EventKind::Server, "server refuses " + u.handle + " room " + std::to_string(dest) + ": " + why);
    s.moveUser(u, *r);
}

void Server::carryOut(SimUser &sender, const ClientMsg *message, size_t available) {
    if (available < sizeof(ClientMsg)) return;
    const size_t length = std::min<size_t>(message->length, available - sizeof(ClientMsg));
    BodyReader body(reinterpret_cast<const unsigned char *>(message + 1), length);
    for (const ServerActions::MessageRow &row : ServerActions::messages)
        if (row.type == message->eventType) return row.handler(*this, sender, body);
    note(EventKind::Server, "server has no use for " + typeText(message->eventType));
}

}  // namespace kestrom::sim
