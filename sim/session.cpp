// session.cpp - playing one scenario: the world and message verbs.
//
// The verbs of the scenario language (the contract every scenario may use),
// and these of the simulator's own:
//
//   fail-alloc K          the K-th module allocation from now fails (only it)
//   fail-alloc-from K     every module allocation from the K-th from now fails
//   fail-alloc off        allocations succeed again
//   clock-jump SECONDS    the clock jumps by SECONDS (either way) at once;
//                         timers keep their times, those due then run
//   adddraw ROOM          adds one drawing to a room
//   help [VERB]           lists the verbs, or tells what one does
//   stats                 prints the decision statistics so far (see --stats)
//   who, rooms            print the users, the rooms (sim/inspect.h)
//   why [USER]            prints the reasons of the last message, or of
//                         USER's last refused message
//   quit, exit            end the console (a file: the rest is not run)
//   crowd COUNT PROFILE [rooms=LIST] [rank=R] [rate=PER_MINUTE] [burst=N]
//         [for=SECONDS] [seed=S] [name=PREFIX]
//                         connects COUNT users who behave after PROFILE as
//                         the clock advances (sim/crowd/)
//
// The verbs that only print open no window: checks after them still look
// at the window of the directive before.
//
// and these checks of the module's decision trace (core/host.h):
//
//   expect-refused-by RULE [KEY=VALUE...]
//   expect-passed-by RULE [KEY=VALUE...]
//
// and this check of the crowds:
//
//   expect-share CROWD refused<=PERCENT | refused>=PERCENT
//
// and these keys: `room ... operatorsonly` (room flag 0x0080); `set USER
// name=NAME owns=ROOM|none`; `expect-state USER rank=R flags=0xHHHH`;
// `expect-room ROOM name=NAME picture=NAME private=yes|no`.
//
// Every directive but the checks opens a new window of events; after it the
// submitted messages are handled and the due timers run.
#include "sim/session.h"

#include "sim/clock.h"
#include "sim/observer.h"
#include "sim/values.h"
#include "sim/verb_help.h"

#include <climits>
#include <cstdint>
#include <iomanip>

namespace kestrom::sim {

// clang-format off
const VerbInfo Session::verbs[] = {
    // verb               TEXT after  min  max  check  handler                     usage
    {"server",             -1,  1,  1, false, &Session::doServer,        "server maxpeople=N"},
    {"clock",              -1,  1,  1, false, &Session::doClock,         "clock HH:MM:SS"},
    {"params",             -1,  0,  0, false, &Session::doParams,        "params ... end"},
    {"params-file",        -1,  1,  1, false, &Session::doParamsFile,    "params-file PATH"},
    {"room",               -1,  2, -1, false, &Session::doRoom,          "room ROOM NAME [private] [closed] [password=PW] [owner=COUNTER] [nolooseprops] [operatorsonly]"},
    {"start",              -1,  0,  0, false, &Session::doStart,         "start"},
    {"start-args",         -1,  0, -1, false, &Session::doStartArgs,     "start-args [ARG...]"},
    {"stop",               -1,  0,  0, false, &Session::doStop,          "stop"},
    {"user",               -1,  1, -1, false, &Session::doUser,          "user USER [name=NAME] [rank=R] [ip=A.B.C.D] [counter=N] [crc=N] [puid=N] [puidcrc=N] [flags=0xHHHH] [room=ROOM]"},
    {"leave",              -1,  1,  1, false, &Session::doLeave,         "leave USER"},
    {"set",                -1,  2, -1, false, &Session::doSet,           "set USER KEY=VALUE..."},
    {"addprop",            -1,  4,  4, false, &Session::doAddProp,       "addprop ROOM PROP X Y"},
    {"adddraw",            -1,  1,  1, false, &Session::doAddDraw,       "adddraw ROOM"},
    {"advance",            -1,  1,  1, false, &Session::doAdvance,       "advance SECONDS"},
    {"clock-jump",         -1,  1,  1, false, &Session::doClockJump,     "clock-jump SECONDS"},
    {"fail-alloc",         -1,  1,  1, false, &Session::doFailAlloc,     "fail-alloc K|off"},
    {"fail-alloc-from",    -1,  1,  1, false, &Session::doFailAllocFrom, "fail-alloc-from K"},
    {"help",               -1,  0,  1, true,  &Session::doHelp,          "help [VERB]"},
    {"stats",              -1,  0,  0, true,  &Session::doStats,         "stats"},
    {"who",                -1,  0,  0, true,  &Session::doWho,           "who"},
    {"rooms",              -1,  0,  0, true,  &Session::doRooms,         "rooms"},
    {"why",                -1,  0,  1, true,  &Session::doWhy,           "why [USER]"},
    {"quit",               -1,  0,  0, true,  &Session::doQuit,          "quit"},
    {"exit",               -1,  0,  0, true,  &Session::doQuit,          "exit"},
    {"say",                 1,  1,  1, false, &Session::doSay,           "say USER TEXT"},
    {"whisper",             2,  2,  2, false, &Session::doWhisper,       "whisper USER TARGET TEXT"},
    {"xsay",                1,  1,  1, false, &Session::doXsay,          "xsay USER TEXT"},
    {"xwhisper",            2,  2,  2, false, &Session::doXwhisper,      "xwhisper USER TARGET TEXT"},
    {"roommsg",             1,  1,  1, false, &Session::doRoomMsg,       "roommsg USER TEXT"},
    {"globalmsg",           1,  1,  1, false, &Session::doGlobalMsg,     "globalmsg USER TEXT"},
    {"page",                1,  1,  1, false, &Session::doPage,          "page USER TEXT"},
    {"goto",               -1,  2,  2, false, &Session::doGoto,          "goto USER ROOM"},
    {"loc",                -1,  3,  3, false, &Session::doLoc,           "loc USER X Y"},
    {"face",               -1,  2,  2, false, &Session::doFace,          "face USER N"},
    {"color",              -1,  2,  2, false, &Session::doColor,         "color USER N"},
    {"name",                1,  1,  1, false, &Session::doName,          "name USER TEXT"},
    {"props",              -1,  2,  2, false, &Session::doProps,         "props USER LIST"},
    {"desc",               -1,  4,  4, false, &Session::doDesc,          "desc USER FACE COLOR LIST"},
    {"drop",               -1,  4,  4, false, &Session::doDrop,          "drop USER PROP X Y"},
    {"moveprop",           -1,  4,  4, false, &Session::doMoveProp,      "moveprop USER INDEX X Y"},
    {"delprop",            -1,  2,  2, false, &Session::doDelProp,       "delprop USER INDEX|all"},
    {"spot",               -1,  4,  4, false, &Session::doSpot,          "spot USER ROOM SPOT STATE"},
    {"lock",               -1,  3,  3, false, &Session::doLock,          "lock USER ROOM DOOR"},
    {"unlock",             -1,  3,  3, false, &Session::doUnlock,        "unlock USER ROOM DOOR"},
    {"roomlist",           -1,  1,  1, false, &Session::doRoomList,      "roomlist USER"},
    {"userlist",           -1,  1,  1, false, &Session::doUserList,      "userlist USER"},
    {"wizreq",             -1,  1,  1, false, &Session::doWizReq,        "wizreq USER"},
    {"raw",                -1,  3,  3, false, &Session::doRaw,           "raw USER TYPE HEX"},
    {"expect-pass",        -1,  0,  0, true,  &Session::expectPass,      "expect-pass"},
    {"expect-swallow",     -1,  0,  0, true,  &Session::expectSwallow,   "expect-swallow"},
    {"expect",              1,  1,  1, true,  &Session::expectText,      "expect USER TEXT"},
    {"expect-not",          1,  1,  1, true,  &Session::expectNotText,   "expect-not USER TEXT"},
    {"expect-none",        -1,  1,  1, true,  &Session::expectNone,      "expect-none USER"},
    {"expect-said",         1,  1,  1, true,  &Session::expectSaid,      "expect-said USER TEXT"},
    {"expect-not-said",     1,  1,  1, true,  &Session::expectNotSaid,   "expect-not-said USER TEXT"},
    {"expect-log",          0,  0,  0, true,  &Session::expectLog,       "expect-log TEXT"},
    {"expect-no-log",       0,  0,  0, true,  &Session::expectNoLog,     "expect-no-log TEXT"},
    {"expect-state",       -1,  2, -1, true,  &Session::expectState,     "expect-state USER KEY=VALUE..."},
    {"expect-room",        -1,  2, -1, true,  &Session::expectRoom,      "expect-room ROOM KEY=VALUE..."},
    {"expect-allocations", -1,  1,  1, true,  &Session::expectAllocations, "expect-allocations N"},
    {"expect-started",     -1,  1,  1, true,  &Session::expectStarted,   "expect-started yes|no"},
    {"expect-refused-by",  -1,  1, -1, true,  &Session::expectRefusedBy, "expect-refused-by RULE [KEY=VALUE...]"},
    {"expect-passed-by",   -1,  1, -1, true,  &Session::expectPassedBy,  "expect-passed-by RULE [KEY=VALUE...]"},
    {"crowd",              -1,  2, -1, false, &Session::doCrowd,         "crowd COUNT PROFILE [rooms=LIST] [rank=R] [rate=PER_MINUTE] [burst=N] [for=SECONDS] [seed=S] [name=PREFIX]"},
    {"expect-share",       -1,  2,  2, true,  &Session::expectShare,     "expect-share CROWD refused<=PERCENT|refused>=PERCENT"},
};
// clang-format on

const VerbInfo *Session::findVerb(std::string_view verb) {
    for (const VerbInfo &v : verbs)
        if (verb == v.verb) return &v;
    return nullptr;
}

std::vector<std::string> Session::verbNames() {
    std::vector<std::string> names;
    for (const VerbInfo &v : verbs) names.emplace_back(v.verb);
    return names;
}

std::vector<std::string> Session::handles() const {
    std::vector<std::string> names;
    for (const auto &[handle, named] : named_) names.push_back(handle);
    return names;
}

bool Session::readsWindow(std::string_view check) {
    static constexpr const char *RECORD_CHECKS[] = {"expect-state", "expect-room", "expect-allocations",
                                                    "expect-started", "expect-share"};
    for (const char *verb : RECORD_CHECKS)
        if (check == verb) return false;
    return true;
}

namespace {

// KEY=VALUE with a value, or a ScenarioError.
std::string valueOf(const std::pair<std::string, std::string> &kv, const std::string &word) {
    if (word.find('=') == std::string::npos) throw ScenarioError("\"" + kv.first + "\" needs a value (KEY=VALUE)");
    return kv.second;
}

}  // namespace

Session::Session(const RunOptions &options, std::ostream &out, Tally &tally, std::string fileName,
                 std::filesystem::path baseDir)
    : options_(options), out_(out), tally_(tally), fileName_(std::move(fileName)), baseDir_(std::move(baseDir)) {
    server_.recorder().setListener([this](const Event &e) { show(e); });
    if (options_.failAlloc > 0) server_.heap().failOnly(options_.failAlloc);
    if (options_.failAllocFrom > 0) server_.heap().failFrom(options_.failAllocFrom);
    if (!options_.parameterFile.empty()) {
        paramsPath_ = options_.parameterFile;
        paramsFromFile_ = true;
    } else if (!options_.paramsFile.empty()) {
        useParameterFile(std::filesystem::absolute(options_.paramsFile));
    }
}

std::string Session::where() const { return fileName_ + ":" + std::to_string(line_); }

void Session::echo(const Directive &d) {
    if (!options_.quiet) out_ << std::setw(5) << d.line << "  " << d.source << '\n';
}

void Session::show(const Event &e) {
    if (e.kind == EventKind::Fault) {
        ++tally_.failed;
        ++tally_.faults;
        out_ << where() << ": expected no fault of the module's, got " << e.detail << '\n';
        return;
    }
    if (options_.quiet) return;
    // A decision is shown as the reason under the message it decided; only
    // the refusals of timer actions stand on their own.
    if (e.kind == EventKind::Decision && (!e.decision || e.decision->message != 0 || !e.decision->refused)) return;
    const std::string indent(9 + 2 * static_cast<size_t>(e.depth), ' ');
    out_ << indent << e.describe() << '\n';
    if (!e.reason.empty()) out_ << indent << "  " << e.reason << '\n';
}

void Session::run(const Directive &d) {
    const VerbInfo *verb = findVerb(d.verb);
    if (!verb) throw ScenarioError("unknown verb \"" + d.verb + "\"");
    line_ = d.line;
    if (verb->check) return (this->*verb->run)(d);
    server_.recorder().openWindow();
    // An advance among crowds keeps its window only for a check that reads it.
    server_.recorder().setKeeping(!(crowds_ && d.verb == "advance" && d.windowChecks == 0));
    keepCrowdTraffic_ = d.windowChecks > 0;
    if (crowds_) crowds_->setRecording(options_.verbose, keepCrowdTraffic_);
    echo(d);
    (this->*verb->run)(d);
    server_.finishDirective();
    why_.collect(server_, d);
}

void Session::finish() {
    if (server_.running()) {
        if (!options_.quiet) out_ << "  end  the module is still running: it is stopped\n";
        server_.stop();
    }
    judgeLeaks();
    if (options_.stats) printStats();
    if (options_.observer) options_.observer->finished(server_);
    tally_.allocations += server_.heap().allocationsMade();
    if (options_.countAllocs)
        out_ << fileName_ << ": " << server_.heap().allocationsMade() << " module allocations\n";
}

// ---------------------------------------------------------------- helpers

SimUser &Session::known(const std::string &handle) {
    auto it = named_.find(handle);
    if (it == named_.end()) throw ScenarioError("unknown user \"" + handle + "\"");
    if (!it->second.user) throw ScenarioError(handle + " has not connected yet (users declared before start connect at start)");
    return *it->second.user;
}

SimRoom &Session::existingRoom(const std::string &word) {
    const RoomID id = static_cast<RoomID>(parseNumber(word, INT16_MIN, INT16_MAX, "room"));
    SimRoom *room = server_.room(id);
    if (!room) throw ScenarioError("there is no room " + word);
    return *room;
}

// With --check-leaks, module blocks still out once the module has stopped are
// a fault of the module's (each block reported once).
void Session::judgeLeaks() {
    if (!options_.checkLeaks || server_.running()) return;
    const size_t outstanding = server_.heap().outstanding();
    if (outstanding <= leaksReported_) return;
    leaksReported_ = outstanding;
    ++tally_.failed;
    ++tally_.faults;
    out_ << where() << ": expected no module block outstanding after stop, got " << outstanding << '\n';
}

void Session::ensureModule() {
    if (server_.hasModule()) return;
    std::string error;
    if (!server_.loadModule(options_.modulePath, error)) throw ScenarioError(error);
}

// Every user waiting for start has a room to connect to, or nothing starts.
void Session::checkEntrances() const {
    for (const std::string &handle : waiting_) {
        const UserPlan &plan = named_.at(handle).plan;
        if (!plan.room && !server_.entrance())
            throw ScenarioError("there is no room yet for " + handle +
                                " to connect to: declare one first (room 1 Lobby), then start");
        if (plan.room && !server_.room(*plan.room))
            throw ScenarioError(handle + " is to connect to room " + std::to_string(*plan.room) +
                                ", which does not exist: declare it first (room " + std::to_string(*plan.room) +
                                " NAME), then start");
    }
}

void Session::startWith(const std::vector<std::string> &args) {
    if (server_.running()) throw ScenarioError("the module is running: stop it first");
    checkEntrances();
    ensureModule();
    server_.start(args);
    startGiven_ = true;
    for (const std::string &handle : waiting_) connectNamed(named_.at(handle));
    waiting_.clear();
}

void Session::connectNamed(Named &named) {
    std::string error;
    named.user = server_.connect(named.plan, error);
    if (!named.user) throw ScenarioError(error);
}

void Session::send(const Directive &d, Message message) {
    SimUser &user = known(d.words[0]);
    const bool sent = user.connected;
    server_.send(user, std::move(message));
    if (!options_.observer) return;
    SentMessage m;
    m.server = &server_;
    m.time = server_.now();
    m.sender = &user;
    m.sent = sent;
    m.screening = sent ? &server_.lastSent() : nullptr;
    m.describe = [&d] { return d.source; };
    options_.observer->sent(m);
}

// ------------------------------------------------------------------ world

void Session::doServer(const Directive &d) {
    auto kv = splitKey(d.words[0]);
    if (kv.first != "maxpeople") throw ScenarioError("unknown server setting \"" + kv.first + "\"");
    if (startGiven_) throw ScenarioError("server settings come before start");
    server_.setMaxPeople(static_cast<int>(parseNumber(valueOf(kv, d.words[0]), 1, 10000, "maxpeople")));
}

void Session::doClock(const Directive &d) {
    int h = 0, m = 0, s = 0;
    parseClock(d.words[0], h, m, s);
    server_.setTimeOfDay(h, m, s);
}

void Session::doParams(const Directive &d) {
    if (!options_.parameterFile.empty())
        return server_.note(EventKind::Info, "params block replaced by " + options_.parameterFile);
    if (paramsFromFile_ && server_.running())
        throw ScenarioError("the running module reads " + paramsPath_ + " (params-file): a params block would not reach it");
    std::string text;
    for (const std::string &line : d.block) text += line + '\n';
    paramsPath_ = server_.writeParameterFile(text);
    paramsFromFile_ = false;
    server_.note(EventKind::Info, "parameter file written (" + std::to_string(d.block.size()) + " lines)");
}

void Session::doParamsFile(const Directive &d) {
    if (!options_.parameterFile.empty())
        return server_.note(EventKind::Info, "params-file replaced by " + options_.parameterFile);
    const std::filesystem::path path(d.words[0]);
    useParameterFile(path.is_absolute() ? path : baseDir_ / path);
}

// The module will read `path`; the transcript tells what it holds.
void Session::useParameterFile(const std::filesystem::path &path) {
    paramsPath_ = path.string();
    paramsFromFile_ = true;
    server_.note(EventKind::Info, parameterFileSummary(paramsPath_));
}

void Session::doRoom(const Directive &d) {
    RoomPlan plan;
    plan.id = static_cast<RoomID>(parseNumber(d.words[0], 0, INT16_MAX, "room"));
    plan.name = d.words[1];
    for (size_t i = 2; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        auto kv = splitKey(word);
        if (word == "private") plan.flags |= RMF_PRIVATE;
        else if (word == "closed") plan.flags |= RMF_CLOSED;
        else if (word == "nolooseprops") plan.flags |= RMF_NOLOOSEPROPS;
        else if (word == "operatorsonly") plan.flags |= RMF_NOMEMBERS;
        else if (kv.first == "password") plan.password = valueOf(kv, word);
        else if (kv.first == "owner") plan.owner = parseUnsigned(valueOf(kv, word), "owner counter");
        else throw ScenarioError("unknown room key \"" + word + "\"");
    }
    if (plan.password.size() > 31) throw ScenarioError("a room password has at most 31 characters");
    std::string error;
    if (!server_.addRoom(plan, error)) throw ScenarioError(error);
}

void Session::doStart(const Directive &) {
    if (paramsPath_.empty()) paramsPath_ = server_.writeParameterFile("");
    startWith({paramsPath_});
}

void Session::doStartArgs(const Directive &d) { startWith(d.words); }

void Session::doStop(const Directive &) {
    if (!server_.running()) server_.note(EventKind::Info, "the module is not running");
    server_.stop();
    judgeLeaks();
}

void Session::doUser(const Directive &d) {
    const std::string &handle = d.words[0];
    auto existing = named_.find(handle);
    if (existing != named_.end() && (!existing->second.user || existing->second.user->connected))
        throw ScenarioError("user " + handle + " is already here");
    UserPlan plan = UserPlan::numbered(handle, ++userLines_);
    for (size_t i = 1; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        auto kv = splitKey(word);
        const std::string value = valueOf(kv, word);
        if (kv.first == "name") plan.name = value;
        else if (kv.first == "rank") plan.rank = parseRank(value);
        else if (kv.first == "ip") plan.address = parseAddress(value);
        else if (kv.first == "counter") plan.counter = parseUnsigned(value, "counter");
        else if (kv.first == "crc") plan.crc = parseUnsigned(value, "crc");
        else if (kv.first == "puid") plan.puid = parseUnsigned(value, "puid");
        else if (kv.first == "puidcrc") plan.puidcrc = parseUnsigned(value, "puidcrc");
        else if (kv.first == "flags") plan.flags = static_cast<uint16>(parseFlags(value, 0xFFFF));
        else if (kv.first == "room") plan.room = static_cast<RoomID>(parseNumber(value, INT16_MIN, INT16_MAX, "room"));
        else throw ScenarioError("unknown user key \"" + kv.first + "\"");
    }
    if (plan.name.size() > 31) throw ScenarioError("a user name has at most 31 characters");
    Named &named = named_[handle];
    named = Named{nullptr, plan};
    if (!startGiven_) {
        waiting_.push_back(handle);
        server_.note(EventKind::Info, handle + " will connect at start");
        return;
    }
    connectNamed(named);
}

void Session::doLeave(const Directive &d) {
    SimUser &user = known(d.words[0]);
    if (!user.connected) return server_.note(EventKind::Info, user.handle + " is not connected");
    server_.disconnect(user);
}

void Session::doSet(const Directive &d) {
    SimUser &user = known(d.words[0]);
    for (size_t i = 1; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        auto kv = splitKey(word);
        const std::string value = valueOf(kv, word);
        UserRec &u = user.rec.user;
        if (kv.first == "rank") user.rank = parseRank(value);
        else if (kv.first == "pos") u.roomPos = parsePositionPair(value);
        else if (kv.first == "face") u.faceNbr = static_cast<sint16>(parseNumber(value, INT16_MIN, INT16_MAX, "face"));
        else if (kv.first == "color") u.colorNbr = static_cast<sint16>(parseNumber(value, INT16_MIN, INT16_MAX, "colour"));
        else if (kv.first == "flags") user.rec.flags = static_cast<uint16>(parseFlags(value, 0xFFFF));
        else if (kv.first == "name") {
            if (value.size() > 31) throw ScenarioError("a user name has at most 31 characters");
            user.setName(value);
        } else if (kv.first == "props") {
            auto props = specsOf(parseProps(value));
            if (props.size() > KESTROM_MAX_WORN_PROPS) throw ScenarioError("a user wears at most 9 props");
            user.setProps(props);
        } else if (kv.first == "room") {
            SimRoom &room = existingRoom(value);
            if (!server_.place(user, room)) throw ScenarioError("cannot put " + user.handle + " in room " + value);
        } else if (kv.first == "owns") {
            user.rec.lastOwnedRoom = value == "none" ? nullptr : &existingRoom(value).rec;
        } else {
            throw ScenarioError("unknown user key \"" + kv.first + "\"");
        }
    }
    server_.note(EventKind::Info, user.handle + "'s record is changed directly");
}

void Session::doAddProp(const Directive &d) {
    SimRoom &room = existingRoom(d.words[0]);
    const PropWord prop = parseProp(d.words[1]);
    const Point pos = parsePosition(d.words[2], d.words[3]);
    if (!server_.addLooseProp(room, prop.asset, pos)) throw ScenarioError("room " + d.words[0] + " is full of props");
    server_.note(EventKind::Info, "loose prop " + d.words[1] + " put in room " + d.words[0] + " at " + positionText(pos));
}

void Session::doAddDraw(const Directive &d) {
    SimRoom &room = existingRoom(d.words[0]);
    if (!server_.addDrawing(room)) throw ScenarioError("room " + d.words[0] + " is full of drawings");
    server_.note(EventKind::Info, "a drawing is put in room " + d.words[0]);
}

void Session::doAdvance(const Directive &d) {
    const long seconds = parseNumber(d.words[0], 0, 100L * 365 * 86400, "seconds");
    server_.advance(seconds);
    server_.note(EventKind::Info, "the clock reads " + clockText(server_.now(), server_.now()));
    if (crowds_) noteCrowdSummaries();
}

void Session::doClockJump(const Directive &d) {
    const long reach = 1L << 32;
    server_.jumpClock(parseNumber(d.words[0], -reach, reach, "seconds"));
    server_.note(EventKind::Info, "the clock reads " + clockText(server_.now(), clockStart()));
}

void Session::doFailAlloc(const Directive &d) {
    if (d.words[0] == "off") return server_.heap().stopFailing();
    server_.heap().failOnly(parseNumber(d.words[0], 1, LONG_MAX, "allocation number"));
}

void Session::doFailAllocFrom(const Directive &d) {
    server_.heap().failFrom(parseNumber(d.words[0], 1, LONG_MAX, "allocation number"));
}

void Session::print(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) out_ << "         " << line << '\n';
}

void Session::doHelp(const Directive &d) {
    echo(d);
    if (d.words.empty()) {
        for (const VerbInfo &v : verbs) out_ << "  " << v.usage << '\n';
        out_ << "  (help VERB tells what one verb does)\n";
        return;
    }
    const VerbInfo *verb = findVerb(d.words[0]);
    if (!verb) throw ScenarioError("there is no verb \"" + d.words[0] + "\" (help lists them)");
    const char *meaning = verbMeaning(verb->verb);
    out_ << "  " << verb->usage << '\n' << "      " << (meaning ? meaning : "(not described)") << '\n';
}

void Session::doStats(const Directive &d) {
    echo(d);
    printStats();
}

void Session::doWho(const Directive &d) {
    echo(d);
    std::vector<UserPlan> waiting;
    for (const std::string &handle : waiting_) waiting.push_back(named_.at(handle).plan);
    print(whoLines(server_, waiting));
}

void Session::doRooms(const Directive &d) {
    echo(d);
    print(roomLines(server_));
}

void Session::doWhy(const Directive &d) {
    if (!d.words.empty() && !named_.count(d.words[0])) throw ScenarioError("unknown user \"" + d.words[0] + "\"");
    echo(d);
    print(d.words.empty() ? why_.lastMessage() : why_.lastRefused(d.words[0]));
}

void Session::doQuit(const Directive &d) {
    echo(d);
    quit_ = true;
}

void Session::printStats() {
    out_ << "== decision statistics of " << fileName_ << '\n';
    if (!Server::providesTrace()) out_ << "  (this server has no decision trace: no rules are counted)\n";
    server_.stats().print(out_);
}

// ------------------------------------------------------------- messages

namespace {

sint16 shortArg(const std::string &word, const char *what) {
    return static_cast<sint16>(parseNumber(word, INT16_MIN, INT16_MAX, what));
}

}  // namespace

void Session::doSay(const Directive &d) { send(d, msg::talk(d.text)); }
void Session::doWhisper(const Directive &d) { send(d, msg::whisper(known(d.words[1]).id(), d.text)); }
void Session::doXsay(const Directive &d) { send(d, msg::xtalk(d.text)); }
void Session::doXwhisper(const Directive &d) { send(d, msg::xwhisper(known(d.words[1]).id(), d.text)); }
void Session::doRoomMsg(const Directive &d) { send(d, msg::roomMessage(d.text)); }
void Session::doGlobalMsg(const Directive &d) { send(d, msg::globalMessage(d.text)); }
void Session::doPage(const Directive &d) { send(d, msg::page(d.text)); }
void Session::doGoto(const Directive &d) { send(d, msg::gotoRoom(shortArg(d.words[1], "room"))); }
void Session::doLoc(const Directive &d) { send(d, msg::location(parsePosition(d.words[1], d.words[2]))); }
void Session::doFace(const Directive &d) { send(d, msg::face(shortArg(d.words[1], "face"))); }
void Session::doColor(const Directive &d) { send(d, msg::color(shortArg(d.words[1], "colour"))); }

void Session::doName(const Directive &d) {
    if (d.text.size() > 255) throw ScenarioError("a name message holds at most 255 characters");
    send(d, msg::name(d.text));
}

void Session::doProps(const Directive &d) { send(d, msg::props(specsOf(parseProps(d.words[1])))); }

void Session::doDesc(const Directive &d) {
    send(d, msg::desc(shortArg(d.words[1], "face"), shortArg(d.words[2], "colour"), specsOf(parseProps(d.words[3]))));
}

void Session::doDrop(const Directive &d) {
    send(d, msg::dropProp(parseProp(d.words[1]).asset, parsePosition(d.words[2], d.words[3])));
}

void Session::doMoveProp(const Directive &d) {
    const auto index = static_cast<sint32>(parseNumber(d.words[1], INT32_MIN, INT32_MAX, "prop index"));
    send(d, msg::moveProp(index, parsePosition(d.words[2], d.words[3])));
}

void Session::doDelProp(const Directive &d) {
    const sint32 index = d.words[1] == "all" ? -1 : static_cast<sint32>(parseNumber(d.words[1], INT32_MIN, INT32_MAX, "prop index"));
    send(d, msg::deleteProp(index));
}

void Session::doSpot(const Directive &d) {
    send(d, msg::spotState(shortArg(d.words[1], "room"), shortArg(d.words[2], "spot"), shortArg(d.words[3], "state")));
}

void Session::doLock(const Directive &d) { send(d, msg::lockDoor(shortArg(d.words[1], "room"), shortArg(d.words[2], "door"))); }
void Session::doUnlock(const Directive &d) {
    send(d, msg::unlockDoor(shortArg(d.words[1], "room"), shortArg(d.words[2], "door")));
}
void Session::doRoomList(const Directive &d) { send(d, msg::roomList()); }
void Session::doUserList(const Directive &d) { send(d, msg::userList()); }
void Session::doWizReq(const Directive &d) { send(d, msg::wizardRequest()); }

void Session::doRaw(const Directive &d) {
    if (d.words[1].size() != 4) throw ScenarioError("a message type has four characters, not \"" + d.words[1] + "\"");
    send(d, msg::raw(typeCode(d.words[1]), parseHex(d.words[2])));
}

}  // namespace kestrom::sim
