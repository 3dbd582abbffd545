// compare.cpp - two plays of one file, under two parameter files, side by
// side.  The first play keeps one byte per message (its outcome), the second
// compares its own as they come; the reasons of the first play for the
// differences shown come from a third play of it, which the determinism of
// the simulator makes the same as the first.
#include "sim/crowd/compare.h"

#include "sim/clock.h"
#include "sim/crowd/crowd.h"
#include "sim/messages.h"
#include "sim/observer.h"
#include "sim/users.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>

namespace kestrom::sim::crowd {

namespace {

enum class Outcome : uint8_t { Passed, Refused, NotSent };

// What the messages of one profile, or of one typed user, came to.
struct Share {
    long sent = 0, refused = 0, unsent = 0;
    std::map<std::string, long> refusedBy;
    std::set<std::string> senders;

    double percent() const { return sent ? 100.0 * static_cast<double>(refused) / static_cast<double>(sent) : 0; }
};

// One play of a file.
struct Play {
    Tally tally;
    std::string log; // what the quiet run printed: failures and errors
    std::map<std::string, Share> profiles;
    std::vector<std::string> typedUsers; // in the order they first sent
    std::map<std::string, Share> typed;
    std::vector<DecisionStats::RuleRow> rules;
    std::vector<DecisionStats::TypeRow> types;
};

struct Difference {
    std::string handle;
    size_t index = 0; // the handle's message number
    time_t time = 0;
    std::string message;
    Outcome before = Outcome::Passed, after = Outcome::Passed;
    std::string beforeWhy, afterWhy;
};

using Outcomes = std::unordered_map<std::string, std::vector<Outcome>>;
using Key = std::pair<std::string, size_t>;

Outcome outcomeOf(const SentMessage &m) {
    if (!m.sent) return Outcome::NotSent;
    return m.screening && m.screening->screened && !m.screening->passed ? Outcome::Refused : Outcome::Passed;
}

std::string why(const SentMessage &m, Outcome outcome) {
    switch (outcome) {
    case Outcome::NotSent: return "not sent: " + m.sender->handle + " is not connected";
    case Outcome::Passed: return m.screening && !m.screening->screened ? "passed unscreened (no module running)" : "passed";
    case Outcome::Refused:
        return m.screening->deciding ? m.server->reasonOf(*m.screening->deciding) : "swallowed, no reason recorded";
    }
    return "";
}

// Watches one play.  Keeps the outcomes (`keep`), or compares them with an
// earlier play's (`against`), or fills in the reasons of chosen messages
// (`wanted`).
class Watcher : public MessageObserver {
public:
    explicit Watcher(Play &play) : play_(play) {}

    Outcomes *keep = nullptr;
    const Outcomes *against = nullptr;
    std::map<Key, std::string> *wanted = nullptr;
    std::vector<Difference> shown;
    long differing = 0;

    void sent(const SentMessage &m) override {
        const std::string &handle = m.sender->handle;
        const Outcome outcome = outcomeOf(m);
        const size_t index = seen_[handle]++;
        tally(m, outcome);
        if (keep) (*keep)[handle].push_back(outcome);
        if (against) compare(m, outcome, index);
        if (wanted)
            if (auto it = wanted->find({handle, index}); it != wanted->end()) it->second = why(m, outcome);
    }

    void finished(const Server &server) override {
        play_.rules = server.stats().rules();
        play_.types = server.stats().messageTypes();
        if (!against) return;
        // Messages the earlier play sent beyond this one's (a play cut short).
        for (const auto &[handle, outcomes] : *against) {
            const size_t had = seen_.count(handle) ? seen_.at(handle) : 0;
            if (outcomes.size() > had) differing += static_cast<long>(outcomes.size() - had);
        }
    }

private:
    void tally(const SentMessage &m, Outcome outcome) {
        const std::string &handle = m.sender->handle;
        Share *share;
        if (m.profile) {
            share = &play_.profiles[m.profile];
        } else {
            if (!play_.typed.count(handle)) play_.typedUsers.push_back(handle);
            share = &play_.typed[handle];
        }
        share->senders.insert(handle);
        if (outcome == Outcome::NotSent) {
            ++share->unsent;
            return;
        }
        ++share->sent;
        if (outcome != Outcome::Refused) return;
        ++share->refused;
        const auto &deciding = m.screening->deciding;
        ++share->refusedBy[deciding ? ruleLabel(*deciding) : std::string("no reason recorded")];
    }

    void compare(const SentMessage &m, Outcome outcome, size_t index) {
        const std::string &handle = m.sender->handle;
        const auto it = against->find(handle);
        const Outcome before = it != against->end() && index < it->second.size() ? it->second[index] : Outcome::NotSent;
        if (before == outcome) return;
        ++differing;
        if (shown.size() >= SHOWN_DIFFERENCES) return;
        Difference d;
        d.handle = handle;
        d.index = index;
        d.time = m.time;
        d.message = m.describe ? m.describe() : "";
        d.before = before;
        d.after = outcome;
        d.beforeWhy = before == Outcome::Passed ? "passed" : "";
        d.afterWhy = why(m, outcome);
        shown.push_back(std::move(d));
    }

    Play &play_;
    std::unordered_map<std::string, size_t> seen_;
};

void playOnce(const RunOptions &base, const std::string &params, const std::string &file, Play &play,
              Watcher &watcher) {
    RunOptions options = base;
    options.quiet = true;
    options.stats = false;
    options.verbose = false;
    options.parameterFile = params;
    options.observer = &watcher;
    std::ostringstream log;
    ScenarioRunner runner(options, log);
    runner.runFile(file);
    play.tally = runner.tally();
    play.log = log.str();
}

std::string percentText(double share) {
    if (share > 0 && share < 0.05) return "<0.1%";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", share);
    return text;
}

// "chat line 4", or "chat line 4 3.0%, mimick line 9 0.2%".
std::string rulesText(const Share &s) {
    std::vector<std::pair<std::string, long>> rules(s.refusedBy.begin(), s.refusedBy.end());
    std::stable_sort(rules.begin(), rules.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    if (rules.size() == 1) return rules.front().first;
    std::string text;
    for (const auto &[rule, n] : rules)
        text += (text.empty() ? "" : ", ") + rule + " " +
                percentText(100.0 * static_cast<double>(n) / static_cast<double>(s.sent));
    return text;
}

// "flooders (4): 20.1% (chat line 9) -> 66.2% refused, by chat line 10".
std::string shareLine(const std::string &label, const Share &before, const Share &after) {
    if (before.sent == after.sent && before.refused == after.refused && before.unsent == after.unsent &&
        rulesText(before) == rulesText(after))
        return "  " + label + ": " + percentText(after.percent()) + " refused under both" +
               (after.refused ? ", by " + rulesText(after) : "") + '\n';
    std::string line = "  " + label + ": " + percentText(before.percent());
    if (before.refused) line += " (" + rulesText(before) + ")";
    line += " -> " + percentText(after.percent()) + " refused";
    if (after.refused) line += ", by " + rulesText(after);
    if (before.unsent != after.unsent)
        line += "; not sent " + std::to_string(before.unsent) + " -> " + std::to_string(after.unsent);
    return line + '\n';
}

void printShares(const Play &before, const Play &after, std::ostream &out) {
    out << "refused, OLD -> NEW:\n";
    const Share none;
    auto find = [&](const std::map<std::string, Share> &m, const std::string &key) -> const Share & {
        const auto it = m.find(key);
        return it == m.end() ? none : it->second;
    };
    for (const Profile &p : profiles()) {
        const Share &b = find(before.profiles, p.name), &a = find(after.profiles, p.name);
        if (b.senders.empty() && a.senders.empty()) continue;
        const size_t n = std::max(b.senders.size(), a.senders.size());
        out << shareLine(std::string(n == 1 ? p.name : p.plural) + " (" + std::to_string(n) + ")", b, a);
    }
    std::vector<std::string> users = before.typedUsers;
    for (const std::string &u : after.typedUsers)
        if (!before.typed.count(u)) users.push_back(u);
    for (const std::string &u : users) out << shareLine(u, find(before.typed, u), find(after.typed, u));
}

const char *outcomeWord(Outcome o) {
    switch (o) {
    case Outcome::Passed: return "passed";
    case Outcome::Refused: return "refused";
    case Outcome::NotSent: return "not sent";
    }
    return "";
}

void printDifferences(const Watcher &w, std::ostream &out) {
    if (w.differing == 0) {
        out << "no message's outcome differs\n";
        return;
    }
    out << "first differences (" << w.shown.size() << " of " << w.differing << "):\n";
    for (const Difference &d : w.shown) {
        out << "  " << clockText(d.time, d.time) << "  " << d.message << '\n';
        out << "      OLD  " << (d.beforeWhy.empty() ? outcomeWord(d.before) : d.beforeWhy) << '\n';
        out << "      NEW  " << d.afterWhy << '\n';
    }
    if (w.differing > static_cast<long>(w.shown.size()))
        out << "  and " << w.differing - static_cast<long>(w.shown.size()) << " more\n";
}

// Rule rows of both plays, matched by rule name and the order among rows of
// that name (the lines differ between the files).
void printRules(const Play &before, const Play &after, std::ostream &out) {
    using Row = DecisionStats::RuleRow;
    std::vector<std::pair<const Row *, const Row *>> rows;
    std::map<std::string, std::vector<const Row *>> unmatched;
    for (const Row &r : after.rules) unmatched[r.rule].push_back(&r);
    for (const Row &r : before.rules) {
        auto &same = unmatched[r.rule];
        const Row *match = same.empty() ? nullptr : same.front();
        if (match) same.erase(same.begin());
        rows.emplace_back(&r, match);
    }
    for (const Row &r : after.rules)
        if (auto &same = unmatched[r.rule]; !same.empty() && same.front() == &r) {
            rows.emplace_back(nullptr, &r);
            same.erase(same.begin());
        }
    char line[160];
    std::snprintf(line, sizeof line, "  %-16s %5s %9s %9s | %5s %9s %9s\n", "rule", "line", "checked", "refused", "line",
                  "checked", "refused");
    out << line;
    auto cells = [](const Row *r) {
        char c[48];
        if (!r) std::snprintf(c, sizeof c, "%5s %9s %9s", "-", "-", "-");
        else std::snprintf(c, sizeof c, "%5d %9ld %9ld", r->line, r->checked, r->refused);
        return std::string(c);
    };
    for (const auto &[b, a] : rows) {
        std::snprintf(line, sizeof line, "  %-16s %s | %s\n", (b ? b : a)->rule.c_str(), cells(b).c_str(),
                      cells(a).c_str());
        out << line;
    }
}

void printTypes(const Play &before, const Play &after, std::ostream &out) {
    using Row = DecisionStats::TypeRow;
    std::map<uint32, std::pair<Row, Row>> rows;
    for (const Row &r : before.types) rows[r.type].first = r;
    for (const Row &r : after.types) rows[r.type].second = r;
    char line[160];
    std::snprintf(line, sizeof line, "  %-16s %8s %6s %9s | %8s %6s %9s\n", "message type", "received", "passed",
                  "swallowed", "received", "passed", "swallowed");
    out << line;
    for (const auto &[type, pair] : rows) {
        const auto &[b, a] = pair;
        std::snprintf(line, sizeof line, "  %-16s %8ld %6ld %9ld | %8ld %6ld %9ld\n", typeText(type).c_str(), b.received,
                      b.passed, b.swallowed, a.received, a.passed, a.swallowed);
        out << line;
    }
}

void printChecks(const Play &before, const Play &after, std::ostream &out) {
    out << "checks: OLD " << before.tally.passed << " passed, " << before.tally.failed << " failed; NEW "
        << after.tally.passed << " passed, " << after.tally.failed << " failed\n";
    for (const auto &[side, play] : {std::pair{"OLD", &before}, std::pair{"NEW", &after}}) {
        std::istringstream lines(play->log);
        for (std::string l; std::getline(lines, l);) out << "  " << side << "  " << l << '\n';
    }
}

// One file: 0 the same, 1 different, 2 not played.
int compareFile(const RunOptions &options, const std::string &oldParams, const std::string &newParams,
                const std::string &file, std::ostream &out) {
    out << "== " << file << '\n';
    Play before, after;
    Outcomes outcomes;
    Watcher first(before);
    first.keep = &outcomes;
    playOnce(options, oldParams, file, before, first);
    Watcher second(after);
    second.against = &outcomes;
    playOnce(options, newParams, file, after, second);
    if (before.tally.error || after.tally.error) {
        for (const auto &[side, play] : {std::pair{"OLD", &before}, std::pair{"NEW", &after}})
            if (play->tally.error) out << side << ": " << play->log;
        return 2;
    }
    // The earlier play's reasons for the differences shown that it refused.
    std::map<Key, std::string> wanted;
    for (const Difference &d : second.shown)
        if (d.before == Outcome::Refused) wanted[{d.handle, d.index}];
    if (!wanted.empty()) {
        Play again;
        Watcher third(again);
        third.wanted = &wanted;
        playOnce(options, oldParams, file, again, third);
        for (Difference &d : second.shown)
            if (auto it = wanted.find({d.handle, d.index}); it != wanted.end()) d.beforeWhy = it->second;
    }
    printShares(before, after, out);
    printDifferences(second, out);
    out << "statistics, OLD | NEW:\n";
    printRules(before, after, out);
    printTypes(before, after, out);
    printChecks(before, after, out);
    return second.differing ? 1 : 0;
}

}  // namespace

int compareParameterFiles(const RunOptions &options, const std::string &oldParams, const std::string &newParams,
                          const std::vector<std::string> &files, std::ostream &out) {
    for (const std::string &params : {oldParams, newParams}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(params, ec)) {
            out << params << ":0: cannot read the parameter file\n";
            return 2;
        }
    }
    out << "OLD " << oldParams << "\nNEW " << newParams << '\n';
    int worst = 0;
    for (const std::string &file : files) worst = std::max(worst, compareFile(options, oldParams, newParams, file, out));
    return worst;
}

}  // namespace kestrom::sim::crowd
