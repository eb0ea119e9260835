// The host's connection object, as the platform hands it to a component in
// Init: it answers the host's interfaces and records what the component
// sends. Shared by the Wine tests, the test bench and the perf program.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "com/host/AddInLib.h"
#include "host/HostEvents.h"

namespace veltra::substitute {

// Answers IDispatch, IAsyncEvent, IErrorLog, IStatusLine and IExtWndsSupport;
// records buffer depths and accepted events (EventRecorder); can be told to
// refuse them. Safe to call from any thread. Lives on the stack or as a
// member: it counts references but never deletes itself, so it must outlive
// the component's hold on it (Done releases that).
class HostConnection final : public EventRecorder,
                             public IDispatch,
                             public IAsyncEvent,
                             public IErrorLog,
                             public IStatusLine,
                             public IExtWndsSupport {
public:
    HostConnection() = default;
    HostConnection(const HostConnection&) = delete;
    HostConnection& operator=(const HostConnection&) = delete;

    // Whether QueryInterface answers for IAsyncEvent (a host without events).
    void OfferAsyncEvent(bool offer) { offerAsyncEvent_ = offer; }
    // Every event is answered `result` until told S_OK again.
    void RefuseEvents(HRESULT result);
    void RefuseBufferDepth(HRESULT result);
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
    std::atomic<HRESULT> eventResult_{S_OK};
    std::atomic<HRESULT> depthResult_{S_OK};
    std::atomic<bool> offerAsyncEvent_{true};
    volatile LONG refs_ = 0;
};

}  // namespace veltra::substitute
