// The queues of received codes: the keyboard queue, filled by the keyboard
// hook, and the serial queue, filled by the serial reader; both emptied by the
// dispatch thread only. One lock guards both, and every append wakes a
// consumer that waits for work. Plain standard C++.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace veltra {

enum class QueueId { Keyboard, Serial };

class CodeQueues {
public:
    // Appends at the end and wakes the waiters. Throws std::bad_alloc only.
    void Append(QueueId which, std::u16string text);

    // A copy of the oldest entry, or nothing when the queue is empty.
    std::optional<std::u16string> Front(QueueId which) const;

    // Removes the oldest entry, if any. Only the one consumer removes, and
    // producers only append, so the entry that consumer last read with Front
    // is still the one removed here.
    void PopFront(QueueId which);

    size_t Size(QueueId which) const;

    // Empties both queues; only while no thread appends or consumes.
    void Clear();

    // Blocks until the queue that `which` names holds an entry, `stop` is set,
    // or `timeout` has passed (no timeout: wait as long as it takes). `which`
    // is asked anew at every wake-up, since the mode can change while waiting;
    // it runs under the queue lock, so it must be quick and take no lock.
    // When it names no queue, only `stop` ends the wait early. True when an
    // entry is waiting.
    bool WaitForEntry(const std::function<std::optional<QueueId>()>& which, const std::atomic<bool>& stop,
                      std::optional<std::chrono::milliseconds> timeout) const;

    // Blocks until `stop` is set or `timeout` has passed; appends do not end
    // this wait. True when stopped.
    bool WaitForStop(const std::atomic<bool>& stop, std::chrono::milliseconds timeout) const;

    // Makes every waiter test its condition again. Call it after setting a
    // stop flag or changing what `which` answers; taking the lock first means
    // a waiter that has just tested its condition cannot miss the wake-up.
    void WakeWaiters() const;

private:
    std::deque<std::u16string>& Queue(QueueId which) { return which == QueueId::Keyboard ? keyboard_ : serial_; }
    const std::deque<std::u16string>& Queue(QueueId which) const {
        return which == QueueId::Keyboard ? keyboard_ : serial_;
    }

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::deque<std::u16string> keyboard_;
    std::deque<std::u16string> serial_;
};

}  // namespace veltra
