// rules_lines.cpp - a line's length and NUL bytes, whether the module
// installs it as the checker reads it, and what the module installed
// instead of a line with an error.
#include "tools/check/rules.h"

#include "commands/scan.h"

#include <climits>

namespace kestrom::check {

namespace {

// Lines this close to the limit are one edit away from stopping the load.
constexpr int NEAR_LONGEST = LONGEST_LINE - 30;

std::string joined(const std::vector<std::string> &parts) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

std::string kindsPhrase(int32_t rooms) {
    static constexpr struct {
        int32_t bit;
        const char *word;
    } theKinds[] = {{ROOM_PUBLIC, "public"}, {ROOM_PRIVATE, "private"}, {ROOM_MEMBER, "member"},
                    {ROOM_ALTMEMBER, "altmember"}};
    std::vector<std::string> words;
    for (const auto &kind : theKinds)
        if (rooms & kind.bit) words.emplace_back(kind.word);
    return words.empty() ? "" : joined(words) + " rooms";
}

std::string rangeText(const Range &r) {
    return r.low == r.high ? std::to_string(r.low) : std::to_string(r.low) + " to " + std::to_string(r.high);
}

// The settings a keyword line sets when the module reads it as the checker
// does.
Settings expectedSettings(const LineFacts &line) {
    const KeywordWords &k = *line.keyword;
    const std::string row = k.word;
    const char *arg = line.words.size() > 1 ? line.words[1].text.data() : nullptr;
    Settings sets;
    switch (k.argument) {
    case Argument::SWITCH:
        if (arg && yesOrNo(arg) >= 0) sets[row] = row + (yesOrNo(arg) ? " yes" : " no");
        break;
    case Argument::OFF_OR_NUMBER: {
        const char *end = nullptr;
        const int32_t value = !arg || isOffWord(arg) ? -1 : readNumberAt(line.source.text, arg, &end).value;
        sets[row] = row + (value == -1 ? std::string(" off") : " " + std::to_string(value));
        break;
    }
    case Argument::NUMBER: {
        const char *end = nullptr;
        sets[row] = row + " " + std::to_string(arg ? readNumberAt(line.source.text, arg, &end).value : 0);
        break;
    }
    case Argument::PICTURE:
        sets[row] =
            row + " " + (!arg || kestrom::wordCmp(arg, "off") == 0 ? std::string("off") : std::string(arg));
        break;
    case Argument::TEXT: sets[row] = arg ? row + " " + arg : ""; break;
    default: break;
    }
    return sets;
}

std::vector<std::string> expectedRules(const LineFacts &line) {
    const RuleRead &r = *line.rule;
    if (r.bare && !r.param->builtIn) return {};
    if (r.param->form == Form::CHATGOTO && !r.hasText) return {};
    return {listRule(r.rule)};
}

std::string nothingInstalled(const LineFacts &line) {
    if (!line.keyword || line.keyword->argument != Argument::SWITCH)
        return "the module installs nothing for this line";
    std::string text = "the module installs nothing: " + std::string(line.keyword->word) + " stays " +
                       valueOf(line.before, line.keyword->word);
    if (!line.keyword->resetEachLoad) text += " (at start; a reload keeps the value in force)";
    return text;
}

}  // namespace

std::string installedText(const std::string &listingLine) {
    std::string text = listingLine;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string valueOf(const Settings &settings, const char *row) {
    const auto it = settings.find(row);
    return it == settings.end() || it->second.empty() ? "unset" : std::string(settingValue(it->second));
}

std::optional<Rule> installedRule(const LineEffect &effect) {
    if (effect.rules.empty()) return std::nullopt;
    return readListedRule(effect.rules[0]);
}

std::string roomsPhrase(const std::vector<Range> &ranges) {
    std::vector<std::string> parts;
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) parts.push_back(rangeText(*it));
    const bool one = ranges.size() == 1 && ranges[0].low == ranges[0].high;
    return (one ? "room " : "rooms ") + joined(parts);
}

std::string wherePhrase(const Selection &where) {
    const int32_t kinds = where.rooms & ROOM_KINDS;
    const bool limbo = (where.rooms & ROOM_LIMBO) || (where.rooms != 0 && kinds == 0 && where.ranges.empty());
    if (kinds == ROOM_KINDS && (where.rooms & ROOM_LIMBO)) return "everywhere";
    std::vector<std::string> parts;
    if (!where.ranges.empty()) parts.push_back("in " + roomsPhrase(where.ranges));
    if (kinds) parts.push_back("in " + kindsPhrase(kinds));
    if (limbo) parts.emplace_back(parts.empty() ? "only for users in no room" : "for users in no room");
    return parts.empty() ? "nowhere" : joined(parts);
}

std::string consequence(const Rule &rule) {
    const ParameterWords &p = *rule.param;
    if (p.form == Form::CHATGOTO || p.form == Form::DUPIP) return "";
    std::vector<std::string> parts;
    if (p.form == Form::RATE && rule.maximum == 0)
        parts.push_back(std::string("every ") + p.unit + " is refused");
    else if (p.form == Form::RATE && rule.maximum < 0x80000000u && rule.decay <= 0)
        parts.emplace_back("the allowance never comes back");
    const std::string where = wherePhrase(rule.where);
    if (where == "nowhere") parts.emplace_back("it applies nowhere");
    else if (where.rfind("only", 0) == 0) parts.emplace_back("it applies only to users in no room");
    else if (!parts.empty()) parts.back() += " " + where;
    return joined(parts);
}

void checkLength(const LineFacts &line, Diagnostics &out) {
    const SourceLine &s = line.source;
    const int limit = s.hasNewline ? LONGEST_LINE : LONGEST_LINE - 1;
    if (s.tooLong) {
        out.error(s.number, limit + 1,
                  "the line is " + std::to_string(s.length) +
                      " characters long; the "
                      "module reads at most " +
                      std::to_string(limit) +
                      (s.hasNewline ? ""
                                    : " in a last line "
                                      "without a newline") +
                      " and stops here: it would not start with this file, and a reload fails");
    } else if (s.length > NEAR_LONGEST) {
        out.warning(s.number, 1, "the line is " + std::to_string(s.length) + " characters long and the module "
                    "reads at most " + std::to_string(limit) + ": a longer line stops the whole load");
    }
}

void checkNul(const LineFacts &line, Diagnostics &out) {
    const SourceLine &s = line.source;
    if (s.nulColumn == 0) return;
    const std::string_view lost = std::string_view(s.raw).substr(static_cast<size_t>(s.nulColumn));
    const bool loses = lost.find_first_not_of(std::string_view(" \t\r\0", 4)) != std::string_view::npos;
    const std::string text = "a NUL byte " + std::string(loses ? "cuts the line short" : "ends the line") +
                             ": the module reads only " + quoted(s.text);
    if (loses) out.error(s.number, s.nulColumn, text);
    else out.warning(s.number, s.nulColumn, text);
}

void checkAgreement(const LineFacts &line, Diagnostics &out) {
    const LineEffect &e = line.effect;
    if (!e.content || e.failed || !e.problems.empty()) return;
    bool agrees = true;
    if (line.rule) agrees = e.rules == expectedRules(line) && e.sets.empty();
    else if (line.keyword && line.keyword->argument == Argument::ANNOUNCEMENT)
        agrees = e.announcements.size() == 1;
    else if (line.keyword && line.keyword->argument == Argument::SETRANK) agrees = e.setrank.has_value();
    else if (line.keyword) agrees = e.sets == expectedSettings(line) && e.rules.empty();
    if (!agrees)
        out.error(line.source.number, 1, "the module does not install this line as written (kestrom-check "
                  "reads it otherwise): see what it installs");
}

void noteInstalled(const LineFacts &line, Diagnostics &out) {
    const LineEffect &e = line.effect;
    const int n = line.source.number;
    if (!e.content || e.failed || (!out.hasErrorAt(n) && e.problems.empty())) return;
    std::vector<std::string> parts;
    for (const std::string &rule : e.rules) {
        std::string part = "the module installs " + quoted(installedText(rule));
        if (const std::optional<Rule> r = readListedRule(rule)) {
            const std::string c = consequence(*r);
            if (!c.empty()) part += ": " + c;
        }
        parts.push_back(part);
    }
    for (const auto &[row, listed] : e.sets)
        parts.push_back(listed.empty() ? "the module clears " + row : "the module sets " + quoted(listed));
    for (const std::string &a : e.announcements) parts.push_back("the module schedules " + quoted(a));
    if (e.setrank) parts.emplace_back("the module applies it");
    if (parts.empty()) parts.push_back(nothingInstalled(line));
    for (const std::string &part : parts) out.closingNote(n, part);
}

}  // namespace kestrom::check
