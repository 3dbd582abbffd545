// values.cpp - argument readers of the scenario language.
#include "sim/values.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace kestrom::sim {

namespace {

[[noreturn]] void bad(const char *what, const std::string &word) {
    throw ScenarioError(std::string("bad ") + what + " \"" + word + "\"");
}

// Splits word at every `sep`.
std::vector<std::string> split(const std::string &word, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = word.find(sep, start);
        parts.push_back(word.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

long parseNumber(const std::string &word, long min, long max, const char *what) {
    if (word.empty()) bad(what, word);
    errno = 0;
    char *end = nullptr;
    const long long value = std::strtoll(word.c_str(), &end, 10);
    if (errno || *end != '\0' || value < min || value > max) bad(what, word);
    return static_cast<long>(value);
}

uint32 parseUnsigned(const std::string &word, const char *what) {
    if (word.empty() || word[0] == '-') bad(what, word);
    return static_cast<uint32>(parseNumber(word, 0, 4294967295L, what));
}

int parseRank(const std::string &word) {
    static const struct {
        const char *word;
        int rank;
    } ranks[] = {
        {"guest", 0}, {"member", 1}, {"wizard", 2}, {"operator", 2}, {"god", 3}, {"owner", 3},
    };
    for (const auto &r : ranks)
        if (word == r.word) return r.rank;
    return static_cast<int>(parseNumber(word, 0, 3, "rank"));
}

std::string rankText(int rank) {
    static const char *const words[] = {"guest", "member", "wizard", "god"};
    return rank >= 0 && rank <= 3 ? words[rank] : std::to_string(rank);
}

PropWord parseProp(const std::string &word) {
    const size_t colon = word.find(':');
    PropWord p;
    p.asset.id = static_cast<AssetID>(parseNumber(word.substr(0, colon), INT32_MIN, INT32_MAX, "prop"));
    if (colon != std::string::npos) {
        p.asset.crc = parseUnsigned(word.substr(colon + 1), "prop crc");
        p.crcGiven = true;
    }
    return p;
}

std::vector<PropWord> parseProps(const std::string &word) {
    std::vector<PropWord> props;
    if (word == "none") return props;
    for (const std::string &part : split(word, ',')) props.push_back(parseProp(part));
    return props;
}

std::vector<AssetSpec> specsOf(const std::vector<PropWord> &props) {
    std::vector<AssetSpec> assets;
    for (const PropWord &p : props) assets.push_back(p.asset);
    return assets;
}

std::string propsText(const std::vector<AssetSpec> &props) {
    if (props.empty()) return "none";
    std::string s;
    for (const AssetSpec &p : props) {
        if (!s.empty()) s += ',';
        s += std::to_string(p.id);
        if (p.crc) s += ':' + std::to_string(p.crc);
    }
    return s;
}

Point parsePosition(const std::string &x, const std::string &y) {
    Point p;
    p.h = static_cast<sint16>(parseNumber(x, INT16_MIN, INT16_MAX, "horizontal position"));
    p.v = static_cast<sint16>(parseNumber(y, INT16_MIN, INT16_MAX, "vertical position"));
    return p;
}

Point parsePositionPair(const std::string &word) {
    const std::vector<std::string> parts = split(word, ',');
    if (parts.size() != 2) bad("position (X,Y)", word);
    return parsePosition(parts[0], parts[1]);
}

std::string positionText(Point p) { return std::to_string(p.h) + "," + std::to_string(p.v); }

uint32 parseFlags(const std::string &word, uint32 max) {
    if (word.empty() || word[0] == '-') bad("flags", word);
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(word.c_str(), &end, 0);
    if (errno || *end != '\0' || value > max) bad("flags", word);
    return static_cast<uint32>(value);
}

bool parseYesNo(const std::string &word, const char *what) {
    if (word == "yes") return true;
    if (word == "no") return false;
    bad(what, word);
}

void parseClock(const std::string &word, int &hours, int &minutes, int &seconds) {
    const std::vector<std::string> parts = split(word, ':');
    if (parts.size() != 3) bad("time (HH:MM:SS)", word);
    hours = static_cast<int>(parseNumber(parts[0], 0, 23, "hour"));
    minutes = static_cast<int>(parseNumber(parts[1], 0, 59, "minute"));
    seconds = static_cast<int>(parseNumber(parts[2], 0, 59, "second"));
}

std::array<uint8, 4> parseAddress(const std::string &word) {
    const std::vector<std::string> parts = split(word, '.');
    if (parts.size() != 4) bad("address (A.B.C.D)", word);
    std::array<uint8, 4> a{};
    for (size_t i = 0; i < 4; ++i) a[i] = static_cast<uint8>(parseNumber(parts[i], 0, 255, "address"));
    return a;
}

std::vector<unsigned char> parseHex(const std::string &word) {
    std::vector<unsigned char> bytes;
    if (word == "-") return bytes;
    if (word.size() % 2 != 0) bad("hex (pairs of digits)", word);
    for (size_t i = 0; i < word.size(); i += 2) {
        const std::string pair = word.substr(i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1])))
            bad("hex (pairs of digits)", word);
        bytes.push_back(static_cast<unsigned char>(std::strtoul(pair.c_str(), nullptr, 16)));
    }
    return bytes;
}

std::pair<std::string, std::string> splitKey(const std::string &word) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos) return {word, std::string()};
    return {word.substr(0, eq), word.substr(eq + 1)};
}

}  // namespace kestrom::sim
