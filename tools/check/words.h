// words.h - what every keyword, parameter, room selection word and rank of
// the parameter file means, in an operator's words.  One table serves the
// parameter reference (docs/parameters.md, printed by --reference), the
// plain-words summary of --explain and the checker's suggestions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrom::check {

// How a parameter's rule line is written and listed.
enum class Form {
    RATE,      // name maximum decay rooms: a leaky bucket
    THRESHOLD, // name maximum rooms: a distance, size or length
    SWITCH,    // name rooms: the rule's presence is what counts
    POSITION,  // pinx: name across down rooms
    CHATGOTO,  // chatgoto room phrase
    DUPIP,     // dupip maximum [pattern]
};

// What a line after the parameter name carries (the module's paramMask).
constexpr int32_t CARRIES_MAXIMUM = 1;
constexpr int32_t CARRIES_DECAY = 2;
constexpr int32_t CARRIES_TEXT = 4;
constexpr int32_t CARRIES_ROOM = 8;

struct Default {
    int32_t rooms; // room selection bits
    uint32_t maximum;
    double decay;
};

// One of the 27 parameters.  In the texts, {N} stands for the maximum and
// {D} for the decay (pinx: the vertical coordinate).
struct ParameterWords {
    const char *name;
    int index;     // the slot of the module's rule chains
    int32_t carries;
    Form form;
    const Default *builtIn; // what a bare name installs, or null
    const char *unit;       // rate and threshold: what is counted, one ...
    const char *units;      // ... and several
    bool readsWarn;         // "warn" makes the module tell the user
    const char *effect;     // the rule in force, as a phrase
    const char *governs;    // the reference's first sentence
    const char *details;    // the reference's notes, or null
    const char *example;
};

// How a keyword's argument is read.
enum class Argument { SWITCH, OFF_OR_NUMBER, NUMBER, PICTURE, TEXT, ANNOUNCEMENT, SETRANK };

// One of the 13 keywords.
struct KeywordWords {
    const char *word;
    Argument argument;
    const char *atStart;  // the value at start, as listed ("yes", "off", "0"), or null
    bool resetEachLoad;   // a reload starts from atStart (else the value stays)
    const char *syntax;   // the argument as the reference writes it
    const char *meaning;  // the setting in force, {V} its value (switches: when yes)
    const char *meaningNo; // when no, off or unset; null when every value reads {V}
    const char *governs;
    const char *details;
    const char *example;
};

// A room selection word.
struct SelectionWords {
    const char *word;
    int32_t adds; // RC_ bits
    bool clears;
    const char *meaning;
};

struct RankWords {
    const char *word;
    int rank;
};

// Room selection bits, as the module's rules store them.
constexpr int32_t ROOM_PUBLIC = 0x0001;
constexpr int32_t ROOM_PRIVATE = 0x0002;
constexpr int32_t ROOM_MEMBER = 0x0004;
constexpr int32_t ROOM_LIMBO = 0x0008;
constexpr int32_t ROOM_ALTMEMBER = 0x0010;
constexpr int32_t ROOM_WARN = 0x8000;
constexpr int32_t ROOM_KINDS = ROOM_PUBLIC | ROOM_PRIVATE | ROOM_MEMBER | ROOM_ALTMEMBER;

// The longest line the module reads, before its newline.
constexpr int LONGEST_LINE = 298;
// Text settings and announcement messages.
constexpr int LONGEST_TEXT = 250;
constexpr int LONGEST_PICTURE = 31;
// Room numbers a room can have.
constexpr int32_t LOWEST_ROOM = 0;
constexpr int32_t HIGHEST_ROOM = 32767;

std::span<const ParameterWords> parameters();
std::span<const KeywordWords> keywords(); // in the order the module tries them
std::span<const SelectionWords> selectionWords();
std::span<const RankWords> rankWords();
const char *rankName(int rank); // "guest" .. "disable"

// Whole-word, case-insensitive lookups, as the module compares; null when
// the word names none.
const ParameterWords *findParameter(std::string_view word);
const KeywordWords *findKeyword(std::string_view word);
const SelectionWords *findSelectionWord(std::string_view word);

// The line a parameter's rule is written as: "chat MAXIMUM DECAY ROOMS".
std::string lineForm(const ParameterWords &p);
// "line"/"lines" for n, from a parameter's unit words.
const char *unitFor(const ParameterWords &p, double n);

}  // namespace kestrom::check
