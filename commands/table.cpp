// table.cpp - the command table.
// PLACEHOLDER: no rows yet.
#include "commands/commands.h"

namespace kestrom {

CmdTable cmdTable[NBR_COMMANDS];

void resetCommandRanks() {}
CmdTable *findCommand(MyState *, const char *) { return nullptr; }

}  // namespace kestrom
