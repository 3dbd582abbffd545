// mailbox.h - how the HTTP threads hand work to the simulator's thread.  The
// simulated server is single-threaded: a request handler never touches it,
// it posts a job here and waits for the reply; the simulator's thread takes
// the jobs one at a time, in the order they came.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kestrom::web {

// An HTTP answer: status, body and its content type.
struct Reply {
    int status = 200;
    std::string body;
    std::string type = "application/json";
};

// Work for the simulator's thread (built by a handler, run by the simulator).
using Job = std::function<Reply()>;

class Mailbox {
public:
    using Clock = std::chrono::steady_clock;

    // From a handler thread: posts `job` and waits at most `limit` for its
    // reply; nothing when the mailbox is closed or full, or the simulator
    // did not answer in time (the job still runs when its turn comes).
    std::optional<Reply> call(Job job, std::chrono::milliseconds limit);

    // On the simulator's thread: runs the next job, waiting for one until
    // `until`; false when none came.
    bool runNext(Clock::time_point until);

    // No more jobs are taken; those waiting are dropped.
    void close();

private:
    struct Entry {
        Job job;
        std::shared_ptr<std::promise<Reply>> reply;
    };
    // Requests beyond this many waiting are turned away.
    static constexpr size_t MAX_WAITING = 256;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Entry> jobs_;
    bool closed_ = false;
};

}  // namespace kestrom::web
