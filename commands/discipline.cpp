// discipline.cpp - discipline commands: gags, pins, kills and sign-offs.
// PLACEHOLDER: routines not built yet; each returns 0 (the line goes on).
#include "commands/commands.h"

namespace kestrom {

KESTROM_COMMAND(pagegag) { return 0; }
KESTROM_COMMAND(unpagegag) { return 0; }
KESTROM_COMMAND(namegag) { return 0; }
KESTROM_COMMAND(unnamegag) { return 0; }
KESTROM_COMMAND(listgag) { return 0; }
KESTROM_COMMAND(unlistgag) { return 0; }
KESTROM_COMMAND(pinx) { return 0; }
KESTROM_COMMAND(killx) { return 0; }
KESTROM_COMMAND(signoff) { return 0; }

}  // namespace kestrom
