// rules_settings.cpp - the keyword lines: switches that get neither yes nor
// no, numbers that do not read whole, negative values that mean off, texts,
// announcement times that are not times of day, words the module ignores.
#include "tools/check/rules.h"

#include <cctype>
#include <cstdio>

namespace kestrom::check {

namespace {

bool isOneOf(std::string_view word, std::initializer_list<const char *> words) {
    for (const char *w : words) {
        const std::string_view candidate = w;
        bool same = word.size() == candidate.size();
        for (size_t i = 0; same && i < word.size(); ++i)
            same = std::tolower(static_cast<unsigned char>(word[i])) == candidate[i];
        if (same) return true;
    }
    return false;
}

void ignoredRest(const LineFacts &line, size_t from, Diagnostics &out) {
    if (line.words.size() <= from) return;
    const Word &w = line.words[from];
    out.warning(line.source.number, w.column, "the module ignores the rest of the line, " +
                quoted(std::string_view(line.source.text).substr(static_cast<size_t>(w.column - 1))));
}

void checkSwitch(const LineFacts &line, Diagnostics &out) {
    const Word &arg = line.words[1];
    if (yesOrNo(arg.text.data()) >= 0) {
        ignoredRest(line, 2, out);
        return;
    }
    std::string hint = " (write yes or no)";
    if (isOneOf(arg.text, {"off", "false", "0", "n", "disable", "disabled", "nope"})) hint = "; write `no`";
    if (isOneOf(arg.text, {"on", "true", "1", "enable", "enabled"})) hint = "; write `yes`";
    out.error(line.source.number, arg.column, quoted(arg.text) + " is neither yes nor no: the module "
              "ignores the line" + hint);
}

// Seconds written with a unit: "10m" is 600 seconds.
std::string secondsHint(const NumberRead &n) {
    const std::string_view unit = n.word.substr(n.used.size());
    const long factor = unit == "s"                    ? 1
                        : unit == "m" || unit == "min" ? 60
                        : unit == "h"                  ? 3600
                        : unit == "d"                  ? 86400
                                                       : 0;
    if (factor == 0) return "";
    return "; write " + std::to_string(static_cast<long long>(n.value) * factor) + " for " +
           std::string(n.word);
}

void checkOffOrNumber(const LineFacts &line, Diagnostics &out) {
    const Word &arg = line.words[1];
    const int n = line.source.number;
    ignoredRest(line, 2, out);
    if (isOffWord(arg.text.data())) return;
    const char *end = nullptr;
    const NumberRead value = readNumberAt(line.source.text, arg.text.data(), &end);
    const bool seconds = line.keyword->word == std::string_view("rtakedelay");
    if (const std::string trouble = numberTrouble(value); !trouble.empty()) {
        out.error(n, arg.column, trouble + (seconds ? secondsHint(value) : ""));
        return;
    }
    if (seconds && value.value < 0)
        out.warning(n, arg.column, "a negative delay switches rtake off; write `rtakedelay off`");
    if (!seconds && value.value <= 0)
        out.warning(n, arg.column, std::to_string(value.value) + " switches the member discipline commands "
                    "off; write `mroomdiscipline off`");
}

void checkNumber(const LineFacts &line, Diagnostics &out) {
    const int n = line.source.number;
    const std::string word = line.keyword->word;
    if (line.words.size() < 2) {
        out.warning(n, static_cast<int>(line.source.text.size()) + 1, word + " without a number sets it to 0");
        return;
    }
    const Word &arg = line.words[1];
    ignoredRest(line, 2, out);
    const char *end = nullptr;
    const NumberRead value = readNumberAt(line.source.text, arg.text.data(), &end);
    if (const std::string trouble = numberTrouble(value); !trouble.empty()) {
        out.error(n, arg.column, trouble);
        return;
    }
    if (value.value < 0)
        out.warning(n, arg.column, word + " is compared as an unsigned number: " + std::to_string(value.value) +
                    " reads as " + std::to_string(static_cast<uint32_t>(value.value)) + " and refuses every " +
                    (word == "pagelength" ? "page" : "`gpage of users below operator rank") + " as too short");
}

void checkText(const LineFacts &line, Diagnostics &out) {
    const int n = line.source.number;
    if (line.words.size() < 2) {
        out.note(n, static_cast<int>(line.source.text.size()) + 1,
                 std::string(line.keyword->word) + " without a text sets none");
        return;
    }
    const std::string &text = line.source.text;
    if (text.back() == ' ' || text.back() == '\t')
        out.warning(n, static_cast<int>(text.find_last_not_of(" \t")) + 2, "the text ends in blanks, which "
                    "are part of it");
}

}  // namespace

std::string numberTrouble(const NumberRead &n) {
    if (n.none) return quoted(n.word) + " is not a number: the module reads it as 0";
    if (n.clamped)
        return quoted(n.used) + " is beyond the numbers the module reads: it takes " + std::to_string(n.value);
    if (n.used.size() < n.word.size()) {
        const std::string_view rest = n.word.substr(n.used.size());
        const bool fraction = rest[0] == '.' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9';
        return quoted(n.word) + " is read as " + std::to_string(n.value) +
               (fraction ? " (only whole numbers are read here)"
                         : " (the module reads the leading digits only)");
    }
    return "";
}

void checkSetting(const LineFacts &line, Diagnostics &out) {
    if (!line.keyword || !line.effect.problems.empty()) return;
    const bool hasArg = line.words.size() > 1;
    switch (line.keyword->argument) {
    case Argument::SWITCH:
        if (hasArg) checkSwitch(line, out);
        break;
    case Argument::OFF_OR_NUMBER:
        if (hasArg) checkOffOrNumber(line, out);
        break;
    case Argument::NUMBER: checkNumber(line, out); break;
    case Argument::PICTURE:
    case Argument::TEXT: checkText(line, out); break;
    default: break;
    }
}

TimeRead readTime(std::string_view word) {
    const std::string text(word);
    const char *p = text.c_str();
    const char *end = nullptr;
    const NumberRead h = readNumberAt(text, p, &end);
    p = end + (*end == ':');
    const NumberRead m = readNumberAt(text, p, &end);
    p = end + (*end == ':');
    const NumberRead s = readNumberAt(text, p, &end);
    TimeRead t;
    t.written = text.size() == 8 && text[2] == ':' && text[5] == ':' && h.used.size() == 2 &&
                m.used.size() == 2 && s.used.size() == 2 && !h.none && !m.none && !s.none;
    t.ofDay = h.value >= 0 && h.value < 24 && m.value >= 0 && m.value < 60 && s.value >= 0 && s.value < 60;
    const long long total = 3600LL * h.value + 60LL * m.value + s.value;
    const long long daily = (total % 86400 + 86400) % 86400;
    char when[16];
    std::snprintf(when, sizeof when, "%02lld:%02lld:%02lld", daily / 3600, daily / 60 % 60, daily % 60);
    t.daily = when;
    t.days = total >= 86400 ? total / 86400 : 0;
    return t;
}

// A time the module took: whether it is a time of day written hh:mm:ss, and
// when the announcement then goes out.
void checkAnnouncement(const LineFacts &line, Diagnostics &out) {
    if (!line.keyword || line.keyword->argument != Argument::ANNOUNCEMENT || !line.effect.problems.empty())
        return;
    if (line.words.size() < 2) return;
    const Word &time = line.words[1];
    const TimeRead t = readTime(time.text);
    if (t.written && t.ofDay) return;
    std::string text = quoted(time.text) + (t.ofDay ? " is not written hh:mm:ss" : " is not a time of day") +
                       ": the module sends the announcement daily at " + t.daily;
    out.warning(line.source.number, time.column, text + "; write " + t.daily);
}

void checkSetrankLine(const LineFacts &line, Diagnostics &out) {
    if (!line.keyword || line.keyword->argument != Argument::SETRANK || !line.effect.problems.empty()) return;
    ignoredRest(line, 4, out);
}

}  // namespace kestrom::check
