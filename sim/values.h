// values.h - reading the arguments of scenario directives: numbers, ranks,
// props, positions, flags, clock times, addresses and hex bytes.  Each
// reader throws ScenarioError naming what was wrong.
#pragma once

#include "core/host.h"
#include "sim/scenario.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kestrom::sim {

// A decimal number (a sign allowed) within min..max.
long parseNumber(const std::string &word, long min, long max, const char *what);
// A decimal number 0..4294967295.
uint32 parseUnsigned(const std::string &word, const char *what);
// guest, member, wizard (operator), god (owner), or 0..3.
int parseRank(const std::string &word);
// The word for a rank: guest, member, wizard, god (or the number).
std::string rankText(int rank);

// A prop as written: ID or ID:CRC.
struct PropWord {
    AssetSpec asset{};
    bool crcGiven = false;
};
PropWord parseProp(const std::string &word);
// A comma-separated list of props, or the word none.
std::vector<PropWord> parseProps(const std::string &word);
std::vector<AssetSpec> specsOf(const std::vector<PropWord> &props);
// "5,7:12", or "none".
std::string propsText(const std::vector<AssetSpec> &props);

// A position written as two words X Y, or as one word X,Y.
Point parsePosition(const std::string &x, const std::string &y);
Point parsePositionPair(const std::string &word);
std::string positionText(Point p); // "X,Y"

// Host flags: 0xHHHH (or decimal).
uint32 parseFlags(const std::string &word, uint32 max);
bool parseYesNo(const std::string &word, const char *what);
// HH:MM:SS.
void parseClock(const std::string &word, int &hours, int &minutes, int &seconds);
// A.B.C.D.
std::array<uint8, 4> parseAddress(const std::string &word);
// Pairs of hex digits, or - for no bytes.
std::vector<unsigned char> parseHex(const std::string &word);
// KEY=VALUE split at the first '='; the value is empty when there is none.
std::pair<std::string, std::string> splitKey(const std::string &word);

}  // namespace kestrom::sim
