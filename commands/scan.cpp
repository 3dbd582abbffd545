// scan.cpp - word and number scanning.
#include "commands/scan.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace kestrom {

int32_t abs(int32_t num) { return num >= 0 ? num : -num; }

const char *nextWord(const char *s) {
    while (isBlank(*s)) ++s;
    return *s ? s : nullptr;
}

int32_t wordLength(const char *start) {
    int32_t n = 0;
    while (start[n] && !isBlank(start[n])) ++n;
    return n;
}

int wordCmp(const char *word1, const char *word2) {
    const int32_t len1 = wordLength(word1);
    const int32_t len2 = wordLength(word2);
    if (len1 != len2) return len1 < len2 ? -1 : 1;
    for (int32_t i = 0; i < len1; ++i)
        if (foldCase(word1[i]) != foldCase(word2[i])) return 1;
    return 0;
}

int strcmpci(const char *s1, const char *s2) {
    while (foldCase(*s1) == foldCase(*s2) && *s2) {
        ++s1;
        ++s2;
    }
    const auto c1 = static_cast<signed char>(foldCase(*s1));
    const auto c2 = static_cast<signed char>(foldCase(*s2));
    return c1 < c2 ? -1 : (c1 > c2 ? 1 : 0);
}

static int alnumPrefixLength(const char *s) {
    int n = 0;
    while (isAlnum(s[n])) ++n;
    return n;
}

int wordMinCmp(const char *word, const char *command, int minimum) {
    const int typed = alnumPrefixLength(word);
    if (typed > alnumPrefixLength(command) || typed < minimum) return 1;
    for (int i = 0; i < typed; ++i)
        if (foldCase(word[i]) != foldCase(command[i])) return 1;
    return 0;
}

int onOffWord(const char *word) {
    if (wordCmp(word, "on") == 0) return 1;
    if (wordCmp(word, "off") == 0) return 0;
    return -1;
}

// Reads like a 32-bit strtoul: leading white space of any kind, an optional
// sign ('-' negates modulo 2^32), and an error beyond the 32-bit range.
int32_t getUint(const char *str) {
    errno = 0;
    char *end = nullptr;
    const unsigned long value = std::strtoul(str, &end, 10);
    if (errno != 0) return -1;
    const char *sign = str;
    while (std::isspace(static_cast<unsigned char>(*sign))) ++sign;
    const bool negative = *sign == '-' && end != str;
    const unsigned long magnitude = negative ? 0ul - value : value;
    if (magnitude > 0xFFFFFFFFul) return -1;
    if (*end != '\0' && *end != ' ') return -1;
    const uint32_t value32 = negative ? 0u - static_cast<uint32_t>(magnitude)
                                      : static_cast<uint32_t>(magnitude);
    const auto asInt = static_cast<int32_t>(value32);
    return asInt < 0 ? -1 : asInt;
}

}  // namespace kestrom
