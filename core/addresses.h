// addresses.h - the connected users by address, for the duplicate-address
// check at logon: one bucket per hash of the address, each bucket in the
// order of the host's user list, so that the users sharing an address are
// found, in list order, without a walk of every connected user.
#pragma once

#include "core/state.h"

namespace kestrom {

// Files a user who has just arrived (its UserDat cleared).  A user that the
// host did not put at either end of its list leaves the table to be built
// again from the list when next needed.
void fileUserAddress(ServerState *serverState, MyState *state, ServerUserRec *user, UserDat *ud);
// Takes a user out of the table (departure, stop).
void unfileUserAddress(MyState *state, UserDat *ud);

// What the users sharing an address are: how many (the user itself among
// them), the highest rank among them and the last of them in list order.
struct AddressSharers {
    int count;
    int highestRank;
    ServerUserRec *last;
};

// The users of the host's list whose address is the user's, counted as a
// walk of the whole list would, from the table when it can be trusted.
AddressSharers usersSharingAddress(ServerState *serverState, MyState *state, ServerUserRec *user);
// The same by a walk of the host's list.
AddressSharers usersSharingAddressByWalk(ServerState *serverState, ServerUserRec *user);

}  // namespace kestrom
