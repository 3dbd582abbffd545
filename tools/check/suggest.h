// suggest.h - the nearest known word to a misspelt one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrom::check {

// The candidate closest to `word` (case ignored): within two edits, or one
// that the word begins or ends; empty when none is close.
std::string nearest(std::string_view word, const std::vector<std::string> &candidates);
// ", did you mean `X`?" for the nearest candidate, or empty.
std::string didYouMean(std::string_view word, const std::vector<std::string> &candidates);

}  // namespace kestrom::check
