// Crowds: the traffic follows the seed and not the module's verdicts (so
// that --compare plays the same traffic under two parameter files), and each
// profile sends the messages it names.
#include "chat_world.h"

#include "sim/crowd/crowd.h"
#include "sim/observer.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrom;
using sim::crowd::CrowdEngine;
using sim::crowd::CrowdPlan;

namespace {

// Every message of the crowds, as "SECONDS directive", and the types sent.
struct Transcript : sim::MessageObserver {
    std::vector<std::string> lines;
    std::set<std::string> types;
    void sent(const sim::SentMessage &m) override {
        lines.push_back(std::to_string(m.time) + " " + m.describe());
        if (m.screening) types.insert(sim::typeText(m.screening->type));
    }
};

constexpr const char *STRICT = "chat 3 0.5 public\nrepchat 2 0.1 public\nmimick 10 public\nzone 16 public\n"
                               "avatarzone 10 public\nmove 10 1 public\n";

// A world of three rooms under `params`, and `plans` started in it for two
// minutes.
Transcript play(const std::vector<CrowdPlan> &plans, const char *params = STRICT) {
    kestrom::testing::ChatWorld world(params);
    world.server.setMaxPeople(60);
    world.addRoom(2, "Bar");
    world.addRoom(3, "Garden");
    world.server.recorder().setEnabled(false);
    Transcript seen;
    CrowdEngine crowds(world.server);
    crowds.setObserver(&seen);
    int first = 1;
    for (CrowdPlan plan : plans) {
        plan.firstUser = first;
        first += plan.count;
        std::string error;
        EXPECT_NE(crowds.start(plan, error), nullptr) << error;
    }
    world.server.advance(120);
    return seen;
}

CrowdPlan crowdOf(const char *profile, int count, uint64_t seed, std::vector<RoomID> rooms = {1, 2, 3}) {
    CrowdPlan c;
    c.profile = profile;
    c.count = count;
    c.seed = seed;
    c.rooms = std::move(rooms);
    c.rate = 20;
    return c;
}

// Without the lines of mimics, whose words are what they heard.
std::vector<std::string> unheard(const Transcript &t) {
    std::vector<std::string> lines;
    for (const std::string &line : t.lines)
        if (line.find(" mimic") == std::string::npos) lines.push_back(line);
    return lines;
}

TEST(CrowdTraffic, FollowsTheSeedAndNotTheVerdicts) {
    auto mix = [](uint64_t seed) {
        return std::vector<CrowdPlan>{crowdOf("chatter", 30, seed), crowdOf("flooder", 3, seed), crowdOf("mimic", 3, seed + 1),
                                      crowdOf("hopper", 2, seed + 2), crowdOf("slider", 3, seed + 3, {3})};
    };
    const Transcript once = play(mix(7)), again = play(mix(7)), other = play(mix(8));
    const Transcript loose = play(mix(7), "chat 50 5 public\n");
    ASSERT_GT(once.lines.size(), 500u);
    EXPECT_EQ(once.lines, again.lines);
    EXPECT_NE(once.lines, other.lines);
    EXPECT_EQ(unheard(once), unheard(loose));
}

TEST(CrowdTraffic, EveryProfileSendsTheMessagesItNames) {
    for (const sim::crowd::Profile &p : sim::crowd::profiles()) {
        const Transcript seen = play({crowdOf(p.name, 4, 1)});
        std::set<std::string> named;
        std::istringstream words(p.sends);
        for (std::string w; words >> w;) named.insert(w);
        EXPECT_EQ(seen.types, named) << p.name;
    }
}

}  // namespace
