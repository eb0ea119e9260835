#include "native_host/Connection.h"

#include <utility>

#include "native_host/Values.h"

namespace veltra::substitute::native {

void Connection::RefuseEvents(size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    refuseEvents_ = count;
}

void Connection::RefuseBufferDepth(bool refuse) {
    std::lock_guard<std::mutex> guard(lock_);
    refuseDepth_ = refuse;
}

void Connection::SetListener(Listener listener) {
    std::lock_guard<std::mutex> guard(listenerLock_);
    listener_ = std::move(listener);
}

std::vector<HostEvent> Connection::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

size_t Connection::EventCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_.size();
}

size_t Connection::RefusedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return refused_;
}

bool Connection::WaitForEvents(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return events_.size() >= count; });
}

std::vector<AddedError> Connection::Errors() const {
    std::lock_guard<std::mutex> guard(lock_);
    return errors_;
}

bool Connection::WaitForErrors(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return errors_.size() >= count; });
}

std::vector<long> Connection::BufferDepths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return depths_;
}

size_t Connection::CleanCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return cleans_;
}

std::u16string Connection::StatusLine() const {
    std::lock_guard<std::mutex> guard(lock_);
    return statusLine_;
}

size_t Connection::LateCalls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lateCalls_;
}

void Connection::Attach() {
    std::lock_guard<std::mutex> guard(lock_);
    attached_ = true;
}

void Connection::Detach() {
    std::lock_guard<std::mutex> guard(lock_);
    attached_ = false;
}

bool Connection::Attached() {
    if (!attached_) ++lateCalls_;
    return attached_;
}

// The component calls in here, from any of its threads: nothing may escape
// as an exception.

bool Connection::AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description, long scode) {
    try {
        AddedError error{code, FromNative(source), FromNative(description), scode};
        std::lock_guard<std::mutex> guard(lock_);
        if (!Attached()) return false;
        errors_.push_back(std::move(error));
        changed_.notify_all();
        return true;
    } catch (...) {
        return false;
    }
}

bool Connection::Read(WCHAR_T*, tVariant*, long* error, WCHAR_T** errorDescription) {
    std::lock_guard<std::mutex> guard(lock_);
    if (error) *error = 0;
    if (errorDescription) *errorDescription = nullptr;
    Attached();
    return false;
}

bool Connection::Write(WCHAR_T*, tVariant*) {
    std::lock_guard<std::mutex> guard(lock_);
    return Attached();
}

bool Connection::RegisterProfileAs(WCHAR_T*) {
    std::lock_guard<std::mutex> guard(lock_);
    return Attached();
}

bool Connection::SetEventBufferDepth(long depth) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        if (!Attached()) return false;
        depths_.push_back(depth);
        if (refuseDepth_ || depth < 1) return false;
        depth_ = depth;
        return true;
    } catch (...) {
        return false;
    }
}

long Connection::GetEventBufferDepth() {
    std::lock_guard<std::mutex> guard(lock_);
    Attached();
    return depth_;
}

bool Connection::ExternalEvent(WCHAR_T* source, WCHAR_T* message, WCHAR_T* data) {
    try {
        std::lock_guard<std::mutex> order(listenerLock_);
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!Attached()) return false;
            if (refuseEvents_ > 0) {
                if (refuseEvents_ != kAlways) --refuseEvents_;
                ++refused_;
                return false;
            }
        }
        HostEvent event{FromNative(source), FromNative(message), FromNative(data), std::this_thread::get_id()};
        if (listener_) listener_(event);
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(std::move(event));
        changed_.notify_all();
        return true;
    } catch (...) {
        return false;
    }
}

void Connection::CleanEventBuffer() {
    std::lock_guard<std::mutex> guard(lock_);
    if (Attached()) ++cleans_;
}

bool Connection::SetStatusLine(WCHAR_T* text) {
    try {
        std::u16string line = FromNative(text);
        std::lock_guard<std::mutex> guard(lock_);
        if (!Attached()) return false;
        statusLine_ = std::move(line);
        return true;
    } catch (...) {
        return false;
    }
}

void Connection::ResetStatusLine() {
    std::lock_guard<std::mutex> guard(lock_);
    if (Attached()) statusLine_.clear();
}

}  // namespace veltra::substitute::native
