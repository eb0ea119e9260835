#include "host/native/NativeLibrary.h"

#if defined(_WIN32)
#include <windows.h>

#include "core/common/SystemText.h"
#else
#include <dlfcn.h>
#endif

#include "core/common/Text.h"
#include "host/native/Values.h"

namespace veltra::substitute::native {

namespace {

#if defined(_WIN32)

// The system's text for the calling thread's last error, with the code.
// Some texts have a place for the file's name ("%1"): the subject fills it.
std::string LastSystemError(const std::string& subject) {
    const DWORD code = ::GetLastError();
    std::string text = ToUtf8(TrimControls(SystemMessage(code)));
    for (size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + subject.size()))
        text.replace(at, 2, subject);
    return text + " (error " + std::to_string(code) + ")";
}

void* OpenLibrary(const std::string& path, std::string& error) {
    const std::u16string wide = FromUtf8(path);
    const std::wstring name(wide.begin(), wide.end());
    HMODULE module = ::LoadLibraryW(name.c_str());
    if (!module) error = LastSystemError(path);
    return reinterpret_cast<void*>(module);
}

void* FindEntry(void* library, const char* name, std::string& error) {
    // FARPROC to a plain pointer through a function pointer of no particular
    // type, which the compilers accept without a warning.
    const auto entry = reinterpret_cast<void (*)()>(::GetProcAddress(static_cast<HMODULE>(library), name));
    if (!entry) error = LastSystemError(name);
    return reinterpret_cast<void*>(entry);
}

void CloseLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

#else

std::string LastSystemError() {
    const char* text = ::dlerror();  // NOLINT(concurrency-mt-unsafe): glibc keeps its text per thread
    return text ? text : "no reason given";
}

void* OpenLibrary(const std::string& path, std::string& error) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = LastSystemError();
    return library;
}

void* FindEntry(void* library, const char* name, std::string& error) {
    // Clears an earlier text, so that the reason given is this look-up's.
    ::dlerror();  // NOLINT(concurrency-mt-unsafe): glibc keeps its text per thread
    void* entry = ::dlsym(library, name);
    if (!entry) error = LastSystemError();
    return entry;
}

void CloseLibrary(void* library) { ::dlclose(library); }

#endif

template <typename Function>
Function AsFunction(void* entry) {
    return reinterpret_cast<Function>(entry);
}

}  // namespace

NativeLibrary::~NativeLibrary() { Unload(); }

bool NativeLibrary::Load(const std::string& path) {
    Unload();
    error_.clear();
    std::string reason;
    void* library = OpenLibrary(path, reason);
    if (!library) {
        error_ = "cannot load " + path + ": " + reason;
        return false;
    }
    const auto find = [&](const char* name) {
        void* entry = FindEntry(library, name, reason);
        if (!entry && error_.empty()) error_ = path + " has no entry function " + name + ": " + reason;
        return entry;
    };
    getClassNames_ = AsFunction<GetClassNamesFunction>(find("GetClassNames"));
    getClassObject_ = AsFunction<GetClassObjectFunction>(find("GetClassObject"));
    destroyObject_ = AsFunction<DestroyObjectFunction>(find("DestroyObject"));
    const auto setCapabilities = AsFunction<SetPlatformCapabilitiesFunction>(find("SetPlatformCapabilities"));
    if (!error_.empty()) {
        CloseLibrary(library);
        getClassNames_ = nullptr;
        getClassObject_ = nullptr;
        destroyObject_ = nullptr;
        return false;
    }
    getAttachType_ = AsFunction<GetAttachTypeFunction>(FindEntry(library, "GetAttachType", reason));
    handle_ = library;
    capabilities_ = setCapabilities(eAppCapabilitiesLast);
    return true;
}

void NativeLibrary::Unload() {
    if (!handle_) return;
    CloseLibrary(handle_);
    handle_ = nullptr;
    getClassNames_ = nullptr;
    getClassObject_ = nullptr;
    destroyObject_ = nullptr;
    getAttachType_ = nullptr;
    capabilities_ = eAppCapabilitiesInvalid;
}

std::u16string NativeLibrary::ClassNamesText() const { return FromNative(getClassNames_ ? getClassNames_() : nullptr); }

std::vector<std::u16string> NativeLibrary::ClassNames() const {
    const std::u16string text = ClassNamesText();
    std::vector<std::u16string> names;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t bar = text.find(u'|', start);
        const size_t end = bar == std::u16string::npos ? text.size() : bar;
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::optional<AttachType> NativeLibrary::AttachKind() const {
    if (!getAttachType_) return std::nullopt;
    return getAttachType_();
}

IComponentBase* NativeLibrary::CreateObject(const std::u16string& name) {
    if (!getClassObject_) return nullptr;
    const NativeString text = ToNative(name);
    IComponentBase* object = nullptr;
    if (getClassObject_(text.c_str(), &object) == 0) return nullptr;
    return object;
}

long NativeLibrary::DestroyObject(IComponentBase* object) {
    if (!destroyObject_) return -1;
    return destroyObject_(&object);
}

}  // namespace veltra::substitute::native
