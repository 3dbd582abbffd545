// reader.cpp - reading one line the loader's way.
#include "tools/check/reader.h"

#include "commands/scan.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace kestrom::check {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// From p to the end of its word.
std::string_view wordFrom(const char *p) { return {p, static_cast<size_t>(kestrom::wordLength(p))}; }

// The word after the one at p, or null.
const char *followingWord(const char *p) { return kestrom::nextWord(p + kestrom::wordLength(p)); }

// A number written inside a word: digits, or a sign right before a digit.
NumberRead readNumberInWord(std::string_view line, const char *p, const char **end) {
    const bool signedDigit = (*p == '-' || *p == '+') && isDigit(p[1]);
    if (!isDigit(*p) && !signedDigit) {
        *end = p;
        NumberRead none;
        none.present = true;
        none.column = columnOf(line, p);
        return none;
    }
    return readNumberAt(line, p, end);
}

RealRead readReal(std::string_view line, const char *p, const char **end) {
    RealRead read;
    read.present = true;
    read.column = columnOf(line, p);
    read.word = wordFrom(p);
    char *stop = nullptr;
    const double value = std::strtod(p, &stop);
    if (stop == p || !std::isfinite(value)) {
        read.notFinite = stop != p;
        *end = p;
        return read;
    }
    read.none = false;
    read.value = value;
    read.used = std::string_view(p, static_cast<size_t>(stop - p));
    *end = stop;
    return read;
}

RangeRead readRange(std::string_view line, const Word &word) {
    RangeRead read;
    read.word = word;
    const char *p = word.text.data() + 2;
    const NumberRead low = readNumberInWord(line, p, &p);
    read.lowMissing = low.none;
    read.clamped = low.clamped;
    read.range.low = read.range.high = low.value;
    if (*p == '-') {
        read.dash = true;
        const NumberRead high = readNumberInWord(line, p + 1, &p);
        read.highMissing = high.none;
        read.clamped = read.clamped || high.clamped;
        read.range.high = high.value;
    }
    const char *wordEnd = word.text.data() + word.text.size();
    if (p < wordEnd) read.ignored = std::string_view(p, static_cast<size_t>(wordEnd - p));
    return read;
}

void readSelection(std::string_view line, const char *typeList, SelectionRead &where) {
    for (const char *p = typeList ? kestrom::nextWord(typeList) : nullptr; p; p = followingWord(p)) {
        const Word word{wordFrom(p), columnOf(line, p)};
        if (where.column == 0) where.column = word.column;
        SelectionWordRead read{word, WordRole::UNKNOWN, nullptr, where.rooms};
        if (p[0] == 'r' && p[1] == 'm') {
            read.role = WordRole::RANGE;
            where.ranges.push_back(readRange(line, word));
        } else if (const SelectionWords *known = findSelectionWord(word.text)) {
            read.known = known;
            read.role = known->clears ? WordRole::CLEAR : WordRole::KIND;
            where.rooms = known->clears ? 0 : where.rooms | known->adds;
        }
        where.words.push_back(read);
    }
}

// The values after the name, in the order the parameter carries them.
void readValues(const std::string &line, RuleRead &read, const char *cp) {
    const int32_t carries = read.param->carries;
    if (carries & CARRIES_MAXIMUM) {
        read.maximum = readNumberAt(line, cp, &cp);
        cp = kestrom::nextWord(cp);
    }
    if (cp && (carries & CARRIES_ROOM)) {
        if (kestrom::wordCmp(cp, "currentroom") == 0) {
            read.currentRoom = true;
            read.maximum.present = true;
            read.maximum.column = columnOf(line, cp);
            read.maximum.word = wordFrom(cp);
            read.maximum.none = false;
            cp += kestrom::wordLength(cp);
        } else {
            read.maximum = readNumberAt(line, cp, &cp);
        }
        cp = kestrom::nextWord(cp);
    }
    if (cp && (carries & CARRIES_DECAY)) {
        read.decay = readReal(line, cp, &cp);
        cp = kestrom::nextWord(cp);
    }
    if (carries & CARRIES_TEXT) {
        read.hasText = cp != nullptr;
        if (cp) {
            read.text = std::string_view(cp);
            read.textColumn = columnOf(line, cp);
        }
        return;
    }
    readSelection(line, cp, read.where);
}

void makeRule(RuleRead &read) {
    Rule &rule = read.rule;
    rule.param = read.param;
    if (read.bare && read.param->builtIn) {
        rule.maximum = read.param->builtIn->maximum;
        rule.decay = read.param->builtIn->decay;
        rule.where.rooms = read.param->builtIn->rooms;
        return;
    }
    rule.maximum = static_cast<uint32_t>(read.currentRoom ? 0 : read.maximum.value);
    rule.decay = read.decay.value;
    rule.hasText = read.hasText;
    rule.text = std::string(read.text);
    rule.where.rooms = read.where.rooms;
    for (auto it = read.where.ranges.rbegin(); it != read.where.ranges.rend(); ++it)
        rule.where.ranges.push_back(it->range);
}

}  // namespace

NumberRead readNumberAt(std::string_view line, const char *p, const char **end) {
    NumberRead read;
    read.present = true;
    read.column = columnOf(line, p);
    read.word = wordFrom(p);
    const char *q = p;
    while (std::isspace(static_cast<unsigned char>(*q))) ++q;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    if (!isDigit(*q)) {
        *end = p;
        return read;
    }
    int64_t value = 0;
    for (; isDigit(*q); ++q)
        if (value <= INT32_MAX) value = value * 10 + (*q - '0');
    if (negative) value = -value;
    read.none = false;
    read.clamped = value > INT32_MAX || value < INT32_MIN;
    read.value = static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
    read.used = std::string_view(p, static_cast<size_t>(q - p));
    *end = q;
    return read;
}

RuleRead readRule(const ParameterWords &param, const std::string &line, const Word &name) {
    RuleRead read;
    read.param = &param;
    read.name = name;
    const char *cp = followingWord(name.text.data());
    read.bare = cp == nullptr;
    if (!read.bare) readValues(line, read, cp);
    makeRule(read);
    return read;
}

int yesOrNo(const char *word) {
    if (kestrom::wordMinCmp(word, "yes", 1) == 0) return 1;
    if (kestrom::wordCmp(word, "no") == 0) return 0;
    return -1;
}

bool isOffWord(const char *word) { return kestrom::wordMinCmp(word, "off", 1) == 0; }

}  // namespace kestrom::check
