// actions.h - what the page asks for, as the scenario directives that do it.
// Each maker reads a request's JSON body and writes one directive line
// ("say Alice hello", "loc Alice 300 200"); the playground runs it exactly
// as a scenario line, so everything the page does goes through the module
// as a client's message would, and shows in the feed like any other line.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace kestrom::web {

// False, with `error` saying what is wrong, when the body is not what the
// action needs.
using LineMaker = bool (*)(const nlohmann::json &body, std::string &line, std::string &error);

bool sayLine(const nlohmann::json &body, std::string &line, std::string &error);      // user, text, [to]
bool moveLine(const nlohmann::json &body, std::string &line, std::string &error);     // user, x, y
bool faceLine(const nlohmann::json &body, std::string &line, std::string &error);     // user, face
bool colorLine(const nlohmann::json &body, std::string &line, std::string &error);    // user, color
bool dropLine(const nlohmann::json &body, std::string &line, std::string &error);     // user, prop, x, y
bool connectLine(const nlohmann::json &body, std::string &line, std::string &error);  // handle, rank, [room]
bool leaveLine(const nlohmann::json &body, std::string &line, std::string &error);    // user
bool gotoLine(const nlohmann::json &body, std::string &line, std::string &error);     // user, room
bool advanceLine(const nlohmann::json &body, std::string &line, std::string &error);  // seconds
bool directiveLine(const nlohmann::json &body, std::string &line, std::string &error); // line
// count, profile, [rooms, rank, rate, burst, for, seed, name]: the crowd directive
bool crowdLine(const nlohmann::json &body, std::string &line, std::string &error);

// A word as the scenario lexer reads it back: in double quotes (with \" and
// \\) when it holds a blank, a quote or a backslash, or is empty.
std::string quoteWord(std::string_view word);

}  // namespace kestrom::web
