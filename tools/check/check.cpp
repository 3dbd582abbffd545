// check.cpp - reading the file, asking the module, running the rules.
#include "tools/check/check.h"

#include "tools/check/rules.h"

namespace kestrom::check {

namespace {

// The checks of one line, in the order they run; the last one closes the
// line's findings with what the module installed.
constexpr LineCheck theLineChecks[] = {
    checkLength,       checkNul,          checkModuleProblems, checkSetting,      checkAnnouncement,
    checkSetrankLine,  checkRuleValues,   checkRooms,          checkAgreement,    noteInstalled,
};

constexpr FileCheck theFileChecks[] = {
    checkStart,  checkLineEnds,    checkShadowed, checkGivenTwice, checkSetranks,
    checkRlimit, checkListingSize, checkAccounted,
};

LineFacts factsOf(const SourceLine &line, const LineEffect &effect, const Settings &before) {
    LineFacts facts{line, effect, before, wordsOf(line.text), nullptr, nullptr, std::nullopt};
    if (!effect.content || facts.words.empty()) return facts;
    const Word &first = facts.words[0];
    facts.keyword = findKeyword(first.text);
    if (!facts.keyword) facts.param = findParameter(first.text);
    if (facts.param) facts.rule = readRule(*facts.param, line.text, first);
    return facts;
}

void checkLines(Checked &checked) {
    Settings settings = checked.effects.atStart;
    for (size_t i = 0; i < checked.file.lines.size(); ++i) {
        const LineEffect &effect = checked.effects.lines[i];
        const LineFacts facts = factsOf(checked.file.lines[i], effect, settings);
        for (const LineCheck check : theLineChecks) check(facts, checked.found);
        for (const auto &[row, line] : effect.sets) settings[row] = line;
    }
}

}  // namespace

bool checkFile(const std::string &path, const std::string &modulePath, Checked &out, std::string &error) {
    out.file.path = path;
    std::string why;
    if (!readSourceFile(path, out.file.bytes, why)) {
        out.found.error(1, 1, "cannot read the file: " + why + "; the module would not start with it");
        return true;
    }
    if ((out.binary = binaryKind(out.file.bytes))) {
        out.found.error(1, 1,
                        std::string("this is a ") + out.binary +
                            " file, not a parameter file: the module "
                            "would read its bytes as lines of text" +
                            (std::string(out.binary).find("compressed") != std::string::npos
                                 ? " (decompress it first)"
                                 : ""));
        return true;
    }
    ModuleRunner runner;
    if (!runner.open(modulePath, error)) {
        error = "cannot load the module " + modulePath + ": " + error;
        return false;
    }
    out.habits = runner.learnHabits();
    splitLines(out.file, out.habits);
    out.effects = learnEffects(runner, out.file);
    std::vector<std::string> raw;
    for (const SourceLine &line : out.file.lines) raw.push_back(line.raw);
    out.whole = runner.loadFile(path, raw, true);
    checkLines(out);
    for (const FileCheck check : theFileChecks) check(out, out.found);
    return true;
}

}  // namespace kestrom::check
