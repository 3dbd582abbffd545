// inspect.cpp - the tables of `who` and `rooms`, and the stories `why` tells.
#include "sim/inspect.h"

#include "sim/messages.h"
#include "sim/scenario.h"
#include "sim/values.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace kestrom::sim {

namespace {

// Host user flags by the words `who` shows them with.
constexpr std::pair<uint16, const char *> USER_FLAG_WORDS[] = {
    {HF_EXEMPT_A, "exempt"}, {HF_EXEMPT_B, "exempt"}, {HF_IDENTIFIED, "identified"},
    {HF_PINMARK, "pinmark"}, {HF_HIDDEN, "hidden"},
};

// Room flags besides the kind, as the room directive writes them.
constexpr std::pair<uint32, const char *> ROOM_FLAG_WORDS[] = {
    {RMF_CLOSED, "closed"}, {RMF_NOMEMBERS, "operatorsonly"}, {RMF_NOLOOSEPROPS, "nolooseprops"},
};

std::string hex4(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string joined(const std::vector<std::string> &words, const char *separator) {
    std::string s;
    for (const std::string &w : words) s += (s.empty() ? "" : separator) + w;
    return s;
}

void addWord(std::vector<std::string> &words, const char *word) {
    if (std::find(words.begin(), words.end(), word) == words.end()) words.emplace_back(word);
}

std::string userFlags(uint16 flags) {
    std::vector<std::string> words;
    for (const auto &[bit, word] : USER_FLAG_WORDS)
        if (flags & bit) addWord(words, word);
    return words.empty() ? hex4(flags) : hex4(flags) + " " + joined(words, ",");
}

std::vector<std::string> userRow(const SimUser &u) {
    const UserRec &r = u.rec.user;
    return {u.handle,
            std::to_string(u.id()),
            u.name(),
            u.roomID() == NO_ROOM ? "none" : std::to_string(u.roomID()),
            rankText(u.rank),
            positionText(r.roomPos),
            std::to_string(r.faceNbr),
            std::to_string(r.colorNbr),
            propsText(u.props()),
            userFlags(u.rec.flags)};
}

std::vector<std::string> waitingRow(const UserPlan &plan) {
    return {plan.handle, "-", plan.name, plan.room ? std::to_string(*plan.room) : "entrance",
            rankText(plan.rank), "-", "-", "-", "-", "connects at start"};
}

std::string roomKind(const Server &server, const SimRoom &room) {
    std::vector<std::string> words;
    words.emplace_back(room.rec.memberOwner ? "member" : room.hasFlag(RMF_PRIVATE) ? "private" : "public");
    if (&room == server.entrance()) words.emplace_back("entrance");
    if (room.rec.memberOwner && room.hasFlag(RMF_PRIVATE)) words.emplace_back("private");
    for (const auto &[bit, word] : ROOM_FLAG_WORDS)
        if (room.hasFlag(bit)) words.emplace_back(word);
    if (!room.password().empty()) words.emplace_back("password");
    return joined(words, ", ");
}

std::string ownerText(const Server &server, const SimRoom &room) {
    const ClientID owner = room.rec.memberOwner;
    if (!owner) return "-";
    for (const SimUser *u : server.connectedUsers())
        if (u->rec.counter == owner) return std::to_string(owner) + " (" + u->handle + ")";
    return std::to_string(owner);
}

std::string peopleText(const Server &server, const SimRoom &room) {
    std::vector<std::string> handles;
    for (const SimUser *u : server.occupantsOf(room)) handles.push_back(u->handle);
    if (handles.empty()) return "0";
    return std::to_string(handles.size()) + ": " + joined(handles, ", ");
}

std::string loosePropsText(const SimRoom &room) {
    std::vector<std::string> props;
    for (const LooseProp &p : room.looseProps()) props.push_back(propsText({p.asset}) + " at " + positionText(p.loc));
    if (props.empty()) return "none";
    return std::to_string(props.size()) + ": " + joined(props, "; ");
}

}  // namespace

std::vector<std::string> alignedColumns(const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> widths;
    for (const auto &row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    std::vector<std::string> lines;
    for (const auto &row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        lines.push_back(line);
    }
    return lines;
}

std::string parameterFileSummary(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "parameter file " + path + " cannot be read (" + std::strerror(errno) + "): the module will not start with it";
    long lines = 0, rules = 0, settings = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#') continue;
        for (char &c : first) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ++(isParameterName(first) ? rules : settings);
    }
    auto count = [](long n, const char *what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    return "parameter file " + path + ": " + count(lines, "line") + ", " + count(rules, "rule") + ", " +
           count(settings, "setting") + " (kestrom-check FILE checks it)";
}

std::vector<std::string> whoLines(const Server &server, const std::vector<UserPlan> &waiting) {
    if (server.connectedUsers().empty() && waiting.empty()) return {"nobody is connected"};
    std::vector<std::vector<std::string>> rows = {
        {"user", "id", "name", "room", "rank", "pos", "face", "color", "props", "flags"}};
    for (const SimUser *u : server.connectedUsers()) rows.push_back(userRow(*u));
    for (const UserPlan &plan : waiting) rows.push_back(waitingRow(plan));
    return alignedColumns(rows);
}

std::vector<std::string> roomLines(const Server &server) {
    if (server.rooms().empty()) return {"there is no room yet (room ROOM NAME declares one)"};
    std::vector<std::vector<std::string>> rows = {
        {"room", "name", "kind and flags", "owner", "people", "drawings", "loose props"}};
    for (const SimRoom *r : server.rooms())
        rows.push_back({std::to_string(r->id()), r->name(), roomKind(server, *r), ownerText(server, *r),
                        peopleText(server, *r), std::to_string(r->drawings().size()), loosePropsText(*r)});
    return alignedColumns(rows);
}

// ------------------------------------------------------------------ why

WhyLog::Story WhyLog::storyOf(const Server &server, const Event &verdict, const Directive &d) {
    const std::string sender = verdict.user ? verdict.user->handle : std::string("nobody");
    Story story = {"line " + std::to_string(d.line) + " (" + d.source + "): " + verdict.describe() +
                   (verdict.submitted ? "" : " from " + sender)};
    for (const Decision *decision : server.decisionsOf(verdict.message)) story.push_back("  " + reasonText(*decision));
    if (story.size() == 1)
        story.push_back(Server::providesTrace() ? "  no rule of the module's looked at it"
                                                : "  (this server has no decision trace)");
    return story;
}

void WhyLog::collect(Server &server, const Directive &d) {
    bool ownSeen = false;
    for (const Event &e : server.recorder().window()) {
        if (e.kind != EventKind::Verdict || !e.screened) continue;
        if (!e.submitted && !ownSeen) {
            last_ = storyOf(server, e, d);
            ownSeen = true;
        }
        if (!e.passed && e.user) refused_[e.user->handle] = storyOf(server, e, d);
    }
}

void WhyLog::sent(const SentMessage &m) {
    if (next_) next_->sent(m);
    if (!m.sent || !m.screening || m.screening->passed || !m.sender) return;
    char clock[16];
    const time_t when = m.time;
    struct tm tm {};
    gmtime_r(&when, &tm);
    std::strftime(clock, sizeof clock, "%H:%M:%S", &tm);
    Story story = {std::string("crowd ") + clock + " (" + m.describe() + "): module swallows " +
                   typeText(m.screening->type) + " from " + m.sender->handle};
    story.push_back(m.screening->deciding ? "  " + m.server->reasonOf(*m.screening->deciding)
                                          : std::string("  no rule of the module's refused it"));
    refused_[m.sender->handle] = std::move(story);
}

void WhyLog::finished(const Server &server) {
    if (next_) next_->finished(server);
}

std::vector<std::string> WhyLog::lastMessage() const {
    if (!last_) return {"no message has been sent yet"};
    return *last_;
}

std::vector<std::string> WhyLog::lastRefused(const std::string &handle) const {
    auto it = refused_.find(handle);
    if (it == refused_.end()) return {"the module has refused no message of " + handle + "'s"};
    return it->second;
}

}  // namespace kestrom::sim
