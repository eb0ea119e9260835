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

// One entry of a code queue: a code as received, or what the serial reader
// met instead of one. The kind travels beside the text, so no code can be
// mistaken for an entry of another kind whatever it reads.
struct QueueEntry {
    enum class Kind {
        Code,        // a code, its text as received
        Unreadable,  // a serial burst that held a byte no key of the layout makes
        LineLost,    // a read failed: the serial port or the Linux input device went away
    };
    Kind kind = Kind::Code;
    std::u16string text;  // the code's text; empty for the other kinds

    static QueueEntry Code(std::u16string text) { return {Kind::Code, std::move(text)}; }
    static QueueEntry Unreadable() { return {Kind::Unreadable, {}}; }
    static QueueEntry LineLost() { return {Kind::LineLost, {}}; }

    friend bool operator==(const QueueEntry& a, const QueueEntry& b) { return a.kind == b.kind && a.text == b.text; }
    friend bool operator!=(const QueueEntry& a, const QueueEntry& b) { return !(a == b); }
};

class CodeQueues {
public:
    // Appends at the end and wakes the waiters. Throws std::bad_alloc only.
    void Append(QueueId which, QueueEntry entry);

    // A copy of the oldest entry, or nothing when the queue is empty.
    std::optional<QueueEntry> Front(QueueId which) const;

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
    std::deque<QueueEntry>& Queue(QueueId which) { return which == QueueId::Keyboard ? keyboard_ : serial_; }
    const std::deque<QueueEntry>& Queue(QueueId which) const {
        return which == QueueId::Keyboard ? keyboard_ : serial_;
    }

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::deque<QueueEntry> keyboard_;
    std::deque<QueueEntry> serial_;
};

}  // namespace veltra
