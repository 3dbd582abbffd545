// explain.h - the configuration a file puts in force, in plain words, and
// the parameter reference; both use the wording of tools/check/words.cpp.
#pragma once

#include "tools/check/check.h"

#include <iosfwd>

namespace kestrom::check {

// --explain: read from the module's listing of the whole file.
void explain(const Checked &checked, std::ostream &out);
// --reference: docs/parameters.md.
void writeReference(std::ostream &out);

// {N}, {D} and {V} in a text replaced.
std::string filled(std::string_view text, std::string_view n, std::string_view d = {}, std::string_view v = {});
// "a burst of 10 lines, then 1 line a second" for a rate rule.
std::string ratePhrase(const ParameterWords &p, uint32_t maximum, double decay);
// One rule in plain words, as --explain says it when no other rule is there.
std::string ruleSentence(const Rule &rule);
// A number as the listing writes a decay (%g).
std::string shortNumber(double value);

}  // namespace kestrom::check
