// compare.h - what a new parameter file would change: `kestrom-sim
// --compare OLD NEW FILE...` plays each scenario file twice, once with each
// parameter file in place of the file's own, on the same traffic (crowds
// draw the same messages whatever the module decides), and prints
//
//   - for each crowd profile and each typed user, the share of messages
//     refused under OLD and under NEW, and by which rules;
//   - the first messages whose outcome differs (time, user, message, and
//     outcome and reason on each side), with a count of the rest;
//   - the decision statistics of both plays side by side;
//   - the file's checks as each play judged them (reported, not failed).
#pragma once

#include "sim/scenario.h"

#include <ostream>
#include <string>
#include <vector>

namespace kestrom::sim::crowd {

// How many differences are shown in full, per file.
constexpr size_t SHOWN_DIFFERENCES = 10;

// 0 when no message's outcome differs, 1 when one does, 2 when a file could
// not be played (or a parameter file is missing).  `options` as for a plain
// run (module, leak checks); quiet, stats and verbose are set here.
int compareParameterFiles(const RunOptions &options, const std::string &oldParams, const std::string &newParams,
                          const std::vector<std::string> &files, std::ostream &out);

}  // namespace kestrom::sim::crowd
