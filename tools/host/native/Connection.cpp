#include "host/native/Connection.h"

#include <utility>

#include "host/native/Values.h"

namespace veltra::substitute::native {

void Connection::RefuseBufferDepth(bool refuse) {
    std::lock_guard<std::mutex> guard(lock_);
    refuseDepth_ = refuse;
}

std::vector<AddedError> Connection::Errors() const {
    std::lock_guard<std::mutex> guard(lock_);
    return errors_;
}

bool Connection::WaitForErrors(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return errors_.size() >= count; });
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
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!Attached()) return false;
        }
        RecordBufferDepth(depth);
        std::lock_guard<std::mutex> guard(lock_);
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
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!Attached()) return false;
        }
        return Offer(FromNative(source), FromNative(message), FromNative(data));
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
