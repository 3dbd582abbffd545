// completion.cpp - candidates for tab completion, from the verb table's
// usage lines and the module's command table.
#include "sim/console/completion.h"

#include "commands/commands.h"
#include "sim/session.h"

#include <algorithm>
#include <sstream>

namespace kestrom::sim::console {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The words of `before` that are complete (the partial word left out).
std::vector<std::string> wholeWords(std::string_view before) {
    before.remove_suffix(partialWord(before).size());
    std::vector<std::string> words;
    std::istringstream in{std::string(before)};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The usage's word for argument `index` (0: the first after the verb); a
// last word ending in "..." stands for every argument from there on.
std::string usageWord(const VerbInfo &verb, size_t index) {
    std::istringstream in(verb.usage);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.size() < 2) return "";
    words.erase(words.begin());
    if (index < words.size()) return words[index];
    const std::string &last = words.back();
    return last.size() > 3 && last.ends_with("...") ? last : "";
}

// The candidates for one usage word: USER and TARGET name users, ROOM a
// room, VERB a verb; a word of alternatives offers its lower-case ones
// (`K|off`, `yes|no`).
std::vector<std::string> candidatesFor(std::string word, const CompletionWords &words) {
    const bool optional = word.starts_with('[');
    word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return c == '[' || c == ']'; }), word.end());
    if (word.ends_with("...")) word.resize(word.size() - 3);
    if (word == "USER" || word == "TARGET") return words.handles;
    if (word == "ROOM") return words.rooms;
    if (word == "VERB") return words.verbs;
    if (optional || word.find('|') == std::string::npos) return {};
    std::vector<std::string> literal;
    std::istringstream in(word);
    for (std::string part; std::getline(in, part, '|');)
        if (!part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            literal.push_back(part);
    return literal;
}

// A chat command typed as TEXT's first word, its quote character kept.
std::vector<std::string> chatCommandsFor(std::string_view partial, const CompletionWords &words) {
    if (partial.empty() || (partial[0] != '`' && partial[0] != '\'')) return {};
    std::vector<std::string> quoted;
    for (const std::string &c : words.chatCommands) quoted.push_back(partial[0] + c);
    return quoted;
}

std::vector<std::string> startingWith(std::vector<std::string> candidates, std::string_view partial) {
    std::erase_if(candidates, [&](const std::string &c) { return !c.starts_with(partial); });
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    return candidates;
}

}  // namespace

std::vector<std::string> chatCommandWords() {
    std::vector<std::string> all;
    for (const CmdTable &row : kestrom::cmdTable) all.emplace_back(row.command);
    return all;
}

CompletionWords wordsOf(const Session &session) {
    CompletionWords words;
    words.verbs = Session::verbNames();
    words.handles = session.handles();
    for (const SimRoom *room : session.server().rooms()) words.rooms.push_back(std::to_string(room->id()));
    static const std::vector<std::string> commands = chatCommandWords();
    words.chatCommands = commands;
    return words;
}

std::string_view partialWord(std::string_view before) {
    size_t start = before.size();
    while (start > 0 && !isBlank(before[start - 1])) --start;
    return before.substr(start);
}

std::vector<std::string> completions(std::string_view before, const CompletionWords &words) {
    const std::string_view partial = partialWord(before);
    const std::vector<std::string> whole = wholeWords(before);
    if (whole.empty()) return startingWith(words.verbs, partial);
    const VerbInfo *verb = Session::findVerb(whole[0]);
    if (!verb) return {};
    const size_t argument = whole.size() - 1;
    if (verb->textAfter >= 0 && argument >= static_cast<size_t>(verb->textAfter)) {
        if (argument > static_cast<size_t>(verb->textAfter)) return {};
        return startingWith(chatCommandsFor(partial, words), partial);
    }
    return startingWith(candidatesFor(usageWord(*verb, argument), words), partial);
}

std::string commonPrefix(const std::vector<std::string> &candidates) {
    if (candidates.empty()) return "";
    std::string prefix = candidates.front();
    for (const std::string &c : candidates) {
        size_t n = 0;
        while (n < prefix.size() && n < c.size() && prefix[n] == c[n]) ++n;
        prefix.resize(n);
    }
    return prefix;
}

}  // namespace kestrom::sim::console
