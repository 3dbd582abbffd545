// observer.h - what a tool learns, message by message, of a scenario being
// played: every message a user sent (typed in the file, or sent by a member
// of a crowd) with the module's verdict on it.  kestrom-sim --compare plays
// a file twice and sets one of these on each play.
#pragma once

#include "sim/server.h"

#include <ctime>
#include <functional>
#include <string>

namespace kestrom::sim {

struct SentMessage {
    const Server *server = nullptr;
    time_t time = 0;
    const SimUser *sender = nullptr;
    const char *profile = nullptr; // the crowd's profile ("chatter"); null for a typed message
    // False when nothing was sent: the user had left, or a crowd member's
    // turn came while no module was running.
    bool sent = false;
    const Screening *screening = nullptr; // when sent
    // The message as a directive of the scenario language ("say bob hello").
    std::function<std::string()> describe;
};

class MessageObserver {
public:
    virtual ~MessageObserver() = default;
    virtual void sent(const SentMessage &message) = 0;
    // The file has ended (a running module has been stopped).
    virtual void finished(const Server &server) { (void)server; }
};

}  // namespace kestrom::sim
