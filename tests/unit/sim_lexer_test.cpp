// The scenario language's lexing: fixed words, quoted words, and TEXT taken
// verbatim after the one blank that follows the fixed words.
#include "sim/scenario.h"

#include <gtest/gtest.h>

using kestrom::sim::Directive;
using kestrom::sim::isSkippable;
using kestrom::sim::parseDirective;
using kestrom::sim::ScenarioError;

namespace {

struct LexCase {
    const char *line;
    const char *verb;
    std::vector<std::string> words;
    const char *text;
};

TEST(SimLexer, DirectivesSplitIntoWordsAndText) {
    const LexCase cases[] = {
        {"say Bob hello", "say", {"Bob"}, "hello"},
        {"say Bob  two blanks", "say", {"Bob"}, " two blanks"},
        {"say Bob trailing  ", "say", {"Bob"}, "trailing  "},
        {"say Bob \"quoted\" it's `x", "say", {"Bob"}, "\"quoted\" it's `x"},
        {"say \"Bob\" hi", "say", {"Bob"}, "hi"},
        {"say Bob", "say", {"Bob"}, ""},
        {"say Bob ", "say", {"Bob"}, ""},
        {"  say   Bob indented", "say", {"Bob"}, "indented"},
        {"say\tBob\ttab\t", "say", {"Bob"}, "tab\t"},
        {"whisper Bob Carol `kill", "whisper", {"Bob", "Carol"}, "`kill"},
        {"expect-log  x", "expect-log", {}, " x"},
        {"expect Bob Sorry, you've been pagegagged.", "expect", {"Bob"}, "Sorry, you've been pagegagged."},
        {"room 2 \"Bob's Den\" closed", "room", {"2", "Bob's Den", "closed"}, ""},
        {"room 3 \"say \\\"hi\\\" \\\\ ok\"", "room", {"3", "say \"hi\" \\ ok"}, ""},
        {"user Bob name=\"Bob Smith\" rank=god", "user", {"Bob", "name=Bob Smith", "rank=god"}, ""},
        {"room 4 \"\"", "room", {"4", ""}, ""},
    };
    for (const LexCase &c : cases) {
        const Directive d = parseDirective(c.line, 7);
        EXPECT_EQ(d.verb, c.verb) << c.line;
        EXPECT_EQ(d.words, c.words) << c.line;
        EXPECT_EQ(d.text, c.text) << c.line;
        EXPECT_EQ(d.line, 7);
    }
}

TEST(SimLexer, BadLinesAreRefused) {
    const char *const bad[] = {
        "room 2 \"open",   // a quote that does not end
        "frobnicate Bob",  // no such verb
        "say",             // USER missing
        "goto Bob",        // ROOM missing
        "leave Bob Carol", // one word too many
        "stop now",
        "expect-none",
    };
    for (const char *line : bad) EXPECT_THROW(parseDirective(line, 1), ScenarioError) << line;
}

TEST(SimLexer, CommentsAndBlankLinesAreSkipped) {
    EXPECT_TRUE(isSkippable(""));
    EXPECT_TRUE(isSkippable("   \t"));
    EXPECT_TRUE(isSkippable("  # a comment"));
    EXPECT_TRUE(isSkippable("#"));
    EXPECT_FALSE(isSkippable("say Bob # not a comment"));
}

}  // namespace
