// passthrough.cpp - a module that starts, keeps no state and passes every
// message untouched.  Built only for the benchmarks, as the baseline that
// the screening figures are set against: the cost of the simulated server
// delivering a message to a module and carrying it out.
#include "core/host.h"

namespace {
int passthroughState; // a non-null pluginDat
}

extern "C" {

void *initializeServerPlugin(PluginID, int, char **) { return &passthroughState; }
void shutdownServerPlugin(ServerState *, void *) {}
void noteUserCreation(ServerState *, void *, ServerUserRec *) {}
void noteUserDeletion(ServerState *, void *, ServerUserRec *) {}
void noteRoomCreation(ServerState *, void *, ServerRoomRec *) {}
void noteRoomDeletion(ServerState *, void *, ServerRoomRec *) {}
void noteUserRoomEntry(ServerState *, void *, ServerUserRec *, ServerRoomRec *) {}
ClientMsg *handleMessage(ServerState *, void *, ClientMsg *msg) { return msg; }
void handleTimerEvent(ServerState *, void *, void *timerDat) { DisposePtr(timerDat); }

}  // extern "C"
