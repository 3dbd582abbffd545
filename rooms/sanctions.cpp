// sanctions.cpp - each room's register of disciplined users, and room entry.
#include "core/memory.h"
#include "rooms/rooms.h"

namespace kestrom {

void freeBadActorList(RoomDat *rd) {
    while (RoomBadActor *entry = rd->badActorList) {
        rd->badActorList = entry->next;
        DisposePtr(entry);
    }
}

// PLACEHOLDER: the register is not built yet.
void rememberPerp(ServerState *, MyState *, ServerUserRec *, ServerRoomRec *, int32_t) {}
void forgivePerp(ServerState *, MyState *, ServerUserRec *, ServerRoomRec *, int32_t) {}
int32_t getUserSanctions(MyState *, ServerUserRec *, ServerRoomRec *, UserDat *) { return 0; }
int roomEntryPermitted(ServerState *, MyState *, RoomID, ServerUserRec *) { return 1; }

}  // namespace kestrom
