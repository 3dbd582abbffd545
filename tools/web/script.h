// script.h - a scenario file stepped through in the playground: its
// directives, how far it has run, and each directive's result where it ran.
#pragma once

#include "sim/scenario.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrom::web {

struct ScriptRow {
    int line = 0;
    std::string source;
    bool check = false;
    std::string status = "pending"; // then done, ok, failed, not judged, error
    std::string detail;             // the transcript of the directive, or what went wrong
};

struct Script {
    using Clock = std::chrono::steady_clock;

    std::filesystem::path file; // empty: the playground's own fresh world
    std::string name;           // as the page shows it
    std::vector<sim::Directive> directives;
    std::vector<ScriptRow> rows;
    size_t next = 0;
    bool stopped = false; // a directive could not run: the file ends there
    bool playing = false;
    std::chrono::milliseconds interval{500};
    Clock::time_point lastStep{};
    long version = 0; // counts changes, so that the page gets only new states

    // Reads the directives of `text`; false with `error` set (FILE:LINE:
    // message) for a file with a bad line, which is not run at all.
    bool read(std::istream &in, std::string &error);
    bool finished() const { return stopped || next >= directives.size(); }
    nlohmann::json toJson() const;
};

}  // namespace kestrom::web
