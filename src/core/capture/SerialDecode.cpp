#include "core/capture/SerialDecode.h"

#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {

std::optional<std::u16string> DecodeBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey) {
    std::u16string text;
    text.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b != 0 && !isLayoutKey(b)) return std::nullopt;
        text += static_cast<char16_t>(b);
    }
    return text;
}

void AcceptBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey, CodeQueues& queues) {
    if (n == 0) return;
    std::optional<std::u16string> text = DecodeBurst(bytes, n, isLayoutKey);
    if (TraceEnabled()) Trace(u"Пришла строка=" + (text ? *text : u"Error"));
    if (!text) queues.Append(QueueId::Serial, QueueEntry::Unreadable());
    else if (!TrimControls(*text).empty()) queues.Append(QueueId::Serial, QueueEntry::Code(std::move(*text)));
}

}  // namespace veltra
