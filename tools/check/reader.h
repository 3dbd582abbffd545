// reader.h - a line read the way the module's loader reads it, word by
// word, keeping where each value came from so that a problem can be shown
// at its column.  The module itself has the last word: what the checker
// reads here is compared with what the module installed for the same line.
#pragma once

#include "tools/check/listing.h"
#include "tools/check/source.h"
#include "tools/check/words.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::check {

// A number read as the loader reads one (sign, leading digits).
struct NumberRead {
    bool present = false;  // there was something to read at all
    int column = 0;        // where reading started
    std::string_view word; // from there to the end of that word
    std::string_view used; // the characters the number came from
    bool none = true;      // no digits: read as 0, nothing used
    bool clamped = false;  // beyond the 32-bit range, held to its end
    int32_t value = 0;
};

// A real number (strtod); infinities and NaN cannot be used and read as 0.
struct RealRead {
    bool present = false;
    int column = 0;
    std::string_view word;
    std::string_view used;
    bool none = true;
    bool notFinite = false;
    double value = 0;
};

// A room-number word (rmN, rmN-M).
struct RangeRead {
    Word word;
    Range range{};
    bool lowMissing = false;  // no number after "rm"
    bool dash = false;        // "-" after the low end
    bool highMissing = false; // no number after the "-"
    bool clamped = false;
    std::string_view ignored; // characters after the numbers
};

// What a word of a room selection did.
enum class WordRole { RANGE, KIND, CLEAR, UNKNOWN };

struct SelectionWordRead {
    Word word;
    WordRole role;
    const SelectionWords *known = nullptr;
    int32_t roomsBefore = 0; // the bits collected before this word
};

struct SelectionRead {
    std::vector<SelectionWordRead> words;
    std::vector<RangeRead> ranges; // in the order written
    int32_t rooms = 0;
    int column = 0; // where the selection starts (0: there is none)
};

// A rule line: the values after the parameter name, by what the parameter
// carries.
struct RuleRead {
    const ParameterWords *param = nullptr;
    Word name;
    bool bare = false;      // nothing after the name
    NumberRead maximum;     // the maximum, or the room of a chatgoto rule
    bool currentRoom = false;
    RealRead decay;
    bool hasText = false;   // chatgoto, dupip
    std::string_view text;
    int textColumn = 0;
    SelectionRead where;
    Rule rule;              // the rule this reading makes (as the listing writes it)
};

// The number at p (white space skipped first, as strtol does); *end is where
// reading stopped (p when there are no digits).
NumberRead readNumberAt(std::string_view line, const char *p, const char **end);
RuleRead readRule(const ParameterWords &param, const std::string &line, const Word &name);
// The module's word functions: yes/no (1 yes, 0 no, -1 neither) and "off".
int yesOrNo(const char *word);
bool isOffWord(const char *word);

}  // namespace kestrom::check
