// room_discipline.cpp - member room discipline commands.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(rgag) { return 0; }
KESTROM_COMMAND(rungag) { return 0; }
KESTROM_COMMAND(rpin) { return 0; }
KESTROM_COMMAND(runpin) { return 0; }
KESTROM_COMMAND(rpropgag) { return 0; }
KESTROM_COMMAND(runpropgag) { return 0; }
KESTROM_COMMAND(rkick) { return 0; }
KESTROM_COMMAND(runkick) { return 0; }
KESTROM_COMMAND(rbanlist) { return 0; }

}  // namespace kestrom
