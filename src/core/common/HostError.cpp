#include "core/common/HostError.h"

#include <cstdio>

namespace veltra {

std::u16string TrimHostErrorText(const std::u16string& text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] <= u' ' || text[end - 1] == u'.')) --end;
    return text.substr(0, end);
}

HostCallError MakeHostCallError(uint32_t code, const HostErrorInfo& info, const std::u16string& systemText) {
    if (code == kAbortCode) return HostCallError(HostCallError::Kind::Abort, code, info.description, info);
    std::u16string message = TrimHostErrorText(info.description);
    if (message.empty()) message = systemText;
    if (message.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "OLE error %.8X", static_cast<unsigned>(code));
        message.assign(text, text + std::char_traits<char>::length(text));
    }
    return HostCallError(HostCallError::Kind::OleException, code, message, info);
}

}  // namespace veltra
