// event_hub.h - updates from the simulator's thread to every open page.  The
// simulator publishes each update (a JSON text) once; the threads serving
// server-sent events wait here for the ones their page has not seen.  Only
// texts cross between the threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace kestrom::web {

struct Update {
    long seq = 0;
    std::string data; // one line of JSON
};

class EventHub {
public:
    // The simulator's thread: publishes an update; returns its number.
    long publish(std::string data);
    // The number of the latest update (0 before the first).
    long latest() const;

    // A page's thread: the updates after `after`, waiting up to `limit` for
    // one.  `missed` is set when some were dropped before the page saw them
    // (the page then reloads the whole state).  False once the hub is closed.
    bool waitAfter(long after, std::chrono::milliseconds limit, std::vector<Update> &out, bool &missed);

    void close();

private:
    // Updates kept for pages that fall behind or reconnect.
    static constexpr size_t KEPT = 64;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Update> kept_;
    long latest_ = 0;
    bool closed_ = false;
};

}  // namespace kestrom::web
