// record.h - what the simulated server saw and did, event by event: the
// module's verdicts, texts and log lines, client updates, what the server
// carried out, timers, and faults.  Events are kept for the current window
// (since the last directive that was not a check) and, when a listener is
// set, shown as they happen.
#pragma once

#include "core/host.h"
#include "sim/decision.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrom::sim {

class SimUser;

enum class EventKind {
    Verdict, // the module passed or swallowed a message
    Text,    // a text the module sent (a channel, or a kill text)
    Log,     // a server log line
    Update,  // a client update: description, props, move, name, nav error, draw
    Said,    // a talk or whisper that reached the server
    Server,  // what the server did of its own
    Timer,   // a timer set or run
    Alloc,   // an allocation made to fail
    Fault,   // the module misused the host
    Info,    // loading, starting, stopping
    Decision, // a decision the module traced (core/host.h, KestromTraceDecision)
};

struct Event {
    EventKind kind = EventKind::Info;
    int depth = 0;
    std::string channel;  // Text: "UserMessage" ... or "kill"; Said: "talk", "whisper"
    std::string audience; // Text: who it was addressed to ("Bob", "room 1", "operators")
    std::string text;     // Text: the text; Log: "TAG: TEXT"; Said: the line
    std::string detail;   // the transcript line of every other kind
    const SimUser *user = nullptr;          // Log: the user given; Said, Verdict: the sender
    std::vector<const SimUser *> receivers; // Text, Update: who got it
    uint32 msgType = 0;   // Verdict
    bool passed = false;  // Verdict
    bool submitted = false; // Verdict: a message the module submitted
    bool screened = true;   // Verdict: false when no module looked at it
    long message = 0;       // Verdict: the server's number for the message screened
    std::string reason;     // Verdict: the reason line of the decision that decided it, or ""
    std::optional<sim::Decision> decision; // Decision

    // One line of transcript.
    std::string describe() const;
};

class Recorder {
public:
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    // Whether events are kept in the window; when not, they still reach the
    // listener.  Off while nothing will look at the window, so that a long
    // run keeps no record of what it showed.
    bool keeping() const { return keeping_; }
    void setKeeping(bool on) { keeping_ = on; }
    // Whether events reach the listener (are shown).
    bool showing() const { return showing_; }
    void setShowing(bool on) { showing_ = on; }
    // Called with every event as it is recorded.
    void setListener(std::function<void(const Event &)> listener) { listener_ = std::move(listener); }

    void record(Event event);
    // Starts a new window: the events kept so far are dropped.
    void openWindow() { window_.clear(); }
    const std::vector<Event> &window() const { return window_; }

    // Events recorded while a Nest lives are shown one step further in.
    class Nest {
    public:
        explicit Nest(Recorder &r) : r_(r) { ++r_.depth_; }
        ~Nest() { --r_.depth_; }
        Nest(const Nest &) = delete;
        Nest &operator=(const Nest &) = delete;

    private:
        Recorder &r_;
    };

private:
    bool enabled_ = true;
    bool keeping_ = true;
    bool showing_ = true;
    int depth_ = 0;
    std::vector<Event> window_;
    std::function<void(const Event &)> listener_;
};

// "Bob, Carol", or "nobody".
std::string namesOf(const std::vector<const SimUser *> &users);
// s in double quotes.
std::string quoted(const std::string &s);

}  // namespace kestrom::sim
