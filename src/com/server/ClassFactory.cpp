#include "com/server/ClassFactory.h"

#include <new>

#include "com/addin/AddInObj.h"

namespace veltra {

namespace {

volatile LONG g_LockCount = 0;     // outstanding LockServer(TRUE) calls
volatile LONG g_FactoryCount = 0;  // references to the factory

class ClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the library; the count only tells
    // DllCanUnloadNow whether anyone still holds it.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&g_FactoryCount)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&g_FactoryCount)); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        AddInObject* object = new (std::nothrow) AddInObject(outer);
        if (!object) {
            ::MessageBoxW(nullptr, L"Out of memory.", L"DAX Error", MB_ICONSTOP | MB_OK | MB_SETFOREGROUND);
            return E_UNEXPECTED;
        }
        // The object starts with no reference: the query gives it its first,
        // and a failed query leaves none, so it goes at once.
        IUnknown* inner = object->InnerUnknown();
        inner->AddRef();
        const HRESULT hr = inner->QueryInterface(iid, out);
        inner->Release();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        const HRESULT hr = ::CoLockObjectExternal(this, lock, TRUE);
        if (lock) ::InterlockedIncrement(&g_LockCount);
        else ::InterlockedDecrement(&g_LockCount);
        return hr;
    }
};

ClassFactory g_Factory;

}  // namespace

IClassFactory& AddInClassFactory() noexcept { return g_Factory; }

bool ServerInUse() noexcept { return AddInObject::LiveObjects() != 0 || g_LockCount != 0 || g_FactoryCount != 0; }

}  // namespace veltra
