// scenario.cpp - lexing and parsing directives, and running scenario files
// and the console.
#include "sim/scenario.h"

#include "sim/clock.h"
#include "sim/session.h"

#include <fstream>
#include <iostream>
#include <memory>

namespace kestrom::sim {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

// A line as read, without the carriage return of a CRLF file.
bool readLine(std::istream &in, std::string &line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Each directive learns how many of the checks that follow it look at its
// window, so that a window no check reads is not kept.
void countWindowChecks(std::vector<Directive> &directives) {
    Directive *opener = nullptr;
    for (Directive &d : directives) {
        if (!Session::findVerb(d.verb)->check) {
            opener = &d;
            d.windowChecks = 0;
        } else if (opener && Session::readsWindow(d.verb)) {
            ++opener->windowChecks;
        }
    }
}

}  // namespace

bool nextWord(std::string_view line, size_t &pos, std::string &word) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size()) return false;
    word.clear();
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (!quoted && isBlank(c)) break;
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '"' || line[pos + 1] == '\\')) {
            word += line[++pos];
        } else {
            word += c;
        }
    }
    if (quoted) throw ScenarioError("a quoted word does not end");
    return true;
}

std::string restText(std::string_view line, size_t pos) {
    if (pos < line.size() && isBlank(line[pos])) ++pos;
    return std::string(line.substr(std::min(pos, line.size())));
}

bool isSkippable(std::string_view line) {
    const std::string t = trimmed(line);
    return t.empty() || t.front() == '#';
}

Directive parseDirective(std::string_view line, int lineNumber) {
    Directive d;
    d.line = lineNumber;
    d.source = trimmed(line);
    size_t pos = 0;
    if (!nextWord(line, pos, d.verb)) throw ScenarioError("empty directive");
    const VerbInfo *verb = Session::findVerb(d.verb);
    if (!verb) throw ScenarioError("unknown verb \"" + d.verb + "\"");
    const size_t fixed = verb->textAfter >= 0 ? static_cast<size_t>(verb->textAfter) : SIZE_MAX;
    std::string word;
    while (d.words.size() < fixed && nextWord(line, pos, word)) d.words.push_back(word);
    if (verb->textAfter >= 0) d.text = restText(line, pos);
    const auto count = static_cast<int>(d.words.size());
    if (count < verb->minWords || (verb->maxWords >= 0 && count > verb->maxWords))
        throw ScenarioError("usage: " + std::string(verb->usage));
    return d;
}

// ------------------------------------------------------------------ runner

std::vector<Directive> parseScenario(std::istream &in, int &number) {
    std::vector<Directive> directives;
    std::string line;
    number = 0;
    while (readLine(in, line)) {
        ++number;
        if (isSkippable(line)) continue;
        directives.push_back(parseDirective(line, number));
        if (directives.back().verb != "params") continue;
        const int opened = number;
        for (;;) {
            if (!readLine(in, line)) {
                number = opened;
                throw ScenarioError("params block without its end line");
            }
            ++number;
            if (trimmed(line) == "end") break;
            directives.back().block.push_back(line);
        }
    }
    return directives;
}

void ScenarioRunner::runFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out_ << path << ":0: cannot read the scenario file\n";
        tally_.error = true;
        return;
    }
    // Parse the whole file first: a file with a bad line is not run at all.
    std::vector<Directive> directives;
    int number = 0;
    try {
        directives = parseScenario(in, number);
    } catch (const ScenarioError &e) {
        out_ << path << ":" << number << ": " << e.what() << '\n';
        tally_.error = true;
        return;
    }

    countWindowChecks(directives);
    if (!options_.quiet) out_ << "== " << path << '\n';
    const std::filesystem::path base = std::filesystem::path(path).parent_path();
    Session session(options_, out_, tally_, path, base.empty() ? "." : base);
    for (const Directive &d : directives) {
        try {
            session.run(d);
        } catch (const ScenarioError &e) {
            out_ << path << ":" << d.line << ": " << e.what() << '\n';
            tally_.error = true;
            break;
        }
        if (session.quitting()) break;
    }
    session.finish();
}

bool StreamSource::read(std::string &line, bool more) {
    if (prompt_ && !more) out_ << "kestrom> " << std::flush;
    return readLine(in_, line);
}

void ScenarioRunner::runConsole(std::istream &in, bool prompt) {
    StreamSource source(in, out_, prompt);
    runConsole(source);
}

void ScenarioRunner::runConsole(LineSource &source) {
    const std::string name = "-";
    Session session(options_, out_, tally_, name, std::filesystem::current_path());
    source.attach(&session);
    std::string line;
    int number = 0;
    while (!session.quitting() && source.read(line, false)) {
        ++number;
        try {
            if (!isSkippable(line)) {
                Directive d = parseDirective(line, number);
                if (d.verb == "params")
                    for (;;) {
                        if (!source.read(line, true)) throw ScenarioError("params block without its end line");
                        ++number;
                        if (trimmed(line) == "end") break;
                        d.block.push_back(line);
                    }
                session.run(d);
            }
        } catch (const ScenarioError &e) {
            out_ << name << ":" << number << ": " << e.what() << '\n';
            if (!source.interactive()) tally_.error = true;
        }
    }
    if (source.interactive() && !session.quitting()) out_ << '\n';
    source.attach(nullptr);
    session.finish();
}

void ScenarioRunner::printSummary() const {
    out_ << tally_.passed << " passed, " << tally_.failed << " failed";
    if (tally_.unjudged > 0)
        out_ << ", " << tally_.unjudged << " not judged (this server has no decision trace)";
    out_ << '\n';
}

int ScenarioRunner::exitCode() const {
    if (tally_.error) return 2;
    return tally_.failed > 0 ? 1 : 0;
}

}  // namespace kestrom::sim
