// The host's connection object, as the platform hands it to a component in
// Init: it answers the host's interfaces and records what the component
// sends. Shared by the Wine tests, the test bench and the perf program.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "com/host/AddInLib.h"

namespace veltra::substitute {

struct HostEvent {
    std::u16string source;
    std::u16string name;
    std::u16string data;
    DWORD threadId;  // the thread that posted it
};

// Answers IDispatch, IAsyncEvent, IErrorLog, IStatusLine and IExtWndsSupport;
// records buffer depths and accepted events; can be told to refuse them.
// Safe to call from any thread. Lives on the stack or as a member: it counts
// references but never deletes itself, so it must outlive the component's
// hold on it (Done releases that).
class HostConnection final : public IDispatch,
                             public IAsyncEvent,
                             public IErrorLog,
                             public IStatusLine,
                             public IExtWndsSupport {
public:
    using Listener = std::function<void(const HostEvent&)>;

    HostConnection() = default;
    HostConnection(const HostConnection&) = delete;
    HostConnection& operator=(const HostConnection&) = delete;

    // Whether QueryInterface answers for IAsyncEvent (a host without events).
    void OfferAsyncEvent(bool offer) { offerAsyncEvent_ = offer; }
    void RefuseEvents(HRESULT result);  // S_OK accepts again
    void RefuseBufferDepth(HRESULT result);
    // Called with each event the host accepts, on the thread that posts it,
    // one event at a time and before waiters see it counted. It must not
    // call SetListener; an empty function ends the listening.
    void SetListener(Listener listener);

    std::vector<HostEvent> Events() const;
    size_t EventCount() const;
    std::vector<long> BufferDepths() const;
    size_t RefusedCount() const;
    // Waits until at least count events were accepted; false on time-out.
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) const;
    LONG References() const { return refs_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&refs_)); }

    // IDispatch: nothing to offer
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    // IAsyncEvent
    STDMETHODIMP SetEventBufferDepth(long depth) override;
    STDMETHODIMP UnusedSlot2() override { return E_NOTIMPL; }
    STDMETHODIMP ExternalEvent(BSTR source, BSTR message, BSTR data) override;
    STDMETHODIMP UnusedSlot4() override { return E_NOTIMPL; }
    // IErrorLog
    STDMETHODIMP AddError(LPCOLESTR, EXCEPINFO*) override { return S_OK; }
    // IStatusLine and IExtWndsSupport share the names of their unused slots.
    STDMETHODIMP UnusedSlot1() override { return E_NOTIMPL; }
    STDMETHODIMP UnusedSlot3() override { return E_NOTIMPL; }

private:
    mutable std::mutex lock_;  // the records below
    mutable std::condition_variable changed_;
    std::vector<HostEvent> events_;
    std::vector<long> depths_;
    HRESULT eventResult_ = S_OK;
    HRESULT depthResult_ = S_OK;
    size_t refused_ = 0;

    std::mutex listenerLock_;  // the listener, and one event at a time through it
    Listener listener_;

    std::atomic<bool> offerAsyncEvent_{true};
    volatile LONG refs_ = 0;
};

}  // namespace veltra::substitute
