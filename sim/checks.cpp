// checks.cpp - the expect... directives: each looks at the events of the
// window opened by the last directive that was not a check, or at the
// server's records as they are now.
#include "sim/session.h"

#include "sim/values.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iomanip>

namespace kestrom::sim {

namespace {

bool isFor(const Event &e, const std::string &handle) {
    for (const SimUser *u : e.receivers)
        if (u->handle == handle) return true;
    return false;
}

// The texts the module sent `handle` in the window.
std::vector<const Event *> textsTo(const std::vector<Event> &window, const std::string &handle) {
    std::vector<const Event *> texts;
    for (const Event &e : window)
        if (e.kind == EventKind::Text && isFor(e, handle)) texts.push_back(&e);
    return texts;
}

// Lines in double quotes, separated by commas; `none` when there are none.
std::string listed(const std::vector<std::string> &lines, const std::string &none) {
    if (lines.empty()) return none;
    std::string s;
    for (const std::string &line : lines) s += (s.empty() ? "" : ", ") + quoted(line);
    return s;
}

std::vector<std::string> textsOf(const std::vector<const Event *> &events) {
    std::vector<std::string> texts;
    for (const Event *e : events) texts.push_back(e->text);
    return texts;
}

std::string yesNo(bool b) { return b ? "yes" : "no"; }

// The words of a KEY=VALUE check: each expected value beside the one seen.
struct KeyCheck {
    std::string expected;
    std::string got;
};

std::string joinExpected(const std::vector<KeyCheck> &keys, bool expected) {
    std::string s;
    for (const KeyCheck &k : keys) s += (s.empty() ? "" : " ") + (expected ? k.expected : k.got);
    return s;
}

// Props compared id by id in order, crc too where the check writes one.
bool propsMatch(const std::vector<PropWord> &want, const std::vector<AssetSpec> &have) {
    if (want.size() != have.size()) return false;
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i].asset.id != have[i].id) return false;
        if (want[i].crcGiven && want[i].asset.crc != have[i].crc) return false;
    }
    return true;
}

}  // namespace

void Session::check(const Directive &d, bool ok, const std::string &expected, const std::string &got) {
    if (ok) {
        ++tally_.passed;
        if (!options_.quiet) out_ << std::setw(5) << d.line << "  " << d.source << "  -> ok\n";
        return;
    }
    ++tally_.failed;
    out_ << fileName_ << ":" << d.line << ": expected " << expected << ", got " << got << '\n';
}

// ----------------------------------------------------------------- verdicts

void Session::expectVerdict(const Directive &d, bool passed) {
    const Event *verdict = nullptr;
    for (const Event &e : server_.recorder().window())
        if (e.kind == EventKind::Verdict && !e.submitted) {
            verdict = &e;
            break;
        }
    const std::string want = std::string("the message to be ") + (passed ? "passed" : "swallowed");
    if (!verdict) return check(d, false, want, "no message sent by the directive");
    const std::string got = typeText(verdict->msgType) + (verdict->passed ? " passed" : " swallowed");
    check(d, verdict->passed == passed, want, got);
}

void Session::expectPass(const Directive &d) { expectVerdict(d, true); }
void Session::expectSwallow(const Directive &d) { expectVerdict(d, false); }

// -------------------------------------------------------------------- texts

void Session::expectText(const Directive &d) {
    const std::string &who = d.words[0];
    known(who);
    const auto texts = textsOf(textsTo(server_.recorder().window(), who));
    const bool found = std::find(texts.begin(), texts.end(), d.text) != texts.end();
    check(d, found, who + " to be sent " + quoted(d.text), listed(texts, "no text"));
}

void Session::expectNotText(const Directive &d) {
    const std::string &who = d.words[0];
    known(who);
    std::string seenOn;
    for (const Event *e : textsTo(server_.recorder().window(), who))
        if (e->text == d.text) seenOn = e->channel;
    check(d, seenOn.empty(), who + " not to be sent " + quoted(d.text), "it, on " + seenOn);
}

void Session::expectNone(const Directive &d) {
    const std::string &who = d.words[0];
    known(who);
    const auto texts = textsOf(textsTo(server_.recorder().window(), who));
    check(d, texts.empty(), "no text to " + who, listed(texts, "no text"));
}

// --------------------------------------------------------------- said lines

void Session::expectSaidLine(const Directive &d, bool said) {
    const std::string &who = d.words[0];
    known(who);
    std::vector<std::string> lines;
    for (const Event &e : server_.recorder().window())
        if (e.kind == EventKind::Said && e.user && e.user->handle == who) lines.push_back(e.text);
    const bool found = std::find(lines.begin(), lines.end(), d.text) != lines.end();
    const std::string want = who + (said ? " to have said " : " not to have said ") + quoted(d.text);
    check(d, found == said, want, said ? listed(lines, "nothing said") : "it said");
}

void Session::expectSaid(const Directive &d) { expectSaidLine(d, true); }
void Session::expectNotSaid(const Directive &d) { expectSaidLine(d, false); }

// ---------------------------------------------------------------- log lines

void Session::expectLogLine(const Directive &d, bool present) {
    std::vector<std::string> lines;
    bool found = false;
    for (const Event &e : server_.recorder().window()) {
        if (e.kind != EventKind::Log) continue;
        lines.push_back(e.text);
        if (e.text.find(d.text) != std::string::npos) found = true;
    }
    const std::string want = std::string(present ? "a log line containing " : "no log line containing ") + quoted(d.text);
    check(d, found == present, want, listed(lines, "no log line"));
}

void Session::expectLog(const Directive &d) { expectLogLine(d, true); }
void Session::expectNoLog(const Directive &d) { expectLogLine(d, false); }

// ------------------------------------------------------------------- records

void Session::expectState(const Directive &d) {
    const std::string &who = d.words[0];
    auto named = named_.find(who);
    if (named == named_.end()) throw ScenarioError("unknown user \"" + who + "\"");
    const SimUser *user = named->second.user;
    std::vector<KeyCheck> wrong;
    for (size_t i = 1; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        auto [key, value] = splitKey(word);
        if (word.find('=') == std::string::npos) throw ScenarioError("\"" + key + "\" needs a value (KEY=VALUE)");
        bool ok = false;
        std::string got;
        if (key == "connected") {
            got = yesNo(user && user->connected);
            ok = (user && user->connected) == parseYesNo(value, "connected");
        } else if (!user) {
            got = "no record (" + who + " never connected)";
        } else if (key == "room") {
            got = std::to_string(user->roomID());
            ok = user->roomID() == parseNumber(value, INT16_MIN, INT16_MAX, "room");
        } else if (key == "pos") {
            got = positionText(user->rec.user.roomPos);
            const Point want = parsePositionPair(value);
            ok = want.h == user->rec.user.roomPos.h && want.v == user->rec.user.roomPos.v;
        } else if (key == "face") {
            got = std::to_string(user->rec.user.faceNbr);
            ok = user->rec.user.faceNbr == parseNumber(value, INT16_MIN, INT16_MAX, "face");
        } else if (key == "color") {
            got = std::to_string(user->rec.user.colorNbr);
            ok = user->rec.user.colorNbr == parseNumber(value, INT16_MIN, INT16_MAX, "colour");
        } else if (key == "props") {
            got = propsText(user->props());
            ok = propsMatch(parseProps(value), user->props());
        } else if (key == "name") {
            got = user->name();
            ok = got == value;
        } else if (key == "pinmark") {
            got = yesNo(user->rec.flags & HF_PINMARK);
            ok = ((user->rec.flags & HF_PINMARK) != 0) == parseYesNo(value, "pinmark");
        } else if (key == "owns") {
            const ServerRoomRec *owned = user->rec.lastOwnedRoom;
            got = owned ? std::to_string(owned->room.roomID) : "none";
            ok = value == "none" ? !owned : owned && owned->room.roomID == parseNumber(value, INT16_MIN, INT16_MAX, "room");
        } else if (key == "rank") {
            got = std::to_string(user->rank);
            ok = user->rank == parseRank(value);
        } else if (key == "flags") {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%04X", user->rec.flags);
            got = hex;
            ok = user->rec.flags == parseFlags(value, 0xFFFF);
        } else {
            throw ScenarioError("unknown state key \"" + key + "\"");
        }
        if (!ok) wrong.push_back({word, key + "=" + got});
    }
    check(d, wrong.empty(), who + " " + joinExpected(wrong, true), joinExpected(wrong, false));
}

void Session::expectRoom(const Directive &d) {
    const RoomID id = static_cast<RoomID>(parseNumber(d.words[0], INT16_MIN, INT16_MAX, "room"));
    const SimRoom *room = server_.room(id);
    std::vector<KeyCheck> wrong;
    for (size_t i = 1; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        // Named copies rather than a structured binding: the lambdas below
        // capture them, which clang 14 (the fuzz build) does not allow.
        const auto split = splitKey(word);
        const std::string &key = split.first, &value = split.second;
        if (word.find('=') == std::string::npos) throw ScenarioError("\"" + key + "\" needs a value (KEY=VALUE)");
        bool ok = false;
        std::string got;
        auto flag = [&](uint32 bit) {
            got = yesNo(room->hasFlag(bit));
            ok = room->hasFlag(bit) == parseYesNo(value, key.c_str());
        };
        auto count = [&](long n) {
            got = std::to_string(n);
            ok = n == parseNumber(value, 0, LONG_MAX, key.c_str());
        };
        if (key == "exists") {
            got = yesNo(room != nullptr);
            ok = (room != nullptr) == parseYesNo(value, "exists");
        } else if (!room) {
            got = "no room " + d.words[0];
        } else if (key == "owner") {
            got = std::to_string(room->rec.memberOwner);
            ok = room->rec.memberOwner == parseUnsigned(value, "owner");
        } else if (key == "closed") {
            flag(RMF_CLOSED);
        } else if (key == "nolooseprops") {
            flag(RMF_NOLOOSEPROPS);
        } else if (key == "operatorsonly") {
            flag(RMF_NOMEMBERS);
        } else if (key == "private") {
            flag(RMF_PRIVATE);
        } else if (key == "lprops") {
            count(room->rec.room.nbrLProps);
        } else if (key == "draws") {
            count(room->rec.room.nbrDrawCmds);
        } else if (key == "people") {
            count(room->rec.room.nbrPeople);
        } else if (key == "name") {
            got = room->name();
            ok = got == value;
        } else if (key == "picture") {
            got = room->picture();
            ok = got == value;
        } else {
            throw ScenarioError("unknown room key \"" + key + "\"");
        }
        if (!ok) wrong.push_back({word, key + "=" + got});
    }
    check(d, wrong.empty(), "room " + d.words[0] + " " + joinExpected(wrong, true), joinExpected(wrong, false));
}

void Session::expectAllocations(const Directive &d) {
    const long want = parseNumber(d.words[0], 0, LONG_MAX, "allocation count");
    const long have = static_cast<long>(server_.heap().outstanding());
    check(d, want == have, std::to_string(want) + " module blocks outstanding", std::to_string(have));
}

// ---------------------------------------------------------------- decisions

namespace {

// The directive's own message: the first verdict of the window that the
// module did not submit.
const Event *directiveVerdict(const std::vector<Event> &window) {
    for (const Event &e : window)
        if (e.kind == EventKind::Verdict && !e.submitted) return &e;
    return nullptr;
}

bool matchesKeys(const Decision &d, const std::vector<std::pair<std::string, std::string>> &keys) {
    for (const auto &[key, value] : keys)
        if (decisionValue(d, key) != value) return false;
    return true;
}

// "refused by chat (...) [level=3 wait=2]": the reason and the values of the
// keys the check names.
std::string seen(const Decision &d, const std::vector<std::pair<std::string, std::string>> &keys) {
    std::string s = reasonText(d);
    std::string values;
    for (const auto &kv : keys) values += (values.empty() ? "" : " ") + kv.first + "=" + *decisionValue(d, kv.first);
    return values.empty() ? s : s + " [" + values + "]";
}

}  // namespace

// expect-refused-by: RULE refused the directive's message (the refusal that
// decided it), or refused in a timer action run in the window (sanctions,
// logoffs).  expect-passed-by: RULE was checked and let the directive's
// message through, or passed in a timer action of the window.
void Session::expectDecision(const Directive &d, bool refused) {
    const std::string &rule = d.words[0];
    std::vector<std::pair<std::string, std::string>> keys;
    for (size_t i = 1; i < d.words.size(); ++i) {
        const std::string &word = d.words[i];
        auto kv = splitKey(word);
        if (word.find('=') == std::string::npos) throw ScenarioError("\"" + kv.first + "\" needs a value (KEY=VALUE)");
        if (!decisionValue(Decision{}, kv.first)) throw ScenarioError("unknown decision key \"" + kv.first + "\"");
        keys.push_back(kv);
    }
    if (!Server::providesTrace()) {
        ++tally_.unjudged;
        if (!options_.quiet) out_ << std::setw(5) << d.line << "  " << d.source << "  -> not judged: no decision trace\n";
        return;
    }
    std::string want = (refused ? "a refusal by " : "a pass by ") + rule;
    for (const auto &[key, value] : keys) want += " " + key + "=" + value;

    std::vector<const Decision *> candidates;
    const Event *verdict = directiveVerdict(server_.recorder().window());
    if (verdict) {
        const auto decisions = server_.decisionsOf(verdict->message);
        if (!refused) {
            for (const Decision *x : decisions)
                if (!x->refused) candidates.push_back(x);
        } else if (const Decision *why = decidingDecision(decisions, !verdict->passed); why && why->refused) {
            candidates.push_back(why);
        }
    }
    for (const Event &e : server_.recorder().window())
        if (e.kind == EventKind::Decision && e.decision && e.decision->message == 0 && e.decision->refused == refused)
            candidates.push_back(&*e.decision);

    for (const Decision *x : candidates)
        if (x->rule == rule && matchesKeys(*x, keys)) return check(d, true, want, "");
    std::string got = verdict ? typeText(verdict->msgType) + (verdict->passed ? " passed" : " swallowed") : "no message";
    const auto sameRule = std::find_if(candidates.begin(), candidates.end(), [&](const Decision *x) { return x->rule == rule; });
    if (sameRule != candidates.end())
        got = seen(**sameRule, keys);
    else if (!candidates.empty())
        got += ": " + seen(*candidates.front(), {});
    else
        got += refused ? ", no refusal recorded" : ", no pass recorded";
    check(d, false, want, got);
}

void Session::expectRefusedBy(const Directive &d) { expectDecision(d, true); }
void Session::expectPassedBy(const Directive &d) { expectDecision(d, false); }

void Session::expectStarted(const Directive &d) {
    const bool want = parseYesNo(d.words[0], "started");
    check(d, server_.lastStartSucceeded() == want, "started " + yesNo(want),
          "started " + yesNo(server_.lastStartSucceeded()));
}

}  // namespace kestrom::sim
