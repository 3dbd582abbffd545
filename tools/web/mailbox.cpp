// mailbox.cpp - the queue between the HTTP threads and the simulator's thread.
#include "tools/web/mailbox.h"

namespace kestrom::web {

std::optional<Reply> Mailbox::call(Job job, std::chrono::milliseconds limit) {
    auto reply = std::make_shared<std::promise<Reply>>();
    std::future<Reply> answer = reply->get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || jobs_.size() >= MAX_WAITING) return std::nullopt;
        jobs_.push_back(Entry{std::move(job), reply});
    }
    ready_.notify_one();
    if (answer.wait_for(limit) != std::future_status::ready) return std::nullopt;
    try {
        return answer.get();
    } catch (const std::future_error &) {
        return std::nullopt; // dropped at close
    }
}

bool Mailbox::runNext(Clock::time_point until) {
    Entry entry;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_until(lock, until, [this] { return closed_ || !jobs_.empty(); })) return false;
        if (jobs_.empty()) return false;
        entry = std::move(jobs_.front());
        jobs_.pop_front();
    }
    entry.reply->set_value(entry.job());
    return true;
}

void Mailbox::close() {
    std::deque<Entry> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        dropped.swap(jobs_);
    }
    ready_.notify_all();
    // The promises go with the entries: their waiters see a broken promise.
}

}  // namespace kestrom::web
