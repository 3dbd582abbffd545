// timers.cpp - handleTimerEvent: the module's timed work.
// PLACEHOLDER: frees every event until the timer actions land.
#include "core/state.h"

extern "C" void handleTimerEvent(ServerState *, void *pluginDat, void *timerDat) {
    if (!pluginDat) return;
    DisposePtr(timerDat);
}
