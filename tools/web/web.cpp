// web.cpp - runWeb: the playground opened, the HTTP server on its own
// thread, and the simulator's loop on this one (the only thread that ever
// touches the simulated server), until SIGINT or SIGTERM.
#include "tools/web/web.h"

#include "tools/web/checker.h"
#include "tools/web/event_hub.h"
#include "tools/web/guard.h"
#include "tools/web/mailbox.h"
#include "tools/web/playground.h"
#include "tools/web/routes.h"

#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

namespace kestrom::web {

namespace {

volatile std::sig_atomic_t theStop = 0;

void askToStop(int) { theStop = 1; }

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = askToStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// How long the simulator's loop waits for work before it looks at the
// signals and the scenario being played.
constexpr std::chrono::milliseconds IDLE{100};

// A scratch folder for the texts kestrom-check reads, removed at the end.
class Scratch {
public:
    Scratch() {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "kestrom-web-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

bool bind(httplib::Server &http, int &port) {
    if (port == 0) {
        port = http.bind_to_any_port("127.0.0.1");
        return port > 0;
    }
    return http.bind_to_port("127.0.0.1", port);
}

// The simulator's thread: jobs from the mailbox, and the scenario's steps
// when it is playing.
void serve(Mailbox &mailbox, Playground &playground) {
    while (!theStop) {
        auto until = Mailbox::Clock::now() + IDLE;
        if (const auto step = playground.nextStep()) until = std::min(until, *step);
        if (mailbox.runNext(until)) continue;
        playground.stepWhenDue();
    }
}

}  // namespace

bool webAvailable() { return true; }

int runWeb(const WebOptions &options) {
    Scratch scratch;
    if (scratch.path().empty()) {
        std::cerr << "kestrom-sim: cannot make a scratch folder for the parameter checks\n";
        return 2;
    }
    EventHub hub;
    Playground playground(options.run, options.file, hub);
    if (!playground.ok()) {
        std::cerr << "kestrom-sim: " << playground.error() << '\n';
        return 2;
    }
    int port = options.port;
    httplib::Server http;
    http.new_task_queue = [] { return new httplib::ThreadPool(12); };
    if (!bind(http, port)) {
        std::cerr << "kestrom-sim: cannot listen on 127.0.0.1:" << options.port
                  << " (in use? --port N picks another, --port 0 any free one)\n";
        return 2;
    }
    Mailbox mailbox;
    const Guard guard(port);
    const Checker checker(options.checker, options.run.modulePath, scratch.path());
    Routes routes(mailbox, hub, playground, guard, checker);
    routes.install(http);

    catchStopSignals();
    std::thread listener([&http] { http.listen_after_bind(); });
    std::cout << "kestrom-sim: the playground is at http://127.0.0.1:" << port << "/  (Ctrl-C stops it)"
              << std::endl;
    serve(mailbox, playground);

    std::cout << "kestrom-sim: stopping the playground" << std::endl;
    mailbox.close();
    hub.close();
    http.stop();
    listener.join();
    return 0;
}

}  // namespace kestrom::web
