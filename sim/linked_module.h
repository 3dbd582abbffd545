// linked_module.h - the entry points of a module linked into the program
// itself (kestrom_core), for test programs that drive the module without
// dlopen.  Only such programs include this header: the simulated server's
// library never names the module's symbols.
#pragma once

#include "sim/module.h"

namespace kestrom::sim {

inline ModuleEntryPoints linkedModule() {
    ModuleEntryPoints e;
    e.initializeServerPlugin = &::initializeServerPlugin;
    e.shutdownServerPlugin = &::shutdownServerPlugin;
    e.noteUserCreation = &::noteUserCreation;
    e.noteUserDeletion = &::noteUserDeletion;
    e.noteRoomCreation = &::noteRoomCreation;
    e.noteRoomDeletion = &::noteRoomDeletion;
    e.noteUserRoomEntry = &::noteUserRoomEntry;
    e.handleMessage = &::handleMessage;
    e.handleTimerEvent = &::handleTimerEvent;
    return e;
}

}  // namespace kestrom::sim
