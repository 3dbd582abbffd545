// kernel.cpp - the reference kernel module (see kernel.h).
#include "bench/kernel.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace kestrom::bench {

namespace {

constexpr PluginID KERNEL_PLUGIN_ID = 1;

constexpr uint32 fourcc(const char (&code)[5]) {
    return KESTROM_FOURCC(code[0], code[1], code[2], code[3]);
}

// Room-kind bits of a rule.
constexpr int32_t PUBLIC = 0x01, PRIVATE = 0x02, MEMBER = 0x04, LIMBO = 0x08;

struct Rule {
    const Rule *next;
    int32_t roomsChecked;
    uint32_t maximum;
    double decay;
};

// Three rules; a public room is selected by the last, so every walk visits
// all three.  The allowance is never reached: every message is accepted.
constexpr Rule PUBLIC_RULE = {nullptr, PUBLIC, 4000000000u, 1.0};
constexpr Rule PRIVATE_RULE = {&PUBLIC_RULE, PRIVATE, 4000000000u, 1.0};
constexpr Rule MEMBER_RULE = {&PRIVATE_RULE, MEMBER, 4000000000u, 1.0};
constexpr const Rule *CHAIN = &MEMBER_RULE;

struct Bucket {
    time_t lastTime;
    int32_t level;
};

// What the kernel keeps per user: one bucket per kind of message.
struct KernelUserDat {
    Bucket buckets[4];
};

// The floor variant also scans the room's occupants (kernelModule(true)).
bool theOccupantScan = false;
constexpr uint32_t PERSONAL_SPACE = 10;

constexpr const char *COMMAND_WORDS[] = {
    "chat",     "clean",      "dress",         "er",            "find",       "gmsg",
    "goto",     "gotoroom",   "gpage",         "killx",         "listgag",    "move",
    "myroom",   "naked",      "namegag",       "newroom",       "nolooseprops", "pagegag",
    "pdel",     "pinx",       "kestrom",       "propfreeze",    "rannounce",  "rbanlist",
    "reset",    "rdelete",    "respond",       "rgag",          "rkick",      "rlimit",
    "rlockdown", "rmsg",      "rnodupavatars", "rnolooseprops", "roompage",   "roomprefs",
    "roperatorsonly", "rowner", "rpage",       "rpin",          "rpropfreeze", "rpropgag",
    "rtake",    "rungag",     "runkick",       "runpin",        "runpropgag", "rwho",
    "setcolor", "setface",    "setpos",        "signoff",       "take",       "unlistgag",
    "unnamegag", "unpagegag", "userprefs",
};
static_assert(sizeof COMMAND_WORDS / sizeof COMMAND_WORDS[0] == 57);

char folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The typed word (up to its first character that is not a letter or digit)
// is the whole of `word`, ignoring case.
bool sameWord(const char *typed, const char *word) {
    int i = 0;
    for (; isWordChar(typed[i]); ++i)
        if (folded(typed[i]) != word[i]) return false;
    return word[i] == '\0';
}

// The room-kind bit of the user's room.
int32_t kindOf(const ServerRoomRec *room) {
    if (!room) return LIMBO;
    if (room->memberOwner != 0) return MEMBER;
    return (room->room.roomFlags & RMF_PRIVATE) ? PRIVATE : PUBLIC;
}

// One leaky-bucket update; true to refuse.
bool overLimit(Bucket &bucket, const Rule &rule) {
    const time_t now = time(nullptr);
    const double drain = std::trunc(difftime(now, bucket.lastTime) * rule.decay);
    const double drained = bucket.level - (drain > 0 ? drain : 0);
    const int32_t level = drained > 0 ? static_cast<int32_t>(drained) : 0;
    bucket.lastTime = now;
    if (static_cast<uint32_t>(level) < rule.maximum) {
        bucket.level = level + 1;
        return false;
    }
    bucket.level = level + 1;
    return true;
}

// Another occupant stands within the personal space of `pos`: the least a
// module can do, one host look-up per occupied slot.
bool someoneWithin(const ServerState *ss, const ServerRoomRec *room, UserID self, Point pos) {
    for (int slot = 0; slot < ss->maxPeoplePerRoom; ++slot) {
        const UserID id = room->occupants[slot];
        if (id == 0 || id == self) continue;
        const ServerUserRec *other = GetServerUser(id);
        if (!other) continue;
        const int dh = other->user.roomPos.h - pos.h, dv = other->user.roomPos.v - pos.v;
        if (dh <= int{PERSONAL_SPACE} && dh >= -int{PERSONAL_SPACE} && dv <= int{PERSONAL_SPACE} &&
            dv >= -int{PERSONAL_SPACE})
            return true;
    }
    return false;
}

// The ids of `count` props (at most 9), sorted.
void sortedIds(const AssetSpec *props, int count, AssetID *ids) {
    for (int i = 0; i < count; ++i) {
        int j = i;
        for (; j > 0 && ids[j - 1] > props[i].id; --j) ids[j] = ids[j - 1];
        ids[j] = props[i].id;
    }
}

// Another occupant wears the same props, in any order: one host look-up
// per occupied slot, props compared only when their numbers agree.
bool someoneWears(const ServerState *ss, const ServerRoomRec *room, UserID self, int count,
                  const AssetSpec *props) {
    AssetID wanted[KESTROM_MAX_WORN_PROPS], worn[KESTROM_MAX_WORN_PROPS];
    sortedIds(props, count, wanted);
    for (int slot = 0; slot < ss->maxPeoplePerRoom; ++slot) {
        const UserID id = room->occupants[slot];
        if (id == 0 || id == self) continue;
        const ServerUserRec *other = GetServerUser(id);
        if (!other || other->user.nbrProps != count) continue;
        sortedIds(other->user.propSpec, count, worn);
        bool same = true;
        for (int i = 0; i < count && same; ++i) same = wanted[i] == worn[i];
        if (same) return true;
    }
    return false;
}

// The occupant scan of the floor variant, for moves and avatars.
bool occupantsRefuse(const ServerState *ss, const ServerRoomRec *room, const ServerUserRec *user,
                     int kind, const ClientMsg *msg) {
    if (!theOccupantScan || !room || !room->occupants) return false;
    const unsigned char *body = clientMsgBody(const_cast<ClientMsg *>(msg));
    if (kind == 1 && msg->length >= sizeof(Point)) {
        Point pos;
        std::memcpy(&pos, body, sizeof pos);
        return someoneWithin(ss, room, user->user.userID, pos);
    }
    if (kind == 3 && msg->length >= sizeof(int32_t)) {
        int32_t count;
        std::memcpy(&count, body, sizeof count);
        if (count < 1 || count > KESTROM_MAX_WORN_PROPS || msg->length < sizeof count + count * sizeof(AssetSpec))
            return false;
        AssetSpec props[KESTROM_MAX_WORN_PROPS];
        std::memcpy(props, body + sizeof count, static_cast<size_t>(count) * sizeof(AssetSpec));
        return someoneWears(ss, room, user->user.userID, count, props);
    }
    return false;
}

void *initialize(PluginID id, int, char **) {
    static int pluginDat;
    setPluginUserInfoSize(id, sizeof(KernelUserDat));
    return &pluginDat;
}

ClientMsg *screen(ServerState *ss, void *, ClientMsg *msg) {
    int kind;
    switch (msg->eventType) {
    case fourcc("talk"): kind = 0; break;
    case fourcc("uLoc"): kind = 1; break;
    case fourcc("usrF"): kind = 2; break;
    case fourcc("usrP"): kind = 3; break;
    default: return msg;
    }
    ServerUserRec *user = ss->currentUser;
    if (!user) return msg;
    auto *dat = static_cast<KernelUserDat *>(getPluginUserInfo(KERNEL_PLUGIN_ID, user));
    const ServerRoomRec *room = GetRoom(user->user.roomID);
    const int32_t kindBit = kindOf(room);
    const Rule *rule = CHAIN;
    while (rule && !(rule->roomsChecked & kindBit)) rule = rule->next;

    const auto *text = reinterpret_cast<const char *>(clientMsgBody(msg));
    const bool command = kind == 0 && msg->length > 1 && (text[0] == '`' || text[0] == '\'') &&
                         scanCommandWords(text + 1) >= 0;
    const bool refused = dat && rule && overLimit(dat->buckets[kind], *rule);
    return command || refused || occupantsRefuse(ss, room, user, kind, msg) ? nullptr : msg;
}

void nothingToDo(ServerState *, void *) {}
void noteUser(ServerState *, void *, ServerUserRec *) {}
void noteRoom(ServerState *, void *, ServerRoomRec *) {}
void noteEntry(ServerState *, void *, ServerUserRec *, ServerRoomRec *) {}
void timer(ServerState *, void *, void *data) { DisposePtr(data); }

}  // namespace

int scanCommandWords(const char *typed) {
    int found = -1;
    for (int i = 0; i < 57; ++i)
        if (sameWord(typed, COMMAND_WORDS[i]) && found < 0) found = i;
    return found;
}

sim::ModuleEntryPoints kernelModule(bool occupantScan) {
    theOccupantScan = occupantScan;
    sim::ModuleEntryPoints e;
    e.initializeServerPlugin = initialize;
    e.shutdownServerPlugin = nothingToDo;
    e.noteUserCreation = noteUser;
    e.noteUserDeletion = noteUser;
    e.noteRoomCreation = noteRoom;
    e.noteRoomDeletion = noteRoom;
    e.noteUserRoomEntry = noteEntry;
    e.handleMessage = screen;
    e.handleTimerEvent = timer;
    return e;
}

}  // namespace kestrom::bench
