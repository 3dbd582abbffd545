// handle_message.cpp - fuzz target: client messages from users of every
// rank into a small world run by the module, and what happens around them:
// the parameter file edited and reloaded, the module stopped and started
// again, the clock jumping, memory running out, users whose rank, flags and
// host records change, rooms created while the module runs.
//
// Each input builds a fresh world (so runs are independent and every leak is
// seen at stop).  The input is a header byte, then records of three bytes
// and a string:
//
//   header  bits 0, 3-5: the parameter file the module starts with, file
//           (header >> 3) & 7 of fuzz/parameter_files.h; file 0 (the example
//           file) becomes file 1 (the same, stricter) when bit 0 is set;
//           bits 1-2: the time of day the clock starts at
//   record  sender (a user of the world), kind, argument, then a string up to
//           a lone backslash ("\\" is one backslash; see fuzz_common.h)
//
// Kinds, numbered in this order (the kind byte is taken modulo their count):
//   0-31   a message of type RAW_TYPES[kind] with the string as its body, as sent
//   32-39  a chat line (talk, whisper, encoded talk and whisper, room and
//          global message, page, name) whose text is the string, built well
//          formed; the argument picks a whisper's target
//   40     the clock moves on ADVANCE_SECONDS[arg] seconds, timers running as due
//   41     the sender is moved to room roomFor(arg) without asking the module
//   42     the sender leaves, or comes back
//   43     a message whose type is the string's first four bytes
//   44     the (arg % 8 + 1)-th allocation from now fails
//   45     the parameter file becomes fileFor(arg) (a file of the table, or
//          the string itself) and the sender says `kestrom reload; with a
//          file that cannot load, the configuration in force must not change
//   46     the module is stopped and started again with fileFor(arg & 0x7F);
//          with bit 7 every user leaves before the stop and comes back after
//   47     the clock jumps by CLOCK_JUMPS[arg], back or far ahead; timers keep
//          their times
//   48     every allocation from the (arg + 1)-th from now on fails; with
//          bit 7, allocations succeed again
//   49     a message of type RAW_TYPES[arg] with the string as its body,
//          sent while the host names no current user
//   50     the sender's rank becomes arg % 4
//   51     a host flag of the sender flips: HOST_FLAGS[arg]
//   52     a field of the sender's host record changes: RECORD_CHANGES[arg % 10]
//          with the value arg / 10 (and the string for the name)
//   53     room 300 + (arg & 7) is created with the flags of bits 3-7 (private,
//          closed with a password, a member room of the sender's, no members,
//          no loose props) and the string as its name; a room that exists
//          takes those flags and that owner instead
// After each record the submitted messages and due timers run.
#include "fuzz/configuration.h"
#include "fuzz/fuzz_common.h"
#include "fuzz/parameter_files.h"
#include "sim/linked_module.h"
#include "sim/server.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iterator>
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
enum WorldKind {
    W_ADVANCE, W_GOTO, W_LEAVE_OR_RETURN, W_RAW_TYPE, W_FAIL_ALLOC,
    W_RELOAD, W_RESTART, W_CLOCK_JUMP, W_FAIL_FROM, W_NO_SENDER, W_RANK, W_FLAG, W_RECORD, W_ROOM,
    NBR_WORLD_KINDS
};

constexpr int NBR_KINDS = static_cast<int>(RAW_TYPES.size()) + NBR_LINE_KINDS + NBR_WORLD_KINDS;

constexpr std::array<long, 16> ADVANCE_SECONDS = {0, 1, 1, 2, 3, 5, 10, 20,
                                                  30, 60, 120, 600, 1801, 3600, 43200, 86400};

// How the clock may jump: a little or a long way back (a clock set right, a
// clock reset), a long way ahead, to an hour after the epoch, to half a
// minute before 32-bit seconds run out.  It stays between EARLIEST and LATEST.
constexpr long YEAR = 365L * 86400;
constexpr long TO_EPOCH = -1000000001, TO_2038 = 1000000001; // markers, not jumps
constexpr std::array<long, 16> CLOCK_JUMPS = {
    -1, -2, -30, -600, -3600, -43200, -86400, -86401,
    -7 * 86400, -10 * YEAR, 2, 3599, 3 * 86400, 10 * YEAR, TO_EPOCH, TO_2038,
};
constexpr time_t EARLIEST = 3600, BEFORE_2038 = 2147483647 - 30, LATEST = 4102444800; // 2100-01-01

// Times of day the clock may start at: noon, and just before the example
// file's announcements and midnight.
struct TimeOfDay {
    int hours, minutes, seconds;
};
constexpr std::array<TimeOfDay, 4> START_TIMES = {{{12, 0, 0}, {8, 59, 58}, {21, 29, 58}, {23, 59, 58}}};

// Host flags that may flip at run time (0x0400 is one the module knows nothing of).
constexpr std::array<uint16, 5> HOST_FLAGS = {HF_EXEMPT_A, HF_EXEMPT_B, HF_PINMARK, HF_HIDDEN, 0x0400};

constexpr RoomID FIRST_RUNTIME_ROOM = 300;
constexpr int NBR_RUNTIME_ROOMS = 8;

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

// Props a record change may dress a user in: the users' own, the pin prop,
// the loose props of the world.
constexpr std::array<AssetID, 9> WEARABLE = {1001, 1002, 1280, 2001, 3001, 501, 601, 9, 4001};

// The module's entry points, its state watched, and handleMessage able to
// hide the sender of one message: the host then names no current user.
bool theSenderIsHidden = false;

ClientMsg *screenMaybeWithoutSender(ServerState *ss, void *pluginDat, ClientMsg *message) {
    if (!theSenderIsHidden || !ss) return ::handleMessage(ss, pluginDat, message);
    theSenderIsHidden = false;
    ServerUserRec *sender = ss->currentUser;
    ss->currentUser = nullptr;
    ClientMsg *result = ::handleMessage(ss, pluginDat, message);
    ss->currentUser = sender;
    return result;
}

// fileFor(pick): a parameter file of the table, or null for the record's
// string (the pick past the table's end).
const fuzz::ParameterFile *tableFile(uint8_t pick) {
    const size_t which = pick % (fuzz::NBR_PARAMETER_FILES + 1);
    return which < fuzz::NBR_PARAMETER_FILES ? &fuzz::parameterFiles()[which] : nullptr;
}

ModuleEntryPoints worldModule() {
    ModuleEntryPoints entry = fuzz::watchedModule();
    entry.handleMessage = &screenMaybeWithoutSender;
    return entry;
}

class World {
public:
    explicit World(uint8_t header) {
        theSenderIsHidden = false;
        server_.useModule(worldModule());
        fuzz::traceWhenAsked(server_);
        server_.setMaxPeople(6);
        const TimeOfDay startTime = START_TIMES[(header >> 1) & 3];
        server_.setTimeOfDay(startTime.hours, startTime.minutes, startTime.seconds);
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
        int file = (header >> 3) & 7;
        if (file == fuzz::FILE_EXAMPLE && (header & 1)) file = fuzz::FILE_STRICT;
        start(static_cast<uint8_t>(file), "");
        for (int i = 0; i < NBR_USERS; ++i) arrive(i);
        server_.finishDirective();
    }

    Server &server() { return server_; }
    SimUser *user(int i) const { return users_[static_cast<size_t>(i)]; }
    bool present(int i) const { return user(i) && user(i)->connected; }

    // The i-th user of the table connects (again), dressed and placed.
    void arrive(int i) {
        const UserRow &row = USERS[i];
        UserPlan plan = UserPlan::numbered(row.name, i + 1);
        plan.rank = row.rank;
        plan.flags = row.flags;
        plan.room = row.room;
        if (row.sharedAddress) plan.address = SHARED_ADDRESS;
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

    // A room of the table, or one of those that may be created at run time
    // (which need not exist).
    RoomID roomFor(uint8_t arg) const {
        constexpr int N = static_cast<int>(sizeof ROOMS / sizeof ROOMS[0]);
        const int pick = arg % (N + 1);
        if (pick < N) return ROOMS[pick].id;
        return static_cast<RoomID>(FIRST_RUNTIME_ROOM + arg / (N + 1) % NBR_RUNTIME_ROOMS);
    }

    // The module stops (returning every block) and starts again; with
    // everyoneLeaves the users who are there leave before and come back after.
    void restart(uint8_t pick, const std::string &text, bool everyoneLeaves) {
        std::array<bool, NBR_USERS> wasThere{};
        for (int i = 0; i < NBR_USERS && everyoneLeaves; ++i) {
            wasThere[static_cast<size_t>(i)] = present(i);
            if (present(i)) server_.disconnect(*user(i));
        }
        fuzz::stopAndCheck(server_);
        start(pick, text);
        for (int i = 0; i < NBR_USERS; ++i)
            if (wasThere[static_cast<size_t>(i)]) arrive(i);
        server_.finishDirective();
    }

    // The parameter file becomes fileFor(pick): a file of the table, or
    // `text` past the table's end.  Returns the file's path.
    std::string rewriteFile(uint8_t pick, const std::string &text) {
        const fuzz::ParameterFile *file = tableFile(pick);
        const std::string path = server_.writeParameterFile(file ? file->text : text);
        std::error_code ignored;
        if (file && !file->present) std::filesystem::remove(path, ignored);
        return path;
    }

    // An action list for user `who` that hides it from user `from`; it
    // outlives the server's records.
    UserActionRec *hideRecord(int who, int from) {
        UserActionRec &rec = hides_[static_cast<size_t>(who)];
        rec = {nullptr, static_cast<UserID>(from + 1), UA_HIDEFROM};
        return &rec;
    }

private:
    static constexpr std::array<uint8, 4> SHARED_ADDRESS = {10, 0, 0, 7};

    // Starts the module with fileFor(pick).  A file of the table must load
    // exactly when the table says it does, unless memory is made to fail.
    void start(uint8_t pick, const std::string &text) {
        const bool started = server_.start({rewriteFile(pick, text)});
        const fuzz::ParameterFile *file = tableFile(pick);
        if (!file || server_.heap().failing()) return;
        if (started != file->loads)
            fuzz::finding(started ? "a parameter file that cannot load started the module"
                                  : "a parameter file that loads did not start the module");
    }

    UserActionRec bobHidesFromGus_{nullptr, GUS + 1, UA_HIDEFROM}; // outlive the server's records
    std::array<UserActionRec, NBR_USERS> hides_{};
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

// ------------------------------------------------- host record changes

// A change the host makes to one field of a connected user's record: the
// user's row in USERS, the record, a value 0 to 25 and the record's string.
using RecordChange = void (*)(World &world, int who, SimUser &u, int value, const std::string &text);

constexpr std::array<uint8, 4> OTHER_ADDRESSES[] = {{10, 0, 0, 7}, {192, 168, 1, 20}, {127, 0, 0, 1}};
constexpr uint32 COUNTERS[] = {900002, 900003, GHOST_COUNTER, 0};

constexpr RecordChange RECORD_CHANGES[] = {
    // The name (as the host may set it), the string or a numbered one.
    [](World &, int, SimUser &u, int value, const std::string &text) {
        u.setName(text.empty() ? u.handle + std::to_string(value) : text);
    },
    // The worn props: the first `value` of WEARABLE.
    [](World &, int, SimUser &u, int value, const std::string &) {
        const size_t n = static_cast<size_t>(value) % (WEARABLE.size() + 1);
        std::vector<AssetSpec> props;
        for (size_t i = 0; i < n; ++i) props.push_back({WEARABLE[i], 0});
        u.setProps(props);
    },
    // The address: the user's own, or one of a few others.
    [](World &, int who, SimUser &u, int value, const std::string &) {
        const size_t pick = static_cast<size_t>(value) % (std::size(OTHER_ADDRESSES) + 1);
        u.setAddress(pick ? OTHER_ADDRESSES[pick - 1] : UserPlan::numbered("", who + 1).address);
    },
    // The counter: the user's own, a member room owner's, or none.
    [](World &, int who, SimUser &u, int value, const std::string &) {
        const size_t pick = static_cast<size_t>(value) % (std::size(COUNTERS) + 1);
        u.rec.counter = pick ? COUNTERS[pick - 1] : UserPlan::numbered("", who + 1).counter;
    },
    // The checksum: a guest's, the user's own, or none.
    [](World &, int who, SimUser &u, int value, const std::string &) {
        const uint32 crcs[] = {GUEST_CRC, UserPlan::numbered("", who + 1).crc, 0};
        u.rec.crc = crcs[value % 3];
    },
    // The owned room: none, or the first member room the counter owns.
    [](World &world, int, SimUser &u, int value, const std::string &) {
        u.rec.lastOwnedRoom = nullptr;
        if (value % 2 == 0) return;
        for (SimRoom *r : world.server().rooms())
            if (r->rec.memberOwner == u.rec.counter) {
                u.rec.lastOwnedRoom = &r->rec;
                return;
            }
    },
    // The position, on the screen or a little off it.
    [](World &, int, SimUser &u, int value, const std::string &) {
        u.rec.user.roomPos = Point{static_cast<sint16>(value * 15 - 15), static_cast<sint16>(value * 20 - 20)};
    },
    // The face and its colour.
    [](World &, int, SimUser &u, int value, const std::string &) {
        u.rec.user.faceNbr = static_cast<sint16>(value % 13);
        u.rec.user.colorNbr = static_cast<sint16>(value % 16);
    },
    // The last sender of a private page: nobody, a user, or one unknown.
    [](World &, int, SimUser &u, int value, const std::string &) {
        const int pick = value % (NBR_USERS + 2);
        u.rec.lastESPsender = pick == NBR_USERS + 1 ? 999 : static_cast<UserID>(pick);
    },
    // Whom the user hides from: one user, or nobody.
    [](World &world, int who, SimUser &u, int value, const std::string &) {
        const int pick = value % (NBR_USERS + 1);
        u.rec.actionList = pick == NBR_USERS ? nullptr : world.hideRecord(who, pick);
    },
};
static_assert(std::size(RECORD_CHANGES) == 10);

// ------------------------------------------------------ rooms at run time

// Room 300 + (arg & 7), created or changed: bits 3-7 of arg are its flags.
void createOrChangeRoom(World &world, SimUser *sender, uint8_t arg, const std::string &text) {
    const RoomID id = static_cast<RoomID>(FIRST_RUNTIME_ROOM + (arg & 7));
    uint32 flags = 0;
    if (arg & 0x08) flags |= RMF_PRIVATE;
    if (arg & 0x10) flags |= RMF_CLOSED;
    if (arg & 0x40) flags |= RMF_NOMEMBERS;
    if (arg & 0x80) flags |= RMF_NOLOOSEPROPS;
    const ClientID owner = !(arg & 0x20) ? 0 : sender && sender->connected ? sender->rec.counter : GHOST_COUNTER;
    const std::string password = arg & 0x10 ? "pw" : "";
    Server &server = world.server();
    if (SimRoom *room = server.room(id)) {
        room->rec.room.roomFlags = flags;
        room->rec.memberOwner = owner;
        room->setPassword(password);
        return;
    }
    RoomPlan plan;
    plan.id = id;
    plan.name = text.empty() ? "Room " + std::to_string(id) : text.substr(0, 255);
    plan.flags = flags;
    plan.password = password;
    plan.owner = owner;
    std::string error;
    server.addRoom(plan, error);
}

// Moves the clock by CLOCK_JUMPS[arg], held between EARLIEST and LATEST.
void jumpClock(Server &server, uint8_t arg) {
    const long jump = CLOCK_JUMPS[arg % CLOCK_JUMPS.size()];
    const time_t now = server.now();
    time_t to = jump == TO_EPOCH ? EARLIEST : jump == TO_2038 ? BEFORE_2038 : now + jump;
    to = std::clamp(to, EARLIEST, LATEST);
    server.jumpClock(static_cast<long>(to - now));
}

// Carries out one action of the world; the sender's slot may change.
void worldAction(World &world, int kind, int who, uint8_t arg, const std::string &text) {
    SimUser *sender = world.user(who);
    const bool present = world.present(who);
    Server &server = world.server();
    switch (kind) {
    case W_ADVANCE:
        server.advance(ADVANCE_SECONDS[arg % ADVANCE_SECONDS.size()]);
        break;
    case W_GOTO:
        if (present)
            if (SimRoom *r = server.room(world.roomFor(arg))) server.place(*sender, *r);
        break;
    case W_LEAVE_OR_RETURN:
        if (present)
            server.disconnect(*sender);
        else
            world.arrive(who);
        break;
    case W_RAW_TYPE:
        if (present) {
            const uint32 type = typeCode(text.substr(0, 4));
            const std::string body = text.size() > 4 ? text.substr(4) : std::string();
            server.send(*sender, msg::raw(type, bytesOf(body)));
        }
        break;
    case W_FAIL_ALLOC:
        server.heap().failOnly(arg % 8 + 1);
        break;
    case W_RELOAD: {
        const std::string before = fuzz::liveConfiguration();
        world.rewriteFile(arg, text);
        if (present) server.send(*sender, msg::talk("`kestrom reload"));
        const fuzz::ParameterFile *file = tableFile(arg);
        if (file && !file->loads && fuzz::liveConfiguration() != before)
            fuzz::finding("a reload that failed changed the configuration in force");
        break;
    }
    case W_RESTART:
        world.restart(arg & 0x7F, text, arg & 0x80);
        break;
    case W_CLOCK_JUMP:
        jumpClock(server, arg);
        break;
    case W_FAIL_FROM:
        if (arg & 0x80)
            server.heap().stopFailing();
        else
            server.heap().failFrom(arg + 1);
        break;
    case W_NO_SENDER:
        if (present) {
            theSenderIsHidden = true;
            server.send(*sender, msg::raw(typeCode(RAW_TYPES[arg % RAW_TYPES.size()]), bytesOf(text)));
            theSenderIsHidden = false;
        }
        break;
    case W_RANK:
        if (present) sender->rank = arg % 4;
        break;
    case W_FLAG:
        if (present) sender->rec.flags ^= HOST_FLAGS[arg % HOST_FLAGS.size()];
        break;
    case W_RECORD:
        if (present) RECORD_CHANGES[arg % std::size(RECORD_CHANGES)](world, who, *sender, arg / 10, text);
        break;
    case W_ROOM:
        createOrChangeRoom(world, sender, arg, text);
        break;
    }
}

void runRecord(World &world, fuzz::InputReader &in) {
    const int who = in.byte() % NBR_USERS;
    const int kind = in.byte() % NBR_KINDS;
    const uint8_t arg = in.byte();
    const std::string text = in.delimited(MAX_BODY);
    SimUser *sender = world.user(who);
    const bool present = world.present(who);
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
