// The bench's driver through the Native API host, against the host's own
// test library: events reach the bench's printing, and a library that
// misuses the memory manager is found out when the driver ends.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

std::unique_ptr<Driver> LoadFake() {
    g_Options.english = true;
    return MakeNativeDriver(VELTRA_FAKE_COMPONENT);
}

TEST(BenchNativeDriver, CallsAndEventsGoThroughTheHost) {
    const std::unique_ptr<Driver> d = LoadFake();
    EXPECT_EQ(d->ExtensionName(), u"Fake");
    const Driver::Result echo = d->Call(u"Echo", 2, {u"abc"});
    EXPECT_EQ(echo.result, u"abc");
    EXPECT_EQ(echo.params, (std::vector<std::u16string>{u"abc", u"out"}));

    std::mutex lock;
    std::vector<std::u16string> lines;
    d->AlsoShowEvents([&](const std::u16string& line) {
        const std::lock_guard<std::mutex> guard(lock);
        lines.push_back(line);
    });
    d->Call(u"Post", 1, {u"2"});
    EXPECT_EQ(d->End(), u"");  // Done waits for the posting thread
    EXPECT_EQ(d->Events(), 2u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(u"source=Fake  name=Event  data=\"1\""), std::u16string::npos) << ToUtf8(lines[1]);
}

TEST(BenchNativeDriver, MisusedMemoryIsReportedAtTheEnd) {
    const std::unique_ptr<Driver> d = LoadFake();
    d->Call(u"Leak", 0);
    d->Call(u"Misuse", 0);
    const std::string findings = ToUtf8(d->End());
    EXPECT_NE(findings.find("leaked: block"), std::string::npos) << findings;
    EXPECT_NE(findings.find("does not hold"), std::string::npos) << findings;
    EXPECT_NE(findings.find("past its end"), std::string::npos) << findings;
    EXPECT_EQ(d->End(), u"");  // reported once
}

TEST(BenchNativeDriver, MissingMethodOrLibraryIsAComponentError) {
    const std::unique_ptr<Driver> d = LoadFake();
    const auto status = [](auto&& work) {
        try {
            work();
        } catch (const BenchError& e) {
            return e.status;
        }
        return static_cast<int>(kSucceeded);
    };
    EXPECT_EQ(status([&] { d->Call(u"GetVersion", 0); }), kComponentError);
    EXPECT_EQ(status([] { MakeNativeDriver("/nonexistent/libNothing.so"); }), kComponentError);
}

}  // namespace
}  // namespace veltra::bench
