// scan.h - word and number scanning for command lines and the parameter
// file.  Pure functions over NUL-terminated byte strings, POSIX-locale rules:
// a blank is a space or a tab, case folding maps A-Z to a-z only.
#pragma once

#include <cstdint>

namespace kestrom {

// num, or its negation when negative.
int32_t abs(int32_t num);
// The first character at or after s that is not a blank; null at the end.
const char *nextWord(const char *s);
// Characters from start to the first blank or the end.
int32_t wordLength(const char *start);
// 0 when the first words of word1 and word2 are equal ignoring case; -1 or 1
// when their lengths differ, 1 when their characters do.
int wordCmp(const char *word1, const char *word2);
// -1, 0 or 1: whole-string comparison ignoring case.
int strcmpci(const char *s1, const char *s2);
// 0 when the alphanumeric prefix of `word` is at least `minimum` and at most
// the command's length and a prefix of `command` ignoring case; else 1.
int wordMinCmp(const char *word, const char *command, int minimum);
// The unsigned decimal number at str as a non-negative int, or -1.
int32_t getUint(const char *str);

// 1 when the first word is "on", 0 when it is "off" (any case), else -1.
int onOffWord(const char *word);

// Character classes of the POSIX locale.
constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool isAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
constexpr char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The command-line quote characters: backquote and apostrophe.
constexpr bool isCommandQuote(char c) { return c == '`' || c == '\''; }

}  // namespace kestrom
