// playground.cpp - running directives for the page and the scenario, and
// publishing what they did.
#include "tools/web/playground.h"

#include "tools/web/actions.h"

#include "sim/clock.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace kestrom::web {

namespace fs = std::filesystem;

namespace {

// The world of `kestrom-sim --web` without a file.
constexpr const char *FRESH_WORLD = "room 1 Lobby\nstart\n";
// Feed entries kept for a page that opens later.
constexpr size_t BACKLOG = 1000;
// The transcript kept of one directive.
constexpr size_t MAX_DETAIL = 4000;
// The feed entries one directive makes at most.
constexpr size_t MAX_ENTRIES = 2000;
// The largest parameter file the page edits.
constexpr std::uintmax_t MAX_PARAMETER_FILE = 1 << 20;

Reply answer(const json &body, int status = 200) { return Reply{status, jsonText(body)}; }
Reply refuse(int status, const std::string &why) { return answer({{"ok", false}, {"error", why}}, status); }

std::string capped(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.size() > MAX_DETAIL) text = text.substr(0, MAX_DETAIL) + "\n...";
    return text;
}

fs::path folderOf(const fs::path &file) {
    if (file.empty()) return fs::current_path();
    const fs::path parent = fs::absolute(file).parent_path();
    return parent.empty() ? fs::current_path() : parent;
}

bool isCheck(const sim::Directive &d) {
    const sim::VerbInfo *verb = sim::Session::findVerb(d.verb);
    return verb && verb->check;
}

std::string statusOf(const sim::Tally &before, const sim::Tally &after, bool check) {
    if (after.failed > before.failed) return "failed";
    if (after.unjudged > before.unjudged) return "not judged";
    return check ? "ok" : "done";
}

}  // namespace

Playground::Playground(const sim::RunOptions &run, const fs::path &file, EventHub &hub)
    : run_(run), hub_(hub), folder_(folderOf(file)), base_(folderOf(file)) {
    run_.quiet = false;
    if (!open(file, error_)) return;
    allowParameterFolders();
    while (stepOnce()) {
    }
    publish();
}

// ------------------------------------------------------------- opening

bool Playground::open(const fs::path &file, std::string &error) {
    Script script;
    script.file = file;
    script.name = file.empty() ? "a fresh world" : file.filename().string();
    std::ifstream in;
    std::istringstream fresh(FRESH_WORLD);
    if (!file.empty()) {
        in.open(file, std::ios::binary);
        if (!in) {
            error = file.string() + ": cannot read the scenario file";
            return false;
        }
    }
    if (!script.read(file.empty() ? static_cast<std::istream &>(fresh) : in, error)) return false;
    script.version = script_.version + 1;
    base_ = folderOf(file);
    world_.reset(); // the old server goes before the new one starts
    world_ = std::make_unique<World>();
    world_->session = std::make_unique<sim::Session>(run_, world_->transcript, world_->tally, script.name, base_);
    script_ = std::move(script);
    note("info", "opened " + script_.name, "");
    return true;
}

// The parameter files the opening scenario names may be read and written
// where they lie.
void Playground::allowParameterFolders() {
    for (const sim::Directive &d : script_.directives)
        if (d.verb == "params-file" && !d.words.empty()) {
            const fs::path p(d.words[0]);
            folder_.allow((p.is_absolute() ? p : base_ / p).parent_path());
        }
}

// --------------------------------------------------------------- running

// Verbs the playground does not run: they would read files it has not
// been given, or need a block the page cannot send.
std::optional<std::string> Playground::refusal(const sim::Directive &d) const {
    if (d.verb == "start-args") return "start-args is not available in the playground: use start";
    if (d.verb == "params" && d.block.empty() && d.line == 0) return "use the parameter file editor for the rules";
    if (d.verb == "params-file" && !d.words.empty()) {
        const fs::path p(d.words[0]);
        if (!folder_.contains(p.is_absolute() ? p : base_ / p))
            return "params-file " + d.words[0] + " lies outside the playground's folders";
    }
    return std::nullopt;
}

Playground::Outcome Playground::run(const sim::Directive &d, const std::string &via) {
    World &w = *world_;
    sim::Server &server = w.session->server();
    if (auto why = refusal(d)) {
        note("error", *why, via);
        return {"error", *why};
    }
    const sim::Tally before = w.tally;
    const bool check = isCheck(d);
    Outcome out;
    try {
        w.session->run(d);
    } catch (const sim::ScenarioError &e) {
        out = {"error", e.what()};
    }
    const std::string transcript = capped(w.transcript.str());
    w.transcript.str("");
    if (!check) feedEntries(server, server.recorder().window(), via, feedNumber_, fresh_, MAX_ENTRIES);
    if (out.status == "error") {
        note("error", out.detail, via);
        return out;
    }
    out = {statusOf(before, w.tally, check), transcript};
    if (check) note("check", d.source + "  -> " + out.status + (out.status == "ok" ? "" : "\n" + transcript), via);
    return out;
}

void Playground::note(const std::string &kind, const std::string &text, const std::string &via) {
    json entry = feedEntry(++feedNumber_, kind, text, via);
    if (world_) entry["t"] = sim::clockText(world_->session->server().now(), world_->session->server().now());
    fresh_.push_back(std::move(entry));
}

// Runs the scenario's next directive; false when there is none.
bool Playground::stepOnce() {
    if (script_.finished()) return false;
    const sim::Directive &d = script_.directives[script_.next];
    ScriptRow &row = script_.rows[script_.next];
    const Outcome out = run(d, "line " + std::to_string(d.line) + ": " + d.source);
    row.status = out.status;
    row.detail = out.detail;
    ++script_.next;
    if (out.status == "error") script_.stopped = true; // as in a file run: an error ends it
    if (script_.finished()) script_.playing = false;
    ++script_.version;
    return true;
}

void Playground::publish() {
    sim::Server &server = world_->session->server();
    json update = {{"world", worldJson(*world_->session)}, {"rules", rulesJson(server.stats())}, {"feed", fresh_}};
    if (publishedScript_ != script_.version) update["scenario"] = scenarioJson();
    publishedScript_ = script_.version;
    hub_.publish(jsonText(update));
    for (json &entry : fresh_) backlog_.push_back(std::move(entry));
    fresh_.clear();
    while (backlog_.size() > BACKLOG) backlog_.pop_front();
}

// The parameter file as the page names it.
std::string Playground::parameterName() const {
    const sim::Session &session = *world_->session;
    if (session.parametersFromBlock())
        return script_.file.empty() ? "the fresh world's parameter file" : "the params block of " + script_.name;
    return session.parameterPath().empty() ? "" : folder_.shown(session.parameterPath());
}

json Playground::scenarioJson() const {
    json s = script_.toJson();
    s["params"] = parameterName();
    return s;
}

// ------------------------------------------------------------- reading

Reply Playground::state() {
    sim::Server &server = world_->session->server();
    publish(); // whatever is pending goes out first, so the page misses nothing after `seq`
    return answer({{"seq", hub_.latest()},
                   {"world", worldJson(*world_->session)},
                   {"rules", rulesJson(server.stats())},
                   {"scenario", scenarioJson()},
                   {"feed", json(backlog_)}});
}

Reply Playground::parameterFile() {
    const std::string &path = world_->session->parameterPath();
    if (path.empty()) return answer({{"ok", true}, {"path", ""}, {"text", ""}, {"writable", false}});
    const std::string name = parameterName();
    const bool writable = world_->session->parametersFromBlock() || folder_.contains(path);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > MAX_PARAMETER_FILE || !writable)
        return answer({{"ok", false}, {"path", name}, {"text", ""}, {"writable", false},
                       {"error", ec ? "cannot read " + name : "the playground does not edit this file"}});
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return answer({{"ok", true}, {"path", name}, {"text", text}, {"writable", true}});
}

Reply Playground::scenarioFiles() { return answer({{"ok", true}, {"files", folder_.scenarios()}, {"current", script_.name}}); }

// --------------------------------------------------------------- acting

Reply Playground::act(const std::string &line) {
    sim::Directive d;
    try {
        d = sim::parseDirective(line, 0);
    } catch (const sim::ScenarioError &e) {
        return refuse(400, e.what());
    }
    const Outcome out = run(d, d.source);
    publish();
    if (out.status == "error") return refuse(400, out.detail);
    return answer({{"ok", true}, {"status", out.status}, {"detail", out.detail}});
}

// The operator who reloads: `actor` when of rank 2 or more, else the first
// such user connected; "" when there is none.
std::string Playground::reloader(const std::string &actor) {
    std::string first;
    for (const sim::SimUser *u : world_->session->server().connectedUsers()) {
        if (u->rank < 2) continue;
        if (u->handle == actor) return actor;
        if (first.empty()) first = u->handle;
    }
    return first;
}

Reply Playground::applyParameters(const std::string &text, const json &findings, const std::string &actor) {
    sim::Session &session = *world_->session;
    const std::string path = session.parameterPath();
    if (path.empty()) return refuse(409, "this world has no parameter file yet: its scenario names one at start");
    if (!session.parametersFromBlock() && !folder_.contains(path))
        return refuse(403, folder_.shown(path) + " lies outside the playground's folders");
    const bool running = session.server().running();
    const std::string op = running ? reloader(actor) : "";
    if (running && op.empty())
        return refuse(409, "nobody connected may reload: connect a wizard or a god first; the rules in force are unchanged");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) return refuse(500, "cannot write " + folder_.shown(path));
    }
    note("info", "parameter file " + parameterName() + " written", "");
    if (running) run(sim::parseDirective("say " + quoteWord(op) + " `kestrom reload", 0), "reload");
    publish();
    return answer({{"ok", true}, {"applied", true}, {"reloadedBy", op}, {"findings", findings}});
}

// ------------------------------------------------------------- scenario

Reply Playground::load(const std::string &name) {
    std::string why;
    const auto path = folder_.resolve(name, why);
    if (!path) return refuse(403, why);
    std::error_code ec;
    if (path->extension() != ".scenario" || !fs::is_regular_file(*path, ec))
        return refuse(400, name + " is not a scenario file of the folder");
    if (!open(*path, why)) return refuse(400, why);
    publish();
    return answer({{"ok", true}});
}

Reply Playground::restart() {
    std::string why;
    if (!open(script_.file, why)) return refuse(400, why);
    publish();
    return answer({{"ok", true}});
}

Reply Playground::step() {
    if (!stepOnce()) return refuse(409, "the scenario has ended: restart it or load another");
    publish();
    return answer({{"ok", true}, {"row", script_.next - 1}});
}

Reply Playground::play(long intervalMs) {
    if (script_.finished()) return refuse(409, "the scenario has ended: restart it or load another");
    script_.playing = true;
    script_.interval = std::chrono::milliseconds(std::clamp(intervalMs, 50L, 5000L));
    script_.lastStep = Script::Clock::now() - script_.interval;
    ++script_.version;
    publish();
    return answer({{"ok", true}});
}

Reply Playground::pause() {
    script_.playing = false;
    ++script_.version;
    publish();
    return answer({{"ok", true}});
}

Reply Playground::finish() {
    script_.playing = false;
    while (stepOnce()) {
    }
    ++script_.version;
    publish();
    return answer({{"ok", true}});
}

std::optional<Script::Clock::time_point> Playground::nextStep() const {
    if (!script_.playing || script_.finished()) return std::nullopt;
    return script_.lastStep + script_.interval;
}

void Playground::stepWhenDue() {
    const auto due = nextStep();
    if (!due || Script::Clock::now() < *due) return;
    script_.lastStep = Script::Clock::now();
    stepOnce();
    publish();
}

}  // namespace kestrom::web
