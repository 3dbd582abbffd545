// operator.h - pieces shared by the operator and user commands: the names
// of an issuer and a target for log lines, the usage reply, and the number
// rules of the position and pin commands.
#pragma once

#include "core/helpers.h"

namespace kestrom {

// The issuer's and the target's names, for "{%s} ... {%s}" log lines.
struct ActorAndTarget {
    char actor[NAME_SIZE];
    char target[NAME_SIZE];

    ActorAndTarget(const ServerUserRec *actorUser, const ServerUserRec *targetUser) {
        getCUserName(actor, actorUser);
        getCUserName(target, targetUser);
    }
};

// When the target is not the issuer, logs under `tag`, as the issuer,
// "{issuer} <verb> {target}<after>".
void logActOnOther(ServerUserRec *issuer, const ServerUserRec *target, const char *tag,
                   const char *verb, const char *after = "");

// Sends user "Usage: %s%s" with the usage text of the command row `word`,
// followed by the whisper hint when the user may direct it at others.
void replyUsage(MyState *state, ServerUserRec *user, const char *word);

// Room bounds of a position, inclusive.
constexpr int32_t MAX_H = 511;
constexpr int32_t MAX_V = 383;

// The low 16 bits of n, as a signed 16-bit number.
constexpr int16_t low16(int32_t n) { return static_cast<int16_t>(static_cast<uint16_t>(n)); }

// A motion argument of `move`: two numbers, each optionally preceded by '-'.
struct Motion {
    enum Result { OK, USAGE, BAD_NUMBER } result;
    int32_t dh; // signed horizontal offset
    int32_t dv; // signed vertical offset
};
Motion parseMotion(const char *argument);

// pos moved by (dh, dv), each coordinate held within the room's bounds.
Point movedWithin(Point pos, int32_t dh, int32_t dv);

// A setpos argument: the horizontal and then the vertical coordinate.
struct Placement {
    enum Result { OK, USAGE, OUT_OF_RANGE } result;
    Point pos;
};
Placement parsePlacement(const char *argument);

// Where pinx puts a user: the rule's maximum (low 16 bits) across and its
// decay, truncated toward zero, down; PIN_SPOT with no rule.
Point pinSpot(const LimitValue *rule);

}  // namespace kestrom
