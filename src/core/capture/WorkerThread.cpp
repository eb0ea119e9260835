#include "core/capture/WorkerThread.h"

namespace veltra {

void WorkerThread::Start(Body body) {
    if (thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = false;
        endError_.reset();
    }
    stop_ = false;
    thread_ = std::thread([this, body = std::move(body)] {
        std::optional<std::u16string> error;
        try {
            error = body();
        } catch (...) {
            error = std::u16string();  // ended by a failure that left no text
        }
        std::lock_guard<std::mutex> lock(mutex_);
        endError_ = std::move(error);
        finished_ = true;
        finishedChanged_.notify_all();
    });
}

void WorkerThread::Stop(const std::function<void()>& wake) {
    if (!thread_.joinable()) return;
    stop_ = true;
    if (wake) wake();
    thread_.join();
}

bool WorkerThread::WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
}

std::optional<std::u16string> WorkerThread::EndError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return endError_;
}

}  // namespace veltra
