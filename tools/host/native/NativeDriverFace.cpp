#include "host/native/NativeDriverFace.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#endif

#include <memory>

#include "core/common/Text.h"
#include "host/native/Values.h"

namespace veltra::substitute::native {
namespace {

Got FromValue(uint16_t type, const std::u16string& text) {
    switch (type) {
    case VTYPE_EMPTY: return {Got::Kind::Empty, u""};
    case VTYPE_PWSTR: return {Got::Kind::Text, text};
    case VTYPE_I4: return {Got::Kind::Integer, text};
    case VTYPE_BOOL: return {Got::Kind::Boolean, text};
    default: return {Got::Kind::Other, text};
    }
}

// A value as the host makes it; a text lives in the host's own string.
struct Held {
    tVariant value = EmptyValue();
    std::shared_ptr<NativeString> text;
};

Held Make(const Sent& s) {
    Held h;
    switch (s.kind) {
    case Sent::Kind::Empty: break;
    case Sent::Kind::Null: h.value.vt = VTYPE_NULL; break;
    case Sent::Kind::Text:
        h.text = std::make_shared<NativeString>(ToNative(s.text));
        h.value = TextValue(*h.text);
        break;
    case Sent::Kind::Integer: h.value = I4Value(s.integer); break;
    case Sent::Kind::Boolean: h.value = BoolValue(s.boolean); break;
    case Sent::Kind::Real: h.value = R8Value(s.real); break;
    case Sent::Kind::NoTextForm: h.value.vt = VTYPE_BLOB; break;
    }
    return h;
}

}  // namespace

NativeDriverFace::NativeDriverFace(const std::string& path, const std::u16string& className)
    : path_(path), className_(className) {
    if (!library_.Load(path)) return;
    if (className_.empty()) {
        const std::vector<std::u16string> names = library_.ClassNames();
        if (names.empty()) {
            creation_ = Step::NoObject;
            return;
        }
        className_ = names.front();
    }
    switch (component_.Create(library_, memory_, className_)) {
    case Component::Step::Instance: creation_ = Step::Instance; break;
    case Component::Step::MemoryManager: creation_ = Step::MemoryManager; break;
    case Component::Step::Done: creation_ = Step::Done; break;
    }
}

bool NativeDriverFace::Init(bool refuseDepth) {
    if (!Created()) return false;
    connection_.RefuseBufferDepth(refuseDepth);
    return component_.Init(connection_);
}

void NativeDriverFace::Done() {
    if (Created()) component_.Done();
}

bool NativeDriverFace::SetLocale(const char16_t* locale) {
    component_.SetLocale(locale);
    return true;
}

// What the memory manager found once the object is destroyed: no block of
// the component's left unfreed, none freed twice or foreign.
std::string NativeDriverFace::End() {
    if (ended_) return "";
    ended_ = true;
    component_.Destroy();  // Done, then DestroyObject, as the platform closes an object
    library_.Unload();
    const MemoryManager::Report report = memory_.GetReport();
    return report.Clean() ? std::string() : report.Text();
}

std::u16string NativeDriverFace::Info() { return DecimalText(component_.GetInfo()); }

#if defined(_WIN32)
// The loaded module of that file name, as the system found it.
std::u16string NativeDriverFace::LibraryFile() {
    const std::u16string given = FromUtf8(path_);
    std::wstring name(given.begin(), given.end());
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const HMODULE module = ::GetModuleHandleW(name.c_str());
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return u"";
    return std::u16string(path, path + ::wcslen(path));  // UTF-16 both
}
#else
// The file by its full path; a bare name, which the system looked up, as given.
// realpath, not std::filesystem: the C++ runtime's stat calls need a C library
// newer than 2.17, and the tests of the release trees run on older ones.
std::u16string NativeDriverFace::LibraryFile() {
    if (path_.find('/') == std::string::npos) return FromUtf8(path_);
    char full[PATH_MAX];
    return FromUtf8(::realpath(path_.c_str(), full) ? std::string(full) : path_);
}
#endif

Got NativeDriverFace::Property(long number) {
    const Component::Value v = component_.PropValue(number);
    return FromValue(v.type, v.text);
}

bool NativeDriverFace::SetProperty(long number, const Sent& value) {
    Held held = Make(value);
    return component_.SetPropValue(number, held.value);
}

Answer NativeDriverFace::Call(long method, long count, const std::vector<Sent>& inputs) {
    std::vector<Held> held;
    std::vector<tVariant> params;
    for (long i = 0; i < count; ++i)
        held.push_back(i < static_cast<long>(inputs.size()) ? Make(inputs[static_cast<size_t>(i)]) : Held{});
    for (Held& h : held) params.push_back(h.value);
    const Component::CallResult r = component_.CallValues(method, params);
    Answer a;
    a.handled = r.ok;
    a.result = FromValue(r.resultType, r.result);
    for (size_t i = 0; i < r.types.size(); ++i) a.params.push_back(FromValue(r.types[i], r.textParams[i]));
    return a;
}

}  // namespace veltra::substitute::native
