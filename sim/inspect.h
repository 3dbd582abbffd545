// inspect.h - what the verbs that only print show: the users (`who`), the
// rooms (`rooms`), and why the last messages went as they did (`why`).
// They read the server's records and the decision trace; they change
// nothing and check nothing.
#pragma once

#include "sim/observer.h"
#include "sim/server.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrom::sim {

struct Directive;

// The `who` table: every connected user, oldest first, then the users
// declared to connect at start (`waiting`, in order).
std::vector<std::string> whoLines(const Server &server, const std::vector<UserPlan> &waiting);
// The `rooms` table, the rooms in the order they were made.
std::vector<std::string> roomLines(const Server &server);

// What `params-file` tells of a parameter file: "parameter file PATH: 12
// lines, 5 rules, 3 settings", or that it cannot be read.
std::string parameterFileSummary(const std::string &path);

// Rows of cells as lines, each column as wide as its widest cell.
std::vector<std::string> alignedColumns(const std::vector<std::vector<std::string>> &rows);

// The reasons `why` gives, kept from window to window: the last message a
// directive sent, and each user's last refused message.
// Crowd members' messages (sim/crowd/) reach it as the crowd engine's
// observer: their refusals are kept too, and each one is handed on to the
// tool's own observer, when there is one.
class WhyLog : public MessageObserver {
public:
    explicit WhyLog(MessageObserver *next = nullptr) : next_(next) {}
    // Takes the messages screened in the window of directive `d`.
    void collect(Server &server, const Directive &d);
    // A crowd member's message: kept when the module refused it.
    void sent(const SentMessage &message) override;
    void finished(const Server &server) override;
    // The last message: what was sent, the verdict, and every decision.
    std::vector<std::string> lastMessage() const;
    // The last message of `handle`'s that the module refused.
    std::vector<std::string> lastRefused(const std::string &handle) const;

private:
    using Story = std::vector<std::string>;
    static Story storyOf(const Server &server, const Event &verdict, const Directive &d);

    MessageObserver *next_;
    std::optional<Story> last_;
    std::map<std::string, Story> refused_;
};

}  // namespace kestrom::sim
