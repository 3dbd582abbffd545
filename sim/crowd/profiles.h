// profiles.h - how the members of a crowd behave: a table of profiles, each
// a row of data (its name, the messages it sends, how often and in what
// bursts) and one short routine that makes a member's next message.
//
// A routine draws the same number of values from the crowd's generator
// whatever the module decided before, so that two plays of one file under
// different parameter files send the same traffic (only a mimic's words
// follow what others were heard to say).
#pragma once

#include "core/host.h"
#include "sim/crowd/rng.h"
#include "sim/messages.h"

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrom::sim {
class SimUser;
}

namespace kestrom::sim::crowd {

// One message a member sends, in the terms of the scenario language.
struct Action {
    enum class Verb { Say, Page, Goto, Loc, Face, Color, Props, Drop, Name };
    Verb verb = Verb::Say;
    std::string text;              // Say, Page, Name
    int number = 0;                // Goto: the room; Face, Color: the number
    Point pos{};                   // Loc, Drop
    AssetSpec prop{};              // Drop
    std::vector<AssetSpec> props;  // Props
};

// The client message of an action.
Message messageOf(const Action &action);
// The action as a directive: "say chatter3 hello", "loc mover1 200 150".
std::string directiveOf(const Action &action, const std::string &handle);

// What the server's clients and the crowd know of one member.
struct Member {
    SimUser *user = nullptr;
    int number = 0;        // 1.. within its crowd
    Point pos{};           // where its client believes it stands
    Point spot{};          // a dropper's spot
    std::string line;      // a repeater's line
    int pending = 0;       // messages left in the action under way
};

// The last line heard in a room, as far as the crowds know (a line of a
// member that the module let through).
struct Heard {
    std::string text;
    UserID by = 0;
};

// What a routine may look at.
struct Turn {
    Rng &rng;
    Member &member;
    const std::vector<RoomID> &rooms; // the rooms the crowd may be in
    RoomID room;                      // the member's room now
    const std::unordered_map<RoomID, Heard> &heard;
};

struct Profile {
    const char *name;   // as the crowd directive names it
    const char *plural; // as summaries name its crowds
    const char *sends;  // the message types it sends, e.g. "usrF usrC"
    double rate;        // actions a minute per member, unless the crowd says
    int burst;          // messages per action, unless the crowd says
    int gapMs;          // between the messages of one action
    Action (*next)(Turn &turn);
    // Sets up a new member (its line, its spot); may be null.
    void (*prepare)(Member &member, Rng &rng);
};

std::span<const Profile> profiles();
const Profile *findProfile(std::string_view name); // by name or plural

}  // namespace kestrom::sim::crowd
