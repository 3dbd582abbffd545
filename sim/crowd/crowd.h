// crowd.h - crowds of simulated users: many users connected at once, each
// behaving after a profile (sim/crowd/profiles.h), their traffic generated
// as the virtual clock advances and sent through the module exactly as a
// typed message is.  Deterministic from a seed.
//
// From C++ (the scenario's `crowd` directive does the same):
//
//     CrowdEngine crowds(server);             // becomes the server's traffic
//     CrowdPlan plan;
//     plan.count = 300;
//     plan.profile = "chatter";
//     plan.rooms = {1, 2, 3};
//     Crowd *c = crowds.start(plan, error);   // the members connect now
//     server.advance(600);                    // ten minutes of their traffic
//     c->total().sent, c->total().refusedBy   // what it sent, what was refused
//
// Crowd messages are not recorded unless asked (setRecording): the
// statistics of the decision trace count them, and each crowd counts what it
// sent, what passed and which rules refused the rest.
#pragma once

#include "sim/crowd/profiles.h"
#include "sim/observer.h"
#include "sim/server.h"

#include <cstdint>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrom::sim::crowd {

struct CrowdPlan {
    int count = 1;
    std::string profile = "chatter";  // a profile's name (profiles())
    std::vector<RoomID> rooms;         // the members are spread over these; none: the entrance
    int rank = 0;
    double rate = -1;    // actions a minute per member; below 0: the profile's
    int burst = 0;       // messages per action; 0: the profile's
    long seconds = -1;   // how long its traffic runs; below 0: for good
    uint64_t seed = 0;   // 0: the crowd's number among the engine's crowds (1, 2, ...)
    std::string prefix;  // handles PREFIX1, PREFIX2, ...; empty: the profile's name
    // The user number of the first member (UserPlan::numbered: user ID,
    // counter, address); 0: one above every user connected.
    int firstUser = 0;
};

// What a crowd sent, and what the module made of it.
struct CrowdCounts {
    long sent = 0, passed = 0, refused = 0;
    long unsent = 0; // turns of members who had left, or while no module ran
    std::map<std::string, long> refusedBy; // "chat line 4" -> refusals

    double refusedPercent() const { return sent ? 100.0 * static_cast<double>(refused) / static_cast<double>(sent) : 0; }
    void add(const CrowdCounts &other);
    // "chat line 4 12, mimick line 9 3": the refusals by rule, most first.
    std::string refusedByText() const;
    // "1213 sent, 1198 passed, 15 refused (chat line 4 12, mimick line 9 3)".
    std::string text() const;
};

// How a decision is named in the counts: "chat line 4", "chat (built-in)",
// "roomgag".
std::string ruleLabel(const Decision &d);

class Crowd {
public:
    const std::string &name() const { return plan_.prefix; }
    const Profile &profile() const { return *profile_; }
    const CrowdPlan &plan() const { return plan_; }
    const std::vector<Member> &members() const { return members_; }
    const CrowdCounts &total() const { return total_; } // since its start
    // Whether its traffic has ended (for= elapsed).
    bool ended() const { return ended_; }
    double rate() const { return rate_; }
    int burst() const { return burst_; }

private:
    friend class CrowdEngine;
    Crowd(const CrowdPlan &plan, const Profile &profile);

    CrowdPlan plan_;
    const Profile *profile_;
    double rate_;
    int burst_;
    Rng rng_;
    std::vector<Member> members_;
    std::vector<RoomID> walk_; // the rooms it moves among
    long long endMs_ = -1;
    bool ended_ = false;
    bool summarised_ = false; // its last summary after it ended is out
    CrowdCounts total_, sinceSummary_;
};

class CrowdEngine : public Traffic {
public:
    explicit CrowdEngine(Server &server);
    ~CrowdEngine() override;
    CrowdEngine(const CrowdEngine &) = delete;
    CrowdEngine &operator=(const CrowdEngine &) = delete;

    // Connects the crowd's members and starts their traffic from now; null,
    // with `error` set, when it cannot (and nobody has connected).
    Crowd *start(CrowdPlan plan, std::string &error);
    const std::vector<std::unique_ptr<Crowd>> &crowds() const { return crowds_; }

    // How crowd messages are recorded: shown (to the recorder's listener)
    // and kept in the window.  Neither, by default.
    void setRecording(bool show, bool keep);
    // Told of every crowd member's turn; may be null.
    void setObserver(MessageObserver *observer) { observer_ = observer; }

    // One line per crowd with what it sent since the last call ("crowd
    // chatter: 1213 sent, ..."); a crowd whose traffic has ended has its
    // last line, then none.
    std::vector<std::string> takeSummaries();

    // Messages sent by every crowd so far.
    long messagesSent() const { return messagesSent_; }

    // Traffic
    long long nextBefore(time_t limit) override;
    void runAt(long long ms) override;

private:
    struct Slot {
        long long ms;
        long seq;
        int crowd, member;
        bool operator>(const Slot &o) const { return ms != o.ms ? ms > o.ms : seq > o.seq; }
    };

    bool connectMembers(Crowd &crowd, std::string &error);
    void schedule(long long ms, int crowd, int member);
    // Shifts the schedule when the clock was set or jumped outside advance.
    void followClock();
    void act(Crowd &crowd, Member &member, long long ms);
    void count(Crowd &crowd, const Screening &screening);
    void tell(const Crowd &crowd, const Member &member, const Action &action, const Screening *screening);

    Server &server_;
    std::vector<std::unique_ptr<Crowd>> crowds_;
    std::priority_queue<Slot, std::vector<Slot>, std::greater<>> queue_;
    long seq_ = 0;
    time_t clock_;                               // where the engine last left the clock
    std::unordered_map<RoomID, Heard> heard_;    // the last crowd line let through, per room
    bool show_ = false, keep_ = false;
    MessageObserver *observer_ = nullptr;
    long messagesSent_ = 0;
};

}  // namespace kestrom::sim::crowd
