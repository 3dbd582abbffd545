// snapshot.cpp - the world, the rules and the feed as the page reads them.
#include "tools/web/snapshot.h"

#include "core/state.h"
#include "sim/clock.h"
#include "sim/messages.h"
#include "sim/session.h"
#include "sim/crowd/crowd.h"

#include <cstdio>
#include <ctime>
#include <unordered_map>

namespace kestrom::web {

namespace {

using sim::Event;
using sim::EventKind;

const char *handleOf(const sim::SimUser *u) { return u ? u->handle.c_str() : ""; }

json handles(const std::vector<const sim::SimUser *> &users) {
    json list = json::array();
    for (const sim::SimUser *u : users) list.push_back(u->handle);
    return list;
}

// The room flags the page names, as data.
struct FlagWord {
    uint32 bit;
    const char *word;
};
constexpr FlagWord ROOM_FLAGS[] = {
    {RMF_PRIVATE, "private"}, {RMF_CLOSED, "closed"}, {RMF_NOMEMBERS, "operators only"}, {RMF_NOLOOSEPROPS, "no loose props"}};

json roomJson(sim::Server &server, const sim::SimRoom &room) {
    json flags = json::array();
    for (const FlagWord &f : ROOM_FLAGS)
        if (room.hasFlag(f.bit)) flags.push_back(f.word);
    if (!room.password().empty()) flags.push_back("password");
    json owner = nullptr;
    if (const ClientID counter = room.rec.memberOwner) {
        const ServerUserRec *rec = server.findUserByCounter(counter);
        const sim::SimUser *u = rec ? server.user(rec->user.userID) : nullptr;
        owner = {{"counter", counter}, {"user", u ? json(u->handle) : json(nullptr)}};
    }
    json props = json::array();
    long index = 0;
    for (const sim::LooseProp &p : room.looseProps())
        props.push_back({{"index", index++}, {"id", p.asset.id}, {"crc", p.asset.crc}, {"h", p.loc.h}, {"v", p.loc.v}});
    return {{"id", room.id()},
            {"name", room.name()},
            {"entrance", &room == server.entrance()},
            {"flags", flags},
            {"owner", owner},
            {"occupants", handles(server.occupantsOf(room))},
            {"props", props},
            {"drawings", room.drawings().size()}};
}

// How a user is pinned: by an operator's pinx (the host's pin mark), by the
// room's owner (the module's own record of the user), or not at all.
json pinOf(const sim::SimUser &u) {
    if (u.rec.flags & HF_PINMARK) return "pinx";
    const auto *dat = static_cast<const UserDat *>(u.rec.pluginUserInfo);
    if (dat && u.pluginInfoSize() >= sizeof(UserDat) && (dat->flags & UF_ROOMPINNED)) return "room";
    return nullptr;
}

json userJson(const sim::SimUser &u) {
    json props = json::array();
    for (const AssetSpec &p : u.props()) props.push_back(p.id);
    return {{"handle", u.handle},
            {"name", u.name()},
            {"id", u.id()},
            {"rank", u.rank},
            {"room", u.roomID()},
            {"h", u.rec.user.roomPos.h},
            {"v", u.rec.user.roomPos.v},
            {"face", u.rec.user.faceNbr},
            {"color", u.rec.user.colorNbr},
            {"props", props},
            {"pinned", pinOf(u)}};
}

json clockJson(time_t now) {
    char date[16] = "";
    std::tm parts{};
    if (gmtime_r(&now, &parts)) std::strftime(date, sizeof date, "%Y-%m-%d", &parts);
    return {{"time", sim::clockText(now, now)}, {"date", date}, {"seconds", static_cast<long long>(now)}};
}

json topUsers(const sim::DecisionStats::RuleRow &row) {
    json top = json::array();
    for (const auto &[handle, count] : row.mostRefused(3)) top.push_back({{"user", handle}, {"refused", count}});
    return top;
}

const char *markOf(const sim::DecisionStats::RuleRow &row) {
    if (row.checked == 0) return "never checked";
    if (row.refused == 0) return "never refused";
    return "";
}

json baseEntry(long number, const std::string &kind, const std::string &via) {
    return {{"n", number}, {"kind", kind}, {"via", via}};
}

// A refusal: the message swallowed, the rule and the reason.
void refusalFields(json &entry, const sim::Decision &d, const std::string &reason) {
    entry["rule"] = d.rule;
    entry["line"] = d.line;
    entry["told"] = d.told;
    entry["reason"] = reason;
    if (d.other) entry["other"] = d.other->handle;
}

// The decisions of each message screened in a window, found in one pass.
using DecisionsByMessage = std::unordered_map<long, std::vector<const sim::Decision *>>;

DecisionsByMessage decisionsByMessage(const std::vector<Event> &events) {
    DecisionsByMessage found;
    for (const Event &e : events)
        if (e.kind == EventKind::Decision && e.decision && e.decision->message != 0)
            found[e.decision->message].push_back(&*e.decision);
    return found;
}

json verdictEntry(const DecisionsByMessage &decisions, const Event &e, long number, const std::string &via) {
    const auto it = decisions.find(e.message);
    const sim::Decision *why = it == decisions.end() ? nullptr : sim::decidingDecision(it->second, true);
    const bool refused = why && why->refused;
    json entry = baseEntry(number, refused ? "refusal" : "swallowed", via);
    entry["user"] = handleOf(e.user);
    entry["type"] = sim::typeText(e.msgType);
    entry["text"] = e.describe();
    if (why) refusalFields(entry, *why, e.reason);
    return entry;
}

// Whether an event makes an entry in the feed: messages passed, allocations
// made to fail and the decisions shown with their message do not.
bool feeds(const Event &e) {
    switch (e.kind) {
    case EventKind::Verdict: return !e.passed && e.screened;
    case EventKind::Decision: return e.decision && e.decision->message == 0 && e.decision->refused;
    case EventKind::Alloc: return false;
    default: return true;
    }
}

// The entry of an event that feeds().
json entryOf(const DecisionsByMessage &decisions, const Event &e, long number, const std::string &via) {
    switch (e.kind) {
    case EventKind::Verdict: return verdictEntry(decisions, e, number, via);
    case EventKind::Decision: {
        json entry = baseEntry(number, "refusal", via);
        entry["user"] = handleOf(e.user);
        entry["text"] = "timer action refused";
        refusalFields(entry, *e.decision, sim::reasonText(*e.decision));
        return entry;
    }
    case EventKind::Said: {
        json entry = baseEntry(number, "chat", via);
        entry["user"] = handleOf(e.user);
        entry["text"] = e.detail;
        entry["said"] = e.text;
        entry["receivers"] = handles(e.receivers);
        return entry;
    }
    case EventKind::Text: {
        json entry = baseEntry(number, "text", via);
        entry["text"] = e.describe();
        entry["to"] = e.audience;
        entry["receivers"] = handles(e.receivers);
        return entry;
    }
    case EventKind::Log: {
        json entry = baseEntry(number, "log", via);
        entry["text"] = e.text;
        if (e.user) entry["user"] = e.user->handle;
        return entry;
    }
    case EventKind::Update: {
        json entry = feedEntry(number, "update", e.detail, via);
        entry["receivers"] = handles(e.receivers);
        return entry;
    }
    case EventKind::Fault: return feedEntry(number, "fault", e.detail, via);
    case EventKind::Server: return feedEntry(number, "server", e.detail, via);
    case EventKind::Timer: return feedEntry(number, "timer", e.detail, via);
    default: return feedEntry(number, "info", e.detail, via);
    }
}

}  // namespace

std::string jsonText(const json &value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

namespace {

// One row per crowd: what it is and what it sent so far.
json crowdsJson(const sim::crowd::CrowdEngine *engine) {
    json list = json::array();
    if (!engine) return list;
    for (const auto &c : engine->crowds()) {
        const sim::crowd::CrowdCounts &t = c->total();
        const std::string by = t.refusedByText();
        char share[16];
        std::snprintf(share, sizeof share, "%.1f%%", t.refusedPercent());
        list.push_back({{"crowd", c->name()},
                        {"profile", c->profile().name},
                        {"users", c->members().size()},
                        {"sent", t.sent},
                        {"passed", t.passed},
                        {"refused", share},
                        {"by", by.empty() ? "-" : by},
                        {"state", c->ended() ? "ended" : "running"}});
    }
    return list;
}

}  // namespace

json worldJson(sim::Session &session) {
    sim::Server &server = session.server();
    json rooms = json::array();
    for (const sim::SimRoom *r : server.rooms()) rooms.push_back(roomJson(server, *r));
    json users = json::array();
    for (const sim::SimUser *u : server.connectedUsers()) users.push_back(userJson(*u));
    json world = {{"running", server.running()}, {"clock", clockJson(server.now())}, {"rooms", rooms}, {"users", users}};
    // Crowds, when the simulator has them: the page then offers to add one
    // and shows each crowd's counters.
    if (sim::Session::findVerb("crowd")) world["crowds"] = crowdsJson(session.crowdEngine());
    return world;
}

json rulesJson(const sim::DecisionStats &stats) {
    json rules = json::array();
    for (const sim::DecisionStats::RuleRow &row : stats.rules())
        rules.push_back({{"rule", row.rule},
                         {"line", row.line},
                         {"text", row.lineText},
                         {"checked", row.checked},
                         {"passed", row.passed},
                         {"refused", row.refused},
                         {"told", row.told},
                         {"users", row.refusedUsers.size()},
                         {"top", topUsers(row)},
                         {"inFile", row.inFile},
                         {"mark", markOf(row)}});
    json types = json::array();
    for (const sim::DecisionStats::TypeRow &row : stats.messageTypes())
        types.push_back({{"type", sim::typeText(row.type)},
                         {"received", row.received},
                         {"passed", row.passed},
                         {"swallowed", row.swallowed}});
    return {{"traced", sim::Server::providesTrace()}, {"rules", rules}, {"types", types}};
}

void feedEntries(sim::Server &server, const std::vector<Event> &events, const std::string &via, long &number,
                 std::vector<json> &out, size_t most) {
    const std::string now = sim::clockText(server.now(), server.now());
    const DecisionsByMessage decisions = decisionsByMessage(events);
    size_t made = 0, left = 0;
    for (const Event &e : events) {
        if (!feeds(e)) continue;
        if (made == most) {
            ++left;
            continue;
        }
        json entry = entryOf(decisions, e, ++number, via);
        ++made;
        entry["t"] = now;
        entry["depth"] = e.depth;
        out.push_back(std::move(entry));
    }
    if (left == 0) return;
    json rest = feedEntry(++number, "info", "... and " + std::to_string(left) + " more (the feed shows " +
                                               std::to_string(most) + " of one directive)", via);
    rest["t"] = now;
    out.push_back(std::move(rest));
}

json feedEntry(long number, const std::string &kind, const std::string &text, const std::string &via) {
    json entry = baseEntry(number, kind, via);
    entry["text"] = text;
    return entry;
}

}  // namespace kestrom::web
