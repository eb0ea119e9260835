#include "BenchDriver.h"

#include <utility>

#include "core/common/Text.h"

namespace veltra::bench {
namespace {

using substitute::Got;

// A value as the COM face's host reads it, so that both faces print alike:
// a Boolean "-1" or "0".
std::u16string AsComText(const Got& value) {
    if (value.kind == Got::Kind::Boolean) return value.text == u"true" ? u"-1" : u"0";
    return value.text;
}

}  // namespace

[[noreturn]] void ComponentFails(const std::u16string& what) { throw BenchError{kComponentError, what}; }

Driver::Driver(std::unique_ptr<substitute::DriverFace> face) : face_(std::move(face)) { AlsoShowEvents(nullptr); }

Driver::Result Driver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    const substitute::Answer a = face_->CallWithTexts(method, count, inputs);
    if (!a.found)
        ComponentFails(std::u16string(Say(u"the component has no method ", u"у компонента нет метода ")) + method);
    if (!a.handled) {
        const std::u16string call = u"CallAsFunc " + std::u16string(method);
#if defined(_WIN32)
        if (a.comResult != 0) ComponentFails(call + u": " + SystemMessage(a.comResult));
#endif
        ComponentFails(call + Say(u" answered false", u" вернул false"));
    }
    Result out{AsComText(a.result), {}};
    for (const Got& p : a.params) out.params.push_back(AsComText(p));
    return out;
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

std::u16string Driver::ExtensionName() {
    const std::optional<std::u16string> name = face_->ExtensionName();
    if (!name) ComponentFails(u"RegisterExtensionAs" + std::u16string(Say(u" answered false", u" вернул false")));
    return *name;
}

std::vector<Driver::Member> Driver::Properties() {
    std::vector<Member> members;
    for (long i = 0, count = face_->PropCount(); i < count; ++i)
        members.push_back({face_->PropName(i, 0), face_->PropName(i, 1), 0});
    return members;
}

std::vector<Driver::Member> Driver::Methods() {
    std::vector<Member> members;
    for (long i = 0, count = face_->MethodCount(); i < count; ++i)
        members.push_back({face_->MethodName(i, 0), face_->MethodName(i, 1), face_->ParamCount(i)});
    return members;
}

void Driver::AlsoShowEvents(std::function<void(const std::u16string& line)> also) {
    face_->Recorder().SetListener([this, also = std::move(also)](const substitute::HostEvent& event) {
        const std::u16string line = PrintEvent(event, showGs1_ ? Gs1Detail(event) : EventDetail{});
        if (also) also(line);
    });
}

std::u16string Driver::End() {
    const std::string faults = face_->End();
    if (faults.empty()) return u"";
    return Say(u"the library misused the host's memory manager: ",
               u"библиотека нарушила правила менеджера памяти платформы: ") +
           FromUtf8(faults);
}

}  // namespace veltra::bench
