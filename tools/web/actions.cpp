// actions.cpp - reading the page's requests into directive lines.
#include "tools/web/actions.h"

#include <algorithm>

namespace kestrom::web {

using nlohmann::json;

namespace {

// Longest text a user may type in one line (a client's chat line is shorter).
constexpr size_t MAX_TEXT = 4096;
constexpr size_t MAX_NAME = 64;

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool readText(const json &body, const char *key, size_t most, std::string &out, std::string &error) {
    const auto it = body.find(key);
    if (it == body.end() || !it->is_string()) {
        error = std::string("\"") + key + "\" must be a text";
        return false;
    }
    out = it->get<std::string>();
    if (out.size() > most) error = std::string("\"") + key + "\" is longer than " + std::to_string(most) + " bytes";
    else if (hasLineBreak(out)) error = std::string("\"") + key + "\" must be one line";
    return error.empty();
}

bool readName(const json &body, const char *key, std::string &out, std::string &error) {
    if (!readText(body, key, MAX_NAME, out, error)) return false;
    if (out.empty()) error = std::string("\"") + key + "\" names nobody";
    return error.empty();
}

bool readNumber(const json &body, const char *key, long min, long max, long &out, std::string &error) {
    const auto it = body.find(key);
    if (it == body.end() || !it->is_number_integer() || it->get<long long>() < min || it->get<long long>() > max) {
        error = std::string("\"") + key + "\" must be a whole number from " + std::to_string(min) + " to " +
                std::to_string(max);
        return false;
    }
    out = static_cast<long>(it->get<long long>());
    return true;
}

bool readObject(const json &body, std::string &error) {
    if (body.is_object()) return true;
    error = "the request must be a JSON object";
    return false;
}

std::string words(std::initializer_list<std::string> parts) {
    std::string line;
    for (const std::string &p : parts) line += (line.empty() ? "" : " ") + p;
    return line;
}

// "user" and one whole number: `VERB USER N`.
bool userAndNumber(const json &body, const char *verb, const char *key, long min, long max, std::string &line,
                   std::string &error) {
    std::string user;
    long n = 0;
    if (!readObject(body, error) || !readName(body, "user", user, error) || !readNumber(body, key, min, max, n, error))
        return false;
    line = words({verb, quoteWord(user), std::to_string(n)});
    return true;
}

// The position of a click in the room: x across 0..511, y down 0..383.
bool readPosition(const json &body, long &x, long &y, std::string &error) {
    return readNumber(body, "x", 0, 511, x, error) && readNumber(body, "y", 0, 383, y, error);
}

}  // namespace

std::string quoteWord(std::string_view word) {
    const bool plain = !word.empty() && word.find_first_of(" \t\"\\") == std::string_view::npos;
    if (plain) return std::string(word);
    std::string out = "\"";
    for (const char c : word) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool sayLine(const json &body, std::string &line, std::string &error) {
    std::string user, text, to;
    if (!readObject(body, error) || !readName(body, "user", user, error) || !readText(body, "text", MAX_TEXT, text, error))
        return false;
    if (body.contains("to") && !body["to"].is_null()) {
        if (!readName(body, "to", to, error)) return false;
        line = words({"whisper", quoteWord(user), quoteWord(to), text});
        return true;
    }
    line = words({"say", quoteWord(user), text});
    return true;
}

bool moveLine(const json &body, std::string &line, std::string &error) {
    std::string user;
    long x = 0, y = 0;
    if (!readObject(body, error) || !readName(body, "user", user, error) || !readPosition(body, x, y, error))
        return false;
    line = words({"loc", quoteWord(user), std::to_string(x), std::to_string(y)});
    return true;
}

bool faceLine(const json &body, std::string &line, std::string &error) {
    return userAndNumber(body, "face", "face", 0, 12, line, error);
}

bool colorLine(const json &body, std::string &line, std::string &error) {
    return userAndNumber(body, "color", "color", 0, 15, line, error);
}

bool dropLine(const json &body, std::string &line, std::string &error) {
    std::string user;
    long prop = 0, x = 0, y = 0;
    if (!readObject(body, error) || !readName(body, "user", user, error) ||
        !readNumber(body, "prop", 0, 2147483647L, prop, error) || !readPosition(body, x, y, error))
        return false;
    line = words({"drop", quoteWord(user), std::to_string(prop), std::to_string(x), std::to_string(y)});
    return true;
}

bool connectLine(const json &body, std::string &line, std::string &error) {
    std::string handle;
    long rank = 0, room = 0;
    if (!readObject(body, error) || !readName(body, "handle", handle, error) ||
        !readNumber(body, "rank", 0, 3, rank, error))
        return false;
    if (handle.find('=') != std::string::npos) {
        error = "a handle may not hold '='";
        return false;
    }
    line = words({"user", quoteWord(handle), "rank=" + std::to_string(rank)});
    if (!body.contains("room") || body["room"].is_null()) return true;
    if (!readNumber(body, "room", 0, 32767, room, error)) return false;
    line += " room=" + std::to_string(room);
    return true;
}

bool leaveLine(const json &body, std::string &line, std::string &error) {
    std::string user;
    if (!readObject(body, error) || !readName(body, "user", user, error)) return false;
    line = words({"leave", quoteWord(user)});
    return true;
}

bool gotoLine(const json &body, std::string &line, std::string &error) {
    return userAndNumber(body, "goto", "room", 0, 32767, line, error);
}

bool advanceLine(const json &body, std::string &line, std::string &error) {
    long seconds = 0;
    if (!readObject(body, error) || !readNumber(body, "seconds", 0, 86400, seconds, error)) return false;
    line = words({"advance", std::to_string(seconds)});
    return true;
}

// The crowd directive's keys: whole numbers, and words of the characters given.
struct CrowdNumber {
    const char *key;
    long min, max;
};
constexpr CrowdNumber CROWD_NUMBERS[] = {
    {"rank", 0, 3}, {"rate", 1, 60000}, {"burst", 1, 10000}, {"for", 1, 86400}, {"seed", 0, 2147483647L}};
struct CrowdWord {
    const char *key;
    const char *characters;
};
constexpr CrowdWord CROWD_WORDS[] = {
    {"rooms", "0123456789,-"},
    {"name", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_"},
};

bool readWord(const json &body, const char *key, const char *characters, std::string &out, std::string &error) {
    if (!readText(body, key, MAX_NAME, out, error)) return false;
    if (out.empty() || out.find_first_not_of(characters) != std::string::npos)
        error = std::string("\"") + key + "\" may hold only " + characters;
    return error.empty();
}

bool crowdLine(const json &body, std::string &line, std::string &error) {
    long count = 0;
    std::string profile;
    if (!readObject(body, error) || !readNumber(body, "count", 1, 5000, count, error) ||
        !readWord(body, "profile", "abcdefghijklmnopqrstuvwxyz", profile, error))
        return false;
    line = words({"crowd", std::to_string(count), profile});
    for (const CrowdNumber &k : CROWD_NUMBERS) {
        long n = 0;
        if (!body.contains(k.key)) continue;
        if (!readNumber(body, k.key, k.min, k.max, n, error)) return false;
        line += std::string(" ") + k.key + "=" + std::to_string(n);
    }
    for (const CrowdWord &k : CROWD_WORDS) {
        std::string word;
        if (!body.contains(k.key)) continue;
        if (!readWord(body, k.key, k.characters, word, error)) return false;
        line += std::string(" ") + k.key + "=" + word;
    }
    return true;
}

bool directiveLine(const json &body, std::string &line, std::string &error) {
    return readObject(body, error) && readText(body, "line", MAX_TEXT, line, error);
}

}  // namespace kestrom::web
