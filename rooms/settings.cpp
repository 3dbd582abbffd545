// settings.cpp - member room settings commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(rlimit) { return 0; }
KESTROM_COMMAND(rnodupavatars) { return 0; }
KESTROM_COMMAND(rnolooseprops) { return 0; }
KESTROM_COMMAND(rpropfreeze) { return 0; }
KESTROM_COMMAND(roperatorsonly) { return 0; }
KESTROM_COMMAND(rlockdown) { return 0; }
KESTROM_COMMAND(rannounce) { return 0; }
KESTROM_COMMAND(rmsg) { return 0; }

}  // namespace kestrom
