#include "host/HostConnection.h"

#include <new>
#include <utility>

#include "com/addin/ComOwners.h"

namespace veltra::substitute {

STDMETHODIMP HostConnection::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, IID_IAsyncEvent) && offerAsyncEvent_) *out = static_cast<IAsyncEvent*>(this);
    else if (IsEqualIID(iid, IID_IErrorLog)) *out = static_cast<IErrorLog*>(this);
    else if (IsEqualIID(iid, IID_IStatusLine)) *out = static_cast<IStatusLine*>(this);
    else if (IsEqualIID(iid, IID_IExtWndsSupport)) *out = static_cast<IExtWndsSupport*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

void HostConnection::RefuseEvents(HRESULT result) {
    std::lock_guard<std::mutex> guard(lock_);
    eventResult_ = result;
}

void HostConnection::RefuseBufferDepth(HRESULT result) {
    std::lock_guard<std::mutex> guard(lock_);
    depthResult_ = result;
}

void HostConnection::SetListener(Listener listener) {
    std::lock_guard<std::mutex> guard(listenerLock_);
    listener_ = std::move(listener);
}

std::vector<HostEvent> HostConnection::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

size_t HostConnection::EventCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_.size();
}

std::vector<long> HostConnection::BufferDepths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return depths_;
}

size_t HostConnection::RefusedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return refused_;
}

bool HostConnection::WaitForEvents(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return events_.size() >= count; });
}

// The component calls in here: nothing may escape as an exception.

STDMETHODIMP HostConnection::SetEventBufferDepth(long depth) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        depths_.push_back(depth);
        return depthResult_;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP HostConnection::ExternalEvent(BSTR source, BSTR message, BSTR data) {
    try {
        std::lock_guard<std::mutex> order(listenerLock_);
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (FAILED(eventResult_)) {
                ++refused_;
                return eventResult_;
            }
        }
        HostEvent event{FromBstr(source), FromBstr(message), FromBstr(data), ::GetCurrentThreadId()};
        if (listener_) listener_(event);
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(std::move(event));
        changed_.notify_all();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace veltra::substitute
