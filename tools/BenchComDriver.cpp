// The bench's driver through its COM face: the substitute host's component
// and connection (tools/host).
#include <windows.h>

#include <utility>

#include "BenchDriver.h"
#include "BenchOutput.h"
#include "host/HostConnection.h"
#include "host/HostedComponent.h"

namespace veltra::bench {
namespace {

// Throws BenchError (kComponentError) with the system's text for hr.
[[noreturn]] void ComFail(const std::u16string& what, HRESULT hr) {
    throw BenchError{kComponentError, what + u": " + SystemMessage(hr)};
}

class ComDriver final : public Driver {
public:
    ComDriver();
    ~ComDriver() override { End(); }
    ComDriver(const ComDriver&) = delete;
    ComDriver& operator=(const ComDriver&) = delete;

    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) override;
    std::u16string ExtensionName() override;
    std::u16string ComponentVersion() override;
    std::vector<Member> Properties() override;
    std::vector<Member> Methods() override;
    std::u16string LibraryFile() override;
    void AlsoShowEvents(std::function<void(const std::u16string& line)> also) override;
    size_t Events() const override { return host_.EventCount(); }
    std::u16string End() override;

private:
    substitute::HostConnection host_;  // outlives the component's hold on it
    substitute::HostedComponent component_;
    bool ended_ = false;
};

ComDriver::ComDriver() {
    AlsoShowEvents(nullptr);
    using Step = substitute::HostedComponent::Step;
    const substitute::HostedComponent::Creation created = component_.Create();
    switch (created.step) {
    case Step::Lookup:
        ComFail(Say(u"AddIn.VeltraScanner is not registered (run `register` first)",
                    u"AddIn.VeltraScanner не зарегистрирован (сначала выполните `register`)"),
                created.hr);
    case Step::Instance:
        ComFail(Say(u"cannot create AddIn.VeltraScanner", u"не удалось создать AddIn.VeltraScanner"), created.hr);
    case Step::Interfaces:
        ComFail(Say(u"the component lacks its interfaces", u"у компонента нет нужных интерфейсов"), E_NOINTERFACE);
    case Step::Done: break;
    }
    HRESULT hr = component_.Init(host_);
    // Init resets the driver to Russian: the language is set after it.
    if (SUCCEEDED(hr)) hr = component_.SetLocale(g_Options.english ? L"en_US" : L"ru_RU");
    if (FAILED(hr)) {
        component_.Done();  // safe in every state; the destructor does not run for a throwing constructor
        ComFail(Say(u"cannot initialise AddIn.VeltraScanner", u"не удалось инициализировать AddIn.VeltraScanner"), hr);
    }
}

std::u16string ComDriver::End() {
    if (!ended_) component_.Done();
    ended_ = true;
    return u"";
}

void ComDriver::AlsoShowEvents(std::function<void(const std::u16string& line)> also) {
    host_.SetListener([this, also = std::move(also)](const substitute::HostEvent& event) {
        const std::u16string line = Show(event);
        if (also) also(line);
    });
}

Driver::Result ComDriver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    const substitute::HostedComponent::CallResult r = component_.CallByName(method, count, inputs);
    if (r.hr == DISP_E_UNKNOWNNAME)
        ComFail(Say(u"the component has no method ", u"у компонента нет метода ") + std::u16string(method), r.hr);
    if (FAILED(r.hr)) ComFail(u"CallAsFunc " + std::u16string(method), r.hr);
    return {substitute::VariantText(r.result.get()), r.textParams};
}

std::u16string ComDriver::ExtensionName() {
    UniqueBstr name;
    const HRESULT hr = component_.ext()->RegisterExtensionAs(name.put());
    if (FAILED(hr)) ComFail(u"RegisterExtensionAs", hr);
    return FromBstr(name.get());
}

std::u16string ComDriver::ComponentVersion() {
    const substitute::UniqueSafeArray info = substitute::MakeVariantArray(1);
    SAFEARRAY* slot = info.get();
    const HRESULT hr = component_.init()->GetInfo(&slot);
    if (FAILED(hr)) ComFail(u"GetInfo", hr);
    Variant version;
    long zero = 0;
    ::SafeArrayGetElement(info.get(), &zero, version.get());
    return substitute::VariantText(version.get());
}

std::vector<Driver::Member> ComDriver::Properties() {
    ILanguageExtender* ext = component_.ext();
    long count = 0;
    ext->GetNProps(&count);
    std::vector<Member> members;
    for (long i = 0; i < count; ++i) {
        UniqueBstr en, ru;
        ext->GetPropName(i, 0, en.put());
        ext->GetPropName(i, 1, ru.put());
        members.push_back({FromBstr(en.get()), FromBstr(ru.get()), 0});
    }
    return members;
}

std::vector<Driver::Member> ComDriver::Methods() {
    ILanguageExtender* ext = component_.ext();
    long count = 0;
    ext->GetNMethods(&count);
    std::vector<Member> members;
    for (long i = 0; i < count; ++i) {
        UniqueBstr en, ru;
        long params = 0;
        ext->GetMethodName(i, 0, en.put());
        ext->GetMethodName(i, 1, ru.put());
        ext->GetNParams(i, &params);
        members.push_back({FromBstr(en.get()), FromBstr(ru.get()), params});
    }
    return members;
}

// The DLL that COM loaded for the identifier.
std::u16string ComDriver::LibraryFile() {
    const HMODULE module = ::GetModuleHandleW(L"VeltraScanner.dll");
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return u"";
    return FromUtf16(path);
}

}  // namespace

std::unique_ptr<Driver> MakeComDriver() { return std::make_unique<ComDriver>(); }

}  // namespace veltra::bench
