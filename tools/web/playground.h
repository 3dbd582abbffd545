// playground.h - the world the page shows and acts on: one scenario session
// (a simulated server with the module loaded), the scenario file it plays,
// and the feed of what happened.  Every routine runs on the simulator's
// thread; the HTTP side reaches it only through the Mailbox.
#pragma once

#include "sim/session.h"
#include "tools/web/event_hub.h"
#include "tools/web/folder.h"
#include "tools/web/mailbox.h"
#include "tools/web/script.h"
#include "tools/web/snapshot.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kestrom::web {

class Playground {
public:
    // Opens `file` (or, when empty, a fresh world with one room) and plays it
    // to its end.  `ok()` tells whether the file could be read.
    Playground(const sim::RunOptions &run, const std::filesystem::path &file, EventHub &hub);
    Playground(const Playground &) = delete;
    Playground &operator=(const Playground &) = delete;

    bool ok() const { return error_.empty(); }
    const std::string &error() const { return error_; }

    // ---- what the page reads
    Reply state();          // the world, the rules, the scenario, the feed so far
    Reply parameterFile();  // the parameter file the module reads
    Reply scenarioFiles();  // the scenario files of the folder

    // ---- what the page does
    // One directive line, as the page's actions write them (actions.h).
    Reply act(const std::string &line);
    // Puts `text` in force as the parameter file: written, then reloaded by
    // an operator (`actor` when one, else the first one connected) with
    // `kestrom reload.  `findings`: what kestrom-check said of it.
    Reply applyParameters(const std::string &text, const json &findings, const std::string &actor);

    // ---- the scenario
    Reply load(const std::string &name); // another scenario file of the folder, not yet run
    Reply restart();                     // the same file afresh, not yet run
    Reply step();
    Reply play(long intervalMs);
    Reply pause();
    Reply finish(); // the rest at once

    // While playing: when the next directive is due, and running it then.
    std::optional<Script::Clock::time_point> nextStep() const;
    void stepWhenDue();

private:
    struct World {
        std::ostringstream transcript;
        sim::Tally tally;
        std::unique_ptr<sim::Session> session;
    };
    struct Outcome {
        std::string status; // done, ok, failed, not judged, error
        std::string detail;
    };

    bool open(const std::filesystem::path &file, std::string &error);
    void allowParameterFolders();
    Outcome run(const sim::Directive &d, const std::string &via);
    std::optional<std::string> refusal(const sim::Directive &d) const;
    void note(const std::string &kind, const std::string &text, const std::string &via);
    bool stepOnce();
    std::string reloader(const std::string &actor);
    void publish();
    json scenarioJson() const;
    std::string parameterName() const;

    sim::RunOptions run_; // the sessions keep a reference to it
    EventHub &hub_;
    Folder folder_;
    std::filesystem::path base_; // where the scenario's relative paths start
    std::unique_ptr<World> world_;
    Script script_;
    std::string error_;

    std::deque<json> backlog_; // the feed kept for pages that open later
    std::vector<json> fresh_;  // entries not yet published
    long feedNumber_ = 0;
    long publishedScript_ = -1;
};

}  // namespace kestrom::web
