// sanctions.cpp - each room's register of disciplined users, and room entry.
//
// A room remembers a disciplined user by address, client counter and PUID at
// once, so that a sanction outlives reconnection and a change of name.  The
// newest entry stands first; a full list gives up its oldest entry.
#include "core/helpers.h"
#include "core/memory.h"
#include "core/trace.h"
#include "limits/limits.h"
#include "rooms/rooms.h"

namespace kestrom {

namespace {

// An entry matches the user by address; by counter unless the user is a
// guest (guests share client counters); or by PUID.  An identity of 0 is
// "unknown" and recognises nobody.
bool matchesUser(const RoomBadActor *entry, ServerUserRec *user) {
    if (entry->ipAddress == static_cast<int32_t>(user->netAddress.ipAddress)) return true;
    const auto counter = static_cast<int32_t>(user->counter);
    if (counter != 0 && entry->counter == counter && UserRank(user) != RANK_GUEST) return true;
    const auto puid = static_cast<int32_t>(user->puidCtr);
    return puid != 0 && entry->puid == puid;
}

// ------------------------------------------------------------ indexes
//
// Every entry is filed by address, and by counter and PUID when they are
// not 0 (an identity of 0 recognises nobody), in buckets of MyState shared
// by all rooms.  A bucket is newest first: an entry goes in at the head when
// it is made, and entries never move.

int32_t keyOf(const RoomBadActor *entry, int key) {
    return key == BY_ADDRESS ? entry->ipAddress : key == BY_COUNTER ? entry->counter : entry->puid;
}

bool isFiledBy(const RoomBadActor *entry, int key) { return key == BY_ADDRESS || keyOf(entry, key) != 0; }

constexpr int SANCTION_BUCKET_BITS = 12;
static_assert(SANCTION_BUCKETS == 1 << SANCTION_BUCKET_BITS);

RoomBadActor *&bucketOf(MyState *state, int key, const RoomDat *rd, int32_t value) {
    const uint64_t h = (reinterpret_cast<uintptr_t>(rd) ^ (static_cast<uint64_t>(static_cast<uint32_t>(value)) << 16)) *
                       0x9E3779B97F4A7C15ull;
    return state->sanctionBuckets[key][h >> (64 - SANCTION_BUCKET_BITS)];
}

void fileEntry(MyState *state, RoomDat *rd, RoomBadActor *entry) {
    entry->room = rd;
    entry->order = ++state->lastSanctionOrder;
    for (int key = 0; key < SANCTION_KEYS; ++key) {
        if (!isFiledBy(entry, key)) continue;
        RoomBadActor *&bucket = bucketOf(state, key, rd, keyOf(entry, key));
        entry->sameKey[key] = bucket;
        bucket = entry;
    }
}

void unfileEntry(MyState *state, RoomBadActor *entry) {
    for (int key = 0; key < SANCTION_KEYS; ++key) {
        if (!isFiledBy(entry, key)) continue;
        for (RoomBadActor **link = &bucketOf(state, key, entry->room, keyOf(entry, key)); *link;
             link = &(*link)->sameKey[key])
            if (*link == entry) {
                *link = entry->sameKey[key];
                break;
            }
        entry->sameKey[key] = nullptr;
    }
}

// The newest entry of the room filed under `value` by `key`, or null.
RoomBadActor *newestBy(MyState *state, int key, const RoomDat *rd, int32_t value) {
    for (RoomBadActor *entry = bucketOf(state, key, rd, value); entry; entry = entry->sameKey[key])
        if (entry->room == rd && keyOf(entry, key) == value) return entry;
    return nullptr;
}

// The first entry of the room's list that matches the user (matchesUser),
// or null: the newest of the newest entries by each identity that counts.
RoomBadActor *findEntry(MyState *state, RoomDat *rd, ServerUserRec *user) {
    if (!rd->badActorList) return nullptr;
    if (rd->badActorIndex != state) { // entries filed elsewhere: walk the list
        for (RoomBadActor *entry = rd->badActorList; entry; entry = entry->next)
            if (matchesUser(entry, user)) return entry;
        return nullptr;
    }
    const auto address = static_cast<int32_t>(user->netAddress.ipAddress);
    const auto counter = static_cast<int32_t>(user->counter);
    const auto puid = static_cast<int32_t>(user->puidCtr);
    // The three buckets are read at once rather than one after the other.
    __builtin_prefetch(&bucketOf(state, BY_COUNTER, rd, counter));
    __builtin_prefetch(&bucketOf(state, BY_PUID, rd, puid));
    RoomBadActor *found = newestBy(state, BY_ADDRESS, rd, address);
    if (counter != 0) {
        RoomBadActor *byCounter = newestBy(state, BY_COUNTER, rd, counter);
        if (byCounter && (!found || byCounter->order > found->order) && UserRank(user) != RANK_GUEST)
            found = byCounter;
    }
    if (puid != 0) {
        RoomBadActor *byPuid = newestBy(state, BY_PUID, rd, puid);
        if (byPuid && (!found || byPuid->order > found->order)) found = byPuid;
    }
    return found;
}

int32_t listCapacity(const MyState *state) {
    return state->mroomdiscipline > 0 ? state->mroomdiscipline : DEFAULT_BAD_ACTOR_CAPACITY;
}

// Asks for what removing the entry reads, all at once.
void prefetchRemoval(const RoomDat *rd, RoomBadActor *entry) {
    if (!rd->badActorIndex) return;
    for (int key = 0; key < SANCTION_KEYS; ++key)
        if (isFiledBy(entry, key)) __builtin_prefetch(&bucketOf(rd->badActorIndex, key, entry->room, keyOf(entry, key)));
    if (entry->newer) __builtin_prefetch(entry->newer, 1);
}

// Unlinks an entry from its room's list and indexes and frees it.
void removeEntry(RoomDat *rd, RoomBadActor *entry) {
    if (rd->badActorIndex) unfileEntry(rd->badActorIndex, entry);
    RoomBadActor **link = entry->newer ? &entry->newer->next : &rd->badActorList;
    *link = entry->next;
    if (entry->next) entry->next->newer = entry->newer;
    else rd->oldestBadActor = entry->newer;
    --rd->badActors;
    DisposePtr(entry);
}

// A new entry recording the user's identities and name, or null.
RoomBadActor *newEntry(ServerUserRec *user, int32_t sanction) {
    RoomBadActor *entry = newZeroed<RoomBadActor>();
    if (!entry) return nullptr;
    entry->flags = sanction;
    entry->counter = static_cast<int32_t>(user->counter);
    entry->puid = static_cast<int32_t>(user->puidCtr);
    entry->ipAddress = static_cast<int32_t>(user->netAddress.ipAddress);
    getCUserName(entry->username, user);
    return entry;
}

}  // namespace

void forgetBadActorIndex(RoomDat *rd) {
    if (rd->badActorIndex)
        for (RoomBadActor *entry = rd->badActorList; entry; entry = entry->next) unfileEntry(rd->badActorIndex, entry);
    rd->badActorIndex = nullptr;
}

void freeBadActorList(RoomDat *rd) {
    while (RoomBadActor *entry = rd->badActorList) removeEntry(rd, entry);
    rd->oldestBadActor = nullptr;
    rd->badActors = 0;
    rd->badActorIndex = nullptr;
}

void rememberPerp(ServerState *, MyState *state, ServerUserRec *user, ServerRoomRec *room,
                  int32_t sanction) {
    RoomDat *rd = roomDat(state, room);
    if (!rd || !user || !sanction) return;
    if (rd->oldestBadActor) __builtin_prefetch(rd->oldestBadActor); // likely to go
    if (RoomBadActor *entry = findEntry(state, rd, user)) {
        entry->flags |= sanction;
        return;
    }
    if (rd->badActors >= listCapacity(state) && rd->oldestBadActor) {
        prefetchRemoval(rd, rd->oldestBadActor);
        removeEntry(rd, rd->oldestBadActor);
    }
    RoomBadActor *entry = newEntry(user, sanction);
    if (!entry) return;
    if (!rd->badActorList) rd->badActorIndex = state;
    entry->next = rd->badActorList;
    if (entry->next) entry->next->newer = entry;
    else rd->oldestBadActor = entry;
    rd->badActorList = entry;
    ++rd->badActors;
    if (rd->badActorIndex) fileEntry(rd->badActorIndex, rd, entry);
}

void forgivePerp(ServerState *, MyState *state, ServerUserRec *user, ServerRoomRec *room,
                 int32_t sanction) {
    RoomDat *rd = roomDat(state, room);
    if (!rd || !user) return;
    for (RoomBadActor *entry = rd->badActorList; entry; entry = entry->next) {
        if (!matchesUser(entry, user)) continue;
        entry->flags &= ~sanction;
        if (entry->flags != 0) continue;
        removeEntry(rd, entry);
        return;
    }
}

// The UserDat argument is not read: matching needs only the host's record
// of the user (no client type is ever exempted).
int32_t getUserSanctions(MyState *state, ServerUserRec *user, ServerRoomRec *room, UserDat *) {
    if (!user || !room) return 0;
    if (room->memberOwner != 0 && ownsRoom(user, room)) return 0;
    if (UserRank(user) >= RANK_WIZARD) return 0;
    RoomDat *rd = roomDat(state, room);
    if (!rd) return 0;
    const RoomBadActor *entry = findEntry(state, rd, user);
    return entry ? entry->flags : 0;
}

int roomEntryPermitted(ServerState *, MyState *state, RoomID dest, ServerUserRec *user) {
    if (!user) return 0;
    if (UserRank(user) >= RANK_GOD) return 1;
    ServerRoomRec *room = GetRoom(dest);
    if (const LimitValue *godonly = getRoomRule(state, P_GODONLY, room)) {
        UserMessage(user, "%s", "Sorry, only owners are permitted in that room");
        traceRule(state, user, P_GODONLY, godonly, room, true, true);
        return 0;
    }
    if (!room) return 1;
    if (getUserSanctions(state, user, room, nullptr) & SANCTION_KICK) {
        UserMessage(user, "%s", "Sorry - you've been kicked from that room");
        traceSanctions(state, user, rule::KICK, room, SANCTION_KICK, true, true);
        return 0;
    }
    return 1;
}

}  // namespace kestrom
