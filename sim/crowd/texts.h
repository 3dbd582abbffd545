// texts.h - what crowd members say, page and call themselves: lines made
// from small word lists, varied enough that a crowd of chatters never
// repeats itself by accident.
#pragma once

#include "sim/crowd/rng.h"

#include <string>

namespace kestrom::sim::crowd {

// A chat line: a greeting, a question, a remark; now and then a short one
// ("lol", "brb").
std::string chatLine(Rng &rng);
// A page to the operators: a request for help, in a whole sentence.
std::string pageLine(Rng &rng);
// A name a user might take; one in ten needs cleaning (a leading space or
// asterisk) and is illegal.
std::string nickname(Rng &rng);

}  // namespace kestrom::sim::crowd
