// One worker thread owned by one object: started by its owner, asked to stop,
// joined, never detached. Plain standard C++.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace veltra {

class WorkerThread {
public:
    using Body = std::function<void()>;

    WorkerThread() = default;
    ~WorkerThread() { Stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs body on a new thread; does nothing while a thread is held (Stop
    // first). Throws std::system_error when no thread can be created. The
    // body should catch for itself; a throw still ends only the thread, not
    // the process.
    void Start(Body body);

    // Sets the stop request, calls wake (which must make a waiting body look
    // at the request again), and waits until the body has returned. Returns
    // at once when no thread is held. Must not run on the worker itself.
    void Stop(const std::function<void()>& wake = {});

    // The stop request the body tests; valid for the life of this object.
    const std::atomic<bool>& StopRequest() const noexcept { return stop_; }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace veltra
