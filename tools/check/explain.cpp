// explain.cpp - --explain: the rules in force per parameter, in lookup
// order and by the rooms each one is chosen in; the switches, texts,
// announcements and command ranks; what differs from the built-in defaults.
#include "tools/check/explain.h"

#include "commands/commands.h"
#include "params/params.h"
#include "tools/check/coverage.h"
#include "tools/check/rules.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>

namespace kestrom::check {

namespace {

std::vector<std::string> listedRowsOf(const std::vector<std::string> &listing, Row want) {
    std::vector<std::string> lines;
    for (const std::string &line : listing) {
        std::string row;
        if (rowOf(line, row) == want) lines.push_back(line);
    }
    return lines;
}

// The rules in force for each parameter, in lookup order.
std::map<int, std::vector<Rule>> rulesOf(const std::vector<std::string> &listing) {
    std::map<int, std::vector<Rule>> rules;
    for (const std::string &line : listedRowsOf(listing, Row::RULE))
        if (const std::optional<Rule> rule = readListedRule(line)) rules[rule->param->index].push_back(*rule);
    return rules;
}

std::string kindsWords(int32_t kinds) {
    return wherePhrase(Selection{kinds & ROOM_KINDS, {}}).substr(3); // without "in "
}

// Where a rule is chosen, given the rooms earlier rules took.
std::string chosenWhere(const Rule &rule, const Coverage &taken, const Coverage::Share &share) {
    std::vector<std::string> parts;
    if (!share.ranges.empty()) {
        std::vector<Range> newestFirst(share.ranges.rbegin(), share.ranges.rend());
        std::string part = "in " + roomsPhrase(newestFirst);
        if (taken.kinds()) part += " unless they are " + kindsWords(taken.kinds());
        parts.push_back(part);
    }
    if (share.kinds) {
        std::string part = "in " + kindsWords(share.kinds);
        if (!taken.ranges().empty())
            part += " other than " +
                    roomsPhrase(std::vector<Range>(taken.ranges().rbegin(), taken.ranges().rend()));
        parts.push_back(part);
    }
    const bool namesLimbo = (rule.where.rooms & ROOM_LIMBO) || parts.empty();
    if (share.limbo && namesLimbo)
        parts.emplace_back(parts.empty() ? "only for users in no room" : "for users in no room");
    if ((share.kinds & ROOM_KINDS) == ROOM_KINDS && share.limbo && taken.ranges().empty()) return "everywhere";
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

std::string warnText(const ParameterWords &p, const Rule &rule) {
    return p.readsWarn && (rule.where.rooms & ROOM_WARN) ? "; users are told" : "";
}

std::string ruleWhat(const Rule &rule) {
    const ParameterWords &p = *rule.param;
    const std::string n = std::to_string(static_cast<int32_t>(rule.maximum));
    switch (p.form) {
    case Form::RATE: return ratePhrase(p, rule.maximum, rule.decay);
    case Form::POSITION:
        return filled(p.effect, n, std::to_string(static_cast<long long>(std::trunc(rule.decay))));
    default: return filled(p.effect, std::to_string(rule.maximum));
    }
}

void explainChain(const std::vector<Rule> &rules, std::ostream &out) {
    const ParameterWords &p = *rules.front().param;
    Coverage taken;
    for (const Rule &rule : rules) {
        const Coverage::Share share = taken.share(rule.where);
        if (share.anything) {
            const std::string where = chosenWhere(rule, taken, share);
            if (!where.empty())
                out << "  " << p.name << ", " << where << ": " << ruleWhat(rule) << warnText(p, rule) << '\n';
        }
        taken.add(rule.where);
    }
    if ((taken.kinds() & ROOM_KINDS) == ROOM_KINDS || taken.coversEverything()) return;
    if (p.form == Form::RATE) out << "  " << p.name << ", elsewhere: not limited\n";
    else if (p.form == Form::POSITION)
        out << "  " << p.name << ", elsewhere: pinned users are put at 490 across, 362 down\n";
    else out << "  " << p.name << ", elsewhere: no rule\n";
}

void explainSwitch(const std::vector<Rule> &rules, std::ostream &out) {
    const ParameterWords &p = *rules.front().param;
    Coverage all;
    bool warns = true, someWarn = false;
    for (const Rule &rule : rules) {
        if (all.share(rule.where).anything) {
            warns = warns && (rule.where.rooms & ROOM_WARN);
            someWarn = someWarn || (rule.where.rooms & ROOM_WARN);
        }
        all.add(rule.where);
    }
    Selection where{all.kinds(), std::vector<Range>(all.ranges().rbegin(), all.ranges().rend())};
    const bool everywhere = (all.kinds() & ROOM_KINDS) == ROOM_KINDS || all.coversEverything();
    std::string text = everywhere ? "everywhere" : wherePhrase(where);
    if (!everywhere && text != "nowhere") text += " only";
    out << "  " << p.name << ": " << p.effect << " " << text;
    if (p.readsWarn && someWarn)
        out << (warns ? "; users are told" : "; users are told where a rule says warn");
    out << '\n';
}

void explainTextRules(const std::vector<Rule> &rules, std::ostream &out) {
    std::map<std::string, bool> seen;
    for (const Rule &rule : rules) {
        const ParameterWords &p = *rule.param;
        std::string key = rule.hasText ? rule.text : "";
        if (p.form == Form::CHATGOTO)
            for (char &c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!seen.emplace(key, true).second) continue;
        if (p.form == Form::CHATGOTO) {
            const auto room = static_cast<int16_t>(static_cast<uint16_t>(rule.maximum & 0xFFFFu));
            out << "  chatgoto: saying \"" << escaped(rule.text) << "\" takes the speaker "
                << (room == 0 ? std::string("to the room he is in") : "to room " + std::to_string(room))
                << '\n';
        } else {
            out << "  dupip: "
                << (rule.hasText ? "from addresses matching " + escaped(rule.text)
                                 : std::string("from any address"))
                << ", at most " << rule.maximum << " more connection" << (rule.maximum == 1 ? "" : "s")
                << " below operator rank\n";
        }
    }
}

std::string settingMeaning(const KeywordWords &k, const std::string &value) {
    const bool no = value == "no" || value == "off" || value.empty() ||
                    (k.argument == Argument::OFF_OR_NUMBER && !value.empty() && value[0] == '-') ||
                    (std::string_view(k.word) == "mroomdiscipline" && value == "0");
    if (no && k.meaningNo) return k.meaningNo;
    return filled(k.meaning, "", "", escaped(value));
}

void explainSettings(const Checked &checked, std::ostream &out) {
    const Settings now = settingsOf(checked.whole.listing);
    for (const KeywordWords &k : keywords()) {
        if (k.argument == Argument::ANNOUNCEMENT || k.argument == Argument::SETRANK) continue;
        const std::string value = valueOf(now, k.word), atStart = valueOf(checked.effects.atStart, k.word);
        const std::string shown = value == "unset" ? "" : value;
        const bool isText = k.argument == Argument::TEXT || k.argument == Argument::PICTURE;
        out << "  " << k.word << (shown.empty() || isText ? "" : " " + escaped(shown)) << ": "
            << settingMeaning(k, shown);
        if (value != atStart) out << "  (built-in: " << (atStart == "unset" ? "none" : atStart) << ")";
        out << '\n';
    }
    if (checked.whole.rlimitAvailable)
        out << "  rlimit: "
            << (*checked.whole.rlimitAvailable
                    ? "available to owners of member rooms (a rule names altmember)"
                    : "not available (no rule names altmember)")
            << '\n';
}

void explainAnnouncements(const std::vector<std::string> &listing, std::ostream &out) {
    const std::vector<std::string> lines = listedRowsOf(listing, Row::ANNOUNCEMENT);
    if (lines.empty()) return;
    out << "\nAnnouncements, to everyone\n";
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const std::string_view rest = std::string_view(*it).substr(std::string_view("autoannounce ").size());
        const std::string_view time = rest.substr(0, 8);
        out << "  daily at " << readTime(time).daily << ": "
            << escaped(rest.substr(rest.size() > 9 ? 9 : rest.size())) << '\n';
    }
}

// The command ranks the setrank lines leave, applied in file order.
void explainRanks(const std::vector<std::string> &listing, std::ostream &out) {
    const std::vector<std::string> lines = listedRowsOf(listing, Row::SETRANK);
    if (lines.empty()) return;
    std::map<const CmdTable *, std::pair<int, int>> ranks;
    std::vector<const CmdTable *> order;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const std::vector<Word> words = wordsOf(*line);
        if (words.size() < 3) continue;
        const CmdTable *row = kestrom::findCommand(nullptr, words[1].text.data());
        if (!row) continue;
        const auto [it, fresh] = ranks.try_emplace(row, row->rank, row->targetRank);
        if (fresh) order.push_back(row);
        const int target = words.size() > 3 ? kestrom::getRank(words[3].text.data()) : it->second.second;
        it->second = {kestrom::getRank(words[2].text.data()), target};
    }
    out << "\nCommand ranks (setrank; a change lasts until the module restarts, even when a reload drops the "
           "line)\n";
    for (const CmdTable *row : order) {
        const auto [rank, target] = ranks[row];
        out << "  `" << row->command << ": rank " << rankName(rank);
        if (target != row->targetRank) out << ", target rank " << rankName(target);
        out << "  (built-in: rank " << rankName(row->rank);
        if (target != row->targetRank) out << ", target rank " << rankName(row->targetRank);
        out << ")\n";
    }
}

void explainUnset(const std::map<int, std::vector<Rule>> &rules, std::ostream &out) {
    std::string names;
    for (const ParameterWords &p : parameters())
        if (!rules.count(p.index)) names += (names.empty() ? "" : ", ") + std::string(p.name);
    if (!names.empty()) out << "\nNo rule (never limited, or off everywhere): " << names << '\n';
}

void explainRules(const std::map<int, std::vector<Rule>> &rules, std::ostream &out) {
    static constexpr struct {
        const char *title;
        Form forms[2];
    } theSections[] = {
        {"Rate limits (a burst, then what comes back each second; operators are never limited)",
         {Form::RATE, Form::RATE}},
        {"Room rules", {Form::THRESHOLD, Form::POSITION}},
        {"Switches by room", {Form::SWITCH, Form::SWITCH}},
        {"Chat-goto phrases and duplicate addresses", {Form::CHATGOTO, Form::DUPIP}},
    };
    for (const auto &section : theSections) {
        bool titled = false;
        for (const auto &[index, chain] : rules) {
            const Form form = chain.front().param->form;
            if (form != section.forms[0] && form != section.forms[1]) continue;
            if (!titled) out << '\n' << section.title << '\n';
            titled = true;
            if (form == Form::SWITCH) explainSwitch(chain, out);
            else if (form == Form::CHATGOTO || form == Form::DUPIP) explainTextRules(chain, out);
            else explainChain(chain, out);
        }
    }
}

}  // namespace

std::string ruleSentence(const Rule &rule) {
    const ParameterWords &p = *rule.param;
    std::ostringstream out;
    if (p.form == Form::SWITCH) explainSwitch({rule}, out);
    else if (p.form == Form::CHATGOTO || p.form == Form::DUPIP) explainTextRules({rule}, out);
    else {
        const Coverage none;
        const std::string where = chosenWhere(rule, none, none.share(rule.where));
        out << "  " << p.name << ", " << (where.empty() ? "nowhere" : where) << ": " << ruleWhat(rule)
            << warnText(p, rule) << '\n';
    }
    std::string text = out.str();
    return text.substr(2, text.size() - 3);
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string filled(std::string_view text, std::string_view n, std::string_view d, std::string_view v) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string_view mark = text.substr(i, 3);
        if (mark == "{N}" || mark == "{D}" || mark == "{V}") {
            out += mark == "{N}" ? n : mark == "{D}" ? d : v;
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ratePhrase(const ParameterWords &p, uint32_t maximum, double decay) {
    if (maximum == UINT32_MAX) return "not limited";
    if (maximum == 0) return std::string("every ") + p.unit + " is refused";
    std::string text = "a burst of " + std::to_string(maximum) + " " + unitFor(p, maximum);
    if (decay <= 0) return text + ", then no more, ever";
    if (decay >= 1) return text + ", then " + shortNumber(decay) + " " + unitFor(p, decay) + " a second";
    const double every = 1 / decay;
    const std::string span = every < 120 ? shortNumber(every) + " seconds"
                             : every < 7200 ? shortNumber(std::round(every / 6) / 10) + " minutes"
                                            : shortNumber(std::round(every / 360) / 10) + " hours";
    return text + ", then one " + p.unit + " every " + span;
}

void explain(const Checked &checked, std::ostream &out) {
    const std::string name = escaped(checked.file.path);
    if (checked.binary) {
        out << name << ": not a parameter file (" << checked.binary << ")\n";
        return;
    }
    if (!checked.whole.started) {
        out << name << ": the module would not start with this file"
            << (checked.whole.failure.empty() ? "" : ": " + escaped(checked.whole.failure)) << '\n';
        return;
    }
    out << name << ": the configuration in force (the listing has " << checked.whole.listing.size()
        << " lines)\n";
    const std::map<int, std::vector<Rule>> rules = rulesOf(checked.whole.listing);
    explainRules(rules, out);
    out << "\nSwitches and settings\n";
    explainSettings(checked, out);
    explainAnnouncements(checked.whole.listing, out);
    explainRanks(checked.whole.listing, out);
    explainUnset(rules, out);
}

}  // namespace kestrom::check
