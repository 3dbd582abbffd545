// event_hub.cpp - the updates kept for the pages, and waiting for them.
#include "tools/web/event_hub.h"

namespace kestrom::web {

long EventHub::publish(std::string data) {
    long seq = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seq = ++latest_;
        kept_.push_back(Update{seq, std::move(data)});
        if (kept_.size() > KEPT) kept_.pop_front();
    }
    changed_.notify_all();
    return seq;
}

long EventHub::latest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}

bool EventHub::waitAfter(long after, std::chrono::milliseconds limit, std::vector<Update> &out, bool &missed) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A page that names an update this hub never published comes from an
    // earlier run: it has missed everything.
    changed_.wait_for(lock, limit, [&] { return closed_ || latest_ != after; });
    if (closed_) return false;
    missed = after > latest_ || (!kept_.empty() && kept_.front().seq > after + 1);
    for (const Update &u : kept_)
        if (u.seq > after) out.push_back(u);
    return true;
}

void EventHub::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace kestrom::web
