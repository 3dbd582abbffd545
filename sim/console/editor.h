// editor.h - the console's line editor: libedit (BSD licence, package
// libedit-dev) with emacs keys, history kept in a file across sessions, and
// tab completion (sim/console/completion.h).  Built without libedit, there
// is none and the console reads plain lines.
#pragma once

#include "sim/scenario.h"

#include <memory>
#include <string>

namespace kestrom::sim::console {

// Whether this program was built with line editing.
bool lineEditingBuilt();
// The line editor on standard input and output, its history loaded from
// and kept in `historyPath` (none when empty); null when there is none.
std::unique_ptr<LineSource> openEditor(const std::string &historyPath);

}  // namespace kestrom::sim::console
