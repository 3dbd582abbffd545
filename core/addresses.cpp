// addresses.cpp - the connected users by address (see addresses.h).
#include "core/addresses.h"

namespace kestrom {

namespace {

int bucketOf(IPAddress address) {
    return static_cast<int>((address * 2654435761u) >> 20) & (ADDRESS_BUCKETS - 1);
}

void unlink(MyState *state, UserDat *ud) {
    if (ud->addressPrev) ud->addressPrev->addressNext = ud->addressNext;
    else state->addressBuckets[bucketOf(ud->filedAddress)] = ud->addressNext;
    if (ud->addressNext) ud->addressNext->addressPrev = ud->addressPrev;
    ud->addressNext = ud->addressPrev = nullptr;
    ud->addressFiled = false;
    ud->self = nullptr;
}

void fileAt(MyState *state, ServerUserRec *user, UserDat *ud, bool atHead) {
    ud->self = user;
    ud->filedAddress = user->netAddress.ipAddress;
    ud->addressFiled = true;
    UserDat **link = &state->addressBuckets[bucketOf(ud->filedAddress)];
    UserDat *prev = nullptr;
    if (!atHead)
        while (*link) {
            prev = *link;
            link = &prev->addressNext;
        }
    ud->addressPrev = prev;
    ud->addressNext = *link;
    if (*link) (*link)->addressPrev = ud;
    *link = ud;
}

// Files every user of the host's list, in list order; false when a user has
// no record to file it by (the table is then left unbuilt).
bool buildTable(ServerState *ss, MyState *state) {
    for (UserDat *&bucket : state->addressBuckets) {
        for (UserDat *ud = bucket; ud;) {
            UserDat *next = ud->addressNext;
            ud->addressNext = ud->addressPrev = nullptr;
            ud->addressFiled = false;
            ud->self = nullptr;
            ud = next;
        }
        bucket = nullptr;
    }
    state->addressTableBuilt = false;
    for (ServerUserRec *user = ss->userList; user; user = user->nextUser)
        if (!userDat(state, user)) return false;
    for (ServerUserRec *user = ss->userList; user; user = user->nextUser)
        fileAt(state, user, userDat(state, user), false);
    state->addressTableBuilt = true;
    return true;
}

void count(AddressSharers &sharers, ServerUserRec *other) {
    ++sharers.count;
    const int rank = UserRank(other);
    if (rank > sharers.highestRank) sharers.highestRank = rank;
    sharers.last = other;
}

}  // namespace

void fileUserAddress(ServerState *ss, MyState *state, ServerUserRec *user, UserDat *ud) {
    if (!state->addressTableBuilt) return; // the build will file it
    if (!user->nextUser) fileAt(state, user, ud, false);
    else if (ss && ss->userList == user) fileAt(state, user, ud, true);
    else state->addressTableBuilt = false;
}

void unfileUserAddress(MyState *state, UserDat *ud) {
    if (!ud || !ud->addressFiled) return;
    // Only a record found in its bucket is unlinked: a record of another
    // start of the module (or never cleared) is left alone.
    for (const UserDat *filed = state->addressBuckets[bucketOf(ud->filedAddress)]; filed; filed = filed->addressNext)
        if (filed == ud) {
            unlink(state, ud);
            return;
        }
}

AddressSharers usersSharingAddressByWalk(ServerState *ss, ServerUserRec *user) {
    AddressSharers sharers{0, RANK_GUEST, nullptr};
    for (ServerUserRec *other = ss->userList; other; other = other->nextUser)
        if (other->netAddress.ipAddress == user->netAddress.ipAddress) count(sharers, other);
    return sharers;
}

AddressSharers usersSharingAddress(ServerState *ss, MyState *state, ServerUserRec *user) {
    UserDat *mine = userDat(state, user);
    // A record filed under another address than the user has now: the
    // table is built again from the list.
    if (state->addressTableBuilt && (!mine || !mine->addressFiled || mine->self != user ||
                                     mine->filedAddress != user->netAddress.ipAddress))
        state->addressTableBuilt = false;
    if (!state->addressTableBuilt && !buildTable(ss, state)) return usersSharingAddressByWalk(ss, user);
    AddressSharers sharers{0, RANK_GUEST, nullptr};
    const IPAddress address = user->netAddress.ipAddress;
    for (UserDat *ud = state->addressBuckets[bucketOf(address)]; ud; ud = ud->addressNext)
        if (ud->filedAddress == address) count(sharers, ud->self);
    return sharers;
}

}  // namespace kestrom
