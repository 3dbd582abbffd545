// parameter_files.h - the parameter files the load benchmarks read.
#pragma once

#include <string>
#include <vector>

namespace kestrom::bench {

// A file of `count` lines in the mix of a real one: comments, switches,
// rank changes, rate rules over room kinds and ranges, phrases and address
// patterns (no announcements: each load would leave timers behind).
inline std::string parameterFile(int count) {
    const std::vector<std::string> header = {
        "# Parameter file for the benchmarks.",
        "mroombg harbour-default.png",
        "wizinmemberrooms yes",
        "rownerinroom yes",
        "memberrwho yes",
        "rtakedelay 1800",
        "mroomdiscipline 25",
        "guestwiz no",
        "pagelength 3",
        "gpagelength 10",
        "pageresponse Thank you - an operator has your page and will be with you shortly.",
        "gpageresponse Your page went to the server owners; please allow a few minutes.",
        "setrank gmsg god",
        "setrank find member member",
        "setrank rbanlist operator",
        "",
    };
    const std::vector<std::string> rates = {
        "chat", "repchat", "page", "reppage", "roommsg", "propdrop", "facechange", "avatarchange",
        "move", "slide", "spotstatechange", "namechange", "newroom", "gpage", "rpage", "roompage",
    };
    std::string text;
    int lines = 0;
    for (const std::string &line : header) {
        text += line + "\n";
        ++lines;
    }
    for (int i = 0; lines < count; ++i, ++lines) {
        const std::string &rate = rates[i % rates.size()];
        const std::string room = std::to_string(100 + i);
        switch (i % 8) {
        case 0: text += "# rules for the rooms from " + room; break;
        case 1: text += rate + " 12 1.5 public private warn"; break;
        case 2: text += rate + " 20 2.0 rm" + room + "-" + std::to_string(110 + i) + " warn"; break;
        case 3: text += "chatgoto " + room + " take me to room " + room; break;
        case 4: text += rate + " 30 0.5 member altmember limbo"; break;
        case 5: text += "dupip 2 10." + std::to_string(i % 256) + ".*.*"; break;
        case 6: text += "zone 16 rm" + room + " public"; break;
        default: text += "   spoof all off rm" + room + "   # role-play room"; break;
        }
        text += "\n";
    }
    return text;
}

}  // namespace kestrom::bench
