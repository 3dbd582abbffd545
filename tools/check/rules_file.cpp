// rules_file.cpp - the file as a whole: whether the module starts, CR LF
// line ends, rules that can never be chosen, settings given twice, setrank
// lines that lock operators out or open commands to users, the listing's
// size, and whether every listing line was accounted for.
#include "tools/check/rules.h"

#include "commands/commands.h"
#include "params/params.h"
#include "tools/check/coverage.h"

#include <algorithm>
#include <map>

namespace kestrom::check {

namespace {

// Listings longer than this flood the log and the reloading operator.
constexpr size_t LONG_LISTING = 150;

Word firstWord(const SourceLine &line, size_t n = 0) {
    const std::vector<Word> words = wordsOf(line.text);
    return n < words.size() ? words[n] : Word{std::string_view(), 1};
}

std::string linesText(const std::vector<int> &lines) {
    std::string text = lines.size() == 1 ? "line " : "lines ";
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
    return text;
}

struct Placed {
    int line;
    Rule rule;
};

// The installed rules of each parameter, in the order the module looks them
// up: with room numbers first (the later line first), then the others in
// file order.
std::map<int, std::vector<Placed>> chains(const Checked &checked) {
    std::map<int, std::vector<Placed>> ranged, plain;
    for (size_t i = 0; i < checked.effects.lines.size(); ++i) {
        if (const std::optional<Rule> rule = installedRule(checked.effects.lines[i])) {
            auto &to = rule->where.ranges.empty() ? plain : ranged;
            to[rule->param->index].push_back({static_cast<int>(i) + 1, *rule});
        }
    }
    std::map<int, std::vector<Placed>> order;
    for (auto &[index, rules] : ranged) order[index].assign(rules.rbegin(), rules.rend());
    for (auto &[index, rules] : plain) order[index].insert(order[index].end(), rules.begin(), rules.end());
    return order;
}

// Whether some room (or a user in no room) is selected by both rules.
bool overlaps(const Rule &a, const Rule &b) {
    const int32_t ka = a.where.rooms & ROOM_KINDS, kb = b.where.rooms & ROOM_KINDS;
    if ((ka & kb) || (a.where.selectsLimbo() && b.where.selectsLimbo())) return true;
    if ((!a.where.ranges.empty() && kb) || (!b.where.ranges.empty() && ka)) return true;
    for (const Range &x : a.where.ranges)
        for (const Range &y : b.where.ranges)
            if (x.low <= y.high && y.low <= x.high) return true;
    return false;
}

void tellShadowed(const Placed &rule, const std::vector<Placed> &before, Diagnostics &out) {
    std::vector<int> lines;
    for (const Placed &b : before)
        if (overlaps(b.rule, rule.rule)) lines.push_back(b.line);
    if (lines.empty()) return;
    std::sort(lines.begin(), lines.end());
    out.warning(rule.line, 1,
                std::string("this ") + rule.rule.param->name + " rule is never chosen: " + linesText(lines) +
                    (lines.size() == 1 ? " comes" : " come") + " first in lookup order and " +
                    (lines.size() == 1 ? "selects" : "select") +
                    " every room it selects (rules with room numbers are looked at first, the last written "
                    "first, then the others, the first written first)");
}

void shadowedInChain(const std::vector<Placed> &chain, Diagnostics &out) {
    Coverage covered;
    std::vector<Placed> before;
    for (const Placed &p : chain) {
        if (p.rule.cutShort) return;
        const Coverage::Share share = covered.share(p.rule.where);
        if (!share.anything) {
            if (Coverage().share(p.rule.where).anything) tellShadowed(p, before, out);
        } else if (share.kindsTaken && !before.empty()) {
            for (const Placed &b : before)
                if (b.rule.where.ranges.empty() && (b.rule.where.rooms & share.kindsTaken & ROOM_KINDS))
                    out.note(p.line, 1,
                             wherePhrase(Selection{b.rule.where.rooms & share.kindsTaken & ROOM_KINDS, {}}) +
                                 " the rule of line " + std::to_string(b.line) + " is chosen instead");
        }
        covered.add(p.rule.where);
        before.push_back(p);
    }
}

// Rules that count by their text: the first with the same text wins.
void repeatedTexts(const std::vector<Placed> &chain, bool anyCase, Diagnostics &out) {
    std::map<std::string, int> first;
    for (const Placed &p : chain) {
        std::string key = p.rule.hasText ? p.rule.text : "*catch-all*";
        if (anyCase)
            std::transform(key.begin(), key.end(), key.begin(),
                           [](unsigned char c) { return std::tolower(c); });
        const auto [it, fresh] = first.emplace(key, p.line);
        if (fresh) continue;
        out.warning(p.line, 1, std::string("this ") + p.rule.param->name + " rule never counts: line " +
                    std::to_string(it->second) + (p.rule.hasText ? " has the same " : " is also without a ") +
                    (p.rule.param->form == Form::CHATGOTO ? "phrase" : "pattern") + " and comes first");
    }
}

// The command row a setrank line names, as the module looks it up.
const CmdTable *commandOf(const SourceLine &line) {
    const Word w = firstWord(line, 1);
    return w.text.empty() ? nullptr : kestrom::findCommand(nullptr, w.text.data());
}

}  // namespace

void checkLineEnds(const Checked &checked, Diagnostics &out) {
    int count = 0;
    const SourceLine *first = nullptr;
    for (const SourceLine &line : checked.file.lines)
        if (line.endsInCr && count++ == 0) first = &line;
    if (!first) return;
    const int col = static_cast<int>(first->raw.size());
    const std::string lines =
        std::to_string(count) + " of its " + std::to_string(checked.file.lines.size()) + " lines";
    if (checked.habits.dropsCr)
        out.note(first->number, col, "the file uses CR LF line ends (" + lines + "); the module reads them as "
                 "plain newlines");
    else
        out.warning(first->number, col,
                    "the file uses CR LF line ends (" + lines +
                        "); this module keeps the CR "
                        "as the last character of the line: save the file with plain newlines");
}

void checkStart(const Checked &checked, Diagnostics &out) {
    const LoadReport &whole = checked.whole;
    if (!whole.started) {
        if (whole.failureLine == 0)
            out.error(1, 1, "the module would not start with this file: " +
                      (whole.failure.empty() ? std::string("it says nothing why") : whole.failure));
        return;
    }
    const bool anyRule = std::any_of(whole.listing.begin(), whole.listing.end(), [](const std::string &line) {
        std::string row;
        return rowOf(line, row) == Row::RULE;
    });
    if (!anyRule)
        out.note(1, 1, "the file sets no rule: nothing is limited and no room rule applies anywhere");
}

void checkShadowed(const Checked &checked, Diagnostics &out) {
    if (!checked.whole.started) return;
    for (const auto &[index, chain] : chains(checked)) {
        const Form form = chain.front().rule.param->form;
        if (form == Form::CHATGOTO) repeatedTexts(chain, true, out);
        else if (form == Form::DUPIP) repeatedTexts(chain, false, out);
        else shadowedInChain(chain, out);
    }
}

void checkGivenTwice(const Checked &checked, Diagnostics &out) {
    std::map<std::string, int> setBy;
    std::map<std::string, int> rankedBy;
    for (size_t i = 0; i < checked.effects.lines.size(); ++i) {
        const LineEffect &e = checked.effects.lines[i];
        const SourceLine &line = checked.file.lines[i];
        for (const auto &[row, listed] : e.sets) {
            if (const auto it = setBy.find(row); it != setBy.end())
                out.warning(line.number, firstWord(line).column, row + " is set again: this line replaces "
                            "line " + std::to_string(it->second) + " (the later line wins)");
            setBy[row] = line.number;
        }
        const CmdTable *command = e.setrank ? commandOf(line) : nullptr;
        if (!command) continue;
        if (const auto it = rankedBy.find(command->command); it != rankedBy.end())
            out.warning(line.number, firstWord(line, 1).column,
                        std::string("setrank for `") + command->command +
                            "` again: this line's ranks replace those of line " + std::to_string(it->second));
        rankedBy[command->command] = line.number;
    }
}

namespace {

struct Ranks {
    int rank;
    int target;
};

// What one setrank line does to the operators' hold on the module.
void tellRankChange(const SourceLine &line, const CmdTable &command, Ranks was, Ranks now, Diagnostics &out) {
    const int n = line.number;
    const int col = firstWord(line, 2).column;
    const std::string name = command.command;
    if (name == "kestrom") {
        if (now.rank >= RANK_DISABLE)
            out.warning(n, col, "no operator can use `kestrom reload any more: rank disable is held by nobody, "
                        "and the change lasts until the module restarts (no reload can undo it)");
        else if (now.rank == RANK_GOD)
            out.note(n, col, "only owners (rank god) can use `kestrom reload from now on");
        else if (now.rank < RANK_WIZARD)
            out.warning(n, col,
                        std::string("users of rank ") + rankName(now.rank) +
                            " can reload the parameter "
                            "file with `kestrom reload");
    } else if (now.rank < RANK_WIZARD && was.rank >= RANK_WIZARD) {
        out.warning(n, col, std::string("users of rank ") + rankName(now.rank) + " may use `" + name +
                    " from now on (it needed rank " + rankName(was.rank) + ")");
    }
    if (now.rank == was.rank && now.target == was.target)
        out.note(n, col, "this changes nothing: `" + name + " needs rank " + rankName(was.rank) + " already");
    if (now.target == RANK_DISABLE && was.target != RANK_DISABLE)
        out.note(n, firstWord(line, 3).column, "from now on no setrank line can give `" + name + "` a target "
                 "rank, until the module restarts");
}

}  // namespace

void checkSetranks(const Checked &checked, Diagnostics &out) {
    std::map<const CmdTable *, Ranks> ranks;
    for (size_t i = 0; i < checked.effects.lines.size(); ++i) {
        const SourceLine &line = checked.file.lines[i];
        const CmdTable *command = checked.effects.lines[i].setrank ? commandOf(line) : nullptr;
        if (!command) continue;
        const auto [it, fresh] = ranks.try_emplace(command, Ranks{command->rank, command->targetRank});
        const Ranks was = it->second;
        const Word targetWord = firstWord(line, 3);
        const Ranks now{kestrom::getRank(firstWord(line, 2).text.data()),
                        targetWord.text.empty() ? was.target : kestrom::getRank(targetWord.text.data())};
        tellRankChange(line, *command, was, now, out);
        it->second = now;
    }
}

void checkListingSize(const Checked &checked, Diagnostics &out) {
    const size_t lines = checked.whole.listing.size();
    if (!checked.whole.started || lines <= LONG_LISTING) return;
    out.warning(1, 1, "the listing of this file has " + std::to_string(lines) + " lines: every start and "
                "reload writes them all to the log, and to the operator who reloads, one private message each");
}

void checkAccounted(const Checked &checked, Diagnostics &out) {
    if (!checked.whole.started) return;
    const std::vector<std::string> rows = unaccounted(checked.effects, checked.whole.listing);
    if (rows.empty()) return;
    std::string names;
    for (const std::string &row : rows) names += (names.empty() ? "" : ", ") + row;
    out.note(1, 1, "kestrom-check could not match the module's listing with the lines of the file (" + names +
             "): what it says about those lines may be incomplete");
}

void checkRlimit(const Checked &checked, Diagnostics &out) {
    if (checked.whole.rlimitAvailable.value_or(true)) return;
    for (size_t i = 0; i < checked.effects.lines.size(); ++i) {
        const std::optional<Rule> rule = installedRule(checked.effects.lines[i]);
        if (!rule || !(rule->where.rooms & ROOM_ALTMEMBER)) continue;
        out.note(static_cast<int>(i) + 1, 1, "no rule names `altmember`, so `rlimit is not available and no "
                 "room is an altmember room: this rule's altmember part never applies");
        return;
    }
}

}  // namespace kestrom::check
