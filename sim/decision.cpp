// decision.cpp - reason lines, check values and statistics of the module's
// decisions.
#include "sim/decision.h"

#include "sim/messages.h"
#include "sim/users.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <sstream>

namespace kestrom::sim {

namespace {

// The parameters of the parameter file, as its rule lines name them.
constexpr const char *PARAMETER_NAMES[] = {
    "zone",     "spoof",        "page",     "reppage",    "chat",          "repchat",
    "propdrop", "roommsg",      "facechange", "avatarchange", "move",      "slide",
    "spotstatechange", "chatgoto", "clearlooseprops", "nodupavatars", "namechange", "take",
    "dupip",    "godonly",      "avatarzone", "mimick",   "pinx",          "newroom",
    "gpage",    "rpage",        "roompage",
};

// Parameters that configure commands rather than screen anything: no
// decision ever names them.
bool isCommandSetting(const std::string &rule) { return rule == "take" || rule == "pinx"; }

std::string handleOf(const SimUser *u) { return u ? u->handle : std::string("someone who has left"); }

std::string number(double value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

std::string roomText(RoomID room) { return room < 0 ? std::string("no room") : "room " + std::to_string(room); }

std::string sanctionWords(int bits) {
    static constexpr std::pair<int, const char *> words[] = {
        {0x08, "prop-gag"}, {0x01, "pin"}, {0x04, "gag"}, {0x02, "kick"}};
    std::string s;
    for (const auto &[bit, word] : words)
        if (bits & bit) s += (s.empty() ? "" : ", ") + std::string(word);
    return s.empty() ? "none" : s;
}

// " (line 3: chat 2 1 public warn)", " (built-in default)", or "" for a
// decision no parameter makes.
std::string ruleSource(const Decision &d) {
    if (!d.fromParameterFile()) return "";
    if (d.line <= 0) return " (built-in default)";
    if (d.lineText.empty()) return " (line " + std::to_string(d.line) + ")";
    return " (line " + std::to_string(d.line) + ": " + d.lineText + ")";
}

std::string rateDetail(const Decision &d) {
    if (d.has(KESTROM_DF_EXEMPT)) return "rank 2 or more: not counted";
    if (d.has(KESTROM_DF_UNLIMITED)) return "no limit (maximum -1)";
    if (d.maximum == 0) return "the maximum is 0: every one is refused";
    std::string s = std::to_string(d.levelBefore) + " of " + std::to_string(d.maximum) + " used";
    if (d.units != 1) s += ", this one costs " + std::to_string(d.units);
    s += d.decay > 0 ? ", drains " + number(d.decay) + " a second" : ", never drains";
    if (d.wait >= 0) s += ", allowed again in " + std::to_string(d.wait) + " s";
    return s;
}

std::string commandWord(const Decision &d) { return d.command.empty() ? std::string() : "`" + d.command; }

std::string rankNeeds(const Decision &d) {
    return "needs " + std::to_string(d.rankNeeded) + (d.rule == "owner" ? " or the room's owner" : "") + ", has " +
           std::to_string(d.rankHeld);
}

// What the decision found, in words (without rule, source or told).
std::string detail(const Decision &d) {
    const std::string &r = d.rule;
    if (d.has(KESTROM_DF_RATE) || d.has(KESTROM_DF_EXEMPT) || d.has(KESTROM_DF_UNLIMITED)) return rateDetail(d);
    const std::string max = std::to_string(d.maximum);
    if (r == "mimick")
        return d.refused ? "repeats what " + handleOf(d.other) + " said"
                         : std::to_string(d.measured) + " characters (looks at " + max + " or more)";
    if (r == "spoof") return d.refused ? "an @ among the symbols that open the line" : "no @ among the opening symbols";
    if (r == "zone") return d.refused ? "the same prop lies within " + max + " pixels" : "no copy within " + max + " pixels";
    if (r == "avatarzone")
        return d.refused ? "within " + max + " pixels of " + handleOf(d.other) : "nobody within " + max + " pixels";
    if (r == "nodupavatars" || r == "rnodupavatars") {
        if (!d.refused) return "nobody here wears the same avatar";
        return d.otherID ? "wears the same avatar as " + handleOf(d.other) : "more than nine props";
    }
    if (r == "clearlooseprops")
        return std::to_string(d.measured) + " people in the room" +
               (d.refused ? ", more than " + max : ", at most " + max + " or the user's own room");
    if (r == "godonly")
        return d.timerAction >= 0 ? (d.refused ? "logged off: only owners may stay in " : "an owner may stay in ") + roomText(d.room)
                                  : "only owners may enter " + roomText(d.room);
    if (r == "dupip")
        return std::to_string(d.measured) + (d.measured == 1 ? " other user" : " other users") + " on the address" +
               (d.refused ? ", more than " + max + ": logged off" : ", at most " + max);
    if (r == "chatgoto") {
        if (d.refused) return d.other ? "cannot move " + handleOf(d.other) : "the user whispered to has left";
        return d.other ? "sends " + handleOf(d.other) : "moves the speaker";
    }
    if (r == "roomgag") return "gagged in this room";
    if (r == "pagegag") return "page-gagged";
    if (r == "namegag") return "name-gagged";
    if (r == "listgag") return "list-gagged";
    if (r == "roompin") return "pinned in this room";
    if (r == "roompropgag") return "prop-gagged in this room";
    if (r == "illegalname") return "the name had to be cleaned";
    if (r == "pagelength") return "the page is too short (pagelength)";
    if (r == "guestwiz") return "a guest may not ask for operator status (guestwiz off)";
    if (r == "rnolooseprops") return "the owner allows no loose props here";
    if (r == "rpropfreeze") return "the owner has frozen the loose props";
    if (r == "propfreeze") return "an operator has frozen the loose props";
    if (r == "noroom") return "in no room";
    if (r == "kick") return "kicked from " + roomText(d.room);
    if (r == "sanction") return sanctionWords(d.sanctions) + " applied in " + roomText(d.room);
    if (r == "malformed") return "the body does not hold what its type needs";
    if (r == "rank" || r == "owner") return rankNeeds(d) + " (" + commandWord(d) + ")";
    if (r == "target")
        return d.other ? handleOf(d.other) + " has rank " + std::to_string(d.rankNeeded) + ", above " +
                             std::to_string(d.rankHeld) + " (" + commandWord(d) + ")"
                       : "no user to direct " + commandWord(d) + " at";
    if (r == "argument")
        return d.command.empty() ? "a page needs a message"
                                 : "the argument is missing, not allowed, or names the issuer (" + commandWord(d) + ")";
    return "";
}

}  // namespace

bool isParameterName(const std::string &word) {
    return std::any_of(std::begin(PARAMETER_NAMES), std::end(PARAMETER_NAMES),
                       [&](const char *name) { return word == name; });
}

std::string selectionText(const Decision &d) {
    switch (d.selection) {
    case KESTROM_SELECT_RANGE:
        return d.rangeLow == d.rangeHigh ? "rm" + std::to_string(d.rangeLow)
                                         : "rm" + std::to_string(d.rangeLow) + "-" + std::to_string(d.rangeHigh);
    case KESTROM_SELECT_KIND:
        switch (d.selectionBit) {
        case 0x0001: return "public";
        case 0x0002: return "private";
        case 0x0004: return "member";
        case 0x0010: return "altmember";
        default: return "kind " + std::to_string(d.selectionBit);
        }
    case KESTROM_SELECT_LIMBO: return "limbo";
    case KESTROM_SELECT_ANY: return "any room";
    default: return "";
    }
}

std::string reasonText(const Decision &d) {
    if (!d.refused && (d.rule == "rank" || d.rule == "owner"))
        return "carried out as the command " + commandWord(d) + " (" + rankNeeds(d) + ")";
    std::string s = d.rule == "chatgoto" && !d.refused ? "carried out as a chat-goto phrase"
                                                       : (d.refused ? "refused by " : "passed by ") + d.rule;
    s += ruleSource(d);
    const std::string what = detail(d);
    if (!what.empty()) s += ": " + what;
    if (d.refused) s += d.told ? ", told" : ", not told";
    return s;
}

std::optional<std::string> decisionValue(const Decision &d, const std::string &key) {
    auto orNone = [](int value) { return value < 0 ? std::string("none") : std::to_string(value); };
    if (key == "line") return std::to_string(d.line);
    if (key == "level") return std::to_string(d.levelBefore);
    if (key == "after") return std::to_string(d.levelAfter);
    if (key == "max") return std::to_string(d.maximum);
    if (key == "decay") return number(d.decay);
    if (key == "units") return std::to_string(d.units);
    if (key == "wait") return orNone(d.wait);
    if (key == "other") return d.other ? d.other->handle : std::string("none");
    if (key == "told") return std::string(d.told ? "yes" : "no");
    if (key == "room") return orNone(d.room);
    if (key == "selection") return selectionText(d);
    if (key == "needs") return std::to_string(d.rankNeeded);
    if (key == "has") return std::to_string(d.rankHeld);
    if (key == "command") return d.command;
    if (key == "measured") return std::to_string(d.measured);
    if (key == "sanctions") return sanctionWords(d.sanctions);
    return std::nullopt;
}

const Decision *decidingDecision(const std::vector<const Decision *> &decisions, bool swallowed) {
    for (auto it = decisions.rbegin(); it != decisions.rend(); ++it)
        if ((*it)->refused) return *it;
    if (!swallowed) return nullptr;
    for (auto it = decisions.rbegin(); it != decisions.rend(); ++it) {
        const std::string &r = (*it)->rule;
        if (r == "rank" || r == "owner" || r == "chatgoto") return *it;
    }
    return nullptr;
}

// ------------------------------------------------------------ statistics

std::vector<std::pair<std::string, long>> DecisionStats::RuleRow::mostRefused(size_t n) const {
    std::vector<std::pair<std::string, long>> users(refusedUsers.begin(), refusedUsers.end());
    std::stable_sort(users.begin(), users.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    if (users.size() > n) users.resize(n);
    return users;
}

void DecisionStats::addDecision(const Decision &d) {
    RuleRow &row = rules_[{d.rule, d.line}];
    row.rule = d.rule;
    row.line = d.line;
    if (row.lineText.empty()) row.lineText = d.lineText;
    ++row.checked;
    ++(d.refused ? row.refused : row.passed);
    if (d.told) ++row.told;
    if (d.refused) ++row.refusedUsers[handleOf(d.user)];
}

void DecisionStats::addVerdict(uint32 type, bool passed) {
    TypeRow &row = types_[type];
    row.type = type;
    ++row.received;
    ++(passed ? row.passed : row.swallowed);
}

void DecisionStats::setParameterLines(const std::vector<std::string> &lines) { lines_ = lines; }

void DecisionStats::clear() {
    rules_.clear();
    types_.clear();
}

std::vector<DecisionStats::RuleRow> DecisionStats::rules() const {
    std::vector<RuleRow> rows;
    std::set<std::pair<std::string, int>> listed;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::istringstream words(lines_[i]);
        std::string first;
        if (!(words >> first) || !isParameterName(first) || isCommandSetting(first)) continue;
        const std::pair<std::string, int> key{first, static_cast<int>(i + 1)};
        auto it = rules_.find(key);
        RuleRow row = it != rules_.end() ? it->second : RuleRow{};
        row.rule = first;
        row.line = key.second;
        row.lineText = lines_[i];
        row.inFile = true;
        rows.push_back(row);
        listed.insert(key);
    }
    for (const auto &[key, row] : rules_)
        if (!listed.count(key)) rows.push_back(row);
    return rows;
}

std::vector<DecisionStats::TypeRow> DecisionStats::messageTypes() const {
    std::vector<TypeRow> rows;
    for (const auto &[type, row] : types_) rows.push_back(row);
    return rows;
}

const DecisionStats::RuleRow *DecisionStats::rule(const std::string &name, int line) const {
    auto it = rules_.find({name, line});
    return it == rules_.end() ? nullptr : &it->second;
}

void DecisionStats::print(std::ostream &out) const {
    out << "  rules:\n";
    out << "    " << std::left << std::setw(44) << "rule" << std::right << std::setw(8) << "checked"
        << std::setw(8) << "passed" << std::setw(8) << "refused" << std::setw(6) << "told" << std::setw(7)
        << "users" << "  most refused\n";
    for (const RuleRow &row : rules()) {
        std::string label = row.rule;
        if (row.line > 0) label += " (line " + std::to_string(row.line) + ")";
        std::string most;
        for (const auto &[handle, count] : row.mostRefused(3))
            most += (most.empty() ? "" : ", ") + handle + " " + std::to_string(count);
        std::string mark;
        if (row.checked == 0) mark = "never checked";
        else if (row.refused == 0) mark = "never refused";
        out << "    " << std::left << std::setw(44) << label << std::right << std::setw(8) << row.checked
            << std::setw(8) << row.passed << std::setw(8) << row.refused << std::setw(6) << row.told
            << std::setw(7) << row.refusedUsers.size() << "  " << (most.empty() ? "-" : most);
        if (!mark.empty()) out << "  [" << mark << "]";
        out << '\n';
    }
    out << "  message types:\n";
    out << "    " << std::left << std::setw(8) << "type" << std::right << std::setw(10) << "received"
        << std::setw(8) << "passed" << std::setw(11) << "swallowed" << '\n';
    for (const TypeRow &row : messageTypes())
        out << "    " << std::left << std::setw(8) << typeText(row.type) << std::right << std::setw(10)
            << row.received << std::setw(8) << row.passed << std::setw(11) << row.swallowed << '\n';
}

}  // namespace kestrom::sim
