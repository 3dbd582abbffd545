// routes.h - the playground's HTTP side: every request passes the guard
// (Host, Origin), bodies are bounded, the page's files come from the
// program, the API's requests become jobs for the simulator's thread, and
// /events streams the updates (server-sent events).
//
// The API, all JSON:
//   GET  /api/state            the world, the rules, the scenario, the feed (and `seq`)
//   GET  /api/params           the parameter file's text
//   GET  /api/scenarios        the folder's scenario files
//   GET  /events?after=SEQ     updates after SEQ, as server-sent events
//   POST /api/say, move, face, color, drop, connect, leave, goto, advance,
//        directive, crowd      each one directive (actions.h; the table in routes.cpp)
//   POST /api/params           {text, user}: checked with kestrom-check, then put in force
//   POST /api/scenario/...     load {name}, restart, step, play {interval}, pause, finish
#pragma once

#include "tools/web/checker.h"
#include "tools/web/event_hub.h"
#include "tools/web/guard.h"
#include "tools/web/mailbox.h"

namespace httplib {
class Server;
}

namespace kestrom::web {

class Playground;

// The largest request body taken (a parameter file being edited).
constexpr size_t MAX_BODY = 256 * 1024;

class Routes {
public:
    Routes(Mailbox &mailbox, EventHub &hub, Playground &playground, const Guard &guard, const Checker &checker)
        : mailbox_(mailbox), hub_(hub), playground_(playground), guard_(guard), checker_(checker) {}

    void install(httplib::Server &http);

private:
    // Hands `job` to the simulator's thread and waits for its reply.
    Reply call(Job job);
    void installApi(httplib::Server &http);
    void installEvents(httplib::Server &http);
    Reply putParameters(const std::string &text, const std::string &actor);

    Mailbox &mailbox_;
    EventHub &hub_;
    Playground &playground_; // touched only inside jobs, on the simulator's thread
    const Guard &guard_;
    const Checker &checker_;
};

}  // namespace kestrom::web
