// console.h - kestrom-sim's console: directives typed at a terminal, with
// line editing, history and completion where the build has them; plain
// lines from a pipe, exactly as a scenario file would give them.
#pragma once

#include "sim/scenario.h"

#include <string>

namespace kestrom::sim::console {

// Where the console keeps its history: ~/.kestrom_sim_history, home being
// $HOME (or the account's home directory when $HOME is unset); empty when
// no home is known.
std::string historyPath();
// Runs the console on standard input.
void runConsole(ScenarioRunner &runner);

}  // namespace kestrom::sim::console
