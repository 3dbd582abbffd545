// decision.h - the module's decisions as the simulated server keeps them: a
// structured copy of each KestromDecision (core/host.h) that the module hands
// the host's trace operation, the one line a person reads for it, and
// statistics per rule and per message type that any tool can query.
#pragma once

#include "core/host.h"

#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace kestrom::sim {

class SimUser;

struct Decision {
    long message = 0; // the screened message it belongs to (Server's number), 0 outside one
    uint32 messageType = 0;
    int timerAction = KESTROM_NO_TIMER;
    bool refused = false;
    bool told = false;
    int flags = 0; // KESTROM_DF_ bits
    std::string rule;
    int parameter = -1;
    int line = 0;
    std::string lineText; // the parameter-file line as loaded, when known
    const SimUser *user = nullptr;
    const SimUser *other = nullptr; // also a user who has left since
    UserID otherID = 0;
    RoomID room = -1;
    int selection = KESTROM_SELECT_NONE;
    int selectionBit = 0;
    int rangeLow = 0, rangeHigh = 0;
    int levelBefore = 0, levelAfter = 0;
    uint32 maximum = 0;
    double decay = 0;
    int units = 0;
    int wait = KESTROM_NO_WAIT;
    int measured = 0;
    int rankNeeded = 0, rankHeld = 0;
    std::string command;
    int sanctions = 0;

    bool has(int flag) const { return (flags & flag) != 0; }
    bool fromParameterFile() const { return parameter >= 0; }
};

// The one line a person reads, e.g. "refused by chat (line 3: chat 2 1
// public warn): 2 of 2 used, drains 1 a second, allowed again in 2 s, told".
std::string reasonText(const Decision &d);
// How the rule was chosen: "public", "rm10-20", "limbo", "any room", or "".
std::string selectionText(const Decision &d);
// The value of one key of expect-refused-by and expect-passed-by as the
// check writes it (line, level, after, max, decay, units, wait, other,
// told, room, selection, needs, has, command, measured), or nothing for a
// key it does not know.
std::optional<std::string> decisionValue(const Decision &d, const std::string &key);
// Of the decisions taken while one message was screened, the one that
// decided it: the last refusal; for a swallowed message without one, the
// command dispatched or the chat-goto phrase carried out; or null.
const Decision *decidingDecision(const std::vector<const Decision *> &decisions, bool swallowed);
// The parameter names of the parameter file (the first word of a rule line).
bool isParameterName(const std::string &word);

// Counts per rule (by name and parameter-file line) and per message type.
class DecisionStats {
public:
    struct RuleRow {
        std::string rule;
        int line = 0;
        std::string lineText;
        long checked = 0, passed = 0, refused = 0, told = 0;
        std::map<std::string, long> refusedUsers; // handle -> refusals
        bool inFile = false;                      // a rule line of the parameter file

        // The users refused most, most first (ties by handle), at most n.
        std::vector<std::pair<std::string, long>> mostRefused(size_t n) const;
    };
    struct TypeRow {
        uint32 type = 0;
        long received = 0, passed = 0, swallowed = 0;
    };

    void addDecision(const Decision &d);
    void addVerdict(uint32 type, bool passed);
    // The parameter file's lines as loaded: its rule lines are listed even
    // when never checked.
    void setParameterLines(const std::vector<std::string> &lines);
    void clear();

    // Every rule checked, and every rule line of the file, in file order
    // (fixed decisions after, by name).
    std::vector<RuleRow> rules() const;
    std::vector<TypeRow> messageTypes() const; // by type code
    const RuleRow *rule(const std::string &name, int line) const;

    // The two tables, as `--stats` and the `stats` verb print them.
    void print(std::ostream &out) const;

private:
    std::map<std::pair<std::string, int>, RuleRow> rules_;
    std::map<uint32, TypeRow> types_;
    std::vector<std::string> lines_;
};

}  // namespace kestrom::sim
