// The Native API substitute host against a small library of its own
// (FakeComponent.cpp): loading, the memory manager's account, events from the
// component's threads, and the texts values are reported as.
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/common/Text.h"
#include "host/native/Component.h"
#include "host/native/Values.h"

namespace veltra::substitute::native {
namespace {

using namespace std::chrono_literals;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// An object of the fake library, created and initialised as the platform does.
class NativeHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.Load(VELTRA_FAKE_COMPONENT)) << library.Error();
        ASSERT_EQ(component.Create(library, memory, u"Fake"), Component::Step::Done);
        ASSERT_TRUE(component.Init(connection));
    }

    // Declared in the order they must outlive each other.
    MemoryManager memory;
    Connection connection;
    NativeLibrary library;
    Component component;
};

TEST(NativeHostLibrary, LoadsTellsCapabilitiesAndMakesOnlyTheObjectsItNames) {
    NativeLibrary library;
    ASSERT_TRUE(library.Load(VELTRA_FAKE_COMPONENT)) << library.Error();
    EXPECT_EQ(library.ClassNames(), (std::vector<std::u16string>{u"Fake", u"FakeTwin"}));
    EXPECT_EQ(library.Capabilities(), eAppCapabilitiesLast);
    EXPECT_EQ(library.AttachKind(), eCanAttachAny);

    MemoryManager memory;
    Component component;
    EXPECT_EQ(component.Create(library, memory, u"Nope"), Component::Step::Instance);
    EXPECT_FALSE(component.Created());
    EXPECT_EQ(component.Create(library, memory, u"FakeTwin"), Component::Step::Done);
    EXPECT_EQ(component.GetInfo(), 2000);
    EXPECT_EQ(component.Destroy(), 0);
    EXPECT_FALSE(component.Created());
}

TEST(NativeHostLibrary, MissingFileOrEntryFunctionIsNamedWithTheSystemsReason) {
    NativeLibrary library;
#if defined(_WIN32)
    const std::string missing = "NoSuchLibrary.dll";
    const std::string system = "kernel32.dll";
#else
    const std::string missing = "/nonexistent/NoSuchLibrary.so";
    const std::string system = "libc.so.6";
#endif
    EXPECT_FALSE(library.Load(missing));
    EXPECT_FALSE(library.Loaded());
    EXPECT_TRUE(Contains(library.Error(), ("cannot load " + missing + ": ").c_str())) << library.Error();
    EXPECT_GT(library.Error().size(), ("cannot load " + missing + ": ").size() + 5) << "the system's reason";

    EXPECT_FALSE(library.Load(system));
    EXPECT_FALSE(library.Loaded());
    EXPECT_TRUE(Contains(library.Error(), "has no entry function GetClassNames: ")) << library.Error();
}

TEST_F(NativeHost, EveryTextTheComponentHandsOverIsReadAndFreedOnce) {
    EXPECT_EQ(component.RegisterExtensionAs(), std::u16string(u"Fake"));
    EXPECT_EQ(component.PropName(0, 1), u"Текст");
    EXPECT_EQ(component.MethodName(1, 0), u"Post");
    ASSERT_TRUE(component.SetPropText(0, u"värde"));
    const Component::Value property = component.PropValue(0);
    EXPECT_TRUE(property.ok);
    EXPECT_EQ(property.text, u"värde");

    const Component::CallResult echo = component.CallByName(u"Эхо", 2, {u"Привет"});
    EXPECT_TRUE(echo.found);
    EXPECT_TRUE(echo.ok);
    EXPECT_EQ(echo.result, u"Привет");
    EXPECT_EQ(echo.resultType, VTYPE_PWSTR);
    EXPECT_EQ(echo.textParams, (std::vector<std::u16string>{u"Привет", u"out"}));
    EXPECT_EQ(echo.types, (std::vector<uint16_t>{VTYPE_PWSTR, VTYPE_PWSTR}));
    EXPECT_FALSE(component.CallByName(u"Nope", 1).found);

    ASSERT_EQ(component.Destroy(), 0);
    const MemoryManager::Report report = memory.GetReport();
    EXPECT_TRUE(report.Clean()) << report.Text();
    EXPECT_EQ(report.frees, report.allocations);
    // The extension, property and method names, the text set and the one
    // read, the parameter lent to Echo, its result and its second parameter.
    EXPECT_EQ(report.allocations, 8u) << "every text crossing over goes through the manager";
}

TEST_F(NativeHost, ForeignAndDoubleFreesOverrunsAndLeaksAreReportedWithoutHarm) {
    EXPECT_TRUE(component.CallByName(u"Leak", 0).ok);
    EXPECT_TRUE(component.CallByName(u"Misuse", 0).ok);
    ASSERT_EQ(component.Destroy(), 0);

    const MemoryManager::Report report = memory.GetReport();
    ASSERT_EQ(report.leaks.size(), 1u) << report.Text();
    EXPECT_EQ(report.leaks[0].bytes, 16u);
    EXPECT_FALSE(report.leaks[0].host);
    ASSERT_EQ(report.faults.size(), 3u) << report.Text();
    EXPECT_TRUE(Contains(report.faults[0], "does not hold")) << report.Text();
    EXPECT_TRUE(Contains(report.faults[1], "does not hold")) << report.Text();
    EXPECT_TRUE(Contains(report.faults[2], "written past its end")) << report.Text();
}

TEST_F(NativeHost, CallerMadeValuesStayTheCallersAndAWrongTypeIsReportedThroughTheConnection) {
    std::vector<tVariant> wrong{I4Value(7), EmptyValue()};
    const Component::CallResult refused = component.CallValues(0, wrong);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.textParams[0], u"7");
    ASSERT_EQ(connection.Errors().size(), 1u);
    EXPECT_EQ(connection.Errors()[0].code, 1002);
    EXPECT_EQ(connection.Errors()[0].description, u"Echo takes a text");

    NativeString huge(1 << 18, static_cast<WCHAR_T>('x'));
    std::vector<tVariant> texts{TextValue(huge), EmptyValue()};
    const Component::CallResult echo = component.CallValues(0, texts);
    EXPECT_TRUE(echo.ok);
    EXPECT_EQ(echo.result.size(), huge.size());
    EXPECT_EQ(texts[0].value.wideText.pwstrVal, huge.data()) << "the caller's text is left where it was";

    ASSERT_EQ(component.Destroy(), 0);
    const MemoryManager::Report report = memory.GetReport();
    EXPECT_TRUE(report.Clean()) << report.Text();
}

TEST_F(NativeHost, EventsFromTheComponentsThreadAreRecordedAndRefusedOnesCounted) {
    EXPECT_EQ(connection.BufferDepths(), std::vector<long>{10});
    std::atomic<int> heard{0};
    connection.SetListener([&](const HostEvent&) { ++heard; });
    connection.RefuseEvents(1);

    EXPECT_TRUE(component.CallByName(u"Post", 1, {u"3"}).ok);
    EXPECT_TRUE(connection.WaitForEvents(2, 10s));
    component.Done();

    const std::vector<HostEvent> events = connection.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].source, u"Fake");
    EXPECT_EQ(events[0].name, u"Event");
    EXPECT_EQ(events[0].data, u"1") << "event 0 was refused";
    EXPECT_EQ(events[1].data, u"2");
    EXPECT_NE(events[0].thread, std::this_thread::get_id());
    EXPECT_EQ(connection.RefusedCount(), 1u);
    EXPECT_EQ(heard.load(), 2);
    EXPECT_EQ(connection.LateCalls(), 0u);
}

TEST(NativeHostValues, EachTagReadsAsItsText) {
    tVariant value = EmptyValue();
    EXPECT_EQ(ValueText(value), u"");
    EXPECT_EQ(ValueText(I4Value(-5)), u"-5");
    EXPECT_EQ(ValueText(BoolValue(true)), u"true");
    EXPECT_EQ(ValueText(BoolValue(false)), u"false");
    EXPECT_EQ(ValueText(R8Value(0.1)), u"0.1");
    value.vt = VTYPE_UI8;
    value.value.ullVal = ULLONG_MAX;
    EXPECT_EQ(ValueText(value), u"18446744073709551615");
    value.vt = VTYPE_R4;
    value.value.fltVal = 0.1f;
    EXPECT_EQ(ValueText(value), u"0.1");
    char bytes[] = "ab\0cd";
    value.vt = VTYPE_PSTR;
    value.value.text.pstrVal = bytes;
    value.value.text.strLen = 4;
    EXPECT_EQ(ValueText(value), std::u16string(u"ab\0c", 4)) << "strLen counts, not the terminator";
    NativeString text = ToNative(u"дом");
    value = TextValue(text);
    value.value.wideText.wstrLen = 2;
    EXPECT_EQ(ValueText(value), u"до");
    value.value.wideText.pwstrVal = nullptr;
    EXPECT_EQ(ValueText(value), u"");
    value.vt = VTYPE_TM;
    value.value.tmVal = {};
    value.value.tmVal.tm_year = 124;
    value.value.tmVal.tm_mon = 1;
    value.value.tmVal.tm_mday = 29;
    value.value.tmVal.tm_hour = 23;
    EXPECT_EQ(ValueText(value), u"2024-02-29T23:00:00");
}

}  // namespace
}  // namespace veltra::substitute::native
