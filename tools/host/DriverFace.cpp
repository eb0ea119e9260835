#include "host/DriverFace.h"

#include "core/common/Text.h"

namespace veltra::substitute {

Answer DriverFace::Call(const std::u16string& name, long count, const std::vector<Sent>& inputs) {
    const long number = FindMethod(name);
    if (number >= 0) return Call(number, count, inputs);
    Answer a;
    a.found = false;
    a.params.assign(static_cast<size_t>(count), Got{});
    return a;
}

Answer DriverFace::CallWithTexts(const std::u16string& name, long count, const std::vector<std::u16string>& inputs) {
    std::vector<Sent> sent;
    for (const std::u16string& text : inputs) sent.push_back(Sent::Text(text));
    return Call(name, count, sent);
}

std::pair<long, std::u16string> DriverFace::LastError() {
    const Answer a = Call(u"GetLastError", 1);
    const long code = ParseDecimalI32(a.result.text).value_or(-1);
    return {code, a.params.empty() ? u"<no parameter>" : a.params[0].text};
}

long DriverFace::SetParameter(const std::u16string& name, const std::u16string& value) {
    const Answer a = Call(u"SetParameter", 2, {Sent::Text(name), Sent::Text(value)});
    return ParseDecimalI32(a.result.text).value_or(-1);
}

}  // namespace veltra::substitute
