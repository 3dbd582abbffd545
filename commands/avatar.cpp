// avatar.cpp - avatar and position commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(chat) { return 0; }
KESTROM_COMMAND(dress) { return 0; }
KESTROM_COMMAND(naked) { return 0; }
KESTROM_COMMAND(move) { return 0; }
KESTROM_COMMAND(setpos) { return 0; }
KESTROM_COMMAND(setface) { return 0; }
KESTROM_COMMAND(setcolor) { return 0; }
KESTROM_COMMAND(take) { return 0; }
KESTROM_COMMAND(reset) { return 0; }
KESTROM_COMMAND(userprefs) { return 0; }

}  // namespace kestrom
