// listing.cpp - reading listing lines back and writing rules as the
// listing does.
#include "tools/check/listing.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrom::check {

namespace {

// The module builds a rate-form line in 200 characters, the others in 300.
constexpr size_t RATE_LINE_SIZE = 200;
constexpr size_t LINE_SIZE = 300;
constexpr size_t LONGEST_LISTED = LINE_SIZE - 1;

struct SelectionWord {
    int32_t bit;
    const char *word;
};

// The order the listing writes selection words in.
constexpr SelectionWord theListedWords[] = {
    {ROOM_PUBLIC, "public"}, {ROOM_PRIVATE, "private"}, {ROOM_MEMBER, "member"},
    {ROOM_ALTMEMBER, "altmember"}, {ROOM_LIMBO, "limbo"}, {ROOM_WARN, "warn"},
};

std::vector<std::string_view> piecesOf(std::string_view line) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t space = line.find(' ', start);
        const size_t end = space == std::string_view::npos ? line.size() : space;
        if (end > start) pieces.push_back(line.substr(start, end - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    return pieces;
}

bool readInt(std::string_view s, int32_t &value, std::string_view &rest) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc()) return false;
    rest = s.substr(static_cast<size_t>(end - s.data()));
    return true;
}

// rmN or rmN-M as the listing writes them.
std::optional<Range> readListedRange(std::string_view word) {
    if (word.substr(0, 2) != "rm") return std::nullopt;
    Range range{};
    std::string_view rest;
    if (!readInt(word.substr(2), range.low, rest)) return std::nullopt;
    range.high = range.low;
    if (rest.empty()) return range;
    if (rest[0] != '-' || !readInt(rest.substr(1), range.high, rest) || !rest.empty()) return std::nullopt;
    return range;
}

bool readSelection(const std::vector<std::string_view> &pieces, size_t from, Selection &where) {
    for (size_t i = from; i < pieces.size(); ++i) {
        if (std::optional<Range> range = readListedRange(pieces[i])) {
            where.ranges.push_back(*range);
            continue;
        }
        if (pieces[i] == "off") continue;
        bool known = false;
        for (const SelectionWord &w : theListedWords)
            if (pieces[i] == w.word) {
                where.rooms |= w.bit;
                known = true;
            }
        if (!known) return false;
    }
    return true;
}

// The text after the first `words` pieces of the line, single spaces apart.
std::string_view textAfter(std::string_view line, int words) {
    size_t at = 0;
    for (int i = 0; i < words; ++i) {
        at = line.find(' ', at);
        if (at == std::string_view::npos) return {};
        ++at;
    }
    return line.substr(at);
}

// A number as the listing writes it with %d.
std::string signedText(uint32_t value) { return std::to_string(static_cast<int32_t>(value)); }

// The C library's %g, as the module's listing writes a decay.
std::string decayText(double decay) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", decay);
    return text;
}

// Adds the piece when it fits before the end of a line of `size` characters
// (room kept for the terminating NUL), as the module does.
void addPiece(std::string &line, size_t size, std::string_view piece) {
    if (size - line.size() > piece.size()) line.append(piece);
}

void appendSelection(std::string &line, size_t size, const Selection &where) {
    for (const Range &range : where.ranges) {
        std::string piece = "rm" + std::to_string(range.low);
        if (range.low != range.high) piece += "-" + std::to_string(range.high);
        addPiece(line, size, piece + " ");
    }
    if (where.ranges.empty() && where.rooms == 0) {
        addPiece(line, size, "off ");
        return;
    }
    for (const SelectionWord &w : theListedWords)
        if (where.rooms & w.bit) addPiece(line, size, std::string(w.word) + " ");
}

std::string listTextRule(const Rule &rule) {
    std::string head = rule.param->name;
    head += " ";
    if (rule.param->form == Form::CHATGOTO && rule.maximum == 0)
        head += "currentroom ";
    else
        head += signedText(rule.maximum) + " ";
    const char *error = rule.param->form == Form::CHATGOTO ? "***ERROR*** chatgoto string too long"
                                                           : "***ERROR*** IP address string too long";
    const std::string &value = rule.text;
    return head + (head.size() + value.size() > LONGEST_LISTED ? error : value);
}

}  // namespace

bool listedAsRate(const ParameterWords &p) {
    return p.form == Form::RATE || p.form == Form::POSITION || std::strcmp(p.name, "nodupavatars") == 0;
}

Row rowOf(std::string_view line, std::string &name) {
    const size_t start = line.find_first_not_of(" \t");
    const std::string_view rest = start == std::string_view::npos ? std::string_view() : line.substr(start);
    const std::string_view first = rest.substr(0, rest.find_first_of(" \t"));
    name.clear();
    for (const char c : first) name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (name == "autoannounce") return Row::ANNOUNCEMENT;
    if (name == "setrank") return Row::SETRANK;
    if (findKeyword(name)) return Row::SETTING;
    if (findParameter(name)) return Row::RULE;
    return Row::UNKNOWN;
}

std::optional<Rule> readListedRule(std::string_view line) {
    std::string name;
    if (rowOf(line, name) != Row::RULE) return std::nullopt;
    Rule rule;
    rule.param = findParameter(name);
    const std::vector<std::string_view> pieces = piecesOf(line);
    const Form form = rule.param->form;
    if (form == Form::CHATGOTO || form == Form::DUPIP) {
        if (pieces.size() < 2) return std::nullopt;
        int32_t maximum = 0;
        std::string_view rest;
        if (pieces[1] != "currentroom" && !readInt(pieces[1], maximum, rest)) return std::nullopt;
        rule.maximum = static_cast<uint32_t>(maximum);
        rule.text = std::string(textAfter(line, 2));
        rule.hasText = form == Form::CHATGOTO || !rule.text.empty();
        return rule;
    }
    const size_t numbers = listedAsRate(*rule.param) ? 2 : form == Form::THRESHOLD ? 1 : 0;
    if (pieces.size() < 1 + numbers) return std::nullopt;
    int32_t maximum = 0;
    std::string_view rest;
    if (numbers >= 1 && !readInt(pieces[1], maximum, rest)) return std::nullopt;
    rule.maximum = static_cast<uint32_t>(maximum);
    if (numbers == 2) rule.decay = std::strtod(std::string(pieces[2]).c_str(), nullptr);
    if (!readSelection(pieces, 1 + numbers, rule.where)) return std::nullopt;
    rule.cutShort = line.size() + 12 >= (listedAsRate(*rule.param) ? RATE_LINE_SIZE : LINE_SIZE);
    return rule;
}

std::string listRule(const Rule &rule) {
    const ParameterWords &p = *rule.param;
    if (p.form == Form::CHATGOTO || p.form == Form::DUPIP) return listTextRule(rule);
    std::string line = std::string(p.name) + " ";
    if (listedAsRate(p)) {
        line += signedText(rule.maximum) + " " + decayText(rule.decay) + " ";
        appendSelection(line, RATE_LINE_SIZE, rule.where);
        return line;
    }
    if (p.form == Form::THRESHOLD) line += signedText(rule.maximum) + " ";
    appendSelection(line, LINE_SIZE, rule.where);
    return line;
}

std::string_view settingValue(std::string_view line) {
    const size_t space = line.find(' ');
    return space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
}

}  // namespace kestrom::check
