// record.cpp - events and their transcript lines.
#include "sim/record.h"

#include "sim/messages.h"
#include "sim/users.h"

namespace kestrom::sim {

std::string namesOf(const std::vector<const SimUser *> &users) {
    if (users.empty()) return "nobody";
    std::string s;
    for (const SimUser *u : users) {
        if (!s.empty()) s += ", ";
        s += u->handle;
    }
    return s;
}

std::string quoted(const std::string &s) { return '"' + s + '"'; }

std::string Event::describe() const {
    switch (kind) {
    case EventKind::Text: {
        std::string line = channel + " to " + audience;
        if (audience != namesOf(receivers)) line += " (" + namesOf(receivers) + ")";
        return line + ": " + quoted(text);
    }
    case EventKind::Log:
        return user ? "log [" + user->handle + "] " + text : "log " + text;
    case EventKind::Verdict: {
        const std::string what = submitted ? "submitted " + typeText(msgType) + " from " +
                                                 (user ? user->handle : std::string("nobody"))
                                           : typeText(msgType);
        if (!screened) return what + " goes to the server unscreened";
        return "module " + std::string(passed ? "passes " : "swallows ") + what;
    }
    case EventKind::Decision:
        return decision ? reasonText(*decision) : detail;
    default:
        return detail;
    }
}

void Recorder::record(Event event) {
    if (!enabled_) return;
    event.depth = depth_;
    const bool show = showing_ && listener_;
    if (!keeping_) {
        if (show) listener_(event);
        return;
    }
    window_.push_back(std::move(event));
    if (show) listener_(window_.back());
}

}  // namespace kestrom::sim
