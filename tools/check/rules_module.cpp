// rules_module.cpp - the module's own reports on a line, each shown at the
// word it is about, in plain words, with what would be right.
#include "tools/check/rules.h"

#include "commands/commands.h"
#include "tools/check/suggest.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace kestrom::check {

namespace {

std::vector<std::string> namesAndKeywords() {
    std::vector<std::string> all;
    for (const ParameterWords &p : parameters()) all.emplace_back(p.name);
    for (const KeywordWords &k : keywords()) all.emplace_back(k.word);
    return all;
}

std::vector<std::string> roomWords() {
    std::vector<std::string> all;
    for (const SelectionWords &w : selectionWords()) all.emplace_back(w.word);
    return all;
}

std::vector<std::string> rankCandidates() {
    std::vector<std::string> all;
    for (const RankWords &r : rankWords()) all.emplace_back(r.word);
    return all;
}

std::vector<std::string> commandWords() {
    std::vector<std::string> all;
    for (const CmdTable &row : kestrom::cmdTable) all.emplace_back(row.command);
    return all;
}

// The n-th word of the line (0: the keyword), or the end of the line.
Word wordAt(const LineFacts &line, size_t n) {
    if (n < line.words.size()) return line.words[n];
    return {std::string_view(), static_cast<int>(line.source.text.size()) + 1};
}

void unknownName(const LineFacts &line, std::string_view, int, Diagnostics &out) {
    const Word name = line.words[0];
    std::string text = quoted(name.text) + " is not a keyword or parameter name; the module ignores the line";
    const std::string best = nearest(name.text, namesAndKeywords());
    if (!best.empty()) text += "; did you mean `" + best + "`?";
    if (!best.empty() && best.size() > name.text.size() &&
        std::equal(name.text.begin(), name.text.end(), best.begin(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
        text += " (names are never abbreviated)";
    out.error(line.source.number, name.column, text);
}

// The room word the module quotes (at most 29 characters of it): the n-th
// word of the line's selection that the module does not know.
Word unknownWordAt(const LineFacts &line, std::string_view quotedWord, int nth) {
    if (line.rule)
        for (const SelectionWordRead &w : line.rule->where.words)
            if (w.role == WordRole::UNKNOWN && nth-- == 0 &&
                w.word.text.substr(0, quotedWord.size()) == quotedWord)
                return w.word;
    return {quotedWord, 1};
}

std::string roomWordHint(const LineFacts &line, std::string_view word) {
    if (word.size() > 2 && (word[0] == 'R' || word[0] == 'r') && (word[1] == 'M' || word[1] == 'm'))
        return "; room numbers are written with a lower-case `rm`: `rm" + escaped(word.substr(2)) + "`";
    char *end = nullptr;
    const std::string text(word);
    std::strtod(text.c_str(), &end);
    if (!text.empty() && *end == '\0' && line.param)
        return "; a number here is out of place (`" + lineForm(*line.param) + "`), or write room numbers `rm" +
               escaped(word) + "`";
    return didYouMean(word, roomWords());
}

bool within(const Word &word, int column, std::string_view value) {
    return column > 0 && word.column >= column && word.column < column + static_cast<int>(value.size());
}

// A word the module took as a room word because a value before it could
// not be read whole: the value's finding tells it.
bool toldWithValue(const LineFacts &line, const Word &word) {
    if (!line.rule) return false;
    const RuleRead &r = *line.rule;
    const NumberRead &m = r.maximum;
    const RealRead &d = r.decay;
    if (m.present && (m.none || m.used.size() < m.word.size()) && within(word, m.column, m.word)) return true;
    return d.present && (d.none || d.notFinite || d.used.size() < d.word.size()) &&
           within(word, d.column, d.word);
}

void unknownRoomWord(const LineFacts &line, std::string_view msg, int nth, Diagnostics &out) {
    std::string_view q = msg.substr(std::strlen("Unrecognized room type \""));
    q = q.substr(0, q.rfind("\", ignored"));
    const Word word = unknownWordAt(line, q, nth);
    if (toldWithValue(line, word)) return;
    out.error(line.source.number, word.column,
              quoted(word.text) + " is not a room selection word, the module ignores it" +
                  roomWordHint(line, word.text));
}

void noData(const LineFacts &line, std::string_view msg, int, Diagnostics &out) {
    const Word name = line.words[0];
    const std::string form = line.param ? lineForm(*line.param) : "";
    if (msg.find("default used") != std::string_view::npos && !line.effect.rules.empty()) {
        out.warning(line.source.number, name.column,
                    quoted(name.text) + " alone installs the built-in default " +
                        quoted(installedText(line.effect.rules[0])) + "; write `" + form +
                        "` to say what you mean");
        return;
    }
    out.error(line.source.number, name.column,
              quoted(name.text) + " needs its values (`" + form + "`) and has no built-in default: the "
              "module ignores the line");
}

std::string noTargetText(const LineFacts &line, const Word &target) {
    const Word command = wordAt(line, 1);
    const CmdTable *row = kestrom::findCommand(nullptr, command.text.data());
    const bool builtIn = row && row->targetRank == RANK_DISABLE;
    return quoted(command.text) +
           (builtIn ? " takes no target"
                    : " cannot be given a target rank any more (an earlier setrank line gave it target rank "
                      "disable, which lasts until the module restarts)") +
           ": the module ignores the whole line; leave out " + quoted(target.text);
}

constexpr const char *RANKS = " (guest, member, wizard or operator, god or owner, disable, or 0 to 4)";

// The module's setrank reports: what they contain, the word they are about,
// and what the checker says.
struct SetrankReport {
    const char *contains;
    size_t word;
    std::string (*text)(const LineFacts &line, const Word &word);
};

constexpr SetrankReport theSetrankReports[] = {
    {"command name missing", 1, [](const LineFacts &, const Word &) {
         return std::string("setrank needs a command, a rank and optionally a target rank (`setrank COMMAND "
                            "RANK [TARGET-RANK]`): the module ignores the line");
     }},
    {"not a kestrom command", 1, [](const LineFacts &, const Word &w) {
         return quoted(w.text) + " is not a kestrom command, the module ignores the line" +
                didYouMean(w.text, commandWords());
     }},
    {"user rank missing", 2, [](const LineFacts &, const Word &) {
         return std::string("setrank needs a rank after the command") + RANKS + ": the module ignores the line";
     }},
    {"user rank not valid", 2, [](const LineFacts &, const Word &w) {
         return quoted(w.text) + " is not a rank" + RANKS + ": the module ignores the line" +
                didYouMean(w.text, rankCandidates());
     }},
    {"can not be targeted", 3, noTargetText},
    {"target rank not valid", 3, [](const LineFacts &, const Word &w) {
         return quoted(w.text) + " is not a rank" + RANKS + ": the module ignores the line" +
                didYouMean(w.text, rankCandidates());
     }},
};

void setrankProblem(const LineFacts &line, std::string_view msg, int, Diagnostics &out) {
    for (const SetrankReport &report : theSetrankReports) {
        if (msg.find(report.contains) == std::string_view::npos) continue;
        const Word w = wordAt(line, report.word);
        out.error(line.source.number, w.column, report.text(line, w));
        return;
    }
    out.error(line.source.number, 1, "the module reports: " + std::string(msg));
}

void announcementProblem(const LineFacts &line, std::string_view msg, int, Diagnostics &out) {
    const int n = line.source.number;
    const Word time = wordAt(line, 1);
    if (msg.find("time missing") != std::string_view::npos) {
        out.error(n, time.column, time.text.empty()
                  ? std::string("autoannounce needs a time hh:mm:ss and a message: the module ignores the line")
                  : quoted(time.text) + " is not a time of exactly 8 characters, hh:mm:ss: the module "
                    "ignores the line");
    } else if (msg.find("time not hh:mm:ss") != std::string_view::npos) {
        const size_t after = static_cast<size_t>(time.column - 1 + 8);
        const bool tab = after < line.source.text.size() && line.source.text[after] == '\t';
        out.error(n, time.column, quoted(time.text) + (tab ? " is followed by a tab: the time and the "
                  "message must be separated by a space" : after >= line.source.text.size()
                  ? " has no message after it" : " is not a time hh:mm:ss") + "; the module ignores the line");
    } else if (msg.find("message missing") != std::string_view::npos) {
        out.error(n, time.column, "the announcement has no message: the module ignores the line");
    } else {
        const Word message = wordAt(line, 2);
        out.error(n, message.column, "the message is " +
                  std::to_string(line.source.text.size() - static_cast<size_t>(message.column - 1)) +
                  " characters long, at most 250 are allowed: the module ignores the line");
    }
}

void settingProblem(const LineFacts &line, std::string_view msg, int, Diagnostics &out) {
    const int n = line.source.number;
    const KeywordWords &k = *line.keyword;
    const Word arg = wordAt(line, 1);
    switch (k.argument) {
    case Argument::SWITCH:
        out.error(n, arg.column, std::string(k.word) + " needs yes or no; the module changes nothing");
        return;
    case Argument::OFF_OR_NUMBER:
        out.error(n, arg.column, std::string(k.word) + " needs a number or off; the module sets it off");
        return;
    case Argument::PICTURE:
    case Argument::TEXT: {
        const size_t length = line.source.text.size() - static_cast<size_t>(arg.column - 1);
        const int longest = k.argument == Argument::PICTURE ? LONGEST_PICTURE : LONGEST_TEXT;
        out.error(n, arg.column,
                  "the text is " + std::to_string(length) +
                      " characters long (trailing "
                      "blanks included), at most " +
                      std::to_string(longest) +
                      " are allowed: the module sets none, "
                      "and an earlier one is gone too");
        return;
    }
    default: out.error(n, arg.column, std::string(msg));
    }
}

struct KnownProblem {
    const char *start;
    void (*explain)(const LineFacts &line, std::string_view msg, int nth, Diagnostics &out);
};

// The module's reports, by how they begin.
constexpr KnownProblem theProblems[] = {
    {"unrecognizable parameter name", unknownName},
    {"Unrecognized room type \"", unknownRoomWord},
    {"No ", noData},
    {"setrank: ", setrankProblem},
    {"autoannounce ", announcementProblem},
    {"Picture file name longer", settingProblem},
    {"wizinmemberrooms not", settingProblem},
    {"rownerinroom not", settingProblem},
    {"memberrwho not", settingProblem},
    {"guestwiz not", settingProblem},
    {"rtakedelay not", settingProblem},
    {"mroomdiscipline not", settingProblem},
    {"pageresponse message", settingProblem},
    {"gpageresponse message", settingProblem},
};

}  // namespace

void checkModuleProblems(const LineFacts &line, Diagnostics &out) {
    int roomWords = 0;
    for (const std::string &msg : line.effect.problems) {
        const KnownProblem *known = nullptr;
        for (const KnownProblem &k : theProblems)
            if (msg.rfind(k.start, 0) == 0) known = &k;
        const bool settingLine = line.keyword != nullptr;
        if (known && (known->explain != settingProblem || settingLine)) {
            const bool roomWord = known->explain == unknownRoomWord;
            known->explain(line, msg, roomWord ? roomWords++ : 0, out);
        } else {
            out.error(line.source.number, 1, "the module reports: " + msg);
        }
    }
}

}  // namespace kestrom::check
