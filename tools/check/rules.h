// rules.h - the checker's rules, one file per family:
//   rules_module.cpp    the module's own reports, in plain words
//   rules_lines.cpp     lengths, NUL bytes, line ends, what was installed
//   rules_settings.cpp  the keyword lines: switches, numbers, texts,
//                       announcements
//   rules_values.cpp    the values of rule lines
//   rules_rooms.cpp     room selections
//   rules_file.cpp      the file as a whole: shadowed rules, settings given
//                       twice, setrank, the listing's size
#pragma once

#include "tools/check/check.h"

namespace kestrom::check {

void checkLength(const LineFacts &line, Diagnostics &out);
void checkNul(const LineFacts &line, Diagnostics &out);
void checkModuleProblems(const LineFacts &line, Diagnostics &out);
void checkSetting(const LineFacts &line, Diagnostics &out);
void checkAnnouncement(const LineFacts &line, Diagnostics &out);
void checkSetrankLine(const LineFacts &line, Diagnostics &out);
void checkRuleValues(const LineFacts &line, Diagnostics &out);
void checkRooms(const LineFacts &line, Diagnostics &out);
void checkAgreement(const LineFacts &line, Diagnostics &out);
void noteInstalled(const LineFacts &line, Diagnostics &out);

void checkLineEnds(const Checked &checked, Diagnostics &out);
void checkStart(const Checked &checked, Diagnostics &out);
void checkShadowed(const Checked &checked, Diagnostics &out);
void checkGivenTwice(const Checked &checked, Diagnostics &out);
void checkSetranks(const Checked &checked, Diagnostics &out);
void checkListingSize(const Checked &checked, Diagnostics &out);
void checkAccounted(const Checked &checked, Diagnostics &out);
void checkRlimit(const Checked &checked, Diagnostics &out);

// What is wrong with a number as read ("`10m` is read as 10 ..."), or
// empty when it reads whole.
std::string numberTrouble(const NumberRead &n);
// An announcement time as the module reads it.
struct TimeRead {
    bool written = false; // hh:mm:ss, two digits each
    bool ofDay = false;   // hours 0-23, minutes and seconds 0-59
    std::string daily;    // the time of day it goes out at, hh:mm:ss
    long long days = 0;   // days before the first time
};
TimeRead readTime(std::string_view word);
// The rule a line installed, read back from its listing line; none when the
// line installed no rule.
std::optional<Rule> installedRule(const LineEffect &effect);
// "in rooms 40 to 49", "in public and private rooms", ... for a selection.
std::string wherePhrase(const Selection &where);
// "room 12", "rooms 1 to 5 and 12".
std::string roomsPhrase(const std::vector<Range> &ranges);

}  // namespace kestrom::check
