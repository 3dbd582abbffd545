// props.cpp - the loose-prop rules (frozen props, the same prop too close to
// itself) and the duplicate-avatar test.
//
// Loose props lie in the room's variable buffer as a chain of LPropRec
// records linked by offsets.  The chain comes from the host's buffer, so the
// walk trusts none of it: every offset goes through getInVarBuf, a record is
// read only when all of it lies within varBufAlloc, and a chain that loops
// ends after nbrLProps records.
#include "core/helpers.h"
#include "limits/common.h"
#include "limits/limits.h"

#include <type_traits>

namespace kestrom {

namespace {

// Walks a room's loose props in chain order.
class LoosePropWalk {
  public:
    explicit LoosePropWalk(ServerRoomRec *room)
        : room_(room), offset_(offsetOf(room->room.firstLProp)), remaining_(room->room.nbrLProps) {}

    // The next record (its address in the buffer, its fields copied into
    // `prop`), or null at the end of the chain or at a bad offset.
    const LPropRec *next(LPropRec &prop) {
        if (remaining_ == 0 || !room_->varBuf) return nullptr;
        void *at = getInVarBuf(room_, offset_, 3);
        if (!at || uint64_t{offset_} + sizeof(LPropRec) > room_->varBufAlloc) return nullptr;
        std::memcpy(&prop, at, sizeof prop);
        --remaining_;
        offset_ = offsetOf(prop.link.nextOfst);
        return static_cast<const LPropRec *>(at);
    }

  private:
    // A negative offset becomes one far past any buffer.
    static uint32_t offsetOf(sint16 ofst) { return static_cast<uint32_t>(int32_t{ofst}); }

    ServerRoomRec *room_;
    uint32_t offset_;
    uint32_t remaining_;
};

// Both sorted lists hold the same ids, position by position.
bool sameIds(const AssetSpec *a, const AssetSpec *b, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        if (a[i].id != b[i].id) return false;
    return true;
}

}  // namespace

int loosePropsFrozen(MyState *state, ServerUserRec *user, ServerRoomRec *room, const RoomDat *rd) {
    if (!rd) return 0;
    if ((rd->flags & RF_RPROPFREEZE) && !isMemberOwnerOf(user, room)) {
        UserMessage(user, "%s", "The owner has frozen loose props here");
        traceFixed(state, user, rule::RPROPFREEZE, true, true);
        return 1;
    }
    if (rd->flags & RF_PROPFREEZE) {
        UserMessage(user, "%s", "Sorry, loose props have been frozen here");
        traceFixed(state, user, rule::PROPFREEZE, true, true);
        return 1;
    }
    return 0;
}

LPropRec *findPropInRoom(ServerState *serverState, MyState *, int32_t propNum) {
    ServerRoomRec *room = getUserRoom(serverState->currentUser);
    if (!room || room->room.nbrLProps == 0 || propNum < 0) return nullptr;
    LoosePropWalk walk(room);
    LPropRec prop;
    for (int32_t index = 0; const LPropRec *at = walk.next(prop); ++index)
        if (index == propNum) return const_cast<LPropRec *>(at);
    return nullptr;
}

int anotherPropAlreadyAt(ServerState *serverState, MyState *state, const LPropRec *roomprop,
                         AssetSpec propSpec, Point loc) {
    ServerUserRec *user = serverState->currentUser;
    UserDat *ud = userDat(state, user);
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return refusedInNoRoom(state, user);
    if (isPrivileged(user)) return 0;
    const LimitValue *zone = getRoomRule(state, P_ZONE, room);
    if (!zone) return 0;

    LoosePropWalk walk(room);
    LPropRec prop;
    while (const LPropRec *at = walk.next(prop)) {
        if (at == roomprop || prop.propSpec.id != propSpec.id) continue;
        if (!withinDistance(loc, prop.loc, zone->maximum)) continue;
        const bool told = (zone->roomsChecked & RC_WARN) &&
                          warnOnce(user, ud, P_ZONE, "Duplicate props are limited here");
        traceRule(state, user, P_ZONE, zone, room, true, told);
        return 1;
    }
    traceRule(state, user, P_ZONE, zone, room, false, false);
    return 0;
}

int isBadPropMove(ServerState *serverState, MyState *state, const PropMove *pm) {
    ServerUserRec *user = serverState->currentUser;
    ServerRoomRec *room = getUserRoom(user);
    if (!room) return refusedInNoRoom(state, user);
    if (loosePropsFrozen(state, user, room, roomDat(state, room))) return 1;
    const LPropRec *prop = findPropInRoom(serverState, state, pm->propID);
    if (!prop) return 0; // the host deals with an index that names no prop
    LPropRec copy;
    std::memcpy(&copy, prop, sizeof copy);
    return anotherPropAlreadyAt(serverState, state, prop, copy.propSpec, pm->pos);
}

void copyAndSortProps(const AssetSpec *input, AssetSpec *output, int32_t count) {
    for (int32_t i = 0; i < count; ++i) output[i] = input[i];
    for (int32_t i = 0; i < count; ++i)
        for (int32_t j = i + 1; j < count; ++j)
            if (output[i].id > output[j].id) {
                const AssetSpec swap = output[i];
                output[i] = output[j];
                output[j] = swap;
            }
}

namespace {

// The first occupied slot of the room, other than `ignored`'s, whose
// connected user `wears`; -1 when there is none.
template <int Ahead = 0, typename Wears>
int firstWearer(const ServerState *serverState, MyState *state, const UserID *occupants, UserID ignored,
                Wears wears) {
    return firstOccupantWhere<Ahead>(state, occupants, serverState->maxPeoplePerRoom, ignored,
                              [&wears](const ServerUserRec &other) { return wears(other.user); });
}

// Whether an occupant wears the same `Count` props (0, or 2 to 9) as `props`, in
// any order.  The count is fixed for the scan, so the signature of each
// occupant's props is taken without a loop.
template <int32_t Count>
class SameProps {
  public:
    explicit SameProps(const AssetSpec *props) : props_(props), signature_(propListSignature(props, Count)) {}

    bool operator()(const UserRec &other) {
        if (propListSignature(other.propSpec, Count) != signature_ || other.nbrProps != Count) return false;
        if (!sorted_) {
            copyAndSortProps(props_, wanted_, Count);
            sorted_ = true;
        }
        AssetSpec worn[KESTROM_MAX_WORN_PROPS];
        copyAndSortProps(other.propSpec, worn, Count);
        return sameIds(wanted_, worn, Count);
    }

  private:
    const AssetSpec *props_;
    uint32_t signature_;
    bool sorted_ = false;
    AssetSpec wanted_[KESTROM_MAX_WORN_PROPS];
};

// How many slots ahead a scan for several props fetches the props it will
// read: their list spans more of the record than one prop.
constexpr int MANY_PROPS_AHEAD = 12;

// f(std::integral_constant<int32_t, count>) for a count of 0 or 2 to 9.
template <typename F>
int withCount(int32_t count, F f) {
    switch (count) {
    case 0: return f(std::integral_constant<int32_t, 0>{});
    case 2: return f(std::integral_constant<int32_t, 2>{});
    case 3: return f(std::integral_constant<int32_t, 3>{});
    case 4: return f(std::integral_constant<int32_t, 4>{});
    case 5: return f(std::integral_constant<int32_t, 5>{});
    case 6: return f(std::integral_constant<int32_t, 6>{});
    case 7: return f(std::integral_constant<int32_t, 7>{});
    case 8: return f(std::integral_constant<int32_t, 8>{});
    default: return f(std::integral_constant<int32_t, 9>{});
    }
}

}  // namespace

// An occupant's props are first compared by their signature, which does not
// depend on their order: only lists with the same signature are copied,
// sorted and compared id by id, so a scan costs occupants x props.  The
// signature is taken before the occupant's number of props is read (a list
// that differs in its first nbrProps entries differs either way): most
// occupants are then settled by the part of the record that holds the ID.
// A single prop is its own signature.
int isThereADuplicateAvatar(ServerState *serverState, MyState *state, ServerRoomRec *room,
                            ServerUserRec *ignoreuser, int32_t nbrProps, const AssetSpec *props,
                            UserID *wearer) {
    if (wearer) *wearer = 0;
    if (nbrProps < 0 || nbrProps > KESTROM_MAX_WORN_PROPS) return 1;
    const UserID *occupants = room->occupants;
    if (isPrivileged(serverState->currentUser) || !occupants) return 0;
    const UserID ignored = ignoreuser ? ignoreuser->user.userID : 0;
    int slot;
    if (nbrProps == 1) {
        const AssetID only = props[0].id;
        slot = firstWearer(serverState, state, occupants, ignored,
                           [only](const UserRec &other) { return other.propSpec[0].id == only && other.nbrProps == 1; });
    } else {
        slot = withCount(nbrProps, [&](auto count) {
            return firstWearer<MANY_PROPS_AHEAD>(serverState, state, occupants, ignored, SameProps<count()>(props));
        });
    }
    if (slot < 0) return 0;
    if (wearer) *wearer = occupants[slot];
    return 1;
}

}  // namespace kestrom
