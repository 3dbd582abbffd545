// rules_rooms.cpp - room selections: none at all, `off` next to other
// words, room numbers that are reversed, open, out of range or not read
// whole, and `warn` where the module never tells anyone.
#include "tools/check/rules.h"

namespace kestrom::check {

namespace {

std::string rangeWord(const Range &r) {
    return "rm" + std::to_string(r.low) + (r.low == r.high ? "" : "-" + std::to_string(r.high));
}

void checkRange(const LineFacts &line, const RangeRead &r, Diagnostics &out) {
    const int n = line.source.number;
    const int col = r.word.column;
    const std::string word = quoted(r.word.text);
    if (r.word.text == "rm") {
        out.warning(n, col, "`rm` alone is room 0; write rm12 or rm10-20");
    } else if (r.lowMissing) {
        out.error(n, col, word + " has no room number after `rm`: the module reads room 0");
    } else if (r.dash && r.highMissing) {
        out.error(n, col,
                  word + " has no upper end: the module reads " + rangeWord(r.range) +
                      ", which selects "
                      "no room; write rm" +
                      std::to_string(r.range.low) + "-" + std::to_string(HIGHEST_ROOM) + " for room " +
                      std::to_string(r.range.low) + " and up");
    } else if (r.clamped) {
        out.error(n, col, word + " is beyond the numbers the module reads: it takes " + rangeWord(r.range) +
                  ", and no room has such a number");
    } else if (!r.ignored.empty()) {
        out.error(n, col,
                  word + " is read as " + rangeWord(r.range) + ": the module ignores " + quoted(r.ignored));
    } else if (r.range.low > r.range.high) {
        out.error(n, col,
                  word + " runs backwards and selects no room; write rm" + std::to_string(r.range.high) +
                      "-" + std::to_string(r.range.low));
    } else if (r.range.high < LOWEST_ROOM || r.range.low > HIGHEST_ROOM) {
        out.warning(n, col, "no room has a number in " + word + " (room numbers run from " +
                    std::to_string(LOWEST_ROOM) + " to " + std::to_string(HIGHEST_ROOM) + ")");
    }
}

// `off` and `nowhere` clear the room kinds written before them, never the
// room numbers.
void checkClears(const LineFacts &line, const SelectionRead &where, Diagnostics &out) {
    const int n = line.source.number;
    bool toldRanges = false;
    for (const SelectionWordRead &w : where.words) {
        if (w.role != WordRole::CLEAR) continue;
        if (w.roomsBefore & ~ROOM_WARN)
            out.warning(n, w.word.column, quoted(w.word.text) + " drops the room words written before it");
        if (where.ranges.empty() || toldRanges) continue;
        toldRanges = true;
        std::vector<Range> ranges;
        for (auto it = where.ranges.rbegin(); it != where.ranges.rend(); ++it) ranges.push_back(it->range);
        std::string text = quoted(w.word.text) + " does not clear room numbers: this rule applies in " +
                           roomsPhrase(ranges);
        if (line.param->form == Form::SWITCH)
            text += std::string("; no rule can switch ") + line.param->name + " off for some rooms, select the "
                    "rooms where it applies instead";
        out.warning(n, w.word.column, text);
    }
}

}  // namespace

void checkRooms(const LineFacts &line, Diagnostics &out) {
    if (!line.rule || line.rule->bare || (line.rule->param->carries & CARRIES_TEXT)) return;
    const SelectionRead &where = line.rule->where;
    const int n = line.source.number;
    const int end = static_cast<int>(line.source.text.size()) + 1;
    if (where.words.empty()) {
        out.warning(n, end, "no room selection: the rule applies nowhere; add the rooms it is for (public, "
                    "private, member, altmember, limbo, all, rmN or rmN-M)");
        return;
    }
    for (const RangeRead &r : where.ranges) checkRange(line, r, out);
    checkClears(line, where, out);
    bool unknown = false;
    for (const SelectionWordRead &w : where.words) unknown = unknown || w.role == WordRole::UNKNOWN;
    if (where.rooms == ROOM_WARN && where.ranges.empty() && !unknown)
        out.warning(n, where.column, "only `warn`: the rule applies only to users in no room; add the rooms it "
                    "is for");
    if (where.rooms == 0 && where.ranges.empty() && !unknown && where.words.back().role == WordRole::CLEAR)
        out.note(n, where.words.back().word.column, "the rule applies nowhere, as " +
                 quoted(where.words.back().word.text) + " says (without the line it would apply nowhere too)");
    if (line.param->readsWarn) return;
    for (const SelectionWordRead &w : where.words)
        if (w.known && w.known->adds == ROOM_WARN)
            out.note(n, w.word.column, std::string("`warn` has no effect on ") + line.param->name +
                     ": the module never tells users about it");
}

}  // namespace kestrom::check
