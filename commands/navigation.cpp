// navigation.cpp - navigation and broadcast commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(find) { return 0; }
KESTROM_COMMAND(goto) { return 0; }
KESTROM_COMMAND(gotoroom) { return 0; }
KESTROM_COMMAND(gmsg) { return 0; }
KESTROM_COMMAND(kestrom) { return 0; }

}  // namespace kestrom
