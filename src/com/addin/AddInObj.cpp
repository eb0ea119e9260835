#include "com/addin/AddInObj.h"

#include <atomic>
#include <new>

#include "com/addin/ComErrors.h"
#include "com/addin/Variants.h"
#include "core/capture/ProcessConnection.h"
#include "core/common/Messages.h"
#include "core/common/Text.h"
#include "core/common/Version.h"
#include "core/settings/Names.h"
#include "core/settings/Settings.h"
#include "core/settings/SettingsDocument.h"

namespace veltra {

namespace {

const char16_t kExtensionName[] = u"VeltraScanner";
const char16_t kComponentVersion[] = u"" VELTRA_COMPONENT_VERSION_TEXT;
const char16_t kDriverVersion[] = u"" VELTRA_VERSION_TEXT;
const char16_t kDeviceTestPassed[] = u"Тест Успешно выполнен!";
const char16_t kEquipmentType[] = u"СканерШтрихкода";
const char16_t kWebAddress[] = u"https://veltra.example/scanners";
const long kEventBufferDepth = 300;

std::atomic<long> g_LiveObjects{0};

// Text of the last error as the GetLastError command hands it over.
std::u16string g_ErrorDescription;

void StoreLastError(const std::u16string& message) noexcept {
    try {
        g_LastError = message;
    } catch (...) {
        g_LastError.assign(2, u'?');  // fits the small-string buffer; reads as an error of no known class
    }
}

// The one frame around work that may raise: the error becomes the last error
// and the host call still succeeds.
template <class Work>
HRESULT GuardHostCall(Work&& work) noexcept {
    try {
        work();
    } catch (const DriverError& e) {
        StoreLastError(e.message());
    } catch (const std::bad_alloc&) {
        StoreLastError(u"Out of memory");
    } catch (...) {
        StoreLastError(u"Unexpected failure");
    }
    return S_OK;
}

// Hands a new text to a BSTR out-slot. The host's previous text in the slot
// is released first; the slot is null if no text is given or allocation fails.
HRESULT ReturnText(const char16_t* text, BSTR* out) noexcept {
    ::SysFreeString(*out);
    *out = nullptr;
    if (!text) return S_FALSE;
    try {
        *out = MakeBstr(text).release();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ReturnNumber(int32_t number, long* out) noexcept {
    *out = -1;
    if (number < 0) return S_FALSE;
    *out = number;
    return S_OK;
}

}  // namespace

AddInObject::AddInObject(IUnknown* outer) : controlling_(outer ? outer : &inner_) { ++g_LiveObjects; }

AddInObject::~AddInObject() {
    // A host that releases the object without Done must not leave a thread
    // posting through an event sink that is about to be released, nor a hook
    // calling into a library that may be unloaded.
    ProcessConnection().Stop(this);
    --g_LiveObjects;
}

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
    // Another object's connection keeps using the port and the queues.
    mayUsePort_ = ProcessConnection().Attach(this);
    g_LangEnglish = false;
    StoreLastError(u" ");
    return S_OK;
}

STDMETHODIMP AddInObject::Done() {
    // The threads end before the event sink goes.
    ProcessConnection().Detach(this);
    mayUsePort_ = false;
    connection_.reset();
    errorLog_.reset();
    events_.reset();
    statusLine_.reset();
    windows_.reset();
    return S_OK;
}

STDMETHODIMP AddInObject::GetInfo(SAFEARRAY** info) {
    if (!info) return E_POINTER;
    try {
        ParamArray(*info).WriteText(0, kComponentVersion);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// ---- ILocale ---------------------------------------------------------------

STDMETHODIMP AddInObject::SetLocale(BSTR locale) {
    try {
        SelectLanguage(FromBstr(locale));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
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
    try {
        return ReturnNumber(FindPropNumber(FromBstr(name)), number);
    } catch (...) {
        *number = -1;
        return E_OUTOFMEMORY;
    }
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
    try {
        return ReturnNumber(FindMethodNumber(FromBstr(name)), number);
    } catch (...) {
        *number = -1;
        return E_OUTOFMEMORY;
    }
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
    return GuardHostCall([&] {
        Variant result;
        switch (number) {
        case propComPortNumber: result.set_text(written_.port); break;
        case propSpeed: result.set_text(written_.speed); break;
        case propDataBit: result.set_text(written_.dataBits); break;
        case propStopBits: result.set_text(written_.stopBits); break;
        case propParity: result.set_bool(written_.parity); break;
        case propTimeOut: result.set_i4(written_.timeLimit); break;
        case propPrefix: result.set_text(written_.prefix); break;
        case propSuffix: result.set_text(written_.suffix); break;
        }
        result.release_to(value);
    });
}

void AddInObject::SetProperty(long number, VARIANT& value) {
    std::u16string text;
    try {
        text = VariantToText(value);
    } catch (const DriverError&) {
        Raise(Msg::PropInvalidType);
    }
    // The text fields record what the host wrote, even a value the setter then rejects.
    std::u16string* field = nullptr;
    switch (number) {
    case propComPortNumber: field = &written_.port; break;
    case propSpeed: field = &written_.speed; break;
    case propDataBit: field = &written_.dataBits; break;
    case propStopBits: field = &written_.stopBits; break;
    case propPrefix: field = &written_.prefix; break;
    case propSuffix: field = &written_.suffix; break;
    case propParity: written_.parity = SetParity(g_Settings, text); return;
    case propTimeOut: {
        const std::optional<int32_t> converted = VariantToI4(value);
        SetTimeOut(g_Settings, converted);
        written_.timeLimit = *converted;
        return;
    }
    }
    *field = text;
    StoreSetting(number, *field);
}

void AddInObject::StoreSetting(int32_t number, const std::u16string& text) {
    ApplyTextSetting(g_Settings, number, text, &TextToI4);
    if (number == propComPortNumber) ProcessConnection().PortSettingChanged();
}

STDMETHODIMP AddInObject::SetPropVal(long number, VARIANT* value) {
    if (!value) return E_POINTER;
    bool known = number >= 0 && number < kPropCount;
    const HRESULT hr = GuardHostCall([&] {
        if (known) {
            SetProperty(number, *value);
        } else {
            // A value with no text form is reported even for an unknown number.
            try {
                VariantToText(*value);
            } catch (const DriverError&) {
                known = true;
                Raise(Msg::PropInvalidType);
            }
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
    return GuardHostCall([&] { RunCommand(method, *result, *params); });
}

void AddInObject::RunCommand(long method, VARIANT& result, SAFEARRAY* array) {
    const ParamArray params(array);
    const bool english = g_LangEnglish;
    Variant answer;
    switch (method) {
    case methGetVersion: answer.set_text(kDriverVersion); break;
    case methGetDescription: {
        Variant v;
        v.set_text(english ? u"Veltra Scanner" : u"Вельтра Сканер Штрихкода");
        params.Write(0, v);
        v.set_text(english ? u"Driver connects barcode scanner lineup Veltra."
                           : u"Драйвер осуществляет подключение сканеров штрихкода модельного ряда Veltra.");
        params.Write(1, v);
        v.set_text(kEquipmentType);
        params.Write(2, v);
        v.set_i4(1002);
        params.Write(3, v);
        v.set_bool(true);
        params.Write(4, v);
        params.Write(5, v);
        v.set_text(kWebAddress);
        params.Write(6, v);
        answer.set_i4(1);
        break;
    }
    case methGetLastError: {
        const DecodedError decoded = DecodeLastError();
        g_ErrorDescription = decoded.description;
        answer.set_i4(decoded.code);
        params.WriteText(0, g_ErrorDescription);
        break;
    }
    case methGetParameters:
        params.WriteText(0, SettingsDocument(english));
        answer.set_i4(1);
        break;
    case methSetParameter: {
        const std::u16string name = params.ReadText(0);
        const std::u16string value = params.ReadText(1);
        const int32_t number = FindPropNumber(name);
        if (number < 0) Raise(Msg::NoSuchParameter);
        StoreSetting(number, value);
        answer.set_i4(1);
        break;
    }
    case methOpen: {
        const int opened = Open();
        if (opened == 1) params.WriteText(0, DecimalText(ProcessConnection().DeviceId()));
        answer.set_i4(opened == 1 ? 1 : 0);
        break;
    }
    case methClose: {
        std::optional<int32_t> id;
        try {
            id = ParseDecimalI32(params.ReadText(0));
        } catch (const DriverError&) {
        }
        if (!id) Raise(Msg::CloseInvalidDeviceId);
        if (*id != ProcessConnection().DeviceId()) Raise(Msg::CloseNoSuchDevice);
        answer.set_i4(Close());
        break;
    }
    case methDeviceTest: {
        const bool passed = Open() == 1 && Close() == 1;
        if (passed) {
            params.WriteText(0, kDeviceTestPassed);
            params.WriteText(1, u"");
        }
        answer.set_i4(passed ? 1 : 0);
        break;
    }
    case methGetAdditionalActions:
        params.WriteText(0, u"");
        answer.set_i4(0);
        break;
    case methDoAdditionalAction: Raise(Msg::NoAdditionalActions);
    }
    ::VariantClear(&result);
    answer.release_to(&result);
}

// ---- The connection ----------------------------------------------------------

int AddInObject::Open() {
    ProcessConnection().Open(this, *this, mayUsePort_);
    return 1;
}

int AddInObject::Close() { return ProcessConnection().Close(this); }

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

STDMETHODIMP AddInObject::InterfaceSupportsErrorInfo(REFIID iid) {
    for (const IID* known :
         {&IID_IUnknown, &IID_ILocale, &IID_ILanguageExtender, &IID_IInitDone, &IID_IDispatch, &IID_ISupportErrorInfo})
        if (IsEqualIID(iid, *known)) return S_OK;
    return S_FALSE;
}

}  // namespace veltra
