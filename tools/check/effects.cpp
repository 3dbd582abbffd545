// effects.cpp - learning each line's effect from the module.
#include "tools/check/effects.h"

#include "tools/check/listing.h"
#include "tools/check/words.h"

namespace kestrom::check {

namespace {

// A value no file is likely to give: a line that leaves a setting alone
// shows it, a line that sets the setting replaces it.
std::string sentinelLine(const KeywordWords &k) {
    const std::string word = k.word;
    switch (k.argument) {
    case Argument::SWITCH: return word + (std::string(k.atStart) == "yes" ? " no" : " yes");
    case Argument::OFF_OR_NUMBER:
    case Argument::NUMBER: return word + " 987654321";
    case Argument::PICTURE:
    case Argument::TEXT: return word + " kestrom-check-sentinel";
    default: return "";
    }
}

std::string sentinels() {
    std::string text;
    for (const KeywordWords &k : keywords())
        if (const std::string line = sentinelLine(k); !line.empty()) text += line + "\n";
    return text;
}

int lineCount(const std::string &text) {
    int n = 0;
    for (const char c : text) n += c == '\n';
    return n;
}

std::string asLoaded(const SourceLine &line) { return line.raw + (line.hasNewline ? "\n" : ""); }

bool namesSetting(const SourceLine &line) {
    const std::vector<Word> words = wordsOf(line.text);
    const KeywordWords *k = words.empty() ? nullptr : findKeyword(words[0].text);
    return k && k->argument != Argument::ANNOUNCEMENT && k->argument != Argument::SETRANK;
}

bool namesSetrank(const SourceLine &line) {
    const std::vector<Word> words = wordsOf(line.text);
    const KeywordWords *k = words.empty() ? nullptr : findKeyword(words[0].text);
    return k && k->argument == Argument::SETRANK;
}

std::string valueIn(const Settings &settings, const std::string &row) {
    const auto it = settings.find(row);
    return it == settings.end() ? std::string() : it->second;
}

std::vector<std::string> settingRows() {
    std::vector<std::string> rows;
    for (const KeywordWords &k : keywords())
        if (k.argument != Argument::ANNOUNCEMENT && k.argument != Argument::SETRANK) rows.push_back(k.word);
    return rows;
}

// What the line's own load shows: its problems, rules, announcement, setrank.
void readOwnLoad(const LoadReport &report, int ownLine, int setranksBefore, LineEffect &effect) {
    effect.failed = !report.started;
    effect.failure = report.failure;
    for (const Problem &p : report.problems)
        if (p.line == ownLine) effect.problems.push_back(p.message);
    int setranks = 0;
    for (const std::string &line : report.listing) {
        std::string row;
        switch (rowOf(line, row)) {
        case Row::RULE: effect.rules.push_back(line); break;
        case Row::ANNOUNCEMENT: effect.announcements.push_back(line); break;
        case Row::SETRANK:
            if (setranks++ == 0) effect.setrank = line;
            break;
        default: break;
        }
    }
    if (setranks != setranksBefore + 1) effect.setrank.reset();
}

// Which settings the line sets: compared with a start from nothing and a
// start from the unusual values.
void readSettings(const Settings &plain, const Settings &plainBase, const Settings *sentinel,
                  const Settings &sentinelBase, LineEffect &effect) {
    for (const std::string &row : settingRows()) {
        const std::string p = valueIn(plain, row), p0 = valueIn(plainBase, row);
        if (!sentinel) {
            if (p != p0) effect.unclear = true;
            continue;
        }
        const std::string s = valueIn(*sentinel, row), s0 = valueIn(sentinelBase, row);
        if (s == p) effect.sets[row] = p;
        else if (s != s0 || p != p0) effect.unclear = true;
    }
}

struct Baselines {
    Settings plain, sentinel;
    std::string sentinelText;
};

LineEffect learnLine(ModuleRunner &runner, const SourceLine &line, const std::string &setranks,
                     int setranksBefore, const Baselines &base) {
    LineEffect effect;
    effect.content = true;
    const std::string prefix = namesSetrank(line) ? setranks : std::string();
    const LoadReport plain = runner.loadText(prefix + asLoaded(line));
    readOwnLoad(plain, lineCount(prefix) + 1, namesSetrank(line) ? setranksBefore : 0, effect);
    if (effect.failed) return effect;
    std::optional<Settings> sentinel;
    if (namesSetting(line)) {
        const LoadReport second = runner.loadText(base.sentinelText + asLoaded(line));
        if (second.started) sentinel = settingsOf(second.listing);
    }
    readSettings(settingsOf(plain.listing), base.plain, sentinel ? &*sentinel : nullptr, base.sentinel,
                 effect);
    return effect;
}

// Rules with room numbers first, the later line first; then the others in
// file order: the order the module looks rules up in, and lists them.
std::vector<std::string> chainOrder(const std::vector<std::string> &inFileOrder) {
    std::vector<std::string> ranged, plain;
    for (const std::string &line : inFileOrder) {
        const std::optional<Rule> rule = readListedRule(line);
        (rule && !rule->where.ranges.empty() ? ranged : plain).push_back(line);
    }
    std::vector<std::string> order(ranged.rbegin(), ranged.rend());
    order.insert(order.end(), plain.begin(), plain.end());
    return order;
}

using Rows = std::map<std::string, std::vector<std::string>>;

Rows rowsOf(const std::vector<std::string> &listing) {
    Rows rows;
    for (const std::string &line : listing) {
        std::string row;
        rowOf(line, row);
        rows[row].push_back(line);
    }
    return rows;
}

// The listing the effects put together give.
Rows predictedRows(const Effects &effects) {
    Rows rules, rows;
    Settings settings = effects.atStart;
    std::vector<std::string> announcements, setranks;
    for (const LineEffect &e : effects.lines) {
        for (const std::string &line : e.rules) {
            std::string row;
            rowOf(line, row);
            rules[row].push_back(line);
        }
        announcements.insert(announcements.begin(), e.announcements.rbegin(), e.announcements.rend());
        if (e.setrank) setranks.insert(setranks.begin(), *e.setrank);
        for (const auto &[row, line] : e.sets) settings[row] = line;
    }
    for (const auto &[row, lines] : rules) rows[row] = chainOrder(lines);
    for (const auto &[row, line] : settings)
        if (!line.empty()) rows[row].push_back(line);
    if (!announcements.empty()) rows["autoannounce"] = announcements;
    if (!setranks.empty()) rows["setrank"] = setranks;
    return rows;
}

}  // namespace

bool isContentLine(const SourceLine &line) {
    const std::vector<Word> words = wordsOf(line.text);
    return !words.empty() && words[0].text[0] != '#';
}

Settings settingsOf(const std::vector<std::string> &listing) {
    Settings settings;
    for (const std::string &line : listing) {
        std::string row;
        if (rowOf(line, row) == Row::SETTING) settings[row] = line;
    }
    return settings;
}

Effects learnEffects(ModuleRunner &runner, const SourceFile &file) {
    Effects effects;
    Baselines base;
    base.sentinelText = sentinels();
    base.plain = settingsOf(runner.loadText("").listing);
    base.sentinel = settingsOf(runner.loadText(base.sentinelText).listing);
    effects.atStart = base.plain;
    std::string setranks;
    int setranksBefore = 0;
    for (const SourceLine &line : file.lines) {
        if (!isContentLine(line) && !line.tooLong) {
            effects.lines.emplace_back();
            continue;
        }
        effects.lines.push_back(learnLine(runner, line, setranks, setranksBefore, base));
        if (effects.lines.back().setrank) {
            setranks += asLoaded(line);
            if (!line.hasNewline) setranks += "\n";
            ++setranksBefore;
        }
    }
    return effects;
}

std::vector<std::string> unaccounted(const Effects &effects, const std::vector<std::string> &listing) {
    const Rows actual = rowsOf(listing);
    const Rows predicted = predictedRows(effects);
    std::vector<std::string> rows;
    for (const auto &[row, lines] : actual) {
        const auto it = predicted.find(row);
        if (it == predicted.end() || it->second != lines) rows.push_back(row);
    }
    for (const auto &[row, lines] : predicted)
        if (!actual.count(row)) rows.push_back(row);
    for (const LineEffect &e : effects.lines)
        if (e.unclear) rows.push_back("(a line's own loads)");
    return rows;
}

}  // namespace kestrom::check
