// The POSIX serial port and the Linux connection over pseudo-terminals: the
// test writes on the master side what a scanner would send.
#include "core/capture/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "CaptureTestSupport.h"
#include "core/capture/ProcessConnection.h"
#include "core/capture/SerialReader.h"
#include "core/common/ScopeExit.h"

namespace veltra {
namespace {

using namespace test;

const LineSettings k9600{9600, 8, 1, false};

// A pseudo-terminal pair whose slave side the port opens by its path. Writes
// on the master side need the slave open, so they come after Open.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) ADD_FAILURE() << "no pseudo-terminal";
        if (slave >= 0) ::close(slave);
        path_ = FromUtf8(name);
    }
    ~Pty() { CloseMaster(); }
    const std::u16string& Path() const { return path_; }
    void Write(const std::string& bytes) {
        EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::u16string path_;
};

std::optional<std::string> ReadBurst(SerialPort& port, size_t capacity = 1024) {
    std::vector<uint8_t> buffer(capacity);
    const std::optional<size_t> n = port.Read(buffer.data(), capacity);
    if (!n) return std::nullopt;
    return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*n));
}

// The class-5 message Open raised, or empty when it opened.
std::u16string OpenError(SerialPort& port, const std::u16string& name, const LineSettings& line = k9600) {
    try {
        port.Open(name, line);
    } catch (const DriverError& e) {
        return e.message();
    }
    return {};
}

TEST(PosixDevicePath_, MapsComNToTtyS_AndTakesDevicePathsAsTheyAre) {
    const struct {
        const char16_t* text;
        const char* path;
    } rows[] = {
        {u"COM1", "/dev/ttyS0"},
        {u"COM10", "/dev/ttyS9"},
        {u"COM35", "/dev/ttyS34"},
        {u"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {u"/dev/сканер", "/dev/сканер"},
        {u"COM0", ""},
        {u"COM01", ""},
        {u"COM+1", ""},
        {u"COM", ""},
        {u"com1", ""},
        {u"USB", ""},
        {u"dev/ttyS0", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(PosixDevicePath(row.text), row.path) << ToUtf8(row.text);
}

TEST(PosixSerialPort_, Open_RaisesPortUnavailable_ForWhatCannotBeHad_AndLeavesThePortClosed) {
    LanguageScope english(true);
    Pty pty;
    PosixSerialPort holder;
    ASSERT_EQ(OpenError(holder, pty.Path()), u"");
    for (const std::u16string name : {u"/dev/veltra-no-such-device", u"/dev/null", u"USB", u"COM0"}) {
        PosixSerialPort port;
        EXPECT_EQ(OpenError(port, name), Text(Msg::PortUnavailable)) << ToUtf8(name);
    }
    PosixSerialPort second;
    EXPECT_EQ(OpenError(second, pty.Path()), Text(Msg::PortUnavailable)) << "the port is exclusive";
    // A failed Open closes what the port had open.
    EXPECT_EQ(OpenError(holder, u"/dev/null"), Text(Msg::PortUnavailable));
    EXPECT_EQ(OpenError(second, pty.Path()), u"");
}

// Every speed the settings offer, those without a termios constant too, and
// the framings; read back through the descriptor DeviceId names. A
// pseudo-terminal always keeps 8 bits and no parity: the size and PARENB
// cannot be read back here, the stop bits and the odd parity flag can.
TEST(PosixSerialPort_, Open_SetsTheLine) {
    constexpr tcflag_t kAnyRate = 0010000;  // the kernel's BOTHER: the rate is held beside the flags
    const struct {
        LineSettings line;
        speed_t speed;     // kAnyRate for a rate without a constant
        tcflag_t framing;  // CSTOPB and PARODD
    } rows[] = {
        {{1200, 8, 1, false}, B1200, 0},
        {{2400, 8, 1, false}, B2400, 0},
        {{4800, 8, 1, false}, B4800, 0},
        {{9600, 8, 1, false}, B9600, 0},
        {{14400, 8, 1, false}, kAnyRate, 0},
        {{19200, 8, 1, false}, B19200, 0},
        {{38400, 8, 1, false}, B38400, 0},
        {{56000, 8, 1, false}, kAnyRate, 0},
        {{57600, 8, 1, false}, B57600, 0},
        {{115200, 8, 1, false}, B115200, 0},
        {{128000, 8, 1, false}, kAnyRate, 0},
        {{256000, 8, 1, false}, kAnyRate, 0},
        {{9600, 7, 2, true}, B9600, CSTOPB | PARODD},
        {{9600, 5, 15, false}, B9600, CSTOPB},
        {{9600, 6, 1, true}, B9600, PARODD},
        {{9600, 8, 1, false}, B9600, 0},
    };
    Pty pty;
    PosixSerialPort port;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.line.baudRate << " " << row.line.dataBits << " " << row.line.stopBits);
        ASSERT_EQ(OpenError(port, pty.Path(), row.line), u"");
        termios taken{};
        ASSERT_EQ(::tcgetattr(port.DeviceId(), &taken), 0);
        EXPECT_EQ(taken.c_cflag & (CSTOPB | PARODD), row.framing);
        EXPECT_EQ(::cfgetospeed(&taken), row.speed);
        EXPECT_EQ(taken.c_cflag & (CLOCAL | CREAD | CRTSCTS), CLOCAL | CREAD);
        EXPECT_EQ(taken.c_lflag & (ICANON | ECHO), 0u) << "raw";
    }
}

TEST(PosixSerialPort_, Read_FramesBurstsBySilenceAndCapacity) {
    Pty pty;
    PosixSerialPort port;
    ASSERT_EQ(OpenError(port, pty.Path()), u"");
    EXPECT_EQ(ReadBurst(port, 10), "") << "a silent line times out with nothing";

    pty.Write("12345\r");
    EXPECT_EQ(ReadBurst(port), "12345\r");
    pty.Write("123456");
    EXPECT_EQ(ReadBurst(port, 4), "1234");
    EXPECT_EQ(ReadBurst(port), "56");

    // The second write waits for the first read to end (up to 700 ms, well
    // within the read's own 1074), so a read that does not end at the silence
    // would take both.
    std::promise<void> firstRead;
    std::thread writer([&] {
        pty.Write("AB");
        firstRead.get_future().wait_for(700ms);
        pty.Write("CD");
    });
    EXPECT_EQ(ReadBurst(port), "AB");
    firstRead.set_value();
    EXPECT_EQ(ReadBurst(port), "CD");
    writer.join();
}

// The reads here would wait a minute for a first byte: a cancel must end them.
TEST(PosixSerialPort_, CancelRead_EndsAPendingRead_AndEveryReadUntilTheNextOpen) {
    constexpr size_t kMinute = 60000;
    Pty pty;
    PosixSerialPort port;
    ASSERT_EQ(OpenError(port, pty.Path()), u"");
    auto pending = std::async(std::launch::async, [&] { return ReadBurst(port, kMinute); });
    std::this_thread::sleep_for(50ms);  // most likely pending by now; a cancel before the read counts too
    port.CancelRead();
    ASSERT_EQ(pending.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(pending.get(), "");

    pty.Write("XY");
    auto later = std::async(std::launch::async, [&] { return ReadBurst(port, kMinute); });
    ASSERT_EQ(later.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(later.get(), "") << "the cancel holds until the next Open";

    ASSERT_EQ(OpenError(port, pty.Path()), u"");
    pty.Write("Z");
    EXPECT_EQ(ReadBurst(port), "Z");
}

TEST(PosixSerialPort_, Read_ReportsTheLineLost_WhenTheOtherSideCloses) {
    Pty pty;
    PosixSerialPort port;
    ASSERT_EQ(OpenError(port, pty.Path()), u"");
    auto pending = std::async(std::launch::async, [&] { return ReadBurst(port, 60000); });
    pty.CloseMaster();
    ASSERT_EQ(pending.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(pending.get(), std::nullopt);
}

TEST(PosixSerialPort_, SerialReader_QueuesABurst) {
    Pty pty;
    PosixSerialPort port;
    ASSERT_EQ(OpenError(port, pty.Path()), u"");
    CodeQueues queues;
    SerialReader reader(port, queues, IsSevenBitCode, pty.Path(), k9600);
    reader.Start();
    pty.Write("4607\r");
    std::atomic<bool> stop{false};
    ASSERT_TRUE(queues.WaitForEntry([] { return QueueId::Serial; }, stop, kPatience));
    reader.Stop();
    EXPECT_EQ(queues.Front(QueueId::Serial), QueueEntry::Code(u"4607\r"));
}

// The process's connection as the Linux add-in gets it: keyboard mode answers
// with its own message; a device path connects the POSIX port, whose bursts
// are decoded as 7-bit codes.
TEST(LinuxProcessConnection, KeyboardModeIsRefused_AndADevicePathConnects) {
    LanguageScope english(true);
    const StoredSettings saved = g_Settings;
    auto restore = OnScopeExit([&] {
        EndProcessConnection();
        g_Settings = saved;
    });
    ASSERT_TRUE(StartProcessConnection());
    Connection& connection = ProcessConnection();
    RecordingHost sink;
    int owner = 0;
    ASSERT_TRUE(connection.Attach(&owner));

    g_Settings = {u"USB", k9600, 1000, u"192", u"9"};
    try {
        connection.Open(&owner, sink, true);
        ADD_FAILURE() << "keyboard mode connected";
    } catch (const DriverError& e) {
        EXPECT_EQ(e.message(), Text(Msg::OpenKeyboardUnavailable));
    }
    EXPECT_FALSE(connection.HeldBy(&owner));

    Pty pty;
    SetComPortNumber(g_Settings, pty.Path());
    const int32_t id = connection.Open(&owner, sink, true);
    pty.Write("4607\r");
    sink.WaitAccepted(1);
    pty.Write("46\xC8\r");
    const std::u16string bad = Text(Msg::BadSerialData);
    ExpectPostings(sink.WaitAccepted(2),
                   {{DecimalText(id), u"Barcode", u"4607"}, {DecimalText(id), u"DriverError", bad}});
    connection.Close(&owner);
    connection.Detach(&owner);
}

}  // namespace
}  // namespace veltra
