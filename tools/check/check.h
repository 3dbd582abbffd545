// check.h - kestrom-check's work on one file: the file read as the module
// reads it, each line's effect and the whole file's verdict learnt from the
// module, and the findings of the checker's rules (tools/check/rules_*.cpp).
#pragma once

#include "tools/check/diagnostics.h"
#include "tools/check/effects.h"
#include "tools/check/module_runs.h"
#include "tools/check/reader.h"
#include "tools/check/source.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrom::check {

struct Checked {
    SourceFile file;
    const char *binary = nullptr; // what kind of non-text file it is, or null
    ReadingHabits habits;
    Effects effects;
    LoadReport whole; // the whole file, as the module starts with it
    Diagnostics found;
};

// Reads and checks the file; false with `error` set when the file cannot be
// read or the module cannot be loaded.
bool checkFile(const std::string &path, const std::string &modulePath, Checked &out, std::string &error);

// What the checks of one line see.
struct LineFacts {
    const SourceLine &source;
    const LineEffect &effect;
    const Settings &before; // the settings in force before this line
    std::vector<Word> words;
    const KeywordWords *keyword = nullptr;   // the keyword the line starts with
    const ParameterWords *param = nullptr;   // or the parameter it names
    std::optional<RuleRead> rule;            // a parameter line read
};

using LineCheck = void (*)(const LineFacts &line, Diagnostics &out);
using FileCheck = void (*)(const Checked &checked, Diagnostics &out);

// Shared by the rule files.
std::string installedText(const std::string &listingLine); // without the trailing blank
// What a rule does wrong as installed ("every line is refused"), or empty.
std::string consequence(const Rule &rule);
// The value a setting has in `settings`, as listed ("yes", "off", ...).
std::string valueOf(const Settings &settings, const char *row);

}  // namespace kestrom::check
