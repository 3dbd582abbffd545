// suggest.cpp - edit distance over short words.
#include "tools/check/suggest.h"

#include <algorithm>
#include <cctype>

namespace kestrom::check {

namespace {

std::string lower(std::string_view s) {
    std::string out;
    for (const char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Insertions, deletions, substitutions and swaps of neighbours.
size_t distance(const std::string &a, const std::string &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::string nearest(std::string_view word, const std::vector<std::string> &candidates) {
    const std::string w = lower(word);
    if (w.empty() || w.size() > 40) return "";
    std::string best;
    size_t bestDistance = 3;
    for (const std::string &candidate : candidates) {
        const std::string c = lower(candidate);
        size_t d = distance(w, c);
        const bool partOf = w.size() >= 2 && (c.rfind(w, 0) == 0 || (c.size() > w.size() &&
                                              c.compare(c.size() - w.size(), w.size(), w) == 0));
        if (partOf) d = std::min<size_t>(d, 2);
        if (d > 0 && d < bestDistance && d * 3 <= std::max(c.size(), w.size()) + 2) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

std::string didYouMean(std::string_view word, const std::vector<std::string> &candidates) {
    const std::string best = nearest(word, candidates);
    return best.empty() ? "" : "; did you mean `" + best + "`?";
}

}  // namespace kestrom::check
