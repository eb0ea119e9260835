// The bench's driver through its Native API face: the library loaded by the
// Native API substitute host (tools/native_host) as the platform loads it,
// with the host's accounting memory manager.
#if defined(_WIN32)
#include <windows.h>
#else
#include <filesystem>
#include <system_error>
#endif

#include <cstdint>
#include <optional>
#include <utility>

#include "BenchDriver.h"
#include "BenchOutput.h"
#include "core/common/Text.h"
#include "native_host/Component.h"
#include "native_host/Connection.h"
#include "native_host/MemoryManager.h"
#include "native_host/NativeLibrary.h"

namespace veltra::bench {
namespace {

namespace nhost = substitute::native;

[[noreturn]] void NativeFail(const std::u16string& what) { throw BenchError{kComponentError, what}; }

// A value as the COM face's host reads it, so that both faces print alike:
// the native host gives a Boolean as "true" or "false", COM as "-1" or "0".
std::u16string AsComText(const std::u16string& text, uint16_t type) {
    if (type == VTYPE_BOOL) return text == u"true" ? u"-1" : u"0";
    return text;
}

class NativeDriver final : public Driver {
public:
    explicit NativeDriver(const std::string& path);
    ~NativeDriver() override { End(); }
    NativeDriver(const NativeDriver&) = delete;
    NativeDriver& operator=(const NativeDriver&) = delete;

    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) override;
    std::u16string ExtensionName() override;
    std::u16string ComponentVersion() override { return DecimalText(component_.GetInfo()); }
    std::vector<Member> Properties() override;
    std::vector<Member> Methods() override;
    std::u16string LibraryFile() override;
    void AlsoShowEvents(std::function<void(const std::u16string& line)> also) override;
    size_t Events() const override { return host_.EventCount(); }
    std::u16string End() override;

private:
    std::string path_;
    // The library, the memory manager and the connection outlive the object.
    nhost::NativeLibrary library_;
    nhost::MemoryManager memory_;
    nhost::Connection host_;
    nhost::Component component_;
    std::u16string name_;  // the object's name in the library
    bool ended_ = false;
};

NativeDriver::NativeDriver(const std::string& path) : path_(path) {
    AlsoShowEvents(nullptr);
    if (!library_.Load(path))
        NativeFail(Say(u"Native API library: ", u"библиотека Native API: ") + FromUtf8(library_.Error()));
    const std::vector<std::u16string> names = library_.ClassNames();
    if (names.empty())
        NativeFail(FromUtf8(path) +
                   Say(u" offers no object (GetClassNames)", u" не предлагает объектов (GetClassNames)"));
    name_ = names.front();
    switch (component_.Create(library_, memory_, name_)) {
    case nhost::Component::Step::Instance:
        NativeFail(Say(u"cannot create ", u"не удалось создать ") + name_ + u" (GetClassObject)");
    case nhost::Component::Step::MemoryManager:
        NativeFail(name_ +
                   Say(u" refused the memory manager (setMemManager)", u" не принял менеджер памяти (setMemManager)"));
    case nhost::Component::Step::Done: break;
    }
    // The object is destroyed (Done first) by the members' destructors when this throws.
    if (!component_.Init(host_))
        NativeFail(Say(u"cannot initialise ", u"не удалось инициализировать ") + name_ + u" (Init)");
    // Init resets the driver to Russian: the language is set after it.
    component_.SetLocale(g_Options.english ? u"en_US" : u"ru_RU");
}

std::u16string NativeDriver::End() {
    if (ended_) return u"";
    ended_ = true;
    component_.Destroy();  // Done, then DestroyObject, as the platform closes an object
    library_.Unload();
    const nhost::MemoryManager::Report report = memory_.GetReport();
    if (report.Clean()) return u"";
    return Say(u"the library misused the host's memory manager: ",
               u"библиотека нарушила правила менеджера памяти платформы: ") +
           FromUtf8(report.Text());
}

void NativeDriver::AlsoShowEvents(std::function<void(const std::u16string& line)> also) {
    host_.SetListener([this, also = std::move(also)](const nhost::HostEvent& event) {
        const std::u16string line = Show(event);
        if (also) also(line);
    });
}

Driver::Result NativeDriver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    const nhost::Component::CallResult r = component_.CallByName(method, count, inputs);
    if (!r.found)
        NativeFail(std::u16string(Say(u"the component has no method ", u"у компонента нет метода ")) + method);
    if (!r.ok) NativeFail(u"CallAsFunc " + std::u16string(method) + Say(u" answered false", u" вернул false"));
    Result out{AsComText(r.result, r.resultType), {}};
    for (size_t i = 0; i < r.textParams.size(); ++i) out.params.push_back(AsComText(r.textParams[i], r.types[i]));
    return out;
}

std::u16string NativeDriver::ExtensionName() {
    const std::optional<std::u16string> name = component_.RegisterExtensionAs();
    if (!name) NativeFail(u"RegisterExtensionAs" + std::u16string(Say(u" answered false", u" вернул false")));
    return *name;
}

std::vector<Driver::Member> NativeDriver::Properties() {
    std::vector<Member> members;
    for (long i = 0, count = component_.PropCount(); i < count; ++i)
        members.push_back({component_.PropName(i, 0), component_.PropName(i, 1), 0});
    return members;
}

std::vector<Driver::Member> NativeDriver::Methods() {
    std::vector<Member> members;
    for (long i = 0, count = component_.MethodCount(); i < count; ++i)
        members.push_back({component_.MethodName(i, 0), component_.MethodName(i, 1), component_.ParamCount(i)});
    return members;
}

#if defined(_WIN32)
// The loaded module of that file name, as the system found it.
std::u16string NativeDriver::LibraryFile() {
    const std::u16string given = FromUtf8(path_);
    std::wstring name(given.begin(), given.end());
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const HMODULE module = ::GetModuleHandleW(name.c_str());
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return u"";
    return FromUtf16(path);
}
#else
// The file by its full path; a bare name, which the system looked up, as given.
std::u16string NativeDriver::LibraryFile() {
    if (path_.find('/') == std::string::npos) return FromUtf8(path_);
    std::error_code error;
    const std::filesystem::path full = std::filesystem::canonical(path_, error);
    return FromUtf8(error ? path_ : full.string());
}
#endif

}  // namespace

std::unique_ptr<Driver> MakeNativeDriver(const std::string& path) { return std::make_unique<NativeDriver>(path); }

}  // namespace veltra::bench
