// profiles.cpp - the profiles of crowd members and their routines.
#include "sim/crowd/profiles.h"

#include "sim/crowd/texts.h"
#include "sim/users.h"
#include "sim/values.h"

#include <algorithm>

namespace kestrom::sim::crowd {

namespace {

using Verb = Action::Verb;

// The part of a room a member walks in (rooms are 512 by 384).
constexpr int LEFT = 20, RIGHT = 491, TOP = 20, BOTTOM = 363;
// A slide stays within this many pixels of where the member stood.
constexpr int SLIDE_STEP = 4;
// Props: each dresser has a wardrobe of its own, each dropper one prop.
constexpr AssetID WARDROBE_BASE = 100000;
constexpr int WARDROBE_SIZE = 16;
constexpr AssetID DROPPED_BASE = 60000;

sint16 clamped(int value, int lo, int hi) { return static_cast<sint16>(std::clamp(value, lo, hi)); }

Action say(std::string text) {
    Action a;
    a.text = std::move(text);
    return a;
}

Action chatter(Turn &t) { return say(chatLine(t.rng)); }

Action repeater(Turn &t) { return say(t.member.line); }

// Repeats the last line another was heard to say in its room; with none to
// repeat, says a line of its own.  The line of its own is drawn either way.
Action mimic(Turn &t) {
    std::string own = chatLine(t.rng);
    const auto it = t.heard.find(t.room);
    if (it != t.heard.end() && it->second.by != t.member.user->id()) return say(it->second.text);
    return say(std::move(own));
}

// A line that places its balloon elsewhere: "@x,y text".
Action spoofer(Turn &t) {
    const int h = t.rng.between(LEFT, RIGHT), v = t.rng.between(TOP, BOTTOM);
    std::string line = "@";
    line += std::to_string(h);
    line += ',';
    line += std::to_string(v);
    line += ' ';
    line += chatLine(t.rng);
    return say(std::move(line));
}

Action pager(Turn &t) {
    Action a;
    a.verb = Verb::Page;
    a.text = pageLine(t.rng);
    return a;
}

Action walkTo(Member &m, Point pos) {
    m.pos = pos;
    Action a;
    a.verb = Verb::Loc;
    a.pos = pos;
    return a;
}

Action mover(Turn &t) {
    const int h = t.rng.between(LEFT, RIGHT), v = t.rng.between(TOP, BOTTOM);
    return walkTo(t.member, Point{static_cast<sint16>(v), static_cast<sint16>(h)});
}

Action slider(Turn &t) {
    const int dh = t.rng.between(-SLIDE_STEP, SLIDE_STEP), dv = t.rng.between(-SLIDE_STEP, SLIDE_STEP);
    const Point at = t.member.pos;
    return walkTo(t.member, Point{clamped(at.v + dv, TOP, BOTTOM), clamped(at.h + dh, LEFT, RIGHT)});
}

Action dresser(Turn &t) {
    Action a;
    a.verb = Verb::Props;
    const int count = t.rng.between(1, 4);
    const AssetID wardrobe = WARDROBE_BASE + static_cast<AssetID>(t.member.user->id()) * WARDROBE_SIZE;
    for (int i = 0; i < count; ++i) a.props.push_back(AssetSpec{wardrobe + t.rng.below(WARDROBE_SIZE), 0});
    return a;
}

Action facer(Turn &t) {
    Action a;
    const bool colour = t.rng.chance(0.25);
    a.verb = colour ? Verb::Color : Verb::Face;
    a.number = t.rng.below(colour ? 16 : 13);
    return a;
}

// Copies of one prop, dropped on the member's spot give or take a pixel or two.
Action dropper(Turn &t) {
    Action a;
    a.verb = Verb::Drop;
    a.prop = AssetSpec{DROPPED_BASE + static_cast<AssetID>(t.member.user->id()), 0};
    const int dh = t.rng.between(-2, 2), dv = t.rng.between(-2, 2);
    a.pos = Point{clamped(t.member.spot.v + dv, TOP, BOTTOM), clamped(t.member.spot.h + dh, LEFT, RIGHT)};
    return a;
}

// Another of the crowd's rooms (the same one when it has only one).
Action hopper(Turn &t) {
    Action a;
    a.verb = Verb::Goto;
    const auto n = static_cast<int>(t.rooms.size());
    const int k = t.rng.below(n);
    RoomID room = t.rooms[static_cast<size_t>(k)];
    if (room == t.room && n > 1) room = t.rooms[static_cast<size_t>((k + 1) % n)];
    a.number = room;
    return a;
}

Action namer(Turn &t) {
    Action a;
    a.verb = Verb::Name;
    a.text = nickname(t.rng);
    return a;
}

void keepALine(Member &m, Rng &rng) { m.line = chatLine(rng); }
void keepASpot(Member &m, Rng &) { m.spot = m.pos; }

// clang-format off
constexpr Profile PROFILES[] = {
    // name        plural        sends        rate burst gap ms  routine   prepare
    {"chatter",  "chatters",  "talk",       2.0,  1, 1000, chatter,  nullptr},
    {"flooder",  "flooders",  "talk",       1.0, 10,  250, chatter,  nullptr},
    {"repeater", "repeaters", "talk",       3.0,  2, 1500, repeater, keepALine},
    {"mimic",    "mimics",    "talk",       3.0,  1, 1000, mimic,    nullptr},
    {"spoofer",  "spoofers",  "talk",       2.0,  1, 1000, spoofer,  nullptr},
    {"pager",    "pagers",    "smsg",       1.0,  1, 1000, pager,    nullptr},
    {"mover",    "movers",    "uLoc",       6.0,  1, 1000, mover,    nullptr},
    {"slider",   "sliders",   "uLoc",      10.0,  4,  200, slider,   nullptr},
    {"dresser",  "dressers",  "usrP",       2.0,  1, 1000, dresser,  nullptr},
    {"facer",    "facers",    "usrF usrC",  4.0,  1, 1000, facer,    nullptr},
    {"dropper",  "droppers",  "nPrp",       2.0,  3,  500, dropper,  keepASpot},
    {"hopper",   "hoppers",   "navR",       1.0,  1, 1000, hopper,   nullptr},
    {"namer",    "namers",    "usrN",       1.0,  1, 1000, namer,    nullptr},
};
// clang-format on

}  // namespace

std::span<const Profile> profiles() { return PROFILES; }

const Profile *findProfile(std::string_view name) {
    for (const Profile &p : PROFILES)
        if (name == p.name || name == p.plural) return &p;
    return nullptr;
}

Message messageOf(const Action &a) {
    switch (a.verb) {
    case Verb::Say: return msg::talk(a.text);
    case Verb::Page: return msg::page(a.text);
    case Verb::Goto: return msg::gotoRoom(static_cast<RoomID>(a.number));
    case Verb::Loc: return msg::location(a.pos);
    case Verb::Face: return msg::face(static_cast<sint16>(a.number));
    case Verb::Color: return msg::color(static_cast<sint16>(a.number));
    case Verb::Props: return msg::props(a.props);
    case Verb::Drop: return msg::dropProp(a.prop, a.pos);
    case Verb::Name: return msg::name(a.text);
    }
    return msg::talk(a.text);
}

std::string directiveOf(const Action &a, const std::string &handle) {
    const std::string at = std::to_string(a.pos.h) + " " + std::to_string(a.pos.v);
    switch (a.verb) {
    case Verb::Say: return "say " + handle + " " + a.text;
    case Verb::Page: return "page " + handle + " " + a.text;
    case Verb::Goto: return "goto " + handle + " " + std::to_string(a.number);
    case Verb::Loc: return "loc " + handle + " " + at;
    case Verb::Face: return "face " + handle + " " + std::to_string(a.number);
    case Verb::Color: return "color " + handle + " " + std::to_string(a.number);
    case Verb::Props: return "props " + handle + " " + propsText(a.props);
    case Verb::Drop: return "drop " + handle + " " + propsText({a.prop}) + " " + at;
    case Verb::Name: return "name " + handle + " " + a.text;
    }
    return "";
}

}  // namespace kestrom::sim::crowd
