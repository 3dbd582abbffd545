// effects.h - what each line of a parameter file installs, learnt from the
// module: every line is loaded on its own in a fresh start (after the
// setrank lines before it, which change the command table for the rest of
// a start), and a line that names a setting is loaded a second time after
// lines that set every setting to an unusual value, which tells a line that
// sets a setting to its start value from one that leaves it alone.  The
// effects put together in file order must give the listing of the whole
// file; `unaccounted` says where they do not.
#pragma once

#include "tools/check/module_runs.h"
#include "tools/check/source.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrom::check {

// A setting row's listing line; empty when the setting is not listed.
using Settings = std::map<std::string, std::string>;

struct LineEffect {
    bool content = false;  // the module reads a keyword or a parameter name here
    bool failed = false;   // the load stops here
    std::string failure;
    std::vector<std::string> problems;      // the module's reports on this line
    std::vector<std::string> rules;         // listing lines of the rules it adds
    std::vector<std::string> announcements; // listing lines of its announcements
    std::optional<std::string> setrank;     // the line as stored, when it took effect
    Settings sets;                          // the settings it sets, to their listing line
    bool unclear = false;                   // the loads did not tell what it does
};

struct Effects {
    std::vector<LineEffect> lines; // by line index
    Settings atStart;              // the settings after loading an empty file
};

Effects learnEffects(ModuleRunner &runner, const SourceFile &file);

// Listing rows whose lines the effects of the lines do not give, in order;
// empty when every listing line is accounted for.
std::vector<std::string> unaccounted(const Effects &effects, const std::vector<std::string> &listing);

// The settings of a listing.
Settings settingsOf(const std::vector<std::string> &listing);
// A line whose first word the module reads (not blank, not a comment).
bool isContentLine(const SourceLine &line);

}  // namespace kestrom::check
