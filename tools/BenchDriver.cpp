#include "BenchDriver.h"

#include <utility>

#include "BenchOutput.h"

namespace veltra::bench {

Driver::Driver() {
    AlsoShowEvents(nullptr);
    using Step = substitute::HostedComponent::Step;
    const substitute::HostedComponent::Creation created = component_.Create();
    switch (created.step) {
    case Step::Lookup:
        Fail(Say(u"AddIn.VeltraScanner is not registered (run `register` first)",
                 u"AddIn.VeltraScanner не зарегистрирован (сначала выполните `register`)"),
             created.hr);
    case Step::Instance:
        Fail(Say(u"cannot create AddIn.VeltraScanner", u"не удалось создать AddIn.VeltraScanner"), created.hr);
    case Step::Interfaces:
        Fail(Say(u"the component lacks its interfaces", u"у компонента нет нужных интерфейсов"), E_NOINTERFACE);
    case Step::Done: break;
    }
    HRESULT hr = component_.Init(host_);
    // Init resets the driver to Russian: the language is set after it.
    if (SUCCEEDED(hr)) hr = component_.SetLocale(g_Options.english ? L"en_US" : L"ru_RU");
    if (FAILED(hr)) {
        component_.Done();  // safe in every state; the destructor does not run for a throwing constructor
        Fail(Say(u"cannot initialise AddIn.VeltraScanner", u"не удалось инициализировать AddIn.VeltraScanner"), hr);
    }
}

Driver::~Driver() { component_.Done(); }

void Driver::Fail(const std::u16string& what, HRESULT hr) {
    throw BenchError{kComponentError, what + u": " + SystemMessage(hr)};
}

void Driver::AlsoShowEvents(std::function<void(const std::u16string& line)> also) {
    host_.SetListener([this, also = std::move(also)](const substitute::HostEvent& event) {
        const std::u16string line = PrintEvent(event, showGs1_);
        if (also) also(line);
    });
}

Driver::Result Driver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    const substitute::HostedComponent::CallResult r = component_.CallByName(method, count, inputs);
    if (r.hr == DISP_E_UNKNOWNNAME)
        Fail(Say(u"the component has no method ", u"у компонента нет метода ") + std::u16string(method), r.hr);
    if (FAILED(r.hr)) Fail(u"CallAsFunc " + std::u16string(method), r.hr);
    return {substitute::VariantText(r.result.get()), r.textParams};
}

void Driver::Check(const Result& r, const char16_t* what) {
    if (r.result == u"1") return;
    const Result error = Call(u"GetLastError", 1);
    const std::u16string text = error.params[0].empty()
                                    ? Say(u"the driver gave no error text", u"драйвер не сообщил текст ошибки")
                                    : error.params[0];
    throw BenchError{kDriverFailed,
                     Say(u"", u"Команда ") + std::u16string(what) + Say(u" failed: ", u" не выполнена: ") + text};
}

}  // namespace veltra::bench
