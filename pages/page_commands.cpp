// page_commands.cpp - page commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(gpage) { return 0; }
KESTROM_COMMAND(rpage) { return 0; }
KESTROM_COMMAND(roompage) { return 0; }
KESTROM_COMMAND(respond) { return 0; }
KESTROM_COMMAND(er) { return 0; }

}  // namespace kestrom
