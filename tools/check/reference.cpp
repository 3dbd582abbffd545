// reference.cpp - --reference: the parameter reference (docs/parameters.md)
// written from the word table, with each example put in --explain's words.
#include "tools/check/explain.h"

#include "tools/check/reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ostream>
#include <vector>

namespace kestrom::check {

namespace {

constexpr const char *theIntroduction = R"(# Parameter file reference

Everything the kestrom module enforces comes from one plain-text parameter file, read at start
and again on `` `kestrom reload ``. This reference is what `kestrom-check --reference` prints;
`kestrom-check FILE` checks a file, and `kestrom-check --explain FILE` tells in these same words
what a file puts in force.

## The file

- One setting or rule per line. A line whose first non-blank character is `#` is a comment;
  blank lines are skipped. A `#` later in a line is part of the line.
- A line holds at most 298 characters before its newline (a last line without a newline, 297).
  A longer line stops the load: the module does not start with the file, and a reload fails.
  A CR right before the newline (Windows line ends) is dropped; a NUL byte ends the line's text.
- The first word is a keyword (the settings below) or a parameter name (the rules below), in
  any case, never abbreviated. Words are separated by spaces or tabs.
- Numbers are read as C's `strtol` reads them: an optional sign and the leading digits, so
  `10m` is 10 and a word without digits is 0. Decays are real numbers (`strtod`); NaN and
  infinities cannot be used and read as 0.
- Every load starts afresh: all rules, announcements and stored `setrank` lines go, and the
  settings return to their start values, except `wizinmemberrooms`, `mroombg`, `pageresponse`
  and `gpageresponse`, which keep their value unless the file sets them. A `setrank` change
  lasts until the module restarts.
- A setting given twice: the later line wins. Each rule line adds one rule.
- After each successful load the module writes the listing, one line per setting and rule in
  parameter-file syntax, to the server log and to the operator who reloaded
  (`kestrom-check --listing FILE` prints it).

## Room selection

A rule line ends with the rooms the rule applies in:

| word | selects |
| --- | --- |
)";

constexpr const char *theLookup =
    R"(| `rmN`, `rmN-M` | room N, rooms N to M (`rm` lower case; numbers run from 0 to 32767) |

A rule without a selection applies nowhere. Users in no room are selected by every rule with a
room word other than room numbers, `warn` included.

Which rule counts in a room: the module looks at the rules with room numbers first, the last
written first, then at the other rules in the order written; the first rule that selects the
room is the one in force. So a room-number rule beats any other, among room-number rules the
last one written wins, and among the others the first one written wins. A parameter with no
rule for a room does not apply there: nothing is limited, a switch is off.

A rule cannot switch a parameter off for some rooms: `off` clears the room kinds written before
it, never the room numbers, so `spoof off rm40-49` refuses spoofs in rooms 40 to 49 only.
)";

// A chat command written with its backquote ("`rwho") as a code span that
// holds the backquote (`` `rwho ``); balanced code spans stay.
std::string md(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t end = i + 1;
        while (end < text.size() && std::islower(static_cast<unsigned char>(text[end]))) ++end;
        const bool command = text[i] == '`' && end > i + 1 && (end == text.size() || text[end] != '`');
        if (!command) {
            out += text[i];
            continue;
        }
        out += "`` " + std::string(text.substr(i, end - i)) + " ``";
        i = end - 1;
    }
    return out;
}

// A table cell: a bar would end the cell.
std::string cell(std::string_view text) {
    std::string out;
    for (const char c : text) out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

std::string units(const ParameterWords &p) {
    const std::string u = p.units ? p.units : "";
    switch (p.form) {
    case Form::RATE:
        return "MAXIMUM: the burst, in " + u + " (-1: no limit, 0: every one refused); DECAY: " + u +
               " that come back each second, a real number (0: none ever)";
    case Form::THRESHOLD: return "MAXIMUM: " + u;
    case Form::POSITION: return "ACROSS and DOWN: pixels";
    case Form::CHATGOTO: return "ROOM: a room number, or `currentroom`; PHRASE: the rest of the line";
    case Form::DUPIP: return "MAXIMUM: other connections from one address; PATTERN: the rest of the line";
    default: return "";
    }
}

std::string defaultText(const ParameterWords &p) {
    if (!p.builtIn) return "none: the name alone is ignored";
    Rule rule;
    rule.param = &p;
    rule.maximum = p.builtIn->maximum;
    rule.decay = p.builtIn->decay;
    rule.where.rooms = p.builtIn->rooms;
    std::string listed = listRule(rule);
    while (!listed.empty() && listed.back() == ' ') listed.pop_back();
    return "`" + listed + "` (what the name alone installs)";
}

void writeParameter(const ParameterWords &p, std::ostream &out) {
    out << "\n### `" << lineForm(p) << "`\n\n" << md(p.governs);
    if (p.details) out << ' ' << md(p.details);
    out << "\n\n";
    if (const std::string u = units(p); !u.empty()) out << "- " << md(u) << "\n";
    out << "- Built-in default: " << defaultText(p) << "\n";
    if (!(p.carries & CARRIES_TEXT))
        out << "- `warn`: "
            << (p.readsWarn ? "the user is told when the rule refuses something" : "no effect") << "\n";
    const std::string example = p.example;
    const Word name{std::string_view(example).substr(0, example.find(' ')), 1};
    const RuleRead read = readRule(p, example, name);
    out << "- Example: `" << example << "`, that is: " << md(ruleSentence(read.rule)) << "\n";
}

void writeKeyword(const KeywordWords &k, std::ostream &out) {
    out << "\n### `" << k.word << ' ' << k.syntax << "`\n\n" << md(k.governs);
    if (k.details) out << ' ' << md(k.details);
    out << "\n\n";
    if (k.atStart)
        out << "- At start: `" << k.word << ' ' << k.atStart << "`"
            << (k.resetEachLoad ? ", and again at each load"
                                : "; a reload keeps the value unless the file sets it")
            << "\n";
    out << "- Example: `" << k.example << "`\n";
}

template <typename Row>
std::vector<const Row *> byName(std::span<const Row> rows, const char *Row::*name) {
    std::vector<const Row *> sorted;
    for (const Row &row : rows) sorted.push_back(&row);
    std::sort(sorted.begin(), sorted.end(),
              [&](const Row *a, const Row *b) { return std::strcmp(a->*name, b->*name) < 0; });
    return sorted;
}

}  // namespace

void writeReference(std::ostream &out) {
    out << theIntroduction;
    for (const SelectionWords &w : selectionWords())
        out << "| `" << w.word << "` | " << md(w.meaning) << " |\n";
    out << theLookup;
    out << "\n## Settings\n";
    for (const KeywordWords *k : byName(keywords(), &KeywordWords::word)) writeKeyword(*k, out);
    out << "\n## Rules\n\n| parameter | line | built-in default |\n| --- | --- | --- |\n";
    const std::vector<const ParameterWords *> rules = byName(parameters(), &ParameterWords::name);
    for (const ParameterWords *p : rules)
        out << "| `" << p->name << "` | `" << cell(lineForm(*p)) << "` | " << (p->builtIn ? "yes" : "none")
            << " |\n";
    for (const ParameterWords *p : rules) writeParameter(*p, out);
}

}  // namespace kestrom::check
