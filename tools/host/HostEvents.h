// The events a component posts to a substitute host, whichever face they come
// through: one event type, and one recorder that both hosts' connection
// objects are. Plain standard C++, in every tree.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltra::substitute {

struct HostEvent {
    std::u16string source;
    std::u16string name;
    std::u16string data;
    std::thread::id thread;  // the thread that posted it
};

// Records the buffer depths a component asks for and the events it posts; can
// be told to refuse events. Safe to call from any thread: a component posts
// from threads of its own.
class EventRecorder {
public:
    using Listener = std::function<void(const HostEvent&)>;
    static constexpr size_t kAlways = std::numeric_limits<size_t>::max();

    EventRecorder() = default;
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    // The next `count` events are refused and not recorded; kAlways refuses
    // until RefuseEvents(0).
    void RefuseEvents(size_t count);
    // Called with each event the host accepts, on the thread that posts it,
    // one event at a time and before waiters see it counted. It must not
    // call SetListener; an empty function ends the listening.
    void SetListener(Listener listener);

    std::vector<HostEvent> Events() const;
    size_t EventCount() const;
    size_t RefusedCount() const;
    // Waits until at least count events were accepted; false on time-out.
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) const;
    // Every depth asked for, refused ones too.
    std::vector<long> BufferDepths() const;

protected:
    // For the connection objects: a depth the component asked for.
    void RecordBufferDepth(long depth);
    // An event the component posts, posted by the calling thread: false when
    // refused (counted, not recorded); else handed to the listener, recorded,
    // and the waiters woken. Throws what the listener throws, and
    // std::bad_alloc.
    bool Offer(std::u16string source, std::u16string name, std::u16string data);

private:
    mutable std::mutex lock_;  // the records below
    mutable std::condition_variable changed_;
    std::vector<HostEvent> events_;
    std::vector<long> depths_;
    size_t refuse_ = 0;
    size_t refused_ = 0;

    std::mutex listenerLock_;  // the listener, and one event at a time through it
    Listener listener_;
};

}  // namespace veltra::substitute
