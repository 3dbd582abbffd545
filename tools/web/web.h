// web.h - kestrom-sim --web: the simulated server in a browser.  A page
// served on 127.0.0.1 shows the rooms, the avatars, the module's decisions
// with their reasons and the rules' statistics as they change, and lets the
// operator act as any user, reload the parameter file and step through a
// scenario.  The files of this folder:
//
//   web.cpp          runWeb: the simulator's thread, the HTTP thread, signals
//   mailbox.*        requests handed from HTTP threads to the simulator's thread
//   event_hub.*      updates from the simulator's thread to the page (server-sent events)
//   routes.*         the HTTP side: guard, files of the page, the API's table
//   guard.*          which requests may reach the playground (Host, Origin)
//   folder.*         the one folder the playground reads and writes
//   checker.*        kestrom-check run on a parameter file, its findings read back
//   playground.*     the world the page shows: a scenario session and its actions
//   script.*         a scenario file stepped through one directive at a time
//   snapshot.*       the world, the rules and the feed as JSON
//   page/            the page: index.html, style.css, app.js (embedded at build time)
//   web_unavailable.cpp  runWeb when the libraries were missing at build time
#pragma once

#include "sim/scenario.h"

#include <string>

namespace kestrom::web {

struct WebOptions {
    sim::RunOptions run;  // the module to load
    int port = 8017;      // 0: any free port
    std::string file;     // the scenario to open, or "" for an empty world
    std::string checker;  // the kestrom-check program
};

// Serves the playground until interrupted; the exit status of kestrom-sim.
int runWeb(const WebOptions &options);

// Whether this program was built with the playground.
bool webAvailable();

}  // namespace kestrom::web
