#include "core/common/Text.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

TEST(ParseDecimalI32_, AcceptsPlainDecimalsOnly) {
    const struct {
        const char16_t* text;
        std::optional<int32_t> value;
    } rows[] = {
        {u"0", 0},
        {u"1000", 1000},
        {u"-5", -5},
        {u"007", 7},
        {u"2147483647", INT32_MAX},
        {u"-2147483648", INT32_MIN},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"99999999999999999999", std::nullopt},
        {u"", std::nullopt},
        {u"-", std::nullopt},
        {u"+5", std::nullopt},
        {u" 12", std::nullopt},
        {u"12 ", std::nullopt},
        {u"1.5", std::nullopt},
        {u"abc", std::nullopt},
        {u"１２", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseDecimalI32(row.text), row.value) << ToUtf8(row.text);
}

TEST(TrimControls_, RemovesCodesUpToBlankAtBothEnds) {
    EXPECT_EQ(TrimControls(u"  4607\r\n"), u"4607");
    EXPECT_EQ(TrimControls(std::u16string(u"\0a\u001Db\0", 5)), u"a\u001Db");
    EXPECT_EQ(TrimControls(u"\r\n"), u"");
    EXPECT_EQ(TrimControls(u""), u"");
    EXPECT_EQ(TrimControls(u"\x7f"), u"\x7f");
}

TEST(Utf8, RoundTripsCyrillicAndSurrogates) {
    const std::u16string text = u"Штрихкод \U0001F600 A";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"Да"), "\xD0\x94\xD0\xB0");
    EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(DecimalText_, IsSignedWithoutLeadingZeros) {
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(-42), u"-42");
    EXPECT_EQ(DecimalText(2147483647), u"2147483647");
}

}  // namespace
}  // namespace veltra
