#include "native/addin/NativeAddIn.h"

#include <new>

#include "core/common/Version.h"
#include "core/settings/Names.h"
#include "native/addin/NativeValues.h"

namespace veltra {

namespace {

// The edge of the Native API face for every call that is not a driver command
// (those go through GuardHostCall): whatever the work raises, out of memory as
// a rule, becomes the answer `failure`; no last error is stored.
template <class Answer, class Work>
Answer AtNativeEdge(Answer failure, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

// A name's number; -1 for an unknown name and a text that is not even readable.
int32_t FindOrNone(int32_t (*find)(const std::u16string&), const WCHAR_T* name) noexcept {
    if (!name) return -1;
    return AtNativeEdge(int32_t{-1}, [&] { return find(FromHostText(name)); });
}

std::basic_string<WCHAR_T> ToHostText(const std::u16string& text) {
    return std::basic_string<WCHAR_T>(text.begin(), text.end());
}

}  // namespace

NativeAddIn::NativeAddIn(Connection& connection) : driver_(connection, *this, &ParseNumberText) {}

NativeAddIn::~NativeAddIn() = default;

// ---- IInitDoneBase -----------------------------------------------------------

bool NativeAddIn::Init(void* connection) {
    if (!connection) return false;
    if (connection_) Done();  // a second Init starts from a clean object
    auto* host = static_cast<IAddInDefBase*>(connection);
    // Without an event queue deep enough no burst of codes could reach the
    // host whole: Init fails and keeps nothing, rather than run
    // half-initialised.
    if (!host->SetEventBufferDepth(kEventBufferDepth)) return false;
    connection_ = host;
    driver_.Start();
    return true;
}

bool NativeAddIn::setMemManager(void* memoryManager) {
    memory_ = static_cast<IMemoryManager*>(memoryManager);
    return memory_ != nullptr;
}

long NativeAddIn::GetInfo() { return std::stol(VELTRA_COMPONENT_VERSION_TEXT); }

void NativeAddIn::Done() {
    // The threads end before the connection object goes.
    driver_.End();
    connection_ = nullptr;
}

// ---- ILanguageExtenderBase: names ----------------------------------------------

const WCHAR_T* NativeAddIn::HandOverName(const char16_t* name) noexcept {
    if (!name) return nullptr;
    return AtNativeEdge<const WCHAR_T*>(nullptr, [&] { return HandOverText(memory_, name); });
}

bool NativeAddIn::RegisterExtensionAs(WCHAR_T** name) {
    if (!name) return false;
    *name = const_cast<WCHAR_T*>(HandOverName(kExtensionName));  // the block is the host's now
    return *name != nullptr;
}

long NativeAddIn::GetNProps() { return kPropCount; }

long NativeAddIn::FindProp(const WCHAR_T* name) { return FindOrNone(&FindPropNumber, name); }

const WCHAR_T* NativeAddIn::GetPropName(long number, long alias) {
    return HandOverName(PropName(static_cast<int32_t>(number), static_cast<int32_t>(alias)));
}

long NativeAddIn::GetNMethods() { return kMethodCount; }

long NativeAddIn::FindMethod(const WCHAR_T* name) { return FindOrNone(&FindMethodNumber, name); }

const WCHAR_T* NativeAddIn::GetMethodName(long number, long alias) {
    return HandOverName(MethodName(static_cast<int32_t>(number), static_cast<int32_t>(alias)));
}

long NativeAddIn::GetNParams(long method) {
    const int32_t params = MethodParamCount(static_cast<int32_t>(method));
    return params < 0 ? 0 : params;
}

bool NativeAddIn::GetParamDefValue(long, long, tVariant* value) {
    if (!value) return false;
    *value = tVariant{};
    return true;
}

bool NativeAddIn::HasRetVal(long) { return true; }

// ---- ILanguageExtenderBase: properties ---------------------------------------

bool NativeAddIn::IsPropReadable(long number) { return number >= 0 && number < kPropCount; }

bool NativeAddIn::IsPropWritable(long number) { return number >= 0 && number < kPropCount; }

bool NativeAddIn::GetPropVal(long number, tVariant* value) {
    if (!value || number < 0 || number >= kPropCount) return false;
    *value = tVariant{};
    GuardHostCall([&] { WriteValue(memory_, driver_.Property(static_cast<int32_t>(number)), *value); });
    return true;
}

bool NativeAddIn::SetPropVal(long number, tVariant* value) {
    if (!value) return false;
    bool known = number >= 0 && number < kPropCount;
    GuardHostCall([&] {
        const NativeInput input(*value);
        if (known) {
            driver_.SetProperty(static_cast<int32_t>(number), input);
        } else {
            // A value with no text form is reported even for an unknown number.
            known = !input.Text();
            ScannerDriver::CheckUnknownProperty(input);
        }
    });
    return known;
}

// ---- ILanguageExtenderBase: methods --------------------------------------------

bool NativeAddIn::CallAsProc(long, tVariant*, long) { return false; }

bool NativeAddIn::CallAsFunc(long method, tVariant* result, tVariant* params, long count) {
    if (!result) return false;
    *result = tVariant{};
    result->vt = VTYPE_I4;
    if (method < 0 || method >= kMethodCount) return false;
    GuardHostCall([&] {
        NativeParams array(params, count, memory_);
        const HostValue answer = driver_.RunCommand(static_cast<int32_t>(method), array);
        WriteValue(memory_, answer, *result);
    });
    return true;
}

// ---- LocaleBase, UserLanguageBase ----------------------------------------------

void NativeAddIn::SetLocale(const WCHAR_T* locale) {
    AtNativeEdge(false, [&] {  // out of memory: the language stays as it was
        SelectLanguage(FromHostText(locale));
        return true;
    });
}

// The COM face knows only the locale; so that both faces answer alike, the
// interface language chooses nothing.
void NativeAddIn::SetUserInterfaceLanguageCode(const WCHAR_T*) {}

// ---- Events ----------------------------------------------------------------------

bool NativeAddIn::Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) {
    IAddInDefBase* host = connection_;  // stays valid until the dispatch thread has ended
    if (!host) return false;
    std::basic_string<WCHAR_T> s = ToHostText(source), n = ToHostText(name), d = ToHostText(data);
    return host->ExternalEvent(&s[0], &n[0], &d[0]);
}

}  // namespace veltra
