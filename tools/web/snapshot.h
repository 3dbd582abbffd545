// snapshot.h - what the page shows, as JSON: the world (rooms, users, loose
// props, the clock), the rules' statistics, and the feed of what happened.
#pragma once

#include "sim/record.h"
#include "sim/server.h"
#include "sim/session.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kestrom::web {

using nlohmann::json;

// One line of JSON, whatever bytes the texts hold (invalid UTF-8 replaced).
std::string jsonText(const json &value);

// Rooms with their occupants, owner, flags, loose props and drawings; the
// connected users with position, looks, rank and pins; the clock.
json worldJson(sim::Session &session);

// The decision statistics: one row per rule, one per message type.
json rulesJson(const sim::DecisionStats &stats);

// Feed entries for the events of one directive's window, numbered from
// `number` on (which is advanced); `via` is the directive.  At most `most`
// entries, then one that counts the rest.
void feedEntries(sim::Server &server, const std::vector<sim::Event> &events, const std::string &via, long &number,
                 std::vector<json> &out, size_t most);

// A feed entry of its own (a check's result, a page action's error).
json feedEntry(long number, const std::string &kind, const std::string &text, const std::string &via);

}  // namespace kestrom::web
