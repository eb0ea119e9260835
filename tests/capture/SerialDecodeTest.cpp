#include "core/capture/SerialDecode.h"

#include <gtest/gtest.h>

#include "CaptureTestSupport.h"

namespace veltra {
namespace {

using test::Bytes;

// A layout that has digits, Latin letters, CR, LF, blank, GS and 0xE9, and
// not the zero byte: a zero byte must pass without asking the layout.
bool TestLayoutKey(uint8_t b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '\r' || b == '\n' ||
           b == ' ' || b == 0x1D || b == 0xE9;
}

std::optional<std::u16string> Decode(const std::vector<uint8_t>& bytes) {
    return DecodeBurst(bytes.data(), bytes.size(), TestLayoutKey);
}

TEST(DecodeBurst_, MapsBytesToSameCodes_OrNothingAtARefusedByte) {
    const std::optional<std::u16string> unreadable;
    const struct {
        const char* row;
        std::vector<uint8_t> bytes;
        std::optional<std::u16string> text;
    } rows[] = {
        {"no bytes", {}, u""},
        {"digits and CR", Bytes("12345\r"), u"12345\r"},
        {"zero byte kept", {'1', 0, '2'}, std::u16string{u'1', u'\0', u'2'}},
        {"only zero bytes", {0, 0}, std::u16string(2, u'\0')},
        {"high byte, no code page", {'A', 0xE9}, u"A\u00E9"},
        {"GS separator", {'0', '1', 0x1D, '2'}, u"01\u001D2"},
        {"the code Error", Bytes("Error"), u"Error"},
        {"third byte refused", {'4', '6', 0xC8, '7'}, unreadable},
        {"first byte refused", {0x88, '1', '2'}, unreadable},
        {"last byte refused", {'1', '2', 0x88}, unreadable},
        {"refused after zero", {0, 0xFF}, unreadable},
    };
    for (const auto& row : rows) EXPECT_EQ(Decode(row.bytes), row.text) << row.row;
}

TEST(AcceptBurst_, TracesEveryNonEmptyRead_QueuesUntrimmedTextWithContent) {
    const std::u16string kHead = u"Пришла строка=";
    const struct {
        const char* row;
        std::vector<uint8_t> bytes;
        bool traced;
        std::u16string text;  // traced
        std::optional<QueueEntry> queued;
    } rows[] = {
        {"silent read", {}, false, u"", {}},
        {"only CR LF", Bytes("\r\n"), true, u"\r\n", {}},
        {"only zero bytes", {0, 0, 0}, true, std::u16string(3, u'\0'), {}},
        {"five digits and CR", Bytes("46071\r"), true, u"46071\r", QueueEntry::Code(u"46071\r")},
        {"blanks around a code", Bytes("  12 \r\n"), true, u"  12 \r\n", QueueEntry::Code(u"  12 \r\n")},
        {"the code Error", Bytes("Error"), true, u"Error", QueueEntry::Code(u"Error")},
        {"refused byte", {'1', 0xC8}, true, u"Error", QueueEntry::Unreadable()},
    };
    for (const auto& row : rows) {
        test::TraceRecorder traces;
        CodeQueues queues;
        AcceptBurst(row.bytes.data(), row.bytes.size(), TestLayoutKey, queues);
        const std::vector<std::u16string> expectedTraces =
            row.traced ? std::vector<std::u16string>{kHead + row.text} : std::vector<std::u16string>{};
        EXPECT_EQ(traces.Taken(), expectedTraces) << row.row;
        EXPECT_EQ(queues.Size(QueueId::Serial), row.queued ? 1u : 0u) << row.row;
        EXPECT_EQ(queues.Front(QueueId::Serial), row.queued) << row.row;
        EXPECT_EQ(queues.Size(QueueId::Keyboard), 0u) << row.row;
    }
}

}  // namespace
}  // namespace veltra
