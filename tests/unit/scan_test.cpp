// Word and number scanning: the rules that decide which typed lines count as
// which command.
#include "commands/scan.h"

#include <gtest/gtest.h>

using namespace kestrom;

namespace {

TEST(Scan, NextWord) {
    EXPECT_EQ(nextWord(""), nullptr);
    EXPECT_EQ(nextWord("   "), nullptr);
    EXPECT_EQ(nextWord(" \t "), nullptr);
    const char *s = "  a b";
    EXPECT_EQ(nextWord(s), s + 2);
}

TEST(Scan, WordLength) {
    EXPECT_EQ(wordLength("abc def"), 3);
    EXPECT_EQ(wordLength("\tabc"), 0);
    EXPECT_EQ(wordLength(""), 0);
}

struct CompareCase {
    const char *a;
    const char *b;
    int expected;
};

TEST(Scan, WordCmp) {
    const CompareCase cases[] = {
        {"Help", "help", 0}, {"help me", "help", 0}, {"hel", "help", -1},
        {"helpx", "help", 1}, {"hemp", "help", 1},   {"on extra", "on", 0},
        {"ON", "on", 0},      {"onx", "on", 1},
    };
    for (const auto &c : cases) EXPECT_EQ(wordCmp(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(Scan, StrcmpCi) {
    EXPECT_EQ(strcmpci("Beam Me Up", "beam me up"), 0);
    EXPECT_NE(strcmpci("Beam Me Up ", "beam me up"), 0);
    EXPECT_NE(strcmpci("hello", "hello "), 0);
    EXPECT_EQ(strcmpci("", ""), 0);
    EXPECT_EQ(strcmpci("a", "b"), -1);
    EXPECT_EQ(strcmpci("B", "a"), 1);
}

struct MinCase {
    const char *word;
    const char *command;
    int minimum;
    int expected;
};

TEST(Scan, WordMinCmp) {
    const MinCase cases[] = {
        {"rk", "rkick", 2, 0},     {"r", "rkick", 2, 1},     {"rkicks", "rkick", 2, 1},
        {"RKick!", "rkick", 2, 0}, {"find", "find", 4, 0},   {"fin", "find", 4, 1},
        {"user:", "user", 4, 0},   {"user more", "user", 4, 0}, {"use", "user", 4, 1},
        {"users", "user", 4, 1},   {"", "user", 0, 0},       {",x", "user", 1, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(wordMinCmp(c.word, c.command, c.minimum), c.expected) << c.word << " / " << c.command;
}

struct UintCase {
    const char *text;
    int32_t expected;
};

TEST(Scan, GetUint) {
    const UintCase cases[] = {
        {"42", 42},           {"42 rest", 42},     {" 42", 42},           {"42x", -1},
        {"42\t", -1},         {"x", -1},           {"-1", -1},            {"2147483648", -1},
        {"2147483647", 2147483647},                {"99999999999", -1},   {"4294967296", -1},
        {"+7", 7},            {"", 0},             {" ", 0},              {"-0", 0},
        {"\n5", 5},           {"-4294967295", 1},  {"10 20", 10},
        {"99999999999999999999", -1},              {"-99999999999999999999", -1},
    };
    for (const auto &c : cases) EXPECT_EQ(getUint(c.text), c.expected) << '"' << c.text << '"';
}

TEST(Scan, Abs) {
    EXPECT_EQ(kestrom::abs(-5), 5);
    EXPECT_EQ(kestrom::abs(0), 0);
    EXPECT_EQ(kestrom::abs(7), 7);
}

}  // namespace
