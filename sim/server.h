// server.h - the simulated chat server: users and rooms laid out as the
// host records say, the module loaded and driven through its nine entry
// points, the host operations it calls (sim/host_ops.cpp forwards them to the
// active server), a virtual clock with a timer queue, accounting of the
// module's memory, and a record of everything that happened.
//
// Driving it from C++ (unit tests, benchmarks):
//
//     Server server;                      // a fresh world; now the active server
//     server.useModule(linkedModule());   // or loadModule("build/kestrom.so", error)
//     RoomPlan lobby;                     // (designated initializers trip
//     lobby.id = 1;                       //  -Wmissing-field-initializers
//     lobby.name = "Lobby";               //  on GCC 12)
//     server.addRoom(lobby, error);
//     server.startWithParameters("chat 5 1.0\n");
//     SimUser *bob = server.connect(UserPlan::numbered("Bob", 1), error);
//     bool passed = server.send(*bob, msg::talk("hello"));
//     server.advance(1);                  // runs the timers that fall due
//     server.recorder().window();         // what happened since openWindow()
//
// Every action of the public interface finishes what it started (kills,
// submitted messages) but leaves due timers to runDueTimers() or advance(),
// as the scenario runner does after each directive.
#pragma once

#include "core/host.h"
#include "sim/decision.h"
#include "sim/heap.h"
#include "sim/messages.h"
#include "sim/module.h"
#include "sim/record.h"
#include "sim/rooms.h"
#include "sim/users.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrom::sim {

// The server's fixed checksum for guest registrations.
constexpr uint32 GUEST_CRC = 0x00C0FFEE;
// The plug-in ID the server gives the module.
constexpr PluginID THE_PLUGIN_ID = 1;

struct RoomPlan {
    RoomID id = 0;
    std::string name;
    uint32 flags = 0; // RMF_ bits
    std::string password;
    ClientID owner = 0; // memberOwner: a member room when not 0
};

struct UserPlan {
    std::string handle;
    UserID id = 0;
    std::string name; // the logon name
    int rank = 0;
    std::array<uint8, 4> address{};
    uint32 counter = 0, crc = 0, puid = 0, puidcrc = 0;
    uint16 flags = 0; // host flags besides 0x0008, which the logon sets
    std::optional<RoomID> room; // default: the entrance

    // The defaults of the n-th user: userID n, counter 900000+n, crc
    // 700000+n, puid 800000+n, puidcrc 600000+n, address
    // 10.99.(n div 250).(n mod 250 + 1), named after the handle.
    static UserPlan numbered(std::string handle, int n);
};

// Connected users by ID: a flat table for the small IDs the server hands out
// (the module looks users up on every occupant scan), a map for any other.
class UserIndex {
public:
    SimUser *find(UserID id) const {
        if (id < SMALL) return id < small_.size() ? small_[id] : nullptr;
        auto it = large_.find(id);
        return it == large_.end() ? nullptr : it->second;
    }
    void insert(UserID id, SimUser *user) {
        if (id >= SMALL) {
            large_[id] = user;
            return;
        }
        if (id >= small_.size()) small_.resize(id + 1, nullptr);
        small_[id] = user;
    }
    void erase(UserID id) {
        if (id < SMALL) {
            if (id < small_.size()) small_[id] = nullptr;
        } else {
            large_.erase(id);
        }
    }

private:
    static constexpr UserID SMALL = 1u << 16;
    std::vector<SimUser *> small_;
    std::unordered_map<UserID, SimUser *> large_;
};

// Audiences of the module's texts.
enum class Audience { OneUser, Room, Everyone, Operators, Owners, RoomOperators };

// The module's verdict on the last message a user sent (not one the module
// submitted), kept whether or not anything is recorded.
struct Screening {
    long message = 0; // the server's number for it (Verdict events carry it too)
    uint32 type = 0;
    bool screened = false; // false: no module looked at it
    bool passed = false;
    std::optional<Decision> deciding; // the decision that decided it (decidingDecision)
};

// How the server records what happens: events made (formatted), kept in
// the window and shown to the recorder's listener; and whether the
// statistics count while no event is made.  Crowd traffic runs with less of
// each, and so do the timers it sets.
struct RecordMode {
    bool making = true, keeping = true, showing = true, counting = false;
    // This mode within `outer`: recorded as both record, counted as either counts.
    RecordMode within(const RecordMode &outer) const {
        return RecordMode{making && outer.making, keeping && outer.keeping, showing && outer.showing,
                          counting || outer.counting};
    }
};

// Traffic that runs as the clock advances (the crowds of sim/crowd/): advance
// interleaves its actions with the timers, in time order.  Times are in
// milliseconds of the virtual clock; the server's clock shows whole seconds.
class Traffic {
public:
    virtual ~Traffic() = default;
    // The time of the next action, when it comes before `limit` (seconds);
    // otherwise -1, and the traffic has been brought up to `limit`.
    virtual long long nextBefore(time_t limit) = 0;
    // Runs the action due at `ms`; the clock already reads ms / 1000.
    virtual void runAt(long long ms) = 0;
};

class Server {
public:
    Server();
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // The server the host operations act on (the last one made or activated).
    static Server *active();
    void activate();

    Recorder &recorder() { return recorder_; }
    ModuleHeap &heap() { return moduleHeap(); }

    // ---------------------------------------------------- decision trace
    // Whether this program provides the module's trace operation
    // (sim/trace_op.cpp linked in; kestrom-sim-notrace does not).
    static bool providesTrace();
    // Statistics of the decisions and verdicts recorded since the server was
    // made (kept while recording).
    const DecisionStats &stats() const { return stats_; }
    // Decisions the module handed over, recorded or not.
    long decisionsTraced() const { return decisionsTraced_; }
    // The recorder's settings, and whether the statistics and lastSent()
    // count while nothing is recorded (crowd traffic that nothing shows).
    RecordMode recordMode() const;
    void setRecordMode(const RecordMode &mode);
    bool counting() const { return recording() || countingQuietly_; }
    // The verdict on the last message a user sent (see Screening).
    const Screening &lastSent() const { return lastSent_; }
    // The reason line of a decision, with the parameter-file line's text
    // filled in when it was not kept.
    std::string reasonOf(const Decision &d) const;
    // The decisions taken while the message of a Verdict event was screened.
    std::vector<const Decision *> decisionsOf(long message) const;
    // The parameter file as the module last loaded it, line by line.
    const std::vector<std::string> &parameterLines() const { return parameterLines_; }
    // The module's state (pluginDat), or null; for benchmarks.
    void *pluginData() const { return pluginDat_; }

    // ------------------------------------------------------------ module
    // Loads the module with dlopen; it is dlclosed when the server goes.
    bool loadModule(const std::string &path, std::string &error);
    // Uses entry points linked into the program; `path` is its argv[0].
    void useModule(const ModuleEntryPoints &entry, std::string path = "kestrom.so");
    bool hasModule() const { return entry_.complete(); }
    // Starts the module with its path followed by `args`; true when it
    // returned its state.  Users and rooms that exist are not noted.
    bool start(const std::vector<std::string> &args);
    // Writes `text` as the parameter file and starts with it.
    bool startWithParameters(const std::string &text);
    // Shuts the module down and releases the timer data still held for it.
    void stop();
    bool running() const { return pluginDat_ != nullptr; }
    bool lastStartSucceeded() const { return lastStartSucceeded_; }
    const std::string &modulePath() const { return modulePath_; }

    // A parameter file in the server's own scratch directory (removed with
    // the server), rewritten with `text`; returns its path.
    std::string writeParameterFile(const std::string &text);

    // ------------------------------------------------------------- world
    // Occupant slots per room (maxPeoplePerRoom).
    void setMaxPeople(int n);
    int maxPeople() const { return state_.maxPeoplePerRoom; }
    // A new room; the first is the entrance.  Noted to a running module.
    SimRoom *addRoom(const RoomPlan &plan, std::string &error);
    // Connects a user: record created and noted, logon screened and carried
    // out, identity established, user placed in the room.
    SimUser *connect(const UserPlan &plan, std::string &error);
    // The user disconnects (noted to the module first).
    void disconnect(SimUser &user);
    // Moves a user without asking the module (the entry is noted).
    bool place(SimUser &user, SimRoom &room);
    // Adds a loose prop or a drawing to a room directly.
    bool addLooseProp(SimRoom &room, AssetSpec prop, Point loc);
    bool addDrawing(SimRoom &room);

    SimRoom *room(RoomID id) const;      // an existing room
    SimRoom *entrance() const;
    SimUser *user(UserID id) const { return usersById_.find(id); } // a connected user
    std::vector<SimUser *> connectedUsers() const { return userOrder_; }
    std::vector<SimRoom *> rooms() const { return roomOrder_; }
    ServerState &serverState() { return state_; }
    // The users in a room, in slot order.
    std::vector<const SimUser *> occupantsOf(const SimRoom &room) const;

    // ---------------------------------------------------------- messages
    // A message from a user: screened by the module, carried out when it
    // passes, then the messages submitted meanwhile.  True when it passed.
    bool send(SimUser &sender, Message message);
    // Only the module's verdict on a prepared message, nothing carried out
    // and nothing recorded; messages it submits are dropped.  For benchmarks.
    bool screenOnly(SimUser &sender, ClientMsg *message);

    // --------------------------------------------------- clock and timers
    time_t now() const;
    void setTimeOfDay(int hours, int minutes, int seconds);
    // Moves the clock on, running each timer that falls due at its own time,
    // and the traffic's actions among them.
    void advance(long seconds);
    // The traffic that advance runs (null: none); it must outlive its use.
    void setTraffic(Traffic *traffic) { traffic_ = traffic; }
    // The clock jumps by `seconds`, either way, at once; timers keep their
    // times (those due run at the end of the directive).
    void jumpClock(long seconds);
    // Runs every timer whose time has come.
    void runDueTimers();
    // What ends every scenario directive: submitted messages handled, then
    // the timers that are due.
    void finishDirective();
    size_t pendingTimers() const { return timers_.size(); }

    // ------------------------------------------------- host operations
    // (called by the extern "C" functions of sim/host_ops.cpp)
    SimUser *userOf(const ServerUserRec *rec, const char *operation);
    SimRoom *roomOf(const ServerRoomRec *rec, const char *operation);
    void *newBlock(size_t size, bool clear);
    void disposeBlock(void *block);
    void setPluginUserInfoSize(PluginID id, sint32 bytes);
    void setPluginRoomInfoSize(PluginID id, sint32 bytes);
    void *pluginUserInfo(PluginID id, ServerUserRec *user);
    void *pluginRoomInfo(PluginID id, ServerRoomRec *room);
    ServerUserRec *findUserByName(const char *name) const;
    ServerUserRec *findUserByCounter(uint32 counter) const;
    int rankOf(ServerUserRec *user);
    void sendText(const char *channel, Audience audience, ServerUserRec *user, ServerRoomRec *room,
                  std::string text);
    void log(ServerUserRec *user, const char *tag, std::string text);
    void changeUserRoom(ServerUserRec *user, ServerRoomRec *room);
    void changeUserDesc(ServerUserRec *user, sint16 color, sint16 face, sint32 nbrProps,
                        const AssetSpec *props);
    void changeUserFace(ServerUserRec *user, sint16 face);
    void changeUserColor(ServerUserRec *user, sint16 color);
    void updateUserPosition(ServerUserRec *user, Point pos);
    void deleteLooseProp(ServerUserRec *user, sint32 index);
    void addDrawCommand(ServerUserRec *user, const DrawRecord *draw);
    void scheduleUserKill(ServerUserRec *user, sint32 reason, const char *text);
    // A client update through a fan-out; `what` describes it.
    void clientUpdate(Fanout to, const std::string &what);
    void deliverMessage(ClientMsg *message, ServerUserRec *user, bool screened);
    void scheduleTimer(void *data, sint32 seconds);
    // Notes a fault of the module's (shown, and counted by the scenarios).
    void fault(const std::string &what);
    long faults() const { return faults_; }

    // One decision of the module's (from KestromTraceDecision).
    void traceDecision(const KestromDecision *decision);
    // A user by ID, also one who has left (the latest with that ID).
    const SimUser *anyUser(UserID id) const;

    // A line of the transcript about what the server did.
    void note(EventKind kind, const std::string &detail);
    bool recording() const { return recorder_.enabled(); }

private:
    struct Timer {
        void *data;
        time_t setAt;
        RecordMode mode; // set by crowd traffic: it runs as quietly
    };
    struct Submitted {
        ClientMsg *message;
        SimUser *user;
        bool screened;
    };

    // Calls into the module with `current` as the current user; when the
    // outermost call returns, kills and entry notes are carried out.
    template <typename Call>
    void callModule(SimUser *current, Call &&call);
    void settle();
    void drainSubmitted();
    void runTimersUntil(time_t limit);
    void releaseTimers();

    // Screens one message and carries it out when it passes.  `available`:
    // the bytes the message really has (header included).
    bool handle(SimUser &sender, ClientMsg *message, size_t available, bool screened,
                bool submitted);
    void relink();
    void readParameterLines();
    void moveUser(SimUser &user, SimRoom &to);
    void removeFromRoom(SimUser &user);
    void noteEntry(SimUser &user, SimRoom &room);
    void deleteRoom(SimRoom &room);
    std::vector<const SimUser *> audienceOf(Audience audience, SimUser *user, SimRoom *room) const;
    std::vector<const SimUser *> fanoutReceivers(Fanout to);
    std::string describeUser(const SimUser &user) const;

    // The server's own handling of passed messages (carry_out.cpp).
    void carryOut(SimUser &sender, const ClientMsg *message, size_t available);
    friend class ServerActions;

    Recorder recorder_;
    ServerState state_{};
    std::vector<std::unique_ptr<SimUser>> users_; // everyone ever connected
    std::vector<std::unique_ptr<SimRoom>> rooms_; // every room ever made
    std::vector<SimUser *> userOrder_;            // connected, oldest first
    std::vector<SimRoom *> roomOrder_;            // existing, oldest first
    UserIndex usersById_;
    std::map<RoomID, SimRoom *> roomsById_;
    std::unordered_map<const ServerUserRec *, SimUser *> userRecs_;
    std::unordered_map<const ServerRoomRec *, SimRoom *> roomRecs_;

    ModuleLibrary library_;
    ModuleEntryPoints entry_;
    std::string modulePath_;
    void *pluginDat_ = nullptr;
    bool lastStartSucceeded_ = false;
    std::vector<std::string> argStrings_;
    std::vector<char *> argv_;
    size_t userInfoSize_ = 0, roomInfoSize_ = 0;
    std::string scratchDir_;

    int moduleDepth_ = 0;
    bool settling_ = false;
    bool draining_ = false;
    SimRoom *entrance_ = nullptr;
    bool dropSubmitted_ = false;
    std::deque<std::function<void()>> deferred_;
    std::deque<Submitted> submitted_;
    std::map<std::pair<time_t, long>, Timer> timers_;
    long timerSeq_ = 0;
    long faults_ = 0;

    DecisionStats stats_;
    std::vector<std::string> parameterLines_;
    long decisionsTraced_ = 0;
    bool countingQuietly_ = false;
    std::vector<Decision> messageDecisions_; // of the message being screened
    Screening lastSent_;
    Traffic *traffic_ = nullptr;
    long messageSeq_ = 0;     // messages screened so far
    long currentMessage_ = 0; // the one being screened, 0 for none
};

}  // namespace kestrom::sim
