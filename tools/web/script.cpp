// script.cpp - reading a scenario file into rows, and the rows as JSON.
#include "tools/web/script.h"

#include "sim/session.h"

#include <istream>

namespace kestrom::web {

bool Script::read(std::istream &in, std::string &error) {
    int line = 0;
    try {
        directives = sim::parseScenario(in, line);
    } catch (const sim::ScenarioError &e) {
        error = name + ":" + std::to_string(line) + ": " + e.what();
        return false;
    }
    rows.clear();
    for (const sim::Directive &d : directives) {
        ScriptRow row;
        row.line = d.line;
        row.source = d.source;
        const sim::VerbInfo *verb = sim::Session::findVerb(d.verb);
        row.check = verb && verb->check;
        if (!d.block.empty()) row.source += "  (" + std::to_string(d.block.size()) + " lines, to end)";
        rows.push_back(row);
    }
    return true;
}

nlohmann::json Script::toJson() const {
    nlohmann::json list = nlohmann::json::array();
    for (const ScriptRow &r : rows)
        list.push_back({{"line", r.line}, {"source", r.source}, {"check", r.check}, {"status", r.status},
                        {"detail", r.detail}});
    return {{"name", name},   {"next", next},         {"finished", finished()},
            {"playing", playing}, {"interval", interval.count()}, {"rows", list}};
}

}  // namespace kestrom::web
