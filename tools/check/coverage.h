// coverage.h - which rooms the rules looked at so far already select.  The
// module takes the first rule of a chain that selects the room: a room whose
// number lies in one of the rule's ranges, or whose kind the rule names;
// users in no room are selected by any rule with a room kind, limbo or warn.
#pragma once

#include "tools/check/listing.h"

#include <vector>

namespace kestrom::check {

class Coverage {
public:
    // What of a rule's selection no earlier rule took.
    struct Share {
        bool anything = false;     // the rule is chosen somewhere
        std::vector<Range> ranges; // its room numbers still free (in order)
        int32_t kinds = 0;         // its room kinds still free
        bool limbo = false;        // users in no room still free
        int32_t kindsTaken = 0;    // its room kinds an earlier rule took
    };

    Share share(const Selection &where) const;
    void add(const Selection &where);

    const std::vector<Range> &ranges() const { return ranges_; } // taken room numbers, sorted
    int32_t kinds() const { return kinds_; }
    bool coversEverything() const;

private:
    std::vector<Range> ranges_;
    int32_t kinds_ = 0;
    bool limbo_ = false;
};

}  // namespace kestrom::check
