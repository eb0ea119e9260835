// Decoding and queueing of one serial read under arbitrary bytes and an
// arbitrary keyboard layout.
//
// Input: one byte of switches, 32 bytes that are the layout (bit b set: byte
// b is a layout key), then the bytes of the read.
#include <algorithm>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/capture/CodeQueues.h"
#include "core/capture/SerialDecode.h"
#include "core/common/Messages.h"
#include "core/common/Text.h"

using namespace veltra;

namespace {

std::vector<std::u16string> g_Traced;

void Record(const std::u16string& line) { g_Traced.push_back(line); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 33) return 0;
    const bool traced = (data[0] & 1) != 0;
    std::bitset<256> layout;
    for (size_t b = 0; b < 256; ++b) layout[b] = (data[1 + b / 8] >> (b % 8)) & 1;
    const uint8_t* bytes = data + 33;
    const size_t n = size - 33;

    std::vector<uint8_t> asked;
    const IsLayoutKey isKey = [&](uint8_t b) {
        asked.push_back(b);
        return layout[b];
    };

    // The first byte that is no key decides; bytes after it are not asked about.
    size_t refused = n;
    for (size_t i = 0; i < n && refused == n; ++i)
        if (bytes[i] != 0 && !layout[bytes[i]]) refused = i;
    std::vector<uint8_t> expectAsked;
    for (size_t i = 0; i < std::min(n, refused + 1); ++i)
        if (bytes[i] != 0) expectAsked.push_back(bytes[i]);

    const std::optional<std::u16string> decoded = DecodeBurst(bytes, n, isKey);
    FUZZ_CHECK(asked == expectAsked);
    FUZZ_CHECK(decoded.has_value() == (refused == n));
    const std::u16string text = decoded ? *decoded : u"Error";  // as traced
    if (decoded) {
        FUZZ_CHECK(text.size() == n);
        for (size_t i = 0; i < n; ++i) FUZZ_CHECK(text[i] == bytes[i]);
    }

    CodeQueues queues;
    g_Traced.clear();
    SetTraceSink(traced ? &Record : nullptr);
    AcceptBurst(bytes, n, isKey, queues);
    SetTraceSink(nullptr);

    FUZZ_CHECK(queues.Size(QueueId::Keyboard) == 0);
    const bool blank = std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 32; });
    FUZZ_CHECK(blank == TrimControls(text).empty());
    if (n == 0 || blank) {
        FUZZ_CHECK(queues.Size(QueueId::Serial) == 0);
    } else {
        FUZZ_CHECK(queues.Size(QueueId::Serial) == 1);
        FUZZ_CHECK(queues.Front(QueueId::Serial) ==
                   (decoded ? QueueEntry::Code(text) : QueueEntry::Unreadable()));  // untrimmed
    }
    if (traced && n > 0) {
        FUZZ_CHECK(g_Traced.size() == 1);
        FUZZ_CHECK(g_Traced[0] == u"Пришла строка=" + text);
    } else {
        FUZZ_CHECK(g_Traced.empty());
    }
    return 0;
}
