// routes.cpp - the guard, the page's files, the API and the event stream.
#include "tools/web/routes.h"

#include "tools/web/actions.h"
#include "tools/web/assets.h"
#include "tools/web/playground.h"
#include "tools/web/snapshot.h"

#include <httplib.h>

namespace kestrom::web {

namespace {

// How long a request waits for the simulator before it gives up.
constexpr std::chrono::seconds SIMULATOR_WAIT{20};
// How often an idle event stream says it is still there.
constexpr std::chrono::seconds KEEP_ALIVE{10};

const char *const PAGE_POLICY =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void send(httplib::Response &res, const Reply &reply) {
    res.status = reply.status;
    res.set_content(reply.body, reply.type.c_str());
}

Reply failure(int status, const std::string &why) { return Reply{status, jsonText({{"ok", false}, {"error", why}})}; }

// The page's actions that are one directive each (actions.h).  A crowd is
// the `crowd` directive: the page shows its control when the simulator has
// that verb (the world says "crowds").
struct DirectiveRoute {
    const char *path;
    LineMaker make;
};
constexpr DirectiveRoute DIRECTIVE_ROUTES[] = {
    {"/api/say", sayLine},         {"/api/move", moveLine},   {"/api/face", faceLine},
    {"/api/color", colorLine},     {"/api/drop", dropLine},   {"/api/connect", connectLine},
    {"/api/leave", leaveLine},     {"/api/goto", gotoLine},   {"/api/advance", advanceLine},
    {"/api/directive", directiveLine}, {"/api/crowd", crowdLine},
};

// The scenario's controls and the reads: a job from a request's body.
using JobMaker = Job (*)(Playground &p, const json &body, std::string &error);

Job loadJob(Playground &p, const json &body, std::string &error) {
    if (!body.is_object() || !body.contains("name") || !body["name"].is_string()) {
        error = "\"name\" must name a scenario file";
        return nullptr;
    }
    return [&p, name = body["name"].get<std::string>()] { return p.load(name); };
}

Job playJob(Playground &p, const json &body, std::string &) {
    long interval = 500;
    if (body.is_object() && body.contains("interval") && body["interval"].is_number_integer())
        interval = static_cast<long>(std::clamp<long long>(body["interval"].get<long long>(), 0, 60000));
    return [&p, interval] { return p.play(interval); };
}

struct JobRoute {
    const char *path;
    JobMaker make;
};
constexpr JobRoute SCENARIO_ROUTES[] = {
    {"/api/scenario/load", loadJob},
    {"/api/scenario/play", playJob},
    {"/api/scenario/restart", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.restart(); }; }},
    {"/api/scenario/step", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.step(); }; }},
    {"/api/scenario/pause", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.pause(); }; }},
    {"/api/scenario/finish", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.finish(); }; }},
};
constexpr JobRoute READ_ROUTES[] = {
    {"/api/state", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.state(); }; }},
    {"/api/params", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.parameterFile(); }; }},
    {"/api/scenarios", [](Playground &p, const json &, std::string &) -> Job { return [&p] { return p.scenarioFiles(); }; }},
};

// The JSON body of a POST, or a reason to refuse it.
bool readBody(const httplib::Request &req, json &body, Reply &refusal) {
    if (req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        refusal = failure(415, "send JSON (Content-Type: application/json)");
        return false;
    }
    body = req.body.empty() ? json::object() : json::parse(req.body, nullptr, false);
    if (!body.is_discarded()) return true;
    refusal = failure(400, "the body is not JSON");
    return false;
}

json findingsJson(const CheckOutcome &outcome) {
    json list = json::array();
    for (const Finding &f : outcome.findings)
        list.push_back({{"line", f.line}, {"column", f.column}, {"severity", f.severity}, {"text", f.text}});
    if (!outcome.failure.empty()) list.push_back({{"line", 0}, {"column", 0}, {"severity", "error"}, {"text", outcome.failure}});
    return list;
}

// "id: N / data: ..." for each update; a reset when the page missed some.
std::string eventsText(const std::vector<Update> &updates, bool missed) {
    std::string text = missed ? "event: reset\ndata: {}\n\n" : "";
    for (const Update &u : updates) text += "id: " + std::to_string(u.seq) + "\ndata: " + u.data + "\n\n";
    return text.empty() ? ": still here\n\n" : text;
}

long afterParameter(const httplib::Request &req) {
    const std::string text = req.get_param_value("after");
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stol(text);
}

}  // namespace

Reply Routes::call(Job job) {
    if (auto reply = mailbox_.call(std::move(job), SIMULATOR_WAIT)) return *reply;
    return failure(503, "the simulator is busy or stopping: try again");
}

void Routes::install(httplib::Server &http) {
    http.set_payload_max_length(MAX_BODY);
    http.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Cache-Control", "no-store"},
                              {"Content-Security-Policy", PAGE_POLICY}});
    http.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
        std::string why;
        if (guard_.admits(req.get_header_value("Host"), req.get_header_value("Origin"), why))
            return httplib::Server::HandlerResponse::Unhandled;
        send(res, failure(403, why));
        return httplib::Server::HandlerResponse::Handled;
    });
    installApi(http);
    installEvents(http);
    // Last: routes are matched in the order they were added.
    http.Get(R"(/[A-Za-z0-9_.-]*)", [](const httplib::Request &req, httplib::Response &res) {
        const Asset *asset = findAsset(req.path);
        if (!asset && req.path == "/favicon.ico") return send(res, Reply{204, "", "image/x-icon"});
        if (!asset) return send(res, failure(404, "no such file"));
        res.set_content(reinterpret_cast<const char *>(asset->data), asset->size, asset->type);
    });
}

void Routes::installApi(httplib::Server &http) {
    for (const DirectiveRoute &route : DIRECTIVE_ROUTES)
        http.Post(route.path, [this, make = route.make](const httplib::Request &req, httplib::Response &res) {
            json body;
            Reply refusal;
            std::string line, error;
            if (!readBody(req, body, refusal)) return send(res, refusal);
            if (!make(body, line, error)) return send(res, failure(400, error));
            send(res, call([this, line] { return playground_.act(line); }));
        });
    for (const JobRoute &route : SCENARIO_ROUTES)
        http.Post(route.path, [this, make = route.make](const httplib::Request &req, httplib::Response &res) {
            json body;
            Reply refusal;
            std::string error;
            if (!readBody(req, body, refusal)) return send(res, refusal);
            Job job = make(playground_, body, error);
            send(res, job ? call(std::move(job)) : failure(400, error));
        });
    for (const JobRoute &route : READ_ROUTES)
        http.Get(route.path, [this, make = route.make](const httplib::Request &, httplib::Response &res) {
            std::string error;
            send(res, call(make(playground_, json::object(), error)));
        });
    http.Post("/api/params", [this](const httplib::Request &req, httplib::Response &res) {
        json body;
        Reply refusal;
        if (!readBody(req, body, refusal)) return send(res, refusal);
        if (!body.is_object() || !body.contains("text") || !body["text"].is_string())
            return send(res, failure(400, "\"text\" must hold the parameter file"));
        const std::string actor = body.contains("user") && body["user"].is_string() ? body["user"].get<std::string>() : "";
        send(res, putParameters(body["text"].get<std::string>(), actor));
    });
}

// The check runs here, on the request's own thread (kestrom-check is a
// process of its own); only a file without errors goes on to the simulator.
Reply Routes::putParameters(const std::string &text, const std::string &actor) {
    const CheckOutcome outcome = checker_.check(text);
    const json findings = findingsJson(outcome);
    if (outcome.hasErrors())
        return Reply{422, jsonText({{"ok", false},
                                    {"applied", false},
                                    {"findings", findings},
                                    {"error", "the file has errors: nothing was reloaded, the rules in force are unchanged"}})};
    return call([this, text, findings, actor] { return playground_.applyParameters(text, findings, actor); });
}

void Routes::installEvents(httplib::Server &http) {
    http.Get("/events", [this](const httplib::Request &req, httplib::Response &res) {
        long after = afterParameter(req);
        res.set_chunked_content_provider("text/event-stream", [this, after](size_t, httplib::DataSink &sink) mutable {
            std::vector<Update> updates;
            bool missed = false;
            if (!hub_.waitAfter(after, KEEP_ALIVE, updates, missed)) {
                sink.done();
                return true;
            }
            const std::string text = eventsText(updates, missed);
            after = missed ? hub_.latest() : updates.empty() ? after : updates.back().seq;
            return sink.write(text.data(), text.size());
        });
    });
}

}  // namespace kestrom::web
