// server.cpp - the simulated server: module lifecycle, users and rooms,
// message handling order, timers, and the host operations' effects.
#include "sim/clock.h"
#include "sim/server.h"

#include "sim/values.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

// Defined by sim/trace_op.cpp in the programs that provide the trace.
extern "C" void KestromTraceDecision(const KestromDecision *decision) __attribute__((weak));

namespace kestrom::sim {

namespace {

Server *theActive = nullptr;

// A runaway module (a timer re-armed with no delay, or a message submitted
// for every message handled, forever) is cut off.
constexpr long MAX_TIMERS_AT_ONCE = 100000;
constexpr long MAX_SUBMITTED_AT_ONCE = 10000;

const char *rankWord(int rank) {
    static const char *const words[] = {"guest", "member", "wizard", "god"};
    return rank >= 0 && rank <= 3 ? words[rank] : "unknown rank";
}

std::string dotted(const std::array<uint8, 4> &a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

bool sameNameIgnoringCase(const std::string &a, const char *b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

UserPlan UserPlan::numbered(std::string handle, int n) {
    UserPlan s;
    s.name = handle;
    s.handle = std::move(handle);
    s.id = static_cast<UserID>(n);
    s.counter = 900000u + static_cast<uint32>(n);
    s.crc = 700000u + static_cast<uint32>(n);
    s.puid = 800000u + static_cast<uint32>(n);
    s.puidcrc = 600000u + static_cast<uint32>(n);
    s.address = {10, 99, static_cast<uint8>((n / 250) & 0xFF), static_cast<uint8>(n % 250 + 1)};
    return s;
}

// ------------------------------------------------------------ lifecycle

Server::Server() {
    useUtc();
    setVirtualNow(clockStart());
    moduleHeap().reset();
    state_.maxPeoplePerRoom = 32;
    activate();
}

Server::~Server() {
    recorder_.setListener(nullptr);
    stop();
    library_.close();
    moduleHeap().reset(); // whatever the module never returned
    if (!scratchDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir_, ignored);
    }
    if (theActive == this) theActive = nullptr;
}

Server *Server::active() { return theActive; }
void Server::activate() { theActive = this; }

bool Server::loadModule(const std::string &path, std::string &error) {
    if (!library_.open(path, error)) return false;
    entry_ = library_.entryPoints();
    modulePath_ = path;
    note(EventKind::Info, "module loaded from " + path);
    return true;
}

void Server::useModule(const ModuleEntryPoints &entry, std::string path) {
    entry_ = entry;
    modulePath_ = std::move(path);
}

bool Server::start(const std::vector<std::string> &args) {
    if (!hasModule()) {
        note(EventKind::Info, "no module to start");
        return false;
    }
    if (running()) stop();
    argStrings_.assign(1, modulePath_);
    argStrings_.insert(argStrings_.end(), args.begin(), args.end());
    argv_.clear();
    for (std::string &s : argStrings_) argv_.push_back(s.data());
    argv_.push_back(nullptr);
    void *dat = nullptr;
    const int argc = static_cast<int>(argStrings_.size());
    callModule(nullptr, [&] { dat = entry_.initializeServerPlugin(THE_PLUGIN_ID, argc, argv_.data()); });
    pluginDat_ = dat;
    lastStartSucceeded_ = dat != nullptr;
    note(EventKind::Info, dat ? "module started" : "module start failed: no state returned");
    // With no state to call back, timers the failed start set are returned,
    // as at stop.
    if (!dat) releaseTimers();
    drainSubmitted();
    return lastStartSucceeded_;
}

bool Server::startWithParameters(const std::string &text) {
    return start({writeParameterFile(text)});
}

std::string Server::writeParameterFile(const std::string &text) {
    if (scratchDir_.empty()) {
        std::error_code ec;
        std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
        if (ec) tmp = "/tmp";
        std::string pattern = (tmp / "kestrom-sim-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            note(EventKind::Info, "cannot make a scratch directory in " + tmp.string());
            return (tmp / "kestrom-sim-unwritable" / "kestrom.params").string();
        }
        scratchDir_ = pattern;
    }
    const std::string path = scratchDir_ + "/kestrom.params";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

void Server::stop() {
    if (running()) {
        void *dat = pluginDat_;
        callModule(nullptr, [&] {
            entry_.shutdownServerPlugin(&state_, dat);
            pluginDat_ = nullptr;
        });
        note(EventKind::Info, "module stopped");
    }
    releaseTimers();
    while (!submitted_.empty()) {
        disposeBlock(submitted_.front().message);
        submitted_.pop_front();
    }
}

void Server::releaseTimers() {
    if (timers_.empty()) return;
    const size_t count = timers_.size();
    auto held = std::move(timers_);
    timers_.clear();
    for (auto &[key, timer] : held)
        if (timer.data) disposeBlock(timer.data);
    note(EventKind::Timer, "server releases " + std::to_string(count) + " timer event" +
                               (count == 1 ? "" : "s") + " still held");
}

template <typename Call>
void Server::callModule(SimUser *current, Call &&call) {
    ServerUserRec *saved = state_.currentUser;
    state_.currentUser = current ? &current->rec : nullptr;
    ++moduleDepth_;
    call();
    --moduleDepth_;
    state_.currentUser = saved;
    if (moduleDepth_ == 0) settle();
}

void Server::settle() {
    if (settling_) return;
    settling_ = true;
    while (!deferred_.empty()) {
        auto action = std::move(deferred_.front());
        deferred_.pop_front();
        action();
    }
    settling_ = false;
}

// ---------------------------------------------------------------- world

void Server::setMaxPeople(int n) {
    state_.maxPeoplePerRoom = std::max(n, 1);
    for (auto &room : rooms_) room->setMaxPeople(state_.maxPeoplePerRoom);
}

void Server::relink() {
    state_.nbrUsers = static_cast<int>(userOrder_.size());
    state_.userList = userOrder_.empty() ? nullptr : &userOrder_.front()->rec;
    for (size_t i = 0; i < userOrder_.size(); ++i)
        userOrder_[i]->rec.nextUser = i + 1 < userOrder_.size() ? &userOrder_[i + 1]->rec : nullptr;
    state_.nbrRooms = static_cast<int>(roomOrder_.size());
    state_.roomList = roomOrder_.empty() ? nullptr : &roomOrder_.front()->rec;
    for (size_t i = 0; i < roomOrder_.size(); ++i)
        roomOrder_[i]->rec.nextRoom = i + 1 < roomOrder_.size() ? &roomOrder_[i + 1]->rec : nullptr;
    state_.entrance = entrance_ ? &entrance_->rec : nullptr;
}

SimRoom *Server::addRoom(const RoomPlan &plan, std::string &error) {
    if (plan.id < 0) {
        error = "room numbers are 0 to 32767";
        return nullptr;
    }
    if (roomsById_.count(plan.id)) {
        error = "room " + std::to_string(plan.id) + " already exists";
        return nullptr;
    }
    if (plan.name.size() > 255) {
        error = "a room name has at most 255 characters";
        return nullptr;
    }
    rooms_.push_back(std::make_unique<SimRoom>(plan.id, plan.name, state_.maxPeoplePerRoom));
    SimRoom *room = rooms_.back().get();
    room->rec.room.roomFlags = plan.flags;
    room->rec.memberOwner = plan.owner;
    if (!plan.password.empty()) room->setPassword(plan.password);
    room->resetPluginInfo(roomInfoSize_);
    roomsById_[plan.id] = room;
    roomRecs_[&room->rec] = room;
    roomOrder_.push_back(room);
    if (!entrance_) entrance_ = room;
    relink();
    if (recording()) {
        std::string what = "room " + std::to_string(plan.id) + " " + quoted(plan.name) + " is created";
        if (plan.owner) what += ", owned by counter " + std::to_string(plan.owner);
        note(EventKind::Server, what);
    }
    if (running()) callModule(nullptr, [&] { entry_.noteRoomCreation(&state_, pluginDat_, &room->rec); });
    return room;
}

void Server::deleteRoom(SimRoom &room) {
    if (entrance_ && &room != entrance_)
        for (UserID id : room.occupantsInOrder())
            if (SimUser *u = user(id)) moveUser(*u, *entrance_);
    if (running()) callModule(nullptr, [&] { entry_.noteRoomDeletion(&state_, pluginDat_, &room.rec); });
    for (auto &u : users_)
        if (u->rec.lastOwnedRoom == &room.rec) u->rec.lastOwnedRoom = nullptr;
    room.deleted = true;
    room.resetPluginInfo(0);
    roomsById_.erase(room.id());
    roomOrder_.erase(std::find(roomOrder_.begin(), roomOrder_.end(), &room));
    relink();
    note(EventKind::Server, "room " + std::to_string(room.id()) + " is deleted");
}

SimRoom *Server::room(RoomID id) const {
    auto it = roomsById_.find(id);
    return it == roomsById_.end() ? nullptr : it->second;
}

SimRoom *Server::entrance() const { return entrance_; }

std::vector<const SimUser *> Server::occupantsOf(const SimRoom &room) const {
    std::vector<const SimUser *> people;
    for (UserID id : room.occupantsInOrder())
        if (SimUser *u = user(id)) people.push_back(u);
    return people;
}

std::string Server::describeUser(const SimUser &u) const {
    return u.handle + " connects as user " + std::to_string(u.id()) + " " + quoted(u.name()) +
           " from " + dotted(u.address()) + " (" + rankWord(u.rank) + ", counter " +
           std::to_string(u.rec.counter) + ")";
}

SimUser *Server::connect(const UserPlan &plan, std::string &error) {
    if (plan.id == 0) {
        error = "a user needs an ID above 0";
        return nullptr;
    }
    if (usersById_.find(plan.id)) {
        error = "user ID " + std::to_string(plan.id) + " is already connected";
        return nullptr;
    }
    SimRoom *target = plan.room ? room(*plan.room) : entrance_;
    if (!target) {
        error = plan.room ? "there is no room " + std::to_string(*plan.room) : "there is no room yet";
        return nullptr;
    }
    if (target->occupantsInOrder().size() >= static_cast<size_t>(state_.maxPeoplePerRoom)) {
        error = "room " + std::to_string(target->id()) + " is full";
        return nullptr;
    }
    users_.push_back(std::make_unique<SimUser>());
    SimUser &u = *users_.back();
    u.handle = plan.handle;
    u.rank = plan.rank;
    u.connected = true;
    u.rec.crc = plan.crc;
    u.rec.counter = plan.counter;
    u.rec.puidCtr = plan.puid;
    u.rec.puidCRC = plan.puidcrc;
    u.rec.flags = plan.flags;
    u.setAddress(plan.address);
    u.rec.signonTime = u.rec.lastActive = now();
    u.rec.desiredRoom = target->id();
    u.rec.user.userID = plan.id;
    u.rec.user.roomID = NO_ROOM;
    u.rec.user.roomPos = Point{100, 100};
    u.setName(plan.name);
    u.resetPluginInfo(userInfoSize_);
    usersById_.insert(plan.id, &u);
    userRecs_[&u.rec] = &u;
    userOrder_.push_back(&u);
    relink();
    if (recording()) note(EventKind::Server, describeUser(u));

    if (running()) callModule(&u, [&] { entry_.noteUserCreation(&state_, pluginDat_, &u.rec); });
    if (!u.connected) return &u;
    Message logon = msg::logon(plan.crc, plan.counter, plan.name, 0);
    logon.setRefNum(static_cast<sint32>(plan.id));
    handle(u, logon.msg(), logon.size(), true, false);
    if (!u.connected) return &u;
    u.rec.flags |= HF_IDENTIFIED;
    moveUser(u, *target);
    drainSubmitted();
    return &u;
}

void Server::disconnect(SimUser &u) {
    if (!u.connected || u.leaving) return;
    u.leaving = true;
    if (running()) callModule(&u, [&] { entry_.noteUserDeletion(&state_, pluginDat_, &u.rec); });
    removeFromRoom(u);
    u.connected = false;
    u.leaving = false;
    usersById_.erase(u.id());
    userOrder_.erase(std::find(userOrder_.begin(), userOrder_.end(), &u));
    u.rec.nextUser = nullptr;
    u.resetPluginInfo(0);
    relink();
    note(EventKind::Server, u.handle + " disconnects");
    drainSubmitted();
}

void Server::removeFromRoom(SimUser &u) {
    if (SimRoom *r = room(u.roomID())) r->removeOccupant(u.id());
}

void Server::moveUser(SimUser &u, SimRoom &to) {
    if (to.holds(u.id())) {
        u.rec.user.roomID = to.id();
        return;
    }
    if (!to.addOccupant(u.id())) {
        note(EventKind::Server, "room " + std::to_string(to.id()) + " is full: " + u.handle + " stays");
        return;
    }
    removeFromRoom(u);
    u.rec.user.roomID = to.id();
    if (recording())
        note(EventKind::Server, u.handle + " enters room " + std::to_string(to.id()) + " " + quoted(to.name()));
    noteEntry(u, to);
}

void Server::noteEntry(SimUser &u, SimRoom &room) {
    if (!running()) return;
    auto entry = [this, &u, &room] {
        if (!u.connected || !running() || room.deleted) return;
        callModule(&u, [&] { entry_.noteUserRoomEntry(&state_, pluginDat_, &u.rec, &room.rec); });
    };
    if (moduleDepth_ > 0)
        deferred_.push_back(entry);
    else
        entry();
}

bool Server::place(SimUser &u, SimRoom &room) {
    if (!u.connected) return false;
    if (!room.holds(u.id()) &&
        room.occupantsInOrder().size() >= static_cast<size_t>(state_.maxPeoplePerRoom))
        return false;
    moveUser(u, room);
    drainSubmitted();
    return true;
}

bool Server::addLooseProp(SimRoom &room, AssetSpec prop, Point loc) {
    LooseProp p;
    p.asset = prop;
    p.loc = loc;
    return room.addLooseProp(p);
}

bool Server::addDrawing(SimRoom &room) {
    DrawRecord draw{};
    return room.addDrawing(draw);
}

// ------------------------------------------------------------- messages

bool Server::send(SimUser &sender, Message message) {
    if (!sender.connected) {
        note(EventKind::Server, sender.handle + " is not connected: nothing is sent");
        return false;
    }
    message.setRefNum(static_cast<sint32>(sender.id()));
    const bool passed = handle(sender, message.msg(), message.size(), true, false);
    drainSubmitted();
    return passed;
}

bool Server::screenOnly(SimUser &sender, ClientMsg *message) {
    if (!running()) return true;
    ClientMsg *result = nullptr;
    callModule(&sender, [&] { result = entry_.handleMessage(&state_, pluginDat_, message); });
    dropSubmitted_ = true;
    drainSubmitted();
    dropSubmitted_ = false;
    return result != nullptr;
}

bool Server::handle(SimUser &sender, ClientMsg *message, size_t available, bool screened,
                    bool submitted) {
    ClientMsg *result = message;
    const bool screening = screened && running();
    const long seq = ++messageSeq_;
    const size_t mark = messageDecisions_.size();
    if (screening) {
        const long outer = currentMessage_;
        currentMessage_ = seq;
        callModule(&sender, [&] { result = entry_.handleMessage(&state_, pluginDat_, message); });
        currentMessage_ = outer;
    }
    if (result && result != message) {
        const size_t size = moduleHeap().blockSize(result);
        if (size == 0) {
            fault("handleMessage returned a message that is neither the one given nor a block from NewPtr");
            result = nullptr;
        } else {
            available = size;
        }
    }
    const bool passed = result != nullptr;
    const Decision *why = nullptr;
    if (screening && counting()) {
        stats_.addVerdict(message->eventType, passed);
        std::vector<const Decision *> own;
        for (size_t i = mark; i < messageDecisions_.size(); ++i)
            if (messageDecisions_[i].message == seq) own.push_back(&messageDecisions_[i]);
        why = decidingDecision(own, !passed);
    }
    if (!submitted) {
        lastSent_ = Screening{seq, message->eventType, screening, passed, std::nullopt};
        if (why) lastSent_.deciding = *why;
    }
    if (recording()) {
        Event e;
        e.kind = EventKind::Verdict;
        e.msgType = message->eventType;
        e.passed = passed;
        e.submitted = submitted;
        e.screened = screening;
        e.user = &sender;
        e.message = seq;
        if (why) e.reason = reasonText(*why);
        recorder_.record(std::move(e));
    }
    messageDecisions_.resize(mark);
    if (result && sender.connected) {
        Recorder::Nest nest(recorder_);
        carryOut(sender, result, available);
    }
    return result != nullptr;
}

void Server::drainSubmitted() {
    if (draining_) return;
    draining_ = true;
    long handled = 0;
    while (!submitted_.empty()) {
        const Submitted s = submitted_.front();
        submitted_.pop_front();
        if (++handled == MAX_SUBMITTED_AT_ONCE)
            fault("more than " + std::to_string(MAX_SUBMITTED_AT_ONCE) +
                  " submitted messages in one go; the rest are dropped");
        const bool dropped = dropSubmitted_ || !s.user->connected || handled >= MAX_SUBMITTED_AT_ONCE;
        if (!dropped) {
            Recorder::Nest nest(recorder_);
            handle(*s.user, s.message, moduleHeap().blockSize(s.message), s.screened, true);
        } else if (!dropSubmitted_ && !s.user->connected && recording()) {
            note(EventKind::Server, "submitted " + typeText(s.message->eventType) + " from " +
                                        s.user->handle + " is dropped: " + s.user->handle + " has left");
        }
        disposeBlock(s.message);
    }
    draining_ = false;
}

// --------------------------------------------------------------- timers

time_t Server::now() const { return virtualNow(); }

void Server::setTimeOfDay(int hours, int minutes, int seconds) {
    sim::setTimeOfDay(hours, minutes, seconds);
}

void Server::runTimersUntil(time_t limit) {
    long atOnce = 0;
    time_t second = now();
    while (!timers_.empty() && timers_.begin()->first.first <= limit) {
        const time_t due = std::max(now(), timers_.begin()->first.first);
        if (due != second) {
            second = due;
            atOnce = 0;
        }
        if (++atOnce > MAX_TIMERS_AT_ONCE) {
            fault("more than " + std::to_string(MAX_TIMERS_AT_ONCE) +
                  " timers fell due in one second; the rest are left waiting");
            return;
        }
        setVirtualNow(due);
        auto it = timers_.begin();
        const long number = it->first.second;
        void *data = it->second.data;
        const RecordMode outer = recordMode();
        const RecordMode mode = it->second.mode.within(outer);
        const long faultsBefore = faults_;
        setRecordMode(mode);
        timers_.erase(it);
        if (recording()) note(EventKind::Timer, clockText(due, due) + " timer #" + std::to_string(number) + " runs");
        {
            Recorder::Nest nest(recorder_);
            if (running()) callModule(nullptr, [&] { entry_.handleTimerEvent(&state_, pluginDat_, data); });
            drainSubmitted();
        }
        setRecordMode(outer);
        if (faults_ > faultsBefore && !mode.showing && outer.showing)
            note(EventKind::Fault, "FAULT: in timer #" + std::to_string(number) +
                                       ", set by crowd traffic (--verbose shows what happened)");
    }
}

void Server::runDueTimers() { runTimersUntil(now()); }

void Server::finishDirective() {
    drainSubmitted();
    runDueTimers();
}

void Server::advance(long seconds) {
    const time_t target = now() + std::max(seconds, 0L);
    for (long long at; traffic_ && (at = traffic_->nextBefore(target)) >= 0;) {
        const auto second = static_cast<time_t>(at / 1000);
        runTimersUntil(second);
        setVirtualNow(std::max(now(), second));
        traffic_->runAt(at);
        finishDirective();
    }
    runTimersUntil(target);
    setVirtualNow(std::max(now(), target));
}

void Server::jumpClock(long seconds) { setVirtualNow(now() + seconds); }

void Server::scheduleTimer(void *data, sint32 seconds) {
    const sint32 delay = std::max<sint32>(seconds, 0);
    const time_t due = now() + delay;
    const long number = ++timerSeq_;
    // A timer set by crowd traffic runs as quietly as the traffic; any other
    // as the directive running then records.
    timers_.emplace(std::make_pair(due, number), Timer{data, now(), countingQuietly_ ? recordMode() : RecordMode{}});
    if (recording())
        note(EventKind::Timer, "timer #" + std::to_string(number) + " set for " + clockText(due, now()) +
                                   " (+" + std::to_string(delay) + "s)");
}

// ------------------------------------------------------- decision trace

RecordMode Server::recordMode() const {
    return RecordMode{recorder_.enabled(), recorder_.keeping(), recorder_.showing(), countingQuietly_};
}

void Server::setRecordMode(const RecordMode &mode) {
    recorder_.setEnabled(mode.making);
    recorder_.setKeeping(mode.keeping);
    recorder_.setShowing(mode.showing);
    countingQuietly_ = mode.counting;
}

bool Server::providesTrace() { return KestromTraceDecision != nullptr; }

std::vector<const Decision *> Server::decisionsOf(long message) const {
    std::vector<const Decision *> found;
    for (const Event &e : recorder_.window())
        if (e.kind == EventKind::Decision && e.decision && e.decision->message == message)
            found.push_back(&*e.decision);
    return found;
}

const SimUser *Server::anyUser(UserID id) const {
    if (SimUser *u = user(id)) return u;
    for (auto it = users_.rbegin(); it != users_.rend(); ++it)
        if ((*it)->id() == id) return it->get();
    return nullptr;
}

void Server::readParameterLines() {
    if (argStrings_.size() < 2) return;
    std::ifstream in(argStrings_[1], std::ios::binary);
    if (!in) return;
    parameterLines_.clear();
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        parameterLines_.push_back(line);
    }
    stats_.setParameterLines(parameterLines_);
}

namespace {

std::string trimmedLine(const std::string &line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = line.find_last_not_of(" \t\r\n");
    return line.substr(first, last - first + 1);
}

}  // namespace

std::string Server::reasonOf(const Decision &d) const {
    if (!d.lineText.empty() || d.line <= 0 || static_cast<size_t>(d.line) > parameterLines_.size())
        return reasonText(d);
    Decision filled = d;
    filled.lineText = trimmedLine(parameterLines_[static_cast<size_t>(d.line) - 1]);
    return reasonText(filled);
}

void Server::traceDecision(const KestromDecision *record) {
    ++decisionsTraced_;
    if (!record) return fault("KestromTraceDecision with no record");
    if (!counting()) return;
    // Fields beyond the size the module was built with stay zero.
    KestromDecision k{};
    std::memcpy(&k, record, std::min<size_t>(record->size, sizeof k));
    Decision d;
    d.message = currentMessage_;
    d.messageType = k.messageType;
    d.timerAction = k.timerAction;
    d.refused = k.outcome == KESTROM_REFUSED;
    d.told = k.told != 0;
    d.flags = k.flags;
    d.rule = k.rule ? k.rule : "";
    d.parameter = k.parameter;
    d.line = k.line;
    if (recording() && d.line > 0 && static_cast<size_t>(d.line) <= parameterLines_.size())
        d.lineText = trimmedLine(parameterLines_[static_cast<size_t>(d.line) - 1]);
    d.user = k.user ? userOf(k.user, "KestromTraceDecision") : nullptr;
    d.otherID = k.otherID;
    d.other = k.otherID ? anyUser(k.otherID) : k.other ? userOf(k.other, "KestromTraceDecision") : nullptr;
    d.room = k.room;
    d.selection = k.selection;
    d.selectionBit = k.selectionBit;
    d.rangeLow = k.rangeLow;
    d.rangeHigh = k.rangeHigh;
    d.levelBefore = k.levelBefore;
    d.levelAfter = k.levelAfter;
    d.maximum = k.maximum;
    d.decay = k.decay;
    d.units = k.units;
    d.wait = k.wait;
    d.measured = k.measured;
    d.rankNeeded = k.rankNeeded;
    d.rankHeld = k.rankHeld;
    d.command = k.command ? k.command : "";
    d.sanctions = k.sanctions;
    stats_.addDecision(d);
    if (currentMessage_ != 0) messageDecisions_.push_back(d);
    if (!recording()) return;
    Event e;
    e.kind = EventKind::Decision;
    e.user = d.user;
    e.decision = std::move(d);
    recorder_.record(std::move(e));
}

// ------------------------------------------------------ host operations

void Server::note(EventKind kind, const std::string &detail) {
    if (!recording()) return;
    Event e;
    e.kind = kind;
    e.detail = detail;
    recorder_.record(std::move(e));
}

void Server::fault(const std::string &what) {
    ++faults_;
    note(EventKind::Fault, "FAULT: " + what);
}

SimUser *Server::userOf(const ServerUserRec *rec, const char *operation) {
    if (!rec) {
        fault(std::string(operation) + " with no user");
        return nullptr;
    }
    auto it = userRecs_.find(rec);
    if (it == userRecs_.end()) {
        fault(std::string(operation) + " with a user record the server never made");
        return nullptr;
    }
    if (!it->second->connected) {
        fault(std::string(operation) + " for " + it->second->handle + ", who has left");
        return nullptr;
    }
    return it->second;
}

SimRoom *Server::roomOf(const ServerRoomRec *rec, const char *operation) {
    if (!rec) {
        fault(std::string(operation) + " with no room");
        return nullptr;
    }
    auto it = roomRecs_.find(rec);
    if (it == roomRecs_.end()) {
        fault(std::string(operation) + " with a room record the server never made");
        return nullptr;
    }
    if (it->second->deleted) {
        fault(std::string(operation) + " for room " + std::to_string(it->second->id()) + ", which was deleted");
        return nullptr;
    }
    return it->second;
}

void *Server::newBlock(size_t size, bool clear) {
    void *block = moduleHeap().allocate(size, clear);
    if (!block && moduleHeap().failing() && recording())
        note(EventKind::Alloc, "allocation #" + std::to_string(moduleHeap().allocationsMade()) +
                                   " (" + std::to_string(size) + " bytes) fails, as asked");
    return block;
}

void Server::disposeBlock(void *block) {
    if (!block) return;
    if (!moduleHeap().release(block)) fault("DisposePtr of a block that is not out (never from NewPtr, or freed twice)");
}

void Server::setPluginUserInfoSize(PluginID id, sint32 bytes) {
    if (id != THE_PLUGIN_ID) fault("setPluginUserInfoSize with plug-in ID " + std::to_string(id));
    userInfoSize_ = static_cast<size_t>(std::max<sint32>(bytes, 0));
    for (SimUser *u : userOrder_) u->resetPluginInfo(userInfoSize_);
}

void Server::setPluginRoomInfoSize(PluginID id, sint32 bytes) {
    if (id != THE_PLUGIN_ID) fault("setPluginRoomInfoSize with plug-in ID " + std::to_string(id));
    roomInfoSize_ = static_cast<size_t>(std::max<sint32>(bytes, 0));
    for (SimRoom *r : roomOrder_) r->resetPluginInfo(roomInfoSize_);
}

void *Server::pluginUserInfo(PluginID id, ServerUserRec *rec) {
    SimUser *u = userOf(rec, "getPluginUserInfo");
    if (!u || id != THE_PLUGIN_ID) return nullptr;
    return u->rec.pluginUserInfo;
}

void *Server::pluginRoomInfo(PluginID id, ServerRoomRec *rec) {
    SimRoom *r = roomOf(rec, "getPluginRoomInfo");
    if (!r || id != THE_PLUGIN_ID) return nullptr;
    return r->rec.pluginRoomInfo;
}

ServerUserRec *Server::findUserByName(const char *name) const {
    if (!name) return nullptr;
    for (SimUser *u : userOrder_)
        if (sameNameIgnoringCase(u->name(), name)) return &u->rec;
    return nullptr;
}

ServerUserRec *Server::findUserByCounter(uint32 counter) const {
    for (SimUser *u : userOrder_)
        if (u->rec.counter == counter) return &u->rec;
    return nullptr;
}

int Server::rankOf(ServerUserRec *rec) {
    SimUser *u = userOf(rec, "UserRank");
    return u ? u->rank : 0;
}

std::vector<const SimUser *> Server::audienceOf(Audience audience, SimUser *u, SimRoom *r) const {
    std::vector<const SimUser *> people;
    switch (audience) {
    case Audience::OneUser: people.push_back(u); break;
    case Audience::Room: people = occupantsOf(*r); break;
    case Audience::Everyone: people.assign(userOrder_.begin(), userOrder_.end()); break;
    case Audience::Operators:
        for (SimUser *x : userOrder_)
            if (x->rank >= 2) people.push_back(x);
        break;
    case Audience::Owners:
        for (SimUser *x : userOrder_)
            if (x->rank >= 3) people.push_back(x);
        break;
    case Audience::RoomOperators:
        for (const SimUser *x : occupantsOf(*r))
            if (x->rank >= 2) people.push_back(x);
        break;
    }
    return people;
}

void Server::sendText(const char *channel, Audience audience, ServerUserRec *userRec,
                      ServerRoomRec *roomRec, std::string text) {
    SimUser *u = nullptr;
    SimRoom *r = nullptr;
    if (audience == Audience::OneUser && !(u = userOf(userRec, channel))) return;
    if ((audience == Audience::Room || audience == Audience::RoomOperators) && !(r = roomOf(roomRec, channel)))
        return;
    if (userRec && audience == Audience::Operators && !userOf(userRec, channel)) return;
    if (!recording()) return;
    Event e;
    e.kind = EventKind::Text;
    e.channel = channel;
    e.text = std::move(text);
    e.receivers = audienceOf(audience, u, r);
    switch (audience) {
    case Audience::OneUser: e.audience = u->handle; break;
    case Audience::Room: e.audience = "room " + std::to_string(r->id()); break;
    case Audience::Everyone: e.audience = "everyone"; break;
    case Audience::Operators: e.audience = "operators"; break;
    case Audience::Owners: e.audience = "owners"; break;
    case Audience::RoomOperators: e.audience = "operators in room " + std::to_string(r->id()); break;
    }
    recorder_.record(std::move(e));
}

void Server::log(ServerUserRec *userRec, const char *tag, std::string text) {
    SimUser *u = userRec ? userOf(userRec, "FormattedLogMessage") : nullptr;
    if (!recording()) return;
    std::string line = tag ? tag : "";
    const bool separated = line.empty() || line.back() == ' ' ||
                           (line.size() >= 2 && line.compare(line.size() - 2, 2, ": ") == 0);
    if (!separated) line += ": ";
    // The listing of the settings in force follows every successful load
    // of the parameter file, and always holds the guestwiz line: the file
    // as it is now is the file the module loaded.
    if (line == "kestrom: " && (text == "guestwiz yes" || text == "guestwiz no")) readParameterLines();
    Event e;
    e.kind = EventKind::Log;
    e.text = line + text;
    e.user = u;
    recorder_.record(std::move(e));
}

void Server::changeUserRoom(ServerUserRec *userRec, ServerRoomRec *roomRec) {
    SimUser *u = userOf(userRec, "ChangeUserRoom");
    SimRoom *r = roomOf(roomRec, "ChangeUserRoom");
    if (!u || !r) return;
    if (!r->holds(u->id()) && r->occupantsInOrder().size() >= static_cast<size_t>(state_.maxPeoplePerRoom)) {
        note(EventKind::Server, "ChangeUserRoom: room " + std::to_string(r->id()) + " is full, " + u->handle + " stays");
        return;
    }
    moveUser(*u, *r);
}

namespace {

std::string posText(Point p) { return std::to_string(p.h) + "," + std::to_string(p.v); }

}  // namespace

void Server::changeUserDesc(ServerUserRec *userRec, sint16 color, sint16 face, sint32 nbrProps,
                            const AssetSpec *props) {
    SimUser *u = userOf(userRec, "ChangeUserDesc");
    if (!u) return;
    if (nbrProps > 0 && !props) {
        fault("ChangeUserDesc with " + std::to_string(nbrProps) + " props and no list");
        return;
    }
    const size_t n = static_cast<size_t>(std::clamp<sint32>(nbrProps, 0, KESTROM_MAX_WORN_PROPS));
    u->rec.user.faceNbr = face;
    u->rec.user.colorNbr = color;
    u->setProps(std::vector<AssetSpec>(props, props + n));
    if (recording())
        clientUpdate(toUserRoom(&u->rec), u->handle + "'s description: face " + std::to_string(face) +
                                              ", colour " + std::to_string(color) + ", props " +
                                              propsText(u->props()));
}

void Server::changeUserFace(ServerUserRec *userRec, sint16 face) {
    SimUser *u = userOf(userRec, "ChangeUserFace");
    if (!u) return;
    u->rec.user.faceNbr = face;
    if (recording()) clientUpdate(toUserRoom(&u->rec), u->handle + "'s face: " + std::to_string(face));
}

void Server::changeUserColor(ServerUserRec *userRec, sint16 color) {
    SimUser *u = userOf(userRec, "ChangeUserColor");
    if (!u) return;
    u->rec.user.colorNbr = color;
    if (recording()) clientUpdate(toUserRoom(&u->rec), u->handle + "'s colour: " + std::to_string(color));
}

void Server::updateUserPosition(ServerUserRec *userRec, Point pos) {
    SimUser *u = userOf(userRec, "UpdateUserPosition");
    if (!u) return;
    u->rec.user.roomPos = pos;
    if (recording()) clientUpdate(toUserRoom(&u->rec), u->handle + " moves to " + posText(pos));
}

void Server::deleteLooseProp(ServerUserRec *userRec, sint32 index) {
    SimUser *u = userOf(userRec, "DeleteLooseProp");
    SimRoom *r = u ? room(u->roomID()) : nullptr;
    if (!r) return;
    const std::string where = "room " + std::to_string(r->id());
    if (index == -1) {
        r->clearLooseProps();
        note(EventKind::Server, "every loose prop of " + where + " is removed");
    } else if (r->deleteLooseProp(index)) {
        note(EventKind::Server, "loose prop " + std::to_string(index) + " of " + where + " is removed");
    } else {
        note(EventKind::Server, "DeleteLooseProp: " + where + " has no loose prop " + std::to_string(index));
    }
}

void Server::addDrawCommand(ServerUserRec *userRec, const DrawRecord *draw) {
    SimUser *u = userOf(userRec, "AddDrawCommand");
    SimRoom *r = u ? room(u->roomID()) : nullptr;
    if (!r) return;
    if (!draw) {
        fault("AddDrawCommand with no drawing");
        return;
    }
    r->rec.lastPainter = u->id();
    const std::string where = "room " + std::to_string(r->id());
    if (draw->drawCmd == DRAW_CLEAR) {
        r->clearDrawings();
        note(EventKind::Server, "the drawings of " + where + " are cleared");
    } else if (r->addDrawing(*draw)) {
        note(EventKind::Server, "a drawing is added to " + where);
    }
}

void Server::scheduleUserKill(ServerUserRec *userRec, sint32 reason, const char *text) {
    SimUser *u = userOf(userRec, "ScheduleUserKill");
    if (!u) return;
    std::optional<std::string> shown;
    if (text) shown = text;
    deferred_.push_back([this, u, reason, shown] {
        if (!u->connected || u->leaving) return;
        if (shown && recording()) {
            Event e;
            e.kind = EventKind::Text;
            e.channel = "kill";
            e.audience = u->handle;
            e.text = *shown;
            e.receivers = {u};
            recorder_.record(std::move(e));
        }
        note(EventKind::Server, u->handle + " is logged off by the module (reason " + std::to_string(reason) + ")");
        disconnect(*u);
    });
    if (moduleDepth_ == 0) settle();
}

std::vector<const SimUser *> Server::fanoutReceivers(Fanout to) {
    SimUser *u = userOf(to.user, "a client update");
    if (!u) return {};
    if (!to.wholeRoom) return {u};
    SimRoom *r = room(u->roomID());
    return r ? occupantsOf(*r) : std::vector<const SimUser *>{};
}

void Server::clientUpdate(Fanout to, const std::string &what) {
    std::vector<const SimUser *> receivers = fanoutReceivers(to);
    if (!recording() || !to.user) return;
    Event e;
    e.kind = EventKind::Update;
    const SimUser *u = userRecs_.count(to.user) ? userRecs_.at(to.user) : nullptr;
    const std::string whom = !u ? "nobody"
                             : to.wholeRoom ? "room " + std::to_string(u->roomID()) + " (" + namesOf(receivers) + ")"
                                            : u->handle + "'s client";
    e.detail = "update to " + whom + ": " + what;
    e.receivers = std::move(receivers);
    recorder_.record(std::move(e));
}

void Server::deliverMessage(ClientMsg *message, ServerUserRec *userRec, bool screened) {
    const char *operation = screened ? "deliverMessageNormal" : "deliverMessageDirect";
    if (!message) {
        fault(std::string(operation) + " with no message");
        return;
    }
    const size_t size = moduleHeap().blockSize(message);
    if (size == 0) {
        fault(std::string(operation) + " with a message that is not a block from NewPtr");
        return;
    }
    if (size < sizeof(ClientMsg) || message->length > size - sizeof(ClientMsg)) {
        fault(std::string(operation) + " with a message whose length runs past its block");
        disposeBlock(message);
        return;
    }
    SimUser *u = userOf(userRec, operation);
    if (!u) {
        disposeBlock(message);
        return;
    }
    submitted_.push_back(Submitted{message, u, screened});
}

}  // namespace kestrom::sim
