// listing.h - the module's listing read back: which row a listing line
// belongs to, the rules it shows, and a rule written the way the listing
// writes it (to compare what a line says with what the module installed).
#pragma once

#include "tools/check/words.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom::check {

struct Range {
    int32_t low;
    int32_t high;
};

// A rule's room selection.
struct Selection {
    int32_t rooms = 0;         // room kinds, limbo and warn bits
    std::vector<Range> ranges; // newest first, as the module keeps them
    // Users in no room: any bit selects them (warn included).
    bool selectsLimbo() const { return rooms != 0; }
};

// A rule as the listing shows it.
struct Rule {
    const ParameterWords *param = nullptr;
    uint32_t maximum = 0;
    double decay = 0;
    Selection where;
    std::string text;        // chatgoto phrase, dupip pattern
    bool hasText = false;
    bool cutShort = false;   // the listing line may have left selection words out
};

enum class Row { RULE, SETTING, ANNOUNCEMENT, SETRANK, UNKNOWN };

// The row of a listing line and its name (the first word, lower case).
Row rowOf(std::string_view line, std::string &name);
// A rule listing line read back; nothing when it is not one.
std::optional<Rule> readListedRule(std::string_view line);
// The rule as the listing writes it (the module's buffers and all).
std::string listRule(const Rule &rule);
// The parameter is listed as name, maximum, decay, rooms.
bool listedAsRate(const ParameterWords &p);
// The settings value of a setting listing line ("yes", "off", "12", a text).
std::string_view settingValue(std::string_view line);

// The listing line of each setting when nothing sets it.
struct SettingsLine {
    const KeywordWords *keyword;
    std::string line; // empty when the setting is not listed
};

}  // namespace kestrom::check
