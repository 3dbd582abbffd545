// verb_help.h - what each verb of the scenario language does, in one line,
// for `help VERB` at the console (the usage comes from the verb table).
#pragma once

#include <string_view>

namespace kestrom::sim {

// The verb's meaning, or null for a verb without one.
const char *verbMeaning(std::string_view verb);

}  // namespace kestrom::sim
