// parameter_files.h - the parameter files the handle_message world runs
// with: the example file, the same with stricter rules in front, a loose
// server, a server run by member-room owners, a file edited by hand with
// broken lines, one that stops with a line too long, an empty one, and none
// at all.  A run starts with one of them and may reload or restart with any
// other; whether each one loads is part of the table, so a file that should
// load and does not (or the reverse) is a finding.
#pragma once

#include "fuzz/fuzz_common.h"

#include <array>
#include <string>

namespace kestrom::fuzz {

using namespace std::string_literals;

// Rules put in front of the example file's (the first room-kind rule wins).
inline const char *const STRICT_RULES =
    "chat 2 0.1 all warn\n"
    "repchat 1 0.1 all warn\n"
    "page 1 0.01 all warn\n"
    "reppage 0 0.01 all\n"
    "roommsg 1 0.1 all warn\n"
    "propdrop 1 0.1 all warn\n"
    "facechange 1 0.1 all warn\n"
    "avatarchange 1 0.1 all warn\n"
    "namechange 1 0.1 all warn\n"
    "move 2 0.1 all warn\n"
    "slide 2 0.1 all warn\n"
    "spotstatechange 1 0.1 all warn\n"
    "zone 64 all\n"
    "avatarzone 64 all warn\n"
    "nodupavatars all warn\n"
    "mimick 3 all\n"
    "clearlooseprops 10 all warn\n"
    "newroom 5 0.1 all\n"
    "gpage 1 0.1 all\n"
    "rpage 1 0.1 all\n"
    "roompage 1 0.1 all\n"
    "pinx 100 100 all\n"
    "take all\n";

// Settings put after the example file's (the last line of a keyword wins):
// rooms may be taken at once, and each room remembers two disciplined users.
inline const char *const STRICT_SETTINGS =
    "rtakedelay 0\n"
    "mroomdiscipline 2\n";

// A relaxed server: generous limits, guests may ask for operator status,
// nobody takes rooms over or disciplines in them.
inline const char *const LOOSE_FILE =
    "# A relaxed server: generous limits and few rules.\n"
    "wizinmemberrooms no\n"
    "rownerinroom no\n"
    "memberrwho no\n"
    "guestwiz yes\n"
    "rtakedelay off\n"
    "mroomdiscipline off\n"
    "chat 40 4 all\n"
    "repchat 20 2 all\n"
    "page 10 1 all\n"
    "move 200 10 all\n"
    "slide 400 20 all\n"
    "avatarchange 200 10 all\n"
    "propdrop 50 5 public member\n"
    "chatgoto 2 somewhere quiet please\n"
    "dupip 6\n";

// Member rooms run by their owners: rules for member rooms and for those
// whose owner chose alternate limits, discipline, announcements close to the
// start times, and commands handed down to lower ranks (or taken away).
inline const char *const MEMBER_ROOM_FILE =
    "# Member rooms run by their owners.\n"
    "mroombg member-room.png\n"
    "wizinmemberrooms yes\n"
    "rownerinroom no\n"
    "memberrwho yes\n"
    "rtakedelay 10\n"
    "mroomdiscipline 3\n"
    "guestwiz no\n"
    "pagelength 0\n"
    "gpagelength 0\n"
    "pageresponse An operator will answer your page.\n"
    "gpageresponse The owners have your page.\n"
    "autoannounce 12:00:05 Member rooms are open: type `newroom to make one.\n"
    "autoannounce 12:00:05 A second announcement at the same second.\n"
    "autoannounce 09:00:00 Morning in the member rooms.\n"
    "autoannounce 23:59:59 The day ends.\n"
    "setrank rgag guest\n"
    "setrank rkick member member\n"
    "setrank rowner guest guest\n"
    "setrank newroom guest\n"
    "setrank rlimit member\n"
    "setrank kestrom wizard\n"
    "setrank find guest guest\n"
    "setrank rtake guest\n"
    "setrank rdelete disable\n"
    "chat 3 0.5 member warn\n"
    "chat 10 1 altmember\n"
    "chat 6 1 public private warn\n"
    "move 5 0.5 member warn\n"
    "move 50 5 altmember\n"
    "slide 5 0.5 member altmember warn\n"
    "propdrop 2 0.1 member warn\n"
    "propdrop 20 1 altmember\n"
    "avatarchange 3 0.1 member warn\n"
    "namechange 2 0.01 member altmember warn\n"
    "facechange 5 0.5 member warn\n"
    "roommsg 2 0.1 member warn\n"
    "newroom 2 0.01 all warn\n"
    "rpage 2 0.1 member warn\n"
    "roompage 2 0.1 all warn\n"
    "nodupavatars member warn\n"
    "zone 8 member\n"
    "avatarzone 20 member altmember warn\n"
    "clearlooseprops 2 member warn\n"
    "mimick 5 member warn\n"
    "spoof member altmember\n"
    "take rm200-202\n"
    "pinx 300 200 member\n"
    "chatgoto 200 to the den\n"
    "chatgoto 202 members only please\n"
    "dupip 1 10.0.0.*\n";

// A file edited by hand on another system: CR LF line ends, tabs, capitals,
// typos, values that cannot be read, texts too long, a NUL byte.  It loads,
// with a problem reported for most lines.
inline const std::string BROKEN_FILE =
    "# Edited by hand; most lines have something wrong.\r\n"
    "chat 5 1 public warn\r\n"
    "CHAT\t8\t1\tPRIVATE\r\n"
    "chat\r\n"
    "take\n"
    "chta 5 1 all\n"
    "move five 1 all\n"
    "slide 10 nan all\n"
    "page -1 -1 all warn\n"
    "propdrop 3 0.5 RM5 rm1-2-3 rm rm-5 wherever\n"
    "zone 99999999999 all\n"
    "avatarzone 5 rm1-5 off rm42\n"
    "guestwiz maybe\n"
    "guestwiz\n"
    "wizinmemberrooms y\r\n"
    "rtakedelay\n"
    "mroomdiscipline o\n"
    "mroombg a-picture-name-far-too-long-for-the-field.png\n"
    "pageresponse "s + std::string(251, 'p') + "\n"
    "autoannounce 7:30:00 too short\n"
    "autoannounce 12:00:01\n"
    "autoannounce 12:00:02 \n"
    "autoannounce 12:00:0312 no space\n"
    "autoannounce 36:00:00 normalised to noon tomorrow\r\n"
    "setrank\n"
    "setrank nothing god\n"
    "setrank gmsg\n"
    "setrank gmsg rank\n"
    "setrank find 9 9\n"
    "setrank ro guest\n"
    "chatgoto\n"
    "chatgoto 5\n"
    "chatgoto currentroom\n"
    "chatgoto -1 to nowhere\n"
    "chatgoto 99999 far away\n"
    "dupip\n"
    "dupip 1 300.1.2.3\n"
    "dupip 0 %s%n\n"
    "pagelength -3\n"
    "gpagelength 99999999999\n"
    "   # an indented comment\n"
    "\t\r\n"
    "spoof all\0 off\n"s
    "mimick 4 public\r\n";

// A good start, then a line of 299 characters: the load stops there and
// what it read before is given up.
inline const std::string TOO_LONG_FILE =
    "setrank rgag guest\n"
    "autoannounce 12:00:03 never armed\n"
    "wizinmemberrooms yes\n"
    "pageresponse from a file that never loads\n"
    "chat 1 0 all warn\n"
    "chatgoto 1 "s + std::string(288, 'x') + "\n"
    "move 1 0 all\n";

struct ParameterFile {
    const char *name;
    std::string text;
    bool present; // false: there is no file at the path
    bool loads;
};

constexpr int NBR_PARAMETER_FILES = 8;
enum { FILE_EXAMPLE, FILE_STRICT, FILE_TOO_LONG = 5, FILE_MISSING = 6 };

inline const std::array<ParameterFile, NBR_PARAMETER_FILES> &parameterFiles() {
    static const std::array<ParameterFile, NBR_PARAMETER_FILES> files = {{
        {"example", exampleParameters(), true, true},
        {"strict", STRICT_RULES + exampleParameters() + STRICT_SETTINGS, true, true},
        {"loose", LOOSE_FILE, true, true},
        {"member rooms", MEMBER_ROOM_FILE, true, true},
        {"broken lines", BROKEN_FILE, true, true},
        {"too long", TOO_LONG_FILE, true, false},
        {"missing", "", false, false},
        {"empty", "", true, true},
    }};
    return files;
}

}  // namespace kestrom::fuzz
