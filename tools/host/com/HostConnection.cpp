#include "host/com/HostConnection.h"

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
    eventResult_ = result;
    EventRecorder::RefuseEvents(FAILED(result) ? kAlways : 0);
}

void HostConnection::RefuseBufferDepth(HRESULT result) { depthResult_ = result; }

// The component calls in here: nothing may escape as an exception.

STDMETHODIMP HostConnection::SetEventBufferDepth(long depth) {
    try {
        RecordBufferDepth(depth);
        return depthResult_;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP HostConnection::ExternalEvent(BSTR source, BSTR message, BSTR data) {
    try {
        if (Offer(FromBstr(source), FromBstr(message), FromBstr(data))) return S_OK;
        // Refused; the result may have been set back to S_OK meanwhile.
        const HRESULT refusal = eventResult_;
        return FAILED(refusal) ? refusal : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace veltra::substitute
