// ownership.cpp - member room ownership commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(newroom) { return 0; }
KESTROM_COMMAND(myroom) { return 0; }
KESTROM_COMMAND(rowner) { return 0; }
KESTROM_COMMAND(rtake) { return 0; }
KESTROM_COMMAND(rdelete) { return 0; }
KESTROM_COMMAND(rwho) { return 0; }
KESTROM_COMMAND(roomprefs) { return 0; }

}  // namespace kestrom
