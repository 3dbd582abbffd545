// crowd.cpp - the crowd engine: members connected and placed, their turns
// in one queue ordered by virtual time, each turn's message sent through the
// module and counted.
#include "sim/crowd/crowd.h"

#include "sim/clock.h"
#include "sim/users.h"

#include <algorithm>
#include <cstdio>

namespace kestrom::sim::crowd {

namespace {

// Members stand on a grid of this many columns and rows, this far apart.
constexpr int GRID_COLUMNS = 12, GRID_ROWS = 9, GRID_STEP = 40, GRID_MARGIN = 30;
constexpr int MAX_MEMBERS = 100000;

Point gridSpot(size_t k) {
    const auto i = static_cast<int>(k);
    const int h = GRID_MARGIN + GRID_STEP * (i % GRID_COLUMNS);
    const int v = GRID_MARGIN + GRID_STEP * ((i / GRID_COLUMNS) % GRID_ROWS) + (i / (GRID_COLUMNS * GRID_ROWS)) % 2 * 20;
    return Point{static_cast<sint16>(v), static_cast<sint16>(h)};
}

// "12:00:07.300".
std::string clockWithMs(long long ms) {
    char tail[8];
    std::snprintf(tail, sizeof tail, ".%03lld", ms % 1000);
    const auto t = static_cast<time_t>(ms / 1000);
    return clockText(t, t) + tail;
}

// While a crowd message is handled: recorded only as asked, counted always.
class Quiet {
public:
    Quiet(Server &server, bool show, bool keep) : server_(server), outer_(server.recordMode()) {
        server_.setRecordMode(RecordMode{show || keep, keep, show, true}.within(outer_));
    }
    ~Quiet() { server_.setRecordMode(outer_); }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;

private:
    Server &server_;
    RecordMode outer_;
};

}  // namespace

// ------------------------------------------------------------------ counts

void CrowdCounts::add(const CrowdCounts &o) {
    sent += o.sent;
    passed += o.passed;
    refused += o.refused;
    unsent += o.unsent;
    for (const auto &[rule, n] : o.refusedBy) refusedBy[rule] += n;
}

std::string CrowdCounts::refusedByText() const {
    std::vector<std::pair<std::string, long>> rules(refusedBy.begin(), refusedBy.end());
    std::stable_sort(rules.begin(), rules.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string by;
    for (const auto &[rule, n] : rules) by += (by.empty() ? "" : ", ") + rule + " " + std::to_string(n);
    return by;
}

std::string CrowdCounts::text() const {
    std::string s = std::to_string(sent) + " sent, " + std::to_string(passed) + " passed, " +
                    std::to_string(refused) + " refused";
    const std::string by = refusedByText();
    if (!by.empty()) s += " (" + by + ")";
    if (unsent) s += ", " + std::to_string(unsent) + " not sent";
    return s;
}

std::string ruleLabel(const Decision &d) {
    if (!d.fromParameterFile()) return d.rule;
    return d.rule + (d.line > 0 ? " line " + std::to_string(d.line) : std::string(" (built-in)"));
}

// ------------------------------------------------------------------ crowds

Crowd::Crowd(const CrowdPlan &plan, const Profile &profile)
    : plan_(plan), profile_(&profile), rate_(plan.rate >= 0 ? plan.rate : profile.rate),
      burst_(plan.burst > 0 ? plan.burst : profile.burst), rng_(plan.seed) {}

CrowdEngine::CrowdEngine(Server &server) : server_(server), clock_(server.now()) { server_.setTraffic(this); }

CrowdEngine::~CrowdEngine() { server_.setTraffic(nullptr); }

void CrowdEngine::setRecording(bool show, bool keep) {
    show_ = show;
    keep_ = keep;
}

Crowd *CrowdEngine::start(CrowdPlan plan, std::string &error) {
    const Profile *profile = findProfile(plan.profile);
    if (!profile) {
        error = "unknown crowd profile \"" + plan.profile + "\"";
        return nullptr;
    }
    if (plan.count < 1 || plan.count > MAX_MEMBERS) {
        error = "a crowd has 1 to " + std::to_string(MAX_MEMBERS) + " members";
        return nullptr;
    }
    if (plan.prefix.empty()) plan.prefix = profile->name;
    if (plan.seed == 0) plan.seed = crowds_.size() + 1;
    if (plan.rooms.empty() && server_.entrance()) plan.rooms.push_back(server_.entrance()->id());
    if (plan.firstUser <= 0) {
        UserID highest = 0;
        for (const SimUser *u : server_.connectedUsers()) highest = std::max(highest, u->id());
        plan.firstUser = static_cast<int>(highest) + 1;
    }
    followClock();
    auto crowd = std::unique_ptr<Crowd>(new Crowd(plan, *profile));
    if (!connectMembers(*crowd, error)) return nullptr;
    const int index = static_cast<int>(crowds_.size());
    const long long startMs = static_cast<long long>(server_.now()) * 1000;
    if (plan.seconds >= 0) crowd->endMs_ = startMs + plan.seconds * 1000LL;
    // The rooms it walks among: its own, or every room when it has one.
    crowd->walk_ = plan.rooms;
    if (crowd->walk_.size() < 2) {
        crowd->walk_.clear();
        for (const SimRoom *r : server_.rooms()) crowd->walk_.push_back(r->id());
    }
    if (crowd->rate_ > 0) {
        const double gapMs = 60000.0 / crowd->rate_;
        for (size_t m = 0; m < crowd->members_.size(); ++m)
            schedule(startMs + static_cast<long long>(crowd->rng_.unit() * gapMs), index, static_cast<int>(m));
    }
    crowds_.push_back(std::move(crowd));
    return crowds_.back().get();
}

bool CrowdEngine::connectMembers(Crowd &crowd, std::string &error) {
    const CrowdPlan &plan = crowd.plan_;
    // Every room must exist and hold its share; every user number be free.
    std::map<RoomID, size_t> wanted;
    for (int i = 0; i < plan.count; ++i) ++wanted[plan.rooms[static_cast<size_t>(i) % plan.rooms.size()]];
    for (const auto &[id, n] : wanted) {
        const SimRoom *room = server_.room(id);
        if (!room) {
            error = "there is no room " + std::to_string(id);
            return false;
        }
        const auto slots = static_cast<size_t>(server_.maxPeople());
        const size_t free = slots - std::min(room->occupantsInOrder().size(), slots);
        if (n > free) {
            error = "room " + std::to_string(id) + " has room for " + std::to_string(free) + " more, not " +
                    std::to_string(n) + " (server maxpeople=N)";
            return false;
        }
    }
    for (int i = 0; i < plan.count; ++i)
        if (server_.user(static_cast<UserID>(plan.firstUser + i))) {
            error = "user ID " + std::to_string(plan.firstUser + i) + " is already connected";
            return false;
        }
    Quiet quiet(server_, show_, keep_);
    for (int i = 0; i < plan.count; ++i) {
        UserPlan user = UserPlan::numbered(plan.prefix + std::to_string(i + 1), plan.firstUser + i);
        user.rank = plan.rank;
        user.room = plan.rooms[static_cast<size_t>(i) % plan.rooms.size()];
        Member m;
        m.number = i + 1;
        m.user = server_.connect(user, error);
        if (!m.user) return false;
        if (SimRoom *room = server_.room(m.user->roomID())) {
            m.pos = gridSpot(room->occupantsInOrder().size() - 1);
            m.user->rec.user.roomPos = m.pos;
        }
        if (crowd.profile_->prepare) crowd.profile_->prepare(m, crowd.rng_);
        crowd.members_.push_back(std::move(m));
    }
    return true;
}

void CrowdEngine::schedule(long long ms, int crowd, int member) { queue_.push(Slot{ms, ++seq_, crowd, member}); }

void CrowdEngine::followClock() {
    const time_t now = server_.now();
    if (now == clock_) return;
    const long long shift = static_cast<long long>(now - clock_) * 1000;
    clock_ = now;
    std::vector<Slot> slots;
    for (; !queue_.empty(); queue_.pop()) slots.push_back(queue_.top());
    for (Slot &s : slots) queue_.push(Slot{s.ms + shift, s.seq, s.crowd, s.member});
    for (auto &c : crowds_)
        if (c->endMs_ >= 0) c->endMs_ += shift;
}

long long CrowdEngine::nextBefore(time_t limit) {
    followClock();
    if (!queue_.empty() && queue_.top().ms < static_cast<long long>(limit) * 1000) return queue_.top().ms;
    clock_ = limit;
    return -1;
}

void CrowdEngine::runAt(long long ms) {
    clock_ = static_cast<time_t>(ms / 1000);
    if (queue_.empty() || queue_.top().ms != ms) return;
    const Slot slot = queue_.top();
    queue_.pop();
    Crowd &crowd = *crowds_[static_cast<size_t>(slot.crowd)];
    if (crowd.endMs_ >= 0 && ms >= crowd.endMs_) return; // its traffic is over: no next turn
    act(crowd, crowd.members_[static_cast<size_t>(slot.member)], ms);
    if (crowd.members_[static_cast<size_t>(slot.member)].pending > 0)
        schedule(ms + crowd.profile_->gapMs, slot.crowd, slot.member);
    else
        schedule(ms + 1 + static_cast<long long>(crowd.rng_.exponential(60000.0 / crowd.rate_)), slot.crowd, slot.member);
}

void CrowdEngine::act(Crowd &crowd, Member &member, long long ms) {
    SimUser &user = *member.user;
    const RoomID room = user.roomID();
    Turn turn{crowd.rng_, member, crowd.walk_, room, heard_};
    const Action action = crowd.profile_->next(turn);
    member.pending = (member.pending > 0 ? member.pending : crowd.burst_) - 1;
    if (!user.connected || !server_.running()) {
        ++crowd.total_.unsent;
        ++crowd.sinceSummary_.unsent;
        return tell(crowd, member, action, nullptr);
    }
    const long faults = server_.faults();
    {
        Quiet quiet(server_, show_, keep_);
        if (show_) server_.note(EventKind::Info, "crowd " + clockWithMs(ms) + "  " + directiveOf(action, user.handle));
        Recorder::Nest nest(server_.recorder());
        server_.send(user, messageOf(action));
    }
    if (server_.faults() > faults && !show_)
        server_.note(EventKind::Fault, "FAULT: while " + user.handle + " of crowd " + crowd.name() +
                                           " sent `" + directiveOf(action, user.handle) +
                                           "` (--verbose shows what happened)");
    const Screening &screening = server_.lastSent();
    count(crowd, screening);
    if (screening.passed && action.verb == Action::Verb::Say) heard_[room] = Heard{action.text, user.id()};
    ++messagesSent_;
    tell(crowd, member, action, &screening);
}

void CrowdEngine::count(Crowd &crowd, const Screening &s) {
    for (CrowdCounts *c : {&crowd.total_, &crowd.sinceSummary_}) {
        ++c->sent;
        if (s.passed) {
            ++c->passed;
            continue;
        }
        ++c->refused;
        ++c->refusedBy[s.deciding ? ruleLabel(*s.deciding) : std::string("no reason recorded")];
    }
}

void CrowdEngine::tell(const Crowd &crowd, const Member &member, const Action &action, const Screening *screening) {
    if (!observer_) return;
    SentMessage m;
    m.server = &server_;
    m.time = server_.now();
    m.sender = member.user;
    m.profile = crowd.profile_->name;
    m.sent = screening != nullptr;
    m.screening = screening;
    m.describe = [&] { return directiveOf(action, member.user->handle); };
    observer_->sent(m);
}

std::vector<std::string> CrowdEngine::takeSummaries() {
    std::vector<std::string> lines;
    const long long nowMs = static_cast<long long>(server_.now()) * 1000;
    for (auto &c : crowds_) {
        if (c->summarised_) continue;
        c->ended_ = c->endMs_ >= 0 && nowMs >= c->endMs_;
        std::string line = "crowd " + c->name() + ", " + std::to_string(c->members_.size()) + " " +
                           (c->members_.size() == 1 ? c->profile_->name : c->profile_->plural) + ": " +
                           c->sinceSummary_.text();
        if (c->ended_) {
            line += "; its traffic has ended";
            c->summarised_ = true;
        }
        lines.push_back(line);
        c->sinceSummary_ = CrowdCounts{};
    }
    return lines;
}

}  // namespace kestrom::sim::crowd
