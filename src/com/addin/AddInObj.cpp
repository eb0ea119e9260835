#include "com/addin/AddInObj.h"

#include <atomic>
#include <utility>

#include "com/addin/ComErrors.h"
#include "com/addin/Variants.h"
#include "core/capture/ProcessConnection.h"
#include "core/common/Version.h"
#include "core/settings/Names.h"

namespace veltra {

namespace {

const char16_t kComponentVersion[] = u"" VELTRA_COMPONENT_VERSION_TEXT;

std::atomic<long> g_LiveObjects{0};

// Host calls answer S_OK whatever the guarded work raised: the host learns
// of an error through the command's result and the GetLastError command.
template <class Work>
HRESULT Guarded(Work&& work) noexcept {
    GuardHostCall(std::forward<Work>(work));
    return S_OK;
}

// Hands a new text to a BSTR out-slot. The host's previous text in the slot
// is released first; the slot is null if no text is given or allocation fails.
HRESULT ReturnText(const char16_t* text, BSTR* out) noexcept {
    ::SysFreeString(*out);
    *out = nullptr;
    if (!text) return S_FALSE;
    return AtComEdge(E_OUTOFMEMORY, [&] {
        *out = MakeBstr(text).release();
        return S_OK;
    });
}

HRESULT ReturnNumber(int32_t number, long* out) noexcept {
    *out = -1;
    if (number < 0) return S_FALSE;
    *out = number;
    return S_OK;
}

}  // namespace

AddInObject::AddInObject(IUnknown* outer)
    : controlling_(outer ? outer : &inner_), driver_(ProcessConnection(), *this, &TextToI4) {
    ++g_LiveObjects;
}

// The driver stops a connection still held (a host that released the object
// without Done) before the event sink goes: no thread posts through a
// released sink, no hook calls into a library that may be unloaded.
AddInObject::~AddInObject() { --g_LiveObjects; }

long AddInObject::LiveObjects() noexcept { return g_LiveObjects.load(); }

// ---- IUnknown ------------------------------------------------------------

STDMETHODIMP AddInObject::Inner::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) *out = static_cast<IUnknown*>(this);
    else if (IsEqualIID(iid, IID_ILocale)) *out = static_cast<ILocale*>(&owner_);
    else if (IsEqualIID(iid, IID_ILanguageExtender)) *out = static_cast<ILanguageExtender*>(&owner_);
    else if (IsEqualIID(iid, IID_IInitDone)) *out = static_cast<IInitDone*>(&owner_);
    else if (IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(&owner_);
    else if (IsEqualIID(iid, IID_ISupportErrorInfo)) *out = static_cast<ISupportErrorInfo*>(&owner_);
    else return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) AddInObject::Inner::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&owner_.refs_)); }

STDMETHODIMP_(ULONG) AddInObject::Inner::Release() {
    const LONG refs = ::InterlockedDecrement(&owner_.refs_);
    if (refs == 0) delete &owner_;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP AddInObject::QueryInterface(REFIID iid, void** out) { return controlling_->QueryInterface(iid, out); }
STDMETHODIMP_(ULONG) AddInObject::AddRef() { return controlling_->AddRef(); }
STDMETHODIMP_(ULONG) AddInObject::Release() { return controlling_->Release(); }

// ---- IInitDone -----------------------------------------------------------

STDMETHODIMP AddInObject::Init(IDispatch* connection) {
    if (!connection) return E_POINTER;
    if (connection_) Done();  // a second Init starts from a clean object
    connection->AddRef();
    *connection_.put() = connection;
    connection->QueryInterface(IID_IErrorLog, errorLog_.put_void());
    connection->QueryInterface(IID_IAsyncEvent, events_.put_void());
    const HRESULT hr = events_ ? events_->SetEventBufferDepth(kEventBufferDepth) : E_NOINTERFACE;
    connection->QueryInterface(IID_IStatusLine, statusLine_.put_void());
    connection->QueryInterface(IID_IExtWndsSupport, windows_.put_void());
    if (FAILED(hr)) {
        // Without an event sink that takes the buffer depth no code could
        // reach the host: Init fails with the host's own result and keeps
        // nothing, rather than run half-initialised.
        Done();
        return hr;
    }
    driver_.Start();
    return S_OK;
}

STDMETHODIMP AddInObject::Done() {
    // The threads end before the event sink goes.
    driver_.End();
    connection_.reset();
    errorLog_.reset();
    events_.reset();
    statusLine_.reset();
    windows_.reset();
    return S_OK;
}

STDMETHODIMP AddInObject::GetInfo(SAFEARRAY** info) {
    if (!info) return E_POINTER;
    return AtComEdge(E_OUTOFMEMORY, [&] {
        ParamArray(*info).WriteText(0, kComponentVersion);
        return S_OK;
    });
}

// ---- ILocale ---------------------------------------------------------------

STDMETHODIMP AddInObject::SetLocale(BSTR locale) {
    return AtComEdge(E_OUTOFMEMORY, [&] {
        SelectLanguage(FromBstr(locale));
        return S_OK;
    });
}

// ---- ILanguageExtender: names ----------------------------------------------

STDMETHODIMP AddInObject::RegisterExtensionAs(BSTR* name) {
    if (!name) return E_POINTER;
    return ReturnText(kExtensionName, name);
}

STDMETHODIMP AddInObject::GetNProps(long* count) {
    if (!count) return E_POINTER;
    *count = kPropCount;
    return S_OK;
}

STDMETHODIMP AddInObject::FindProp(BSTR name, long* number) {
    if (!number) return E_POINTER;
    *number = -1;
    return AtComEdge(E_OUTOFMEMORY, [&] { return ReturnNumber(FindPropNumber(FromBstr(name)), number); });
}

STDMETHODIMP AddInObject::GetPropName(long number, long alias, BSTR* name) {
    if (!name) return E_POINTER;
    return ReturnText(PropName(number, alias), name);
}

STDMETHODIMP AddInObject::GetNMethods(long* count) {
    if (!count) return E_POINTER;
    *count = kMethodCount;
    return S_OK;
}

STDMETHODIMP AddInObject::FindMethod(BSTR name, long* number) {
    if (!number) return E_POINTER;
    *number = -1;
    return AtComEdge(E_OUTOFMEMORY, [&] { return ReturnNumber(FindMethodNumber(FromBstr(name)), number); });
}

STDMETHODIMP AddInObject::GetMethodName(long number, long alias, BSTR* name) {
    if (!name) return E_POINTER;
    return ReturnText(MethodName(number, alias), name);
}

STDMETHODIMP AddInObject::GetNParams(long method, long* count) {
    if (!count) return E_POINTER;
    *count = 0;
    const int32_t params = MethodParamCount(method);
    if (params < 0) return S_FALSE;
    *count = params;
    return S_OK;
}

STDMETHODIMP AddInObject::GetParamDefValue(long, long, VARIANT* value) {
    if (!value) return E_POINTER;
    ::VariantClear(value);
    return S_OK;
}

STDMETHODIMP AddInObject::HasRetVal(long, BOOL* hasValue) {
    if (!hasValue) return E_POINTER;
    *hasValue = TRUE;
    return S_OK;
}

// ---- ILanguageExtender: properties -----------------------------------------

STDMETHODIMP AddInObject::IsPropReadable(long number, BOOL* readable) {
    if (!readable) return E_POINTER;
    if (number < 0 || number >= kPropCount) return S_FALSE;
    *readable = TRUE;
    return S_OK;
}

STDMETHODIMP AddInObject::IsPropWritable(long number, BOOL* writable) {
    if (!writable) return E_POINTER;
    if (number < 0 || number >= kPropCount) return S_FALSE;
    *writable = TRUE;
    return S_OK;
}

STDMETHODIMP AddInObject::GetPropVal(long number, VARIANT* value) {
    if (!value) return E_POINTER;
    ::VariantClear(value);
    if (number < 0 || number >= kPropCount) return S_FALSE;
    return Guarded([&] { ToVariant(driver_.Property(number)).release_to(value); });
}

STDMETHODIMP AddInObject::SetPropVal(long number, VARIANT* value) {
    if (!value) return E_POINTER;
    bool known = number >= 0 && number < kPropCount;
    const HRESULT hr = Guarded([&] {
        const VariantInput input(*value);
        if (known) {
            driver_.SetProperty(number, input);
        } else {
            // A value with no text form is reported even for an unknown number.
            known = !input.Text();
            ScannerDriver::CheckUnknownProperty(input);
        }
    });
    return known ? hr : S_FALSE;
}

// ---- ILanguageExtender: methods --------------------------------------------

STDMETHODIMP AddInObject::CallAsProc(long, SAFEARRAY**) { return S_FALSE; }

STDMETHODIMP AddInObject::CallAsFunc(long method, VARIANT* result, SAFEARRAY** params) {
    if (!result || !params) return E_POINTER;
    ::VariantClear(result);
    V_VT(result) = VT_I4;
    V_I4(result) = 0;
    if (method < 0 || method >= kMethodCount) return S_FALSE;
    return Guarded([&] {
        ParamArray array(*params);
        Variant answer = ToVariant(driver_.RunCommand(method, array));
        ::VariantClear(result);
        answer.release_to(result);
    });
}

// ---- Events ------------------------------------------------------------------

bool AddInObject::Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) {
    IAsyncEvent* sink = events_.get();  // stays valid until the dispatch thread has ended
    if (!sink) return false;
    UniqueBstr s = MakeBstr(source), n = MakeBstr(name), d = MakeBstr(data);
    CheckHostCall(sink->ExternalEvent(s.get(), n.get(), d.get()));  // a refusal raises; the entry is offered again
    return true;
}

// ---- IDispatch -------------------------------------------------------------

STDMETHODIMP AddInObject::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP AddInObject::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP AddInObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP AddInObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

// ---- ISupportErrorInfo -----------------------------------------------------

// The platform's add-in contract has the object answer S_OK for each of its
// own interfaces, and a host may rely on the answer; no call of the object
// places an error object on the thread. Every failure it returns is of the
// call itself (a null pointer, memory, IDispatch refused), or, from Init, the
// host's own SetEventBufferDepth result with the host's own error object.
// Driver errors never become failure results: they answer S_OK and go to
// GetLastError.

STDMETHODIMP AddInObject::InterfaceSupportsErrorInfo(REFIID iid) {
    for (const IID* known :
         {&IID_IUnknown, &IID_ILocale, &IID_ILanguageExtender, &IID_IInitDone, &IID_IDispatch, &IID_ISupportErrorInfo})
        if (IsEqualIID(iid, *known)) return S_OK;
    return S_FALSE;
}

}  // namespace veltra
