#include "com/server/Registration.h"

#include <gtest/gtest.h>

#include "core/common/Text.h"

namespace veltra {
namespace {

TEST(PerUserFromCommandLine_, TakesTheFirstSwitchInItsOrder) {
    const struct {
        const char16_t* line;
        bool current;
        bool expected;
    } rows[] = {
        {u"host.exe", false, false},
        {u"host.exe", true, true},
        {u"host.exe /REGSERVERPERUSER", false, true},
        {u"host.exe /regserverperuser", false, true},
        {u"host.exe -UnRegServerPerUser", false, true},
        {u"host.exe /RegServer", true, false},
        {u"host.exe /Embedding /RegServerPerUser", false, false},  // EMBEDDING comes first: keep
        {u"host.exe /Embedding /RegServerPerUser", true, true},
        {u"host.exe /REGSERVERPERUSERX", false, false},            // whole words only
        {u"host.exe REGSERVERPERUSER", false, false},              // needs '-' or '/'
        {u"host.exe /RegServerPerUser /RegServer", false, false},  // REGSERVER is tried before
        {u"\"C:\\Program Files\\host.exe\"\t/regserverperuser", false, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PerUserFromCommandLine(row.line, row.current), row.expected) << ToUtf8(row.line);
}

TEST(RegistrationEntries_, WriteFiveKeysBelowThePrefixAndRemoveThemDeepestFirst) {
    for (bool perUser : {false, true}) {
        const std::u16string p = perUser ? u"Software\\Classes\\" : u"";
        const std::u16string cls = p + u"CLSID\\{6A1E47C9-2F3B-4D85-A0B4-3C9E5D71B824}";
        const std::vector<RegistryValue> entries = RegistrationEntries(perUser, u"C:\\x\\VeltraScanner.dll");
        ASSERT_EQ(entries.size(), 5u);
        const std::pair<std::u16string, std::u16string> expected[] = {
            {cls, u"VeltraScanner"},
            {cls + u"\\InprocServer32", u"C:\\x\\VeltraScanner.dll"},
            {p + u"AddIn.VeltraScanner", u"VeltraScanner"},
            {p + u"AddIn.VeltraScanner\\Clsid", u"{6A1E47C9-2F3B-4D85-A0B4-3C9E5D71B824}"},
            {cls + u"\\ProgID", u"AddIn.VeltraScanner"},
        };
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(entries[i].key, expected[i].first) << i;
            EXPECT_EQ(entries[i].value, expected[i].second) << i;
        }
        const std::vector<std::u16string> removed = UnregistrationKeys(perUser);
        const std::vector<std::u16string> order = {cls + u"\\ProgID", p + u"AddIn.VeltraScanner\\Clsid",
                                                   p + u"AddIn.VeltraScanner", cls + u"\\InprocServer32", cls};
        EXPECT_EQ(removed, order);
    }
}

}  // namespace
}  // namespace veltra
