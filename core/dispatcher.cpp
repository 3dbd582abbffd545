// dispatcher.cpp - handleMessage: every client message, passed or swallowed.
// PLACEHOLDER: passes every message until the screening lands.
#include "core/state.h"

extern "C" ClientMsg *handleMessage(ServerState *, void *, ClientMsg *msg) { return msg; }
