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

// The first entry of the list that matches the user, or null.
RoomBadActor *findEntry(RoomBadActor *list, ServerUserRec *user) {
    for (RoomBadActor *entry = list; entry; entry = entry->next)
        if (matchesUser(entry, user)) return entry;
    return nullptr;
}

int32_t listLength(const RoomBadActor *list) {
    int32_t count = 0;
    for (; list; list = list->next) ++count;
    return count;
}

int32_t listCapacity(const MyState *state) {
    return state->mroomdiscipline > 0 ? state->mroomdiscipline : DEFAULT_BAD_ACTOR_CAPACITY;
}

// Unlinks and frees the last (oldest) entry of a non-empty list.
void dropOldestEntry(RoomDat *rd) {
    RoomBadActor **link = &rd->badActorList;
    while ((*link)->next) link = &(*link)->next;
    disposeAndClear(*link);
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

void freeBadActorList(RoomDat *rd) {
    while (RoomBadActor *entry = rd->badActorList) {
        rd->badActorList = entry->next;
        DisposePtr(entry);
    }
}

void rememberPerp(ServerState *, MyState *state, ServerUserRec *user, ServerRoomRec *room,
                  int32_t sanction) {
    RoomDat *rd = roomDat(state, room);
    if (!rd || !user || !sanction) return;
    if (RoomBadActor *entry = findEntry(rd->badActorList, user)) {
        entry->flags |= sanction;
        return;
    }
    if (listLength(rd->badActorList) >= listCapacity(state)) dropOldestEntry(rd);
    RoomBadActor *entry = newEntry(user, sanction);
    if (!entry) return;
    entry->next = rd->badActorList;
    rd->badActorList = entry;
}

void forgivePerp(ServerState *, MyState *state, ServerUserRec *user, ServerRoomRec *room,
                 int32_t sanction) {
    RoomDat *rd = roomDat(state, room);
    if (!rd || !user) return;
    for (RoomBadActor **link = &rd->badActorList; *link; link = &(*link)->next) {
        RoomBadActor *entry = *link;
        if (!matchesUser(entry, user)) continue;
        entry->flags &= ~sanction;
        if (entry->flags != 0) continue;
        *link = entry->next;
        DisposePtr(entry);
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
    const RoomBadActor *entry = findEntry(rd->badActorList, user);
    return entry ? entry->flags : 0;
}

int roomEntryPermitted(ServerState *, MyState *state, RoomID dest, ServerUserRec *user) {
    if (!user) return 0;
    if (UserRank(user) >= RANK_GOD) return 1;
    ServerRoomRec *room = GetRoom(dest);
    if (const LimitValue *godonly = getRoomLimitIn(state, state->limits[P_GODONLY], room)) {
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
