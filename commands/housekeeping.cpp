// housekeeping.cpp - room housekeeping commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(clean) { return 0; }
KESTROM_COMMAND(pdel) { return 0; }
KESTROM_COMMAND(nolooseprops) { return 0; }
KESTROM_COMMAND(propfreeze) { return 0; }

}  // namespace kestrom
