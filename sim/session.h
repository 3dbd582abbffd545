// session.h - one scenario file (or console session) being played: its
// simulated server, the users it named, its parameter file, and the verbs.
#pragma once

#include "sim/inspect.h"
#include "sim/crowd/crowd.h"
#include "sim/scenario.h"
#include "sim/server.h"

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

namespace kestrom::sim {

class Session;

struct VerbInfo {
    const char *verb;
    int textAfter; // words between the verb and TEXT; -1: the verb takes no TEXT
    int minWords;  // words after the verb (TEXT not counted)
    int maxWords;  // -1: any number
    bool check;    // looks at the window and opens none: the expect... checks, and the verbs that only print
    void (Session::*run)(const Directive &);
    const char *usage;
};

class Session {
public:
    Session(const RunOptions &options, std::ostream &out, Tally &tally, std::string fileName,
            std::filesystem::path baseDir);
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    static const VerbInfo *findVerb(std::string_view verb);
    // Whether a check looks at the window (rather than at the server's
    // records or the crowds' counts).
    static bool readsWindow(std::string_view check);

    // Runs one directive.  Throws ScenarioError when it cannot be run.
    void run(const Directive &d);
    // Ends the file: a running module is stopped, --count-allocs reported.
    void finish();

    // For the console: the verbs, the handles named so far (connected or
    // waiting for start), the server, and whether quit or exit was given.
    static std::vector<std::string> verbNames();
    std::vector<std::string> handles() const;
    const Server &server() const { return server_; }
    bool quitting() const { return quit_; }
    // For tools that drive a session and show its world (kestrom-sim --web).
    Server &server() { return server_; }
    // The parameter file the module reads (or will read at start), or "";
    // a scratch file of the server's when a params block wrote it.
    const std::string &parameterPath() const { return paramsPath_; }
    bool parametersFromBlock() const { return !paramsPath_.empty() && !paramsFromFile_; }
    // The crowds started so far; null before the first.
    const crowd::CrowdEngine *crowdEngine() const { return crowds_.get(); }

private:
    static const VerbInfo verbs[];

    struct Named {
        SimUser *user = nullptr; // null while waiting for start
        UserPlan plan;
    };

    // ---- the world (session.cpp)
    void doServer(const Directive &d);
    void doClock(const Directive &d);
    void doParams(const Directive &d);
    void doParamsFile(const Directive &d);
    void doRoom(const Directive &d);
    void doStart(const Directive &d);
    void doStartArgs(const Directive &d);
    void doStop(const Directive &d);
    void doUser(const Directive &d);
    void doLeave(const Directive &d);
    void doSet(const Directive &d);
    void doAddProp(const Directive &d);
    void doAddDraw(const Directive &d);
    void doAdvance(const Directive &d);
    void doClockJump(const Directive &d);
    void doFailAlloc(const Directive &d);
    void doFailAllocFrom(const Directive &d);
    void doHelp(const Directive &d);
    void doStats(const Directive &d);
    void doWho(const Directive &d);
    void doRooms(const Directive &d);
    void doWhy(const Directive &d);
    void doQuit(const Directive &d);

    // ---- messages a user sends (session.cpp)
    void doSay(const Directive &d);
    void doWhisper(const Directive &d);
    void doXsay(const Directive &d);
    void doXwhisper(const Directive &d);
    void doRoomMsg(const Directive &d);
    void doGlobalMsg(const Directive &d);
    void doPage(const Directive &d);
    void doGoto(const Directive &d);
    void doLoc(const Directive &d);
    void doFace(const Directive &d);
    void doColor(const Directive &d);
    void doName(const Directive &d);
    void doProps(const Directive &d);
    void doDesc(const Directive &d);
    void doDrop(const Directive &d);
    void doMoveProp(const Directive &d);
    void doDelProp(const Directive &d);
    void doSpot(const Directive &d);
    void doLock(const Directive &d);
    void doUnlock(const Directive &d);
    void doRoomList(const Directive &d);
    void doUserList(const Directive &d);
    void doWizReq(const Directive &d);
    void doRaw(const Directive &d);

    // ---- checks (checks.cpp)
    void expectPass(const Directive &d);
    void expectSwallow(const Directive &d);
    void expectText(const Directive &d);
    void expectNotText(const Directive &d);
    void expectNone(const Directive &d);
    void expectSaid(const Directive &d);
    void expectNotSaid(const Directive &d);
    void expectLog(const Directive &d);
    void expectNoLog(const Directive &d);
    void expectState(const Directive &d);
    void expectRoom(const Directive &d);
    void expectAllocations(const Directive &d);
    void expectStarted(const Directive &d);
    void expectRefusedBy(const Directive &d);
    void expectPassedBy(const Directive &d);
    void expectDecision(const Directive &d, bool refused);
    void printStats();
    void expectVerdict(const Directive &d, bool passed);
    void expectSaidLine(const Directive &d, bool said);
    void expectLogLine(const Directive &d, bool present);
    // Counts a check and reports it.
    void check(const Directive &d, bool ok, const std::string &expected, const std::string &got);

    // ---- crowds (sim/crowd/verbs.cpp)
    void doCrowd(const Directive &d);
    void expectShare(const Directive &d);
    crowd::CrowdEngine &crowds();
    void noteCrowdSummaries();

    // ---- helpers
    void echo(const Directive &d);
    void print(const std::vector<std::string> &lines);
    void useParameterFile(const std::filesystem::path &path);
    void checkEntrances() const;
    void show(const Event &e);
    void ensureModule();
    void judgeLeaks();
    void startWith(const std::vector<std::string> &args);
    void connectNamed(Named &named);
    SimUser &known(const std::string &handle);
    SimRoom &existingRoom(const std::string &word);
    void send(const Directive &d, Message message);
    std::string where() const;

    const RunOptions &options_;
    std::ostream &out_;
    Tally &tally_;
    std::string fileName_;
    std::filesystem::path baseDir_;
    int line_ = 0; // the directive running, for faults

    Server server_;
    std::map<std::string, Named> named_;
    std::vector<std::string> waiting_; // declared before start, in order
    int userLines_ = 0;
    size_t leaksReported_ = 0;
    bool startGiven_ = false;
    std::string paramsPath_;
    bool paramsFromFile_ = false;
    WhyLog why_{options_.observer}; // also the crowds' observer
    bool quit_ = false;
    std::unique_ptr<crowd::CrowdEngine> crowds_; // made by the first crowd
    bool keepCrowdTraffic_ = false;              // a check will read the window
};

}  // namespace kestrom::sim
