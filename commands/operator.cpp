// operator.cpp - pieces shared by the operator and user commands.
#include "commands/operator.h"

#include "commands/commands.h"
#include "commands/scan.h"
#include "core/helpers.h"

namespace kestrom {

void logActOnOther(ServerUserRec *issuer, const ServerUserRec *target, const char *tag,
                   const char *verb, const char *after) {
    if (target == issuer) return;
    const ActorAndTarget names(issuer, target);
    FormattedLogMessage(issuer, tag, "{%s} %s {%s}%s", names.actor, verb, names.target, after);
}

void replyUsage(MyState *state, ServerUserRec *user, const char *word) {
    const CmdTable *row = findCommand(state, word);
    if (!row) return;
    const char *hint = UserRank(user) >= row->targetRank ? " (can be whispered to another user)" : "";
    UserMessage(user, "Usage: %s%s", row->shortHelp, hint);
}

// The first word of a motion: its sign and number (getUint's -1 when bad).
static int32_t readSignedNumber(const char *word, int32_t *sign) {
    *sign = 1;
    if (*word == '-') {
        *sign = -1;
        ++word;
    }
    return getUint(word);
}

Motion parseMotion(const char *argument) {
    int32_t signH = 1, signV = 1;
    const int32_t h = readSignedNumber(argument, &signH);
    const char *second = nextWord(argument + wordLength(argument));
    if (!second) return {Motion::USAGE, 0, 0};
    const int32_t v = readSignedNumber(second, &signV);
    const int16_t h16 = low16(h), v16 = low16(v);
    if (h16 < 0 || v16 < 0) return {Motion::BAD_NUMBER, 0, 0};
    return {Motion::OK, signH * h16, signV * v16};
}

// value held within 0..high.
static int32_t within(int32_t value, int32_t high) {
    return value < 0 ? 0 : (value > high ? high : value);
}

Point movedWithin(Point pos, int32_t dh, int32_t dv) {
    Point moved;
    moved.h = static_cast<sint16>(within(pos.h + dh, MAX_H));
    moved.v = static_cast<sint16>(within(pos.v + dv, MAX_V));
    return moved;
}

Placement parsePlacement(const char *argument) {
    const int16_t h = low16(getUint(argument));
    const char *second = nextWord(argument + wordLength(argument));
    if (!second) return {Placement::USAGE, {0, 0}};
    const int16_t v = low16(getUint(second));
    if (static_cast<uint16_t>(v) > MAX_V || h < 0 || h > MAX_H) return {Placement::OUT_OF_RANGE, {0, 0}};
    Point pos;
    pos.v = v;
    pos.h = h;
    return {Placement::OK, pos};
}

Point pinSpot(const LimitValue *rule) {
    if (!rule) return PIN_SPOT;
    Point spot;
    spot.h = low16(static_cast<int32_t>(rule->maximum));
    spot.v = low16(truncatedInt32(rule->decay));
    return spot;
}

}  // namespace kestrom
