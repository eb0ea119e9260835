#include "host/HostEvents.h"

#include <utility>

namespace veltra::substitute {

void EventRecorder::RefuseEvents(size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    refuse_ = count;
}

void EventRecorder::SetListener(Listener listener) {
    std::lock_guard<std::mutex> guard(listenerLock_);
    listener_ = std::move(listener);
}

std::vector<HostEvent> EventRecorder::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

size_t EventRecorder::EventCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_.size();
}

size_t EventRecorder::RefusedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return refused_;
}

bool EventRecorder::WaitForEvents(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return events_.size() >= count; });
}

std::vector<long> EventRecorder::BufferDepths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return depths_;
}

void EventRecorder::RecordBufferDepth(long depth) {
    std::lock_guard<std::mutex> guard(lock_);
    depths_.push_back(depth);
}

bool EventRecorder::Offer(std::u16string source, std::u16string name, std::u16string data) {
    std::lock_guard<std::mutex> order(listenerLock_);
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (refuse_ > 0) {
            if (refuse_ != kAlways) --refuse_;
            ++refused_;
            return false;
        }
    }
    HostEvent event{std::move(source), std::move(name), std::move(data), std::this_thread::get_id()};
    if (listener_) listener_(event);
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(std::move(event));
    changed_.notify_all();
    return true;
}

}  // namespace veltra::substitute
