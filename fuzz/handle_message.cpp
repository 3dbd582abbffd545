// handle_message.cpp - fuzz target: client messages from users of every
// rank into a small world run by the module with a realistic parameter file.
//
// Each input builds a fresh world (so runs are independent and every leak is
// seen at stop).  The input is a header byte, then records of three bytes
// and a string:
//
//   header  bit 0: stricter rules and settings;
//           bits 1-2: the time of day the clock starts at
//   record  sender (a user of the world), kind, argument, then a string up to
//           a lone backslash ("\\" is one backslash; see fuzz_common.h)
//
// Kinds: a message type of the table below with the string as its body, as
// sent; a chat line (talk, whisper, encoded talk and whisper, room and global
// message, page, name) whose text is the string, built well formed; or an
// action of the world: the clock moves on, the sender is moved to a room, the
// sender leaves or comes back, a message whose type is the string's first
// four bytes, or one of the module's next allocations is made to fail.  The
// argument picks a whisper's target, the room, the seconds, or which
// allocation fails.  After each record the submitted messages and due timers run.
#include "fuzz/fuzz_common.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using namespace kestrom;
using namespace kestrom::sim;

namespace {

constexpr size_t MAX_RECORDS = 96;
constexpr size_t MAX_BODY = 2048;

// Message types sent with the record's string as their body: every type the
// dispatcher reads, then some it lets through untouched.
constexpr std::array<const char *, 32> RAW_TYPES = {
    "talk", "rmsg", "gmsg", "whis", "xtlk", "xwis", "navR", "uLoc", "sRom", "down", "smsg",
    "usrN", "regi", "usrF", "usrC", "usrD", "usrP", "nPrp", "mPrp", "dPrp", "lock", "unlo",
    "sSta", "rLst", "uLst", "susr", "draw", "ping", "bye ", "kill", "rOpn", "\0\0\0\0",
};

enum LineKind { L_TALK, L_WHISPER, L_XTALK, L_XWHISPER, L_RMSG, L_GMSG, L_PAGE, L_NAME, NBR_LINE_KINDS };
enum WorldKind { W_ADVANCE, W_GOTO, W_LEAVE_OR_RETURN, W_RAW_TYPE, W_FAIL_ALLOC, NBR_WORLD_KINDS };

constexpr int NBR_KINDS = static_cast<int>(RAW_TYPES.size()) + NBR_LINE_KINDS + NBR_WORLD_KINDS;

constexpr std::array<long, 16> ADVANCE_SECONDS = {0, 1, 1, 2, 3, 5, 10, 20,
                                                  30, 60, 120, 600, 1801, 3600, 43200, 86400};

// Times of day the clock may start at: noon, and just before the example
// file's announcements and midnight.
struct TimeOfDay {
    int hours, minutes, seconds;
};
constexpr std::array<TimeOfDay, 4> START_TIMES = {{{12, 0, 0}, {8, 59, 58}, {21, 29, 58}, {23, 59, 58}}};

constexpr const char *STRICT_RULES =
    "chat 2 0.1 all warn\n"
    "repchat 1 0.1 all warn\n"
    "page 1 0.01 all warn\n"
    "reppage 0 0.01 all\n"
    "roommsg 1 0.1 all warn\n"
    "propdrop 1 0.1 all warn\n"
    "facechange 1 0.1 all warn\n"
    "avatarchange 1 0.1 all warn\n"
    "namechange 1 0.1 all warn\n"
    "move 2 0.1 all warn\n"
    "slide 2 0.1 all warn\n"
    "spotstatechange 1 0.1 all warn\n"
    "zone 64 all\n"
    "avatarzone 64 all warn\n"
    "nodupavatars all warn\n"
    "mimick 3 all\n"
    "clearlooseprops 10 all warn\n"
    "newroom 5 0.1 all\n"
    "gpage 1 0.1 all\n"
    "rpage 1 0.1 all\n"
    "roompage 1 0.1 all\n"
    "pinx 100 100 all\n"
    "take all\n";

// Settings put after the example file's (the last line of a keyword wins):
// rooms may be taken at once, and each room remembers two disciplined users.
constexpr const char *STRICT_SETTINGS =
    "rtakedelay 0\n"
    "mroomdiscipline 2\n";

constexpr uint32 GHOST_COUNTER = 909999; // owner of a room whose owner is gone

// Names as long as the host allows: a room's 255 characters, a user's 31.
constexpr const char *LONG_ROOM_NAME =
    "Role Play: a room whose name is as long as a room name can be, so that every text that "
    "quotes it is as long as it gets; the rest is padding %s %n %x and more padding to fill "
    "the two hundred and fifty-five characters a Pascal string can hold, up to its end";
constexpr const char *LONG_USER_NAME = "Hal the hidden operator %s %n!!";

struct RoomRow {
    RoomID id;
    const char *name;
    uint32 flags;
    const char *password;
    uint32 ownerCounter; // 0: not a member room
};

// Public, private, role-play (no spoof rule), staff (god only) and costume
// shop (take) rooms; member rooms open, closed with a password and owned by
// someone who left, and members kept out with no loose props.
constexpr RoomRow ROOMS[] = {
    {1,   "Lobby",         0,                                 "",       0},
    {2,   "Quiet Corner",  RMF_PRIVATE,                       "",       0},
    {30,  "Costume Shop",  0,                                 "",       0},
    {42,  LONG_ROOM_NAME,  0,                                 "",       0},
    {99,  "Staff Room",    0,                                 "",       0},
    {200, "Mia's Den",     0,                                 "",       900002},
    {201, "Locked Vault",  RMF_CLOSED,                        "secret", GHOST_COUNTER},
    {202, "Members Only",  RMF_NOMEMBERS | RMF_NOLOOSEPROPS,  "",       900003},
};

struct UserRow {
    const char *name;
    int rank;
    uint16 flags;
    RoomID room;
    bool sharedAddress; // four users share one address (the dupip rule)
    bool guestCrc;
    RoomID owns; // 0: none
    std::array<AssetID, 2> props;
};

constexpr UserRow USERS[] = {
    {"Gus",   0, 0,           1,   true,  true,  0,   {0, 0}},
    {"Mia",   1, 0,           200, false, false, 200, {1001, 1002}},
    {"Bob",   1, 0,           1,   false, false, 202, {1001, 1002}},
    {"Wanda", 2, 0,           1,   false, false, 0,   {2001, 0}},
    {"Otto",  3, 0,           99,  false, false, 0,   {0, 0}},
    {"Exa",   1, HF_EXEMPT_A, 30,  true,  false, 0,   {3001, 0}},
    {LONG_USER_NAME, 2, HF_HIDDEN, 200, false, false, 0, {0, 0}},
    {"Pia",   1, HF_PINMARK,  2,   true,  false, 0,   {1001, 1002}},
    {"Ned",   1, 0,           1,   false, false, 0,   {4001, 0}},
    {"Zed",   0, 0,           30,  true,  false, 0,   {0, 0}},
};
constexpr int NBR_USERS = static_cast<int>(sizeof USERS / sizeof USERS[0]);
enum { GUS, MIA, BOB }; // the first rows of USERS; Bob hides from Gus

struct LoosePropRow {
    RoomID room;
    AssetID id;
    sint16 h, v;
};

constexpr LoosePropRow LOOSE_PROPS[] = {
    {1, 701, 200, 200}, {30, 501, 100, 100}, {30, 502, 140, 100}, {30, 501, 300, 100},
    {200, 601, 50, 50}, {200, 601, 300, 300}, {201, 602, 10, 10},
};

class World {
public:
    explicit World(uint8_t header) {
        server_.useModule(linkedModule());
        fuzz::traceWhenAsked(server_);
        server_.setMaxPeople(6);
        const TimeOfDay start = START_TIMES[(header >> 1) & 3];
        server_.setTimeOfDay(start.hours, start.minutes, start.seconds);
        std::string error;
        for (const RoomRow &row : ROOMS) {
            RoomPlan plan;
            plan.id = row.id;
            plan.name = row.name;
            plan.flags = row.flags;
            plan.password = row.password;
            plan.owner = row.ownerCounter;
            if (!server_.addRoom(plan, error)) fuzz::finding(error.c_str());
        }
        for (const LoosePropRow &p : LOOSE_PROPS)
            server_.addLooseProp(*server_.room(p.room), {p.id, 0}, {p.v, p.h});
        const bool strict = header & 1;
        const std::string parameters = (strict ? STRICT_RULES : "") + fuzz::exampleParameters() +
                                       (strict ? STRICT_SETTINGS : "");
        if (!server_.startWithParameters(parameters)) fuzz::finding("the module did not start");
        for (int i = 0; i < NBR_USERS; ++i) arrive(i);
        server_.finishDirective();
    }

    Server &server() { return server_; }
    SimUser *user(int i) const { return users_[static_cast<size_t>(i)]; }

    // The i-th user of the table connects (again), dressed and placed.
    void arrive(int i) {
        const UserRow &row = USERS[i];
        UserPlan plan = UserPlan::numbered(row.name, i + 1);
        plan.rank = row.rank;
        plan.flags = row.flags;
        plan.room = row.room;
        if (row.sharedAddress) plan.address = {10, 0, 0, 7};
        if (row.guestCrc) plan.crc = GUEST_CRC;
        std::string error;
        SimUser *u = server_.connect(plan, error);
        users_[static_cast<size_t>(i)] = u;
        if (!u || !u->connected) return;
        std::vector<AssetSpec> props;
        for (AssetID id : row.props)
            if (id) props.push_back({id, 0});
        u->setProps(props);
        if (i == BOB) u->rec.actionList = &bobHidesFromGus_;
        if (row.owns)
            if (SimRoom *r = server_.room(row.owns); r && r->rec.memberOwner == u->rec.counter)
                u->rec.lastOwnedRoom = &r->rec;
    }

    // A target for whispers: a user of the world, nobody, or the sender.
    UserID target(uint8_t arg, const SimUser &sender) const {
        const int pick = arg % (NBR_USERS + 2);
        if (pick == NBR_USERS) return 0;
        if (pick == NBR_USERS + 1) return sender.id();
        return static_cast<UserID>(pick + 1);
    }

    RoomID roomFor(uint8_t arg) const {
        constexpr int N = static_cast<int>(sizeof ROOMS / sizeof ROOMS[0]);
        const int pick = arg % (N + 1);
        return pick == N ? static_cast<RoomID>(arg * 3 + 300) : ROOMS[pick].id;
    }

private:
    UserActionRec bobHidesFromGus_{nullptr, GUS + 1, UA_HIDEFROM}; // outlives the server's records
    Server server_;
    std::array<SimUser *, NBR_USERS> users_{};
};

std::vector<unsigned char> bytesOf(const std::string &s) { return {s.begin(), s.end()}; }

Message lineMessage(int kind, const std::string &text, UserID target) {
    switch (kind) {
    case L_TALK: return msg::talk(text);
    case L_WHISPER: return msg::whisper(target, text);
    case L_XTALK: return msg::xtalk(text.substr(0, 255));
    case L_XWHISPER: return msg::xwhisper(target, text.substr(0, 255));
    case L_RMSG: return msg::roomMessage(text);
    case L_GMSG: return msg::globalMessage(text);
    case L_PAGE: return msg::page(text);
    default: return msg::name(text);
    }
}

// Carries out one action of the world; the sender's slot may change.
void worldAction(World &world, int kind, int who, uint8_t arg, const std::string &text) {
    SimUser *sender = world.user(who);
    Server &server = world.server();
    switch (kind) {
    case W_ADVANCE:
        server.advance(ADVANCE_SECONDS[arg % ADVANCE_SECONDS.size()]);
        break;
    case W_GOTO:
        if (sender && sender->connected)
            if (SimRoom *r = server.room(world.roomFor(arg))) server.place(*sender, *r);
        break;
    case W_LEAVE_OR_RETURN:
        if (sender && sender->connected)
            server.disconnect(*sender);
        else
            world.arrive(who);
        break;
    case W_RAW_TYPE:
        if (sender && sender->connected) {
            const uint32 type = typeCode(text.substr(0, 4));
            const std::string body = text.size() > 4 ? text.substr(4) : std::string();
            server.send(*sender, msg::raw(type, bytesOf(body)));
        }
        break;
    case W_FAIL_ALLOC:
        server.heap().failOnly(arg % 8 + 1);
        break;
    }
}

void runRecord(World &world, fuzz::InputReader &in) {
    const int who = in.byte() % NBR_USERS;
    const int kind = in.byte() % NBR_KINDS;
    const uint8_t arg = in.byte();
    const std::string text = in.delimited(MAX_BODY);
    SimUser *sender = world.user(who);
    const bool present = sender && sender->connected;
    constexpr int RAW = static_cast<int>(RAW_TYPES.size());
    if (kind < RAW) {
        if (present) world.server().send(*sender, msg::raw(typeCode(RAW_TYPES[kind]), bytesOf(text)));
    } else if (kind < RAW + NBR_LINE_KINDS) {
        if (present) world.server().send(*sender, lineMessage(kind - RAW, text, world.target(arg, *sender)));
    } else {
        worldAction(world, kind - RAW - NBR_LINE_KINDS, who, arg, text);
    }
    world.server().finishDirective();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader in(data, size);
    World world(in.byte());
    for (size_t n = 0; n < MAX_RECORDS && !in.atEnd(); ++n) runRecord(world, in);
    fuzz::stopAndCheck(world.server());
    return 0;
}
