// One worker thread owned by one object: started by its owner, asked to stop,
// joined, never detached. Plain standard C++.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace veltra {

class WorkerThread {
public:
    // What the body returns: the error text it ended with, or nothing when it
    // ended because a stop was requested.
    using Body = std::function<std::optional<std::u16string>()>;

    WorkerThread() = default;
    ~WorkerThread() { Stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs body on a new thread; does nothing while a thread is held (Stop
    // first). Throws std::system_error when no thread can be created. The
    // body should catch for itself; a throw still ends the thread, with an
    // empty error text, instead of ending the process.
    void Start(Body body);

    // Sets the stop request, calls wake (which must make a waiting body look
    // at the request again), and waits until the body has returned. Returns
    // at once when no thread is held. Must not run on the worker itself.
    void Stop(const std::function<void()>& wake = {});

    // The stop request the body tests; valid for the life of this object.
    const std::atomic<bool>& StopRequest() const noexcept { return stop_; }

    // Waits up to timeout for the body to return; true when it has.
    bool WaitFinished(std::chrono::milliseconds timeout);

    // The error text the last run ended with; empty while running and after
    // a normal end.
    std::optional<std::u16string> EndError();

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;  // guards finished_ and endError_
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    std::optional<std::u16string> endError_;
};

}  // namespace veltra
