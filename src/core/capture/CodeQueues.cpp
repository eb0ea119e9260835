#include "core/capture/CodeQueues.h"

namespace veltra {

void CodeQueues::Append(QueueId which, QueueEntry entry) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        Queue(which).push_back(std::move(entry));
    }
    changed_.notify_all();
}

std::optional<QueueEntry> CodeQueues::Front(QueueId which) const {
    std::lock_guard<std::mutex> lock(lock_);
    const auto& queue = Queue(which);
    if (queue.empty()) return std::nullopt;
    return queue.front();
}

void CodeQueues::PopFront(QueueId which) {
    std::lock_guard<std::mutex> lock(lock_);
    auto& queue = Queue(which);
    if (!queue.empty()) queue.pop_front();
}

size_t CodeQueues::Size(QueueId which) const {
    std::lock_guard<std::mutex> lock(lock_);
    return Queue(which).size();
}

void CodeQueues::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    keyboard_.clear();
    serial_.clear();
}

bool CodeQueues::WaitForEntry(const std::function<std::optional<QueueId>()>& which, const std::atomic<bool>& stop,
                              std::optional<std::chrono::milliseconds> timeout) const {
    std::unique_lock<std::mutex> lock(lock_);
    bool waiting = false;
    const auto ready = [&] {
        const std::optional<QueueId> id = which();
        waiting = id && !Queue(*id).empty();
        return waiting || stop.load();
    };
    if (timeout) changed_.wait_for(lock, *timeout, ready);
    else changed_.wait(lock, ready);
    return waiting;
}

bool CodeQueues::WaitForStop(const std::atomic<bool>& stop, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return stop.load(); });
}

void CodeQueues::WakeWaiters() const {
    { std::lock_guard<std::mutex> lock(lock_); }
    changed_.notify_all();
}

}  // namespace veltra
