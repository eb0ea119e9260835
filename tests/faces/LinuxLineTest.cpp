// The Native API library on Linux when the serial line goes away: the host
// is told once, and Close ends the connection promptly.
#include <gtest/gtest.h>

#include <chrono>

#include "FaceUnderTest.h"
#include "core/common/Text.h"

namespace veltra::test {
namespace {

using namespace std::chrono_literals;

TEST(LinuxLine, Loss_IsToldOnceAfterTheCodesBeforeIt_AndCloseIsPrompt) {
    SerialLine line;
    ASSERT_TRUE(line.Ready());
    std::unique_ptr<Face> face = MakeNativeFace();
    ASSERT_TRUE(face->Init());
    face->SetLocale(u"en_US");
    for (const auto& [name, value] : {std::pair<const char16_t*, std::u16string>{u"propComPortNumber", line.PortText()},
                                      {u"propSpeed", u"9600"},
                                      {u"propDataBit", u"8"},
                                      {u"propStopBits", u"1 stop bits"}})
        ASSERT_EQ(face->SetParameter(name, value), 1) << ToUtf8(name);
    const Answer opened = face->Call(u"Open", 1);
    ASSERT_EQ(opened.result.text, u"1") << ToUtf8(face->LastError().second);
    const std::u16string device = opened.params.at(0).text;

    line.Feed("4607012345678\r\n");
    ASSERT_TRUE(face->WaitForEvents(1, 5s));
    line.Unplug();
    ASSERT_TRUE(face->WaitForEvents(2, 5s));
    const std::vector<HostEvent> events = face->Events();
    EXPECT_EQ(events[1].source, device);
    EXPECT_EQ(events[1].name, u"DriverError");
    EXPECT_EQ(events[1].data, u"An error occurred while reading from the COM port.");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(device)}).result.text, u"1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms) << "Close waits for no attempt to reopen";
    EXPECT_EQ(face->Events().size(), 2u) << "the loss is told once";
    face->Done();
    EXPECT_EQ(face->End(), "");
}

}  // namespace
}  // namespace veltra::test
