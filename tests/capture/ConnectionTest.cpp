#include "core/capture/Connection.h"

#include <gtest/gtest.h>

#include "CaptureTestSupport.h"

namespace veltra {
namespace {

using namespace test;

class FakeHook : public KeyboardHook {
public:
    bool refuse = false;
    CodeQueues* queues = nullptr;  // where a test types its codes

    bool Install(CodeQueues& q, const StoredSettings&) override {
        id_ = refuse ? 0 : 9;
        queues = refuse ? nullptr : &q;
        return !refuse;
    }
    void Remove() noexcept override { queues = nullptr; }
    int32_t DeviceId() const noexcept override { return id_; }

private:
    int32_t id_ = 0;
};

class RefusingPort : public FakeSerialPort {
public:
    RefusingPort() : FakeSerialPort({}) {}
    void Open(const std::u16string&, const LineSettings&) override { Raise(Msg::PortUnavailable); }
};

struct ModeRow {
    const char* name;
    const char16_t* port;
    int32_t deviceId;      // what the fakes hand out
    char16_t refusedOpen;  // the class of a second object's Open
};

const ModeRow kModes[] = {
    {"keyboard", u"USB", 9, u'2'},
    {"input device", u"usb:05e0:1200", 9, u'2'},
    {"serial", u"COM3", 5, u'5'},
};

StoredSettings SettingsFor(const ModeRow& row) {
    StoredSettings s;
    s.port = row.port;
    s.line = {9600, 8, 1, false};
    s.timeLimitMs = 1000;
    s.prefix = u"192";
    s.suffix = u"9";
    return s;
}

char16_t ClassOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const DriverError& e) {
        return e.message().empty() ? u'?' : e.message()[0];
    }
    return u'-';
}

// One lifecycle, both modes: a code reaches the holder's sink with the
// identifier Open answered; a second object is refused and leaves it alone;
// after Close nothing more is posted.
TEST(Connection_, Lifecycle_InBothModes) {
    for (const ModeRow& row : kModes) {
        SCOPED_TRACE(row.name);
        LanguageScope english(true);
        const StoredSettings settings = SettingsFor(row);
        FakeHook hook;
        FakeSerialPort port({DataStep("4607\r")});  // the serial code, trimmed when posted
        RecordingHost sink;
        Connection connection(settings, hook, port, [](uint8_t) { return true; });
        int owner = 0, other = 0;

        ASSERT_TRUE(connection.Attach(&owner));
        ASSERT_EQ(connection.Open(&owner, sink, true), row.deviceId);
        if (hook.queues) hook.queues->Append(QueueId::Keyboard, QueueEntry::Code(u"4607"));
        ExpectPostings(sink.WaitAccepted(1), {{DecimalText(row.deviceId), u"Barcode", u"4607"}});

        EXPECT_FALSE(connection.Attach(&other));
        EXPECT_EQ(ClassOf([&] { connection.Open(&other, sink, false); }), row.refusedOpen);
        EXPECT_EQ(ClassOf([&] { connection.Close(&other); }), u'3');
        connection.Detach(&other);
        EXPECT_TRUE(connection.HeldBy(&owner));

        connection.Close(&owner);
        EXPECT_FALSE(connection.HeldBy(&owner));
        EXPECT_EQ(hook.queues, nullptr) << "the hook is removed";
        connection.Detach(&owner);
        EXPECT_EQ(sink.Postings().size(), 1u);
    }
}

// What a serial scanner sends, from the port's read to the host's event: a
// code that reads "Error" (a scanner without a suffix) is a code like any other.
TEST(Connection_, SerialBursts_BecomeCodesOrDriverErrors) {
    LanguageScope english(true);
    const std::u16string bad = u"Check COM port settings, incorrect values come.";
    const StoredSettings settings = SettingsFor(kModes[2]);  // serial
    FakeHook hook;
    FakeSerialPort port({DataStep("Error"), DataStep("12\xC8"), DataStep(" Error\r\n"), DataStep("4607")});
    RecordingHost sink;
    Connection connection(settings, hook, port, [](uint8_t b) { return b != 0xC8; });
    int owner = 0;
    ASSERT_TRUE(connection.Attach(&owner));
    ASSERT_EQ(connection.Open(&owner, sink, true), 5);
    ExpectPostings(sink.WaitAccepted(4), {
                                             {u"5", u"Barcode", u"Error"},
                                             {u"5", u"DriverError", bad},
                                             {u"5", u"Barcode", u"Error"},
                                             {u"5", u"Barcode", u"4607"},
                                         });
    connection.Close(&owner);
    connection.Detach(&owner);
}

// A step that fails leaves nothing running and no holder.
TEST(Connection_, FailedOpen_LeavesNothingRunning) {
    LanguageScope english(true);
    for (const ModeRow& row : kModes) {
        SCOPED_TRACE(row.name);
        const StoredSettings settings = SettingsFor(row);
        FakeHook hook;
        hook.refuse = true;
        RefusingPort port;
        RecordingHost sink;
        Connection connection(settings, hook, port, [](uint8_t) { return true; });
        int owner = 0;
        ASSERT_TRUE(connection.Attach(&owner));
        EXPECT_EQ(ClassOf([&] { connection.Open(&owner, sink, true); }), row.refusedOpen);
        EXPECT_FALSE(connection.HeldBy(&owner));
        EXPECT_EQ(connection.DeviceId(), 0);
    }
}

// Every key of a named input device is the scanner's: no prefix is needed
// there, and a suffix still is.
TEST(Connection_, NeedsAPrefix_OnlyWithoutANamedInputDevice) {
    LanguageScope english(true);
    const struct {
        const char16_t* port;
        const char16_t* prefix;
        const char16_t* suffix;
        bool opens;
    } rows[] = {
        {u"USB", u"", u"9", false},
        {u"usb:05e0:1200", u"", u"9", true},
        {u"/dev/input/by-id/usb-Scanner-event-kbd", u"", u"13", true},
        {u"usb:05e0:1200", u"192", u"", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(ToUtf8(row.port) + " prefix " + ToUtf8(row.prefix) + " suffix " + ToUtf8(row.suffix));
        StoredSettings settings = SettingsFor(kModes[0]);
        settings.port = row.port;
        settings.prefix = row.prefix;
        settings.suffix = row.suffix;
        FakeHook hook;
        FakeSerialPort port({});
        RecordingHost sink;
        Connection connection(settings, hook, port, [](uint8_t) { return true; });
        int owner = 0;
        ASSERT_TRUE(connection.Attach(&owner));
        if (row.opens) {
            EXPECT_EQ(connection.Open(&owner, sink, true), 9);
        } else {
            EXPECT_EQ(ClassOf([&] { connection.Open(&owner, sink, true); }), u'2');
            EXPECT_EQ(g_ErrorText, Text(Msg::OpenNoPrefixOrSuffix));
        }
        connection.Detach(&owner);
    }
}

}  // namespace
}  // namespace veltra
