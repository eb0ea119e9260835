#include "core/common/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/common/Text.h"

#include "LanguageScope.h"

namespace veltra {
namespace {

TEST(Catalogue, RowsStandInEnumOrder) { EXPECT_TRUE(CatalogueIsOrdered()); }

TEST(Catalogue, EveryMessageExistsInBothLanguages) {
    for (int i = 0; i < static_cast<int>(Msg::Count_); ++i) {
        const Msg m = static_cast<Msg>(i);
        EXPECT_FALSE(Text(m, true).empty()) << i;
        EXPECT_FALSE(Text(m, false).empty()) << i;
        EXPECT_NE(Text(m, true), Text(m, false)) << i;
    }
}

TEST(Catalogue, TimeOutMessagesHoldOneCarriageReturnAndNoLineFeed) {
    for (Msg m : {Msg::TimeOutNotNumber, Msg::TimeOutOutOfRange})
        for (bool english : {true, false}) {
            const std::u16string& t = Text(m, english);
            EXPECT_EQ(std::count(t.begin(), t.end(), u'\r'), 1);
            EXPECT_EQ(t.find(u'\n'), std::u16string::npos);
        }
    EXPECT_EQ(
        Text(Msg::TimeOutOutOfRange, true),
        u"1Error initializing \"TimeOut\".\rThe TimeOut must be a value type number not less than 1 and not greater than 65535.");
}

TEST(SelectLanguage_, ChoosesRussianOnlyForLowerCaseRu) {
    test::LanguageScope guard;
    const struct {
        const char16_t* locale;
        bool english;
    } rows[] = {
        {u"ru_RU", false}, {u"ru", false}, {u"xx-ru-yy", false}, {u"RU", true},
        {u"en_US", true},  {u"", true},    {u"Ru", true},
    };
    for (const auto& row : rows) {
        SelectLanguage(row.locale);
        EXPECT_EQ(g_LangEnglish.load(), row.english) << ToUtf8(row.locale);
    }
}

TEST(Raise_, ThrowsTheMessageOfTheCurrentLanguageAndKeepsItInErrorText) {
    test::LanguageScope guard;
    g_LangEnglish = true;
    try {
        Raise(Msg::NoSuchParameter);
        FAIL();
    } catch (const DriverError& e) {
        EXPECT_EQ(e.message(), u"1No parameter with the specified name.");
        EXPECT_EQ(g_ErrorText, e.message());
    }
}

TEST(DecodeLastError_, MapsEveryClassCharacter) {
    test::LanguageScope guard;
    const struct {
        const char16_t* last;
        bool english;
        int code;
        const char16_t* description;
    } rows[] = {
        {u"1abc", true, 1, u"abc"},
        {u"2x", true, 2, u"x"},
        {u"3", true, 3, u""},
        {u"4Bug", false, 4, u"Bug"},
        {u"5Port", true, 5, u"Port"},
        {u"*Additional actions are not supported driver.", true, 10, u"Additional actions are not supported driver."},
        {u" ", true, 0, u""},
        {u"", false, 0, u""},
        {u"x", true, 0, u""},
        {u"Out of memory", true, 66, u"The error is not known."},
        {u"Out of memory", false, 66, u"Ошибка не известна."},
        {u"6six", true, 66, u"The error is not known."},
    };
    for (const auto& row : rows) {
        g_LastError = row.last;
        g_LangEnglish = row.english;
        const DecodedError d = DecodeLastError();
        EXPECT_EQ(d.code, row.code) << ToUtf8(row.last);
        EXPECT_EQ(d.description, row.description) << ToUtf8(row.last);
        EXPECT_EQ(g_LastError, row.last) << "left unchanged";
    }
}

TEST(DecodeLastError_, KeepsTheLanguageTheMessageWasRaisedIn) {
    test::LanguageScope guard;
    g_LangEnglish = false;
    try {
        Raise(Msg::NoAdditionalActions);
    } catch (const DriverError& e) {
        g_LastError = e.message();
    }
    g_LangEnglish = true;
    EXPECT_EQ(DecodeLastError().description, u"Дополнительные действия не поддерживаются драйвером.");
}

std::vector<std::u16string> g_TraceLines;
bool g_TraceRead = false;
void RecordTrace(const std::u16string& line) { g_TraceLines.push_back(line); }
bool TraceRead() noexcept { return g_TraceRead; }

TEST(Trace_, ReachesTheSink_OnlyWhileItsGateSaysSomeoneReads) {
    g_TraceLines.clear();
    SetTraceSink(&RecordTrace, &TraceRead);
    for (const bool read : {false, true, false}) {
        g_TraceRead = read;
        EXPECT_EQ(TraceEnabled(), read);
        Trace(read ? u"read" : u"unread");
    }
    SetTraceSink(&RecordTrace);  // no gate: always read
    Trace(u"ungated");
    SetTraceSink(nullptr);
    EXPECT_FALSE(TraceEnabled());
    Trace(u"no sink");
    EXPECT_EQ(g_TraceLines, (std::vector<std::u16string>{u"read", u"ungated"}));
}

}  // namespace
}  // namespace veltra
