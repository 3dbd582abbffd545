// verbs.cpp - the scenario's crowd directives:
//
//   crowd COUNT PROFILE [rooms=LIST] [rank=R] [rate=PER_MINUTE] [burst=N]
//         [for=SECONDS] [seed=S] [name=PREFIX]
//   expect-share CROWD refused<=PERCENT | refused>=PERCENT
//
// and the line per crowd that each advance adds to the transcript.
#include "sim/session.h"

#include "sim/values.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace kestrom::sim {

namespace {

constexpr long MAX_CROWD = 100000;
constexpr size_t MAX_PREFIX = 24;

// A decimal number with a fraction allowed, within min..max.
double parseDecimal(const std::string &word, double min, double max, const char *what) {
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < min || value > max)
        throw ScenarioError(std::string(what) + " must be a number from " + std::to_string(static_cast<long>(min)) +
                            " to " + std::to_string(static_cast<long>(max)) + ", not \"" + word + "\"");
    return value;
}

// Rooms as "1,2,3" or "1-4" or both ("1-3,7").
std::vector<RoomID> parseRooms(const std::string &word) {
    std::vector<RoomID> rooms;
    size_t at = 0;
    while (at <= word.size()) {
        const size_t comma = std::min(word.find(',', at), word.size());
        const std::string piece = word.substr(at, comma - at);
        const size_t dash = piece.find('-', 1);
        const long low = parseNumber(piece.substr(0, dash), 0, INT16_MAX, "room");
        const long high = dash == std::string::npos ? low : parseNumber(piece.substr(dash + 1), low, INT16_MAX, "room");
        if (high - low >= MAX_CROWD) throw ScenarioError("too many rooms in \"" + piece + "\"");
        for (long r = low; r <= high; ++r) rooms.push_back(static_cast<RoomID>(r));
        at = comma + 1;
    }
    return rooms;
}

// "1-4,7": runs of rooms as ranges.
std::string roomsText(const std::vector<RoomID> &rooms) {
    std::string s;
    for (size_t i = 0; i < rooms.size();) {
        size_t j = i;
        while (j + 1 < rooms.size() && rooms[j + 1] == rooms[j] + 1) ++j;
        s += (s.empty() ? "" : ",") + std::to_string(rooms[i]);
        if (j > i) s += (j == i + 1 ? "," : "-") + std::to_string(rooms[j]);
        i = j + 1;
    }
    return s;
}

std::string percentText(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", share);
    return text;
}

}  // namespace

crowd::CrowdEngine &Session::crowds() {
    if (!crowds_) {
        crowds_ = std::make_unique<crowd::CrowdEngine>(server_);
        crowds_->setRecording(options_.verbose, keepCrowdTraffic_);
        crowds_->setObserver(&why_); // which hands each message on to options_.observer
    }
    return *crowds_;
}

void Session::doCrowd(const Directive &d) {
    crowd::CrowdPlan plan;
    plan.count = static_cast<int>(parseNumber(d.words[0], 1, MAX_CROWD, "the number of users"));
    const crowd::Profile *profile = crowd::findProfile(d.words[1]);
    if (!profile) {
        std::string known;
        for (const crowd::Profile &p : crowd::profiles()) known += (known.empty() ? "" : ", ") + std::string(p.name);
        throw ScenarioError("unknown crowd profile \"" + d.words[1] + "\" (profiles: " + known + ")");
    }
    plan.profile = profile->name;
    for (size_t i = 2; i < d.words.size(); ++i) {
        const auto [key, value] = splitKey(d.words[i]);
        if (d.words[i].find('=') == std::string::npos) throw ScenarioError("\"" + key + "\" needs a value (KEY=VALUE)");
        if (key == "rooms") plan.rooms = parseRooms(value);
        else if (key == "rank") plan.rank = parseRank(value);
        else if (key == "rate") plan.rate = parseDecimal(value, 0, 6000, "rate");
        else if (key == "burst") plan.burst = static_cast<int>(parseNumber(value, 1, 1000, "burst"));
        else if (key == "for") plan.seconds = parseNumber(value, 0, 100L * 365 * 86400, "seconds");
        else if (key == "seed") {
            plan.seed = parseUnsigned(value, "seed");
            if (plan.seed == 0) throw ScenarioError("a seed is 1 or more");
        }
        else if (key == "name") plan.prefix = value;
        else throw ScenarioError("unknown crowd key \"" + key + "\"");
    }
    if (plan.prefix.empty()) plan.prefix = profile->name;
    if (plan.prefix.size() > MAX_PREFIX) throw ScenarioError("a crowd's name has at most 24 characters");
    if (!server_.running()) throw ScenarioError("a crowd connects at once: give it after start, while the module runs");
    for (int i = 1; i <= plan.count; ++i)
        if (named_.count(plan.prefix + std::to_string(i)))
            throw ScenarioError("user " + plan.prefix + std::to_string(i) + " is already here (name=PREFIX)");
    plan.firstUser = userLines_ + 1;
    std::string error;
    const crowd::Crowd *c = crowds().start(plan, error);
    if (!c) throw ScenarioError(error);
    userLines_ += plan.count;
    for (const crowd::Member &m : c->members())
        named_[m.user->handle] = Named{m.user, UserPlan::numbered(m.user->handle, static_cast<int>(m.user->id()))};
    const std::string first = c->members().front().user->handle, last = c->members().back().user->handle;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", c->rate());
    const bool one = plan.count == 1;
    std::string line = "crowd " + c->name() + ": " + std::to_string(plan.count) + " " +
                       (one ? profile->name : profile->plural) + " (" + first + (one ? "" : " to " + last) + ") in room" +
                       (c->plan().rooms.size() == 1 ? " " : "s ") + roomsText(c->plan().rooms) + ", acting " +
                       (c->rate() == 1 ? std::string("once") : std::string(rate) + " times") + " a minute" +
                       (one ? "" : " each");
    if (c->burst() > 1) line += " in bursts of " + std::to_string(c->burst());
    if (plan.seconds >= 0) line += " for " + std::to_string(plan.seconds) + " s";
    server_.note(EventKind::Info, line);
}

void Session::noteCrowdSummaries() {
    for (const std::string &line : crowds_->takeSummaries()) server_.note(EventKind::Info, line);
}

void Session::expectShare(const Directive &d) {
    const std::string &who = d.words[0];
    const std::string &condition = d.words[1];
    const bool atMost = condition.rfind("refused<=", 0) == 0;
    if (!atMost && condition.rfind("refused>=", 0) != 0)
        throw ScenarioError("usage: expect-share CROWD refused<=PERCENT|refused>=PERCENT");
    std::string number = condition.substr(9);
    if (!number.empty() && number.back() == '%') number.pop_back();
    const double want = parseDecimal(number, 0, 100, "a share");

    // The crowds of that name, or else of that profile.
    std::vector<const crowd::Crowd *> chosen;
    if (crowds_) {
        for (const auto &c : crowds_->crowds())
            if (c->name() == who) chosen.push_back(c.get());
        if (chosen.empty())
            for (const auto &c : crowds_->crowds())
                if (who == c->profile().name || who == c->profile().plural) chosen.push_back(c.get());
    }
    if (chosen.empty()) throw ScenarioError("no crowd named \"" + who + "\" nor of that profile");
    crowd::CrowdCounts total;
    for (const crowd::Crowd *c : chosen) total.add(c->total());
    const double share = total.refusedPercent();
    const bool ok = atMost ? share <= want : share >= want;
    check(d, ok, who + " " + condition, percentText(share) + " (" + total.text() + ")");
}

}  // namespace kestrom::sim
