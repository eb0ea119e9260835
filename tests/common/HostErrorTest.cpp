#include "core/common/HostError.h"

#include <gtest/gtest.h>

#include "core/common/Text.h"

namespace veltra {
namespace {

TEST(TrimHostErrorText_, RemovesTrailingControlsBlanksAndFullStopsRepeatedly) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } rows[] = {
        {u"Refused.\r", u"Refused"},
        {u"Refused. . \n", u"Refused"},
        {u"a.b", u"a.b"},
        {u"...", u""},
        {u"", u""},
        {u" x", u" x"},
        {u"Нет.\t", u"Нет"},
    };
    for (const auto& row : rows) EXPECT_EQ(TrimHostErrorText(row.in), row.out) << ToUtf8(row.in);
}

TEST(MakeHostCallError_, ChoosesKindAndMessageByCodeAndWhatIsKnown) {
    const HostErrorInfo withText{u"Host.Source", u"Sink is busy.\r", u"help.chm", 7};
    const HostErrorInfo none;
    const struct {
        uint32_t code;
        const HostErrorInfo* info;
        const char16_t* system;
        HostCallError::Kind kind;
        const char16_t* message;
    } rows[] = {
        {0x80004005u, &withText, u"Unspecified error\r\n", HostCallError::Kind::OleException, u"Sink is busy"},
        {0x80070005u, &none, u"Access denied.\r\n", HostCallError::Kind::OleException, u"Access denied.\r\n"},
        {0x80041234u, &none, u"", HostCallError::Kind::OleException, u"OLE error 80041234"},
        {kAbortCode, &withText, u"ignored", HostCallError::Kind::Abort, u"Sink is busy.\r"},
        {kAbortCode, &none, u"ignored", HostCallError::Kind::Abort, u""},
    };
    for (const auto& row : rows) {
        const HostCallError e = MakeHostCallError(row.code, *row.info, row.system);
        EXPECT_EQ(e.kind(), row.kind) << std::hex << row.code;
        EXPECT_EQ(e.message(), row.message) << std::hex << row.code;
        EXPECT_EQ(e.code(), row.code);
        EXPECT_EQ(e.info().source, row.info->source);
        EXPECT_EQ(e.info().helpContext, row.info->helpContext);
    }
}

}  // namespace
}  // namespace veltra
