// The bench's driver through its COM face: the substitute host's
// ComDriverFace, with the bench's words for what went wrong making it.
#include <windows.h>

#include "BenchDriver.h"
#include "BenchOutput.h"
#include "host/com/ComDriverFace.h"

namespace veltra::bench {

std::unique_ptr<Driver> MakeComDriver() {
    auto face = std::make_unique<substitute::ComDriverFace>();
    const auto fail = [](const std::u16string& what, HRESULT hr) { ComponentFails(what + u": " + SystemMessage(hr)); };
    using Step = substitute::HostedComponent::Step;
    const substitute::HostedComponent::Creation& created = face->Creation();
    switch (created.step) {
    case Step::Lookup:
        fail(Say(u"AddIn.VeltraScanner is not registered (run `register` first)",
                 u"AddIn.VeltraScanner не зарегистрирован (сначала выполните `register`)"),
             created.hr);
    case Step::Instance:
        fail(Say(u"cannot create AddIn.VeltraScanner", u"не удалось создать AddIn.VeltraScanner"), created.hr);
    case Step::Interfaces:
        fail(Say(u"the component lacks its interfaces", u"у компонента нет нужных интерфейсов"), E_NOINTERFACE);
    case Step::Done: break;
    }
    // Init resets the driver to Russian: the language is set after it. The
    // face is Done when this throws.
    if (!face->Init() || !face->SetLocale(g_Options.english ? u"en_US" : u"ru_RU"))
        fail(Say(u"cannot initialise AddIn.VeltraScanner", u"не удалось инициализировать AddIn.VeltraScanner"),
             face->LastResult());
    return std::make_unique<Driver>(std::move(face));
}

}  // namespace veltra::bench
