// The bench's driver through its Native API face: the substitute host's
// NativeDriverFace, with the bench's words for what went wrong making it.
#include "BenchDriver.h"
#include "BenchOutput.h"
#include "core/common/Text.h"
#include "host/native/NativeDriverFace.h"

namespace veltra::bench {

std::unique_ptr<Driver> MakeNativeDriver(const std::string& path) {
    using substitute::native::NativeDriverFace;
    auto face = std::make_unique<NativeDriverFace>(path);
    const std::u16string& name = face->ClassName();
    switch (face->Creation()) {
    case NativeDriverFace::Step::Load:
        ComponentFails(Say(u"Native API library: ", u"библиотека Native API: ") + FromUtf8(face->LoadError()));
    case NativeDriverFace::Step::NoObject:
        ComponentFails(FromUtf8(path) +
                       Say(u" offers no object (GetClassNames)", u" не предлагает объектов (GetClassNames)"));
    case NativeDriverFace::Step::Instance:
        ComponentFails(Say(u"cannot create ", u"не удалось создать ") + name + u" (GetClassObject)");
    case NativeDriverFace::Step::MemoryManager:
        ComponentFails(
            name + Say(u" refused the memory manager (setMemManager)", u" не принял менеджер памяти (setMemManager)"));
    case NativeDriverFace::Step::Done: break;
    }
    // The object is destroyed (Done first) with the face when this throws.
    if (!face->Init()) ComponentFails(Say(u"cannot initialise ", u"не удалось инициализировать ") + name + u" (Init)");
    // Init resets the driver to Russian: the language is set after it.
    face->SetLocale(g_Options.english ? u"en_US" : u"ru_RU");
    return std::make_unique<Driver>(std::move(face));
}

}  // namespace veltra::bench
