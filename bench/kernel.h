// kernel.h - the reference kernel: the least a screening module can do with
// a message, written as a module of its own so that the benchmarks drive it
// through exactly the same server path as kestrom (Server::screenOnly, the
// same world, the same prepared messages).  The speed goals are ratios of
// kestrom's time per message to this module's.
//
// Per message the kernel does a switch on the type, fetches its per-user
// record (getPluginUserInfo) and the user's room (GetRoom), walks a chain of
// three rules to the one that selects the room's kind, and makes one
// leaky-bucket update with one time() call.  For a command line it also
// scans the 57 command words, case-insensitively, from the first to the last.
#pragma once

#include "sim/module.h"

namespace kestrom::bench {

// The kernel's nine entry points.  With `occupantScan`, the floor variant:
// moves are also checked against every occupant's personal space (10
// pixels) and avatars against every occupant's props, one GetServerUser per
// occupied slot, as the host interface makes every module do.
sim::ModuleEntryPoints kernelModule(bool occupantScan = false);

// One pass of the 57-word scan over the word at `typed`: the index of the
// matching word, or -1.  Exposed so that the scan can be timed bare.
int scanCommandWords(const char *typed);

}  // namespace kestrom::bench
