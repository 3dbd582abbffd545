// rules_values.cpp - the values of a rule line: maxima and decays that do
// not read whole, that wrap or mean something else than they seem (0,
// negative numbers, NaN), chat-goto rooms and phrases, dupip patterns.
#include "tools/check/rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>

namespace kestrom::check {

namespace {

bool isRoomWord(std::string_view word) {
    return findSelectionWord(word) || word.substr(0, 2) == "rm";
}

std::string unsignedText(int32_t value) { return std::to_string(static_cast<uint32_t>(value)); }

// What the module does with what is left of a word a number was read from.
std::string restGoesTo(const RuleRead &r, std::string_view rest) {
    const bool toDecay =
        r.param->carries & CARRIES_DECAY && !r.decay.none && r.decay.used.data() == rest.data();
    if (toDecay) return "; the module reads " + quoted(rest) + " as the decay";
    if (r.param->carries & CARRIES_TEXT) return "; the text starts at " + quoted(rest);
    return "; the module reads " + quoted(rest) + " as a room word";
}

// "five" for 5: the number words an operator may write out.
std::string numberWordHint(std::string_view word) {
    static constexpr const char *theNumbers[] = {"zero", "one", "two", "three", "four", "five", "six",
                                                 "seven", "eight", "nine", "ten", "eleven", "twelve"};
    for (size_t i = 0; i < std::size(theNumbers); ++i)
        if (word.size() == std::strlen(theNumbers[i]) && std::equal(word.begin(), word.end(), theNumbers[i],
                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
            return "; write " + std::to_string(i);
    return "";
}

// A maximum with no digits: the module reads 0, and the word again as what
// comes next.
std::string unreadMaximum(const RuleRead &r) {
    const NumberRead &m = r.maximum;
    const std::string word = quoted(m.word);
    const RealRead &d = r.decay;
    if (d.present && d.column == m.column) {
        if (d.none || d.notFinite)
            return word + " is not a number: the module reads the maximum and the decay as 0, and takes " +
                   word + " as a room word";
        return word + " is not a whole number: the module reads the maximum as 0 and " + quoted(d.used) +
               " as the decay";
    }
    if (r.param->carries & CARRIES_TEXT)
        return word + " is not a number: the module reads 0, and the text starts at it";
    return word + " is not a number: the module reads the maximum as 0, and takes " + word + " as a room word";
}

void checkMaximum(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    const NumberRead &m = r.maximum;
    const int n = line.source.number;
    if (!m.present || r.currentRoom || r.param->form == Form::CHATGOTO) return;
    const ParameterWords &p = *r.param;
    if (m.none && isRoomWord(m.word)) {
        out.error(n, m.column, "the values are missing before " + quoted(m.word) + ": the module reads " +
                  (p.carries & CARRIES_DECAY ? "the maximum and the decay" : "the maximum") + " as 0 (`" +
                  lineForm(p) + "`)");
        return;
    }
    if (m.none) {
        out.error(n, m.column, unreadMaximum(r) + numberWordHint(m.word));
        return;
    }
    if (std::string trouble = numberTrouble(m); !trouble.empty()) {
        if (!m.clamped) trouble += restGoesTo(r, m.word.substr(m.used.size()));
        out.error(n, m.column, trouble);
        return;
    }
    const int32_t v = m.value;
    if (p.form == Form::RATE && v == 0)
        out.warning(n, m.column, std::string("a maximum of 0 refuses every ") + p.unit);
    else if (p.form == Form::RATE && v < -1)
        out.warning(n, m.column, "a negative maximum reads as " + unsignedText(v) + ", practically no limit; "
                    "write -1 for no limit");
    else if ((p.form == Form::THRESHOLD || p.form == Form::DUPIP) && v < 0)
        out.warning(n, m.column, "the maximum is an unsigned number: " + std::to_string(v) + " reads as " +
                    unsignedText(v));
    else if (p.form == Form::POSITION && (v < 0 || v > 32767))
        out.warning(n, m.column, "a pinned user put " + std::to_string(v) + " across stands outside the room");
}

// "the allowance never comes back: after 5 lines a user is refused for good".
std::string neverBack(const RuleRead &r) {
    const int32_t m = r.maximum.value;
    if (m <= 0) return "the allowance never comes back";
    return "the allowance never comes back: after " + std::to_string(m) + " " + unitFor(*r.param, m) +
           " a user is refused for good";
}

// A decay the module could not read whole.
void unreadDecay(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    const RealRead &d = r.decay;
    const int n = line.source.number;
    const std::string word = quoted(d.word);
    if (d.notFinite)
        out.error(n, d.column, word + " cannot be a decay: the module reads 0 (" + neverBack(r) + ") and takes " +
                  word + " as a room word");
    else if (d.none && !isRoomWord(d.word))
        out.error(n, d.column, word + " is not a number: the module reads the decay as 0 and takes " + word +
                  " as a room word");
    else if (d.none && r.maximum.value > 0)
        out.warning(n, d.column, "no decay before " + word + ": the module reads 0, so " + neverBack(r));
    else if (!d.none)
        out.error(n, d.column, word + " is read as " + std::string(d.used) + "; the module takes " +
                  quoted(d.word.substr(d.used.size())) + " as a room word");
}

void checkRateDecay(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    const RealRead &d = r.decay;
    const int n = line.source.number;
    const bool limited = r.maximum.value > 0;
    if (r.maximum.none && d.present && d.column == r.maximum.column) return; // told with the maximum
    if (!d.present) {
        if (limited)
            out.warning(n, static_cast<int>(line.source.text.size()) + 1,
                        "no decay: the module reads 0, so " + neverBack(r));
    } else if (d.none || d.notFinite || d.used.size() < d.word.size()) {
        unreadDecay(line, r, out);
    } else if (d.value < 0 && limited) {
        out.warning(n, d.column, "a negative decay makes the count grow by itself: once a user reaches " +
                    std::to_string(r.maximum.value) + " " + unitFor(*r.param, r.maximum.value) +
                    ", he is refused for good");
    } else if (d.value == 0 && limited) {
        out.warning(n, d.column, "a decay of 0: " + neverBack(r));
    }
}

void checkDown(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    const RealRead &d = r.decay;
    const int n = line.source.number;
    if (!d.present || (d.none && isRoomWord(d.word))) {
        out.warning(n, d.present ? d.column : static_cast<int>(line.source.text.size()) + 1,
                    "no vertical coordinate: the module reads 0 (`pinx ACROSS DOWN ROOMS`)");
    } else if (d.none || d.notFinite) {
        out.error(n, d.column,
                  quoted(d.word) +
                      " is not a number: the module reads the vertical coordinate as 0 "
                      "and takes " +
                      quoted(d.word) + " as a room word");
    } else if (d.value != std::trunc(d.value)) {
        out.note(n, d.column, "the vertical coordinate is a whole number of pixels: " + std::string(d.used) +
                 " puts pinned users at " + std::to_string(static_cast<long long>(std::trunc(d.value))));
    }
}

void checkChatgoto(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    const int n = line.source.number;
    const NumberRead &m = r.maximum;
    if (!r.currentRoom && m.none) {
        out.error(n, m.column, quoted(m.word) + " is not a room number or currentroom: the module reads 0, the "
                  "speaker's own room, and takes the phrase from " + quoted(m.word) + " on");
    } else if (!r.currentRoom && m.used.size() < m.word.size()) {
        out.error(n, m.column,
                  quoted(m.word) + " is read as room " + std::to_string(m.value) +
                      restGoesTo(r, m.word.substr(m.used.size())));
    } else if (!r.currentRoom && m.value == 0) {
        out.note(n, m.column, "room 0 is the speaker's own room; write currentroom");
    } else if (!r.currentRoom && (m.value < 1 || m.value > 32767)) {
        const auto room = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(m.value) & 0xFFFFu));
        out.warning(n, m.column,
                    "no room has the number " + std::to_string(m.value) +
                        (room == m.value ? std::string()
                                         : ": the module sends the speaker to room " + std::to_string(room)));
    }
    if (!r.hasText) {
        out.warning(n, static_cast<int>(line.source.text.size()) + 1, "no phrase: the rule does nothing (`" +
                    lineForm(*r.param) + "`)");
    } else if (r.text.back() == ' ' || r.text.back() == '\t') {
        out.warning(n, r.textColumn, "the phrase ends in blanks: only a chat line ending in the same blanks "
                    "matches it");
    }
}

// a.b.c.d, each part 0..255 or *, trailing blanks allowed.
bool isAddressPattern(std::string_view s) {
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (i >= s.size() || s[i++] != '.')) return false;
        if (i < s.size() && s[i] == '*') {
            ++i;
            continue;
        }
        int value = 0, digits = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
            value = value * 10 + (s[i] - '0');
            if (value > 255) return false;
        }
        if (digits == 0) return false;
    }
    return s.find_first_not_of(" \t\r", i) == std::string_view::npos;
}

void checkDupip(const LineFacts &line, const RuleRead &r, Diagnostics &out) {
    if (r.hasText && !isAddressPattern(r.text))
        out.warning(line.source.number, r.textColumn, quoted(r.text) + " is not an address pattern a.b.c.d "
                    "(each part 0 to 255 or *): the rule never fits an address");
}

}  // namespace

void checkRuleValues(const LineFacts &line, Diagnostics &out) {
    if (!line.rule || line.rule->bare) return;
    const RuleRead &r = *line.rule;
    checkMaximum(line, r, out);
    switch (r.param->form) {
    case Form::RATE: checkRateDecay(line, r, out); break;
    case Form::POSITION: checkDown(line, r, out); break;
    case Form::CHATGOTO: checkChatgoto(line, r, out); break;
    case Form::DUPIP: checkDupip(line, r, out); break;
    default: break;
    }
}

}  // namespace kestrom::check
