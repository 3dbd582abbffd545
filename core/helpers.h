// helpers.h - small routines over host records that screening and commands
// share: naming users and addresses, speaking or moving on a user's behalf,
// ownership, hidden users, the room's variable buffer, and re-syncing a
// client.  Also the readers of message bodies.
#pragma once

#include "core/state.h"

#include <cstring>

namespace kestrom {

// Byte-order probe: its first byte in memory is nonzero on little-endian.
extern const int32_t theEndianTest;

constexpr size_t IPSTR_SIZE = 24;
constexpr size_t NAME_SIZE = 32; // 31 characters and the NUL

// Logs "addr key1 key2 \"name\"" of target under tag `action`, as actor.
void makeServerActionLog(ServerState *serverState, MyState *state, ServerUserRec *actor,
                         const char *action, ServerUserRec *target);
// Writes the user's address in dotted form.
void getUserIP(char *ipstr, const ServerUserRec *user);
// Makes user say (target 0) or whisper msg through the whole message path.
void generateChat(ServerState *serverState, MyState *state, ServerUserRec *user, const char *msg,
                  UserID target);
// Submits a room-change request for user, as if the client had sent it.
void generateGotoRoom(ServerState *serverState, MyState *state, ServerUserRec *user, RoomID roomID);
// The user's name as a C string of at most 31 characters.
void getCUserName(char *cstring, const ServerUserRec *user);
// 1 when user owns member room `room` and has rank 1 or more.
int isRoomOwner(ServerState *serverState, MyState *state, ServerUserRec *user, ServerRoomRec *room);
// 1 when targetUser is hidden from user (who has then been told so).
int userIsHidden(ServerState *serverState, MyState *state, ServerUserRec *targetUser,
                 ServerUserRec *user);
// The address varBuf + offset, or null when offset is 0, past varBufAlloc or
// misaligned (offset & align).
void *getInVarBuf(ServerRoomRec *room, uint32_t offset, uint32_t align);
// The room the user is in, or null.
ServerRoomRec *getUserRoom(const ServerUserRec *user);
// Sends the current user's own client its description, position and name.
void resetUser(ServerState *serverState, MyState *state);
// Clears the drawings of the current user's room.
void resetDraw(ServerState *serverState, MyState *state);

// ---------------------------------------------------------- shared tests

// Host flags 0x0001 or 0x0002: the message rules do not apply.
inline bool isPrivileged(const ServerUserRec *user) {
    return user && (user->flags & (HF_EXEMPT_A | HF_EXEMPT_B)) != 0;
}

// The user's counter is the room's member owner (the room rules' sense of
// "the room's member owner"; no rank or lastOwnedRoom test).
inline bool isMemberOwnerOf(const ServerUserRec *user, const ServerRoomRec *room) {
    return user && room && user->counter == room->memberOwner;
}

// The user owns the room: lastOwnedRoom is it and memberOwner is the user.
inline bool ownsRoom(const ServerUserRec *user, const ServerRoomRec *room) {
    return user && room && user->lastOwnedRoom == room && room->memberOwner == user->counter;
}

// The connected user with this ID, as GetServerUser answers, or null: from
// the users at hand when the slot of the ID holds that user, otherwise asked
// of the host and then kept at hand.  A user is kept only under its own ID,
// never under ID 0, so a slot never matches an empty occupant slot.
inline ServerUserRec *connectedUser(MyState *state, UserID id) {
    ServerUserRec *&slot = state->usersAtHand[id & (USERS_AT_HAND - 1)];
    if (ServerUserRec *held = slot; held && held->user.userID == id) return held;
    ServerUserRec *user = GetServerUser(id);
    if (user && id != 0 && user->user.userID == id) slot = user;
    return user;
}

// The part of connectedUser that asks the host, out of line: the scans take
// it only for a user not yet at hand.
ServerUserRec *connectedUserFromHost(MyState *state, UserID id);

// The first of the room's `slots` occupant slots whose connected user, not
// the one of ID `skip`, passes `test` (a test of the record alone); -1 when
// none does.  Empty slots (ID 0) and IDs of no connected user are skipped,
// as is `skip` before any look-up.  The users at hand answer for the
// occupants (connectedUser); `test` is made before the comparison with
// `skip`, which is then made only for a user that passed.  With `Ahead`
// above 0, the ID and worn props of the user at hand `Ahead` slots on are fetched
// into the cache meanwhile (for tests that read all of them).
template <int Ahead = 0, typename Test>
inline int firstOccupantWhere(MyState *state, const UserID *occupants, int slots, UserID skip, Test &&test) {
    ServerUserRec *const *atHand = state->usersAtHand;
    for (int slot = 0; slot < slots; ++slot) {
        if constexpr (Ahead > 0) {
            if (slot + Ahead < slots)
                if (const ServerUserRec *next = atHand[occupants[slot + Ahead] & (USERS_AT_HAND - 1)]) {
                    __builtin_prefetch(&next->user.userID);
                    __builtin_prefetch(&next->user.propSpec[KESTROM_MAX_WORN_PROPS - 1]);
                }
        }
        const UserID id = occupants[slot];
        const ServerUserRec *other = atHand[id & (USERS_AT_HAND - 1)];
        if (!other || other->user.userID != id) [[unlikely]] {
            if (id == 0 || id == skip) continue;
            other = connectedUserFromHost(state, id);
            if (!other) continue;
        }
        if (test(*other) && id != skip) [[unlikely]]
            return slot;
    }
    return -1;
}

// Keeps a new user at hand; forgets a departing one.
inline void holdUserAtHand(MyState *state, ServerUserRec *user) {
    if (user->user.userID != 0) state->usersAtHand[user->user.userID & (USERS_AT_HAND - 1)] = user;
}
inline void dropUserAtHand(MyState *state, const ServerUserRec *user) {
    ServerUserRec *&slot = state->usersAtHand[user->user.userID & (USERS_AT_HAND - 1)];
    if (slot == user) slot = nullptr;
}

// Makes the pin prop the user's only worn prop and shows it to the room.
void wearOnlyPinProp(ServerUserRec *user);

// value truncated toward zero as a 32-bit number: 0 for NaN, held at the
// range's ends beyond it.
int32_t truncatedInt32(double value);

// A new zeroed message of `type` with bodyLength bytes of body, or null.
ClientMsg *newMessage(uint32 type, uint32 bodyLength, sint32 refNum);

// Sends a rule's warning text, once per kind in a row: only when `index`
// differs from the user's lastWarning, which it then becomes.  Without a
// UserDat nothing is sent.  True when the text was sent.
bool warnOnce(ServerUserRec *user, UserDat *ud, int32_t index, const char *text);

// The room is closed (host flag) or has a password: the host keeps
// everyone out of it.
inline bool isClosedOrPassworded(const ServerRoomRec *room) {
    return (room->room.roomFlags & RMF_CLOSED) || room->roomPassword[0] != 0;
}

// The room's name as text: "room name too long" past 31 characters; an
// empty text when the name does not lie within the room's buffer.
const char *roomNameText(const ServerRoomRec *room, char (&buf)[NAME_SIZE]);

// A zeroed TimerEvent {userID, action} scheduled after `seconds`; false when
// memory ran out (nothing scheduled).
bool scheduleUserEvent(MyState *state, UserID userID, int32_t action, int32_t seconds);

// ------------------------------------------------------ message bodies

// Field readers for message bodies and buffers, safe at any alignment.
template <typename T>
inline T readField(const void *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
inline void writeField(void *p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// A length of text within n bytes: the index of the first NUL, or -1.
inline long textLengthWithin(const unsigned char *p, size_t n) {
    const void *nul = std::memchr(p, 0, n);
    return nul ? static_cast<const unsigned char *>(nul) - p : -1;
}

}  // namespace kestrom
