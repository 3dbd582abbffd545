// completion.h - what tab completion offers at the console: verbs as the
// first word, then what the verb's usage names at that place (a user, a
// room, a verb, a literal word such as `off`), and the module's chat
// commands as the first word of a TEXT that begins with a backquote or an
// apostrophe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrom::sim {
class Session;
}

namespace kestrom::sim::console {

// The words completion chooses from.
struct CompletionWords {
    std::vector<std::string> verbs;
    std::vector<std::string> handles;
    std::vector<std::string> rooms;
    std::vector<std::string> chatCommands; // without the quote character
};

// The module's chat command words, from its command table.
std::vector<std::string> chatCommandWords();
// The verbs, the session's handles and rooms, and the chat commands.
CompletionWords wordsOf(const Session &session);

// The word being typed: the end of `before` (the line up to the cursor)
// after its last blank.
std::string_view partialWord(std::string_view before);
// The whole words that can stand where the partial word is, sorted.
std::vector<std::string> completions(std::string_view before, const CompletionWords &words);
// The longest beginning that all candidates share.
std::string commonPrefix(const std::vector<std::string> &candidates);

}  // namespace kestrom::sim::console
