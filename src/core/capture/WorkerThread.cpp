#include "core/capture/WorkerThread.h"

namespace veltra {

void WorkerThread::Start(Body body) {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // the thread ends; the process goes on
        }
    });
}

void WorkerThread::Stop(const std::function<void()>& wake) {
    if (!thread_.joinable()) return;
    stop_ = true;
    if (wake) wake();
    thread_.join();
}

}  // namespace veltra
