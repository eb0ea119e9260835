// The driver on a serial line, through COM as the host drives it. A socat
// pseudo-terminal pair stands in for the scanner's cable: the driver opens
// one end as a COM port and the test writes the scanner's bytes into the
// other (tests/wine/serial_fixture.sh; CTest names both ends in
// VELTRA_SERIAL_PORT and VELTRA_SERIAL_FEED).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "HostFixture.h"
#include "core/common/Text.h"

namespace veltra::test {
namespace {

using namespace std::chrono_literals;

// Generous: a loaded machine may run Wine slowly. Nothing waits this long
// unless the driver is broken.
constexpr auto kWait = 20s;
// Silence between two bursts that must stay two reads; the driver ends a
// burst after 50 ms without a byte.
constexpr auto kGap = 500ms;
// A port that no prefix maps.
const char16_t kMissingPort[] = u"COM35";

const char16_t kNoPortNumber[] = u"Error when connecting scanners,PortNumber is not set.";
const char16_t kNoComSettings[] = u"Error when connecting scanners,not set the COM port settings.";
const char16_t kPortUnavailable[] = u"Failed to initialize COM port specified port is not available.";
const char16_t kBadData[] = u"Check COM port settings, incorrect values come.";
const char16_t kBadDataRu[] = u"Проверьте настройки COM порта, приходят некорректные значения.";

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    return value ? value : L"";
}

// Process-wide counts may include a thread (with its handle) that Wine runs
// on its own for a while, so a leak shows as growth over repeated operations:
// one handle or thread left behind per repetition grows the count by at
// least kRepeats.
constexpr int kRepeats = 3;

// An initialised component, in English, as the host holds it.
class SerialOpen : public ConnectingComponent {
protected:
    void Configure(const std::u16string& port, const std::u16string& speed = u"9600",
                   const std::u16string& dataBits = u"8", const std::u16string& stopBits = u"1 stop bits") {
        const struct {
            const char16_t* name;
            std::u16string value;
        } rows[] = {
            {u"propComPortNumber", port}, {u"propSpeed", speed},  {u"propDataBit", dataBits},
            {u"propStopBits", stopBits},  {u"propParity", u"No"},
        };
        for (const auto& row : rows)
            ASSERT_EQ(c.SetParameter(row.name, row.value), 1) << ToUtf8(row.name) << " " << ToUtf8(row.value);
    }
};

// ... with the test's end of a serial line.
class Serial : public SerialOpen {
protected:
    void SetUp() override {
        const std::wstring port = Env(L"VELTRA_SERIAL_PORT"), feed = Env(L"VELTRA_SERIAL_FEED");
        if (port.empty() || feed.empty())
            GTEST_SKIP() << "no virtual serial line: run through CTest, or start tests/wine/serial_fixture.sh "
                            "and set VELTRA_SERIAL_PORT and VELTRA_SERIAL_FEED";
        port_.assign(port.begin(), port.end());
        // The feeding end is a Unix path; Wine's Z: drive is the Unix root.
        std::wstring path = L"Z:" + feed;
        for (wchar_t& ch : path)
            if (ch == L'/') ch = L'\\';
        feed_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(feed_) << "cannot open the feeding end, error " << ::GetLastError();
        DiscardStaleInput();
        SerialOpen::SetUp();
        if (HasFatalFailure()) return;
        Configure(port_);
    }

    // Bytes an earlier test fed and nobody read wait in the line: drop them.
    void DiscardStaleInput() {
        const std::wstring name = L"\\\\.\\" + std::wstring(port_.begin(), port_.end());
        UniqueHandle line(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(line) << "cannot open " << ToUtf8(port_) << ", error " << ::GetLastError();
        ::PurgeComm(line.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
    }

    // Sends one burst as the scanner would: all bytes in one write.
    void Feed(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(feed_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }
    // Sends a burst and waits until the host has accepted `total` events.
    void FeedAndWait(const std::string& bytes, size_t total) {
        Feed(bytes);
        ASSERT_TRUE(host.WaitForEvents(total, kWait))
            << "after \"" << Printable(FromUtf8(bytes)) << "\":" << Recording(host.Events());
    }
    std::u16string port_;
    UniqueHandle feed_;
};

struct Expected {
    std::u16string name;
    std::u16string data;
};

// Compares the recording with the expected events, all from one source.
void ExpectEvents(const std::vector<HostEvent>& events, const std::u16string& source,
                  const std::vector<Expected>& expected) {
    bool same = events.size() == expected.size();
    for (size_t i = 0; same && i < events.size(); ++i)
        same = events[i].source == source && events[i].name == expected[i].name && events[i].data == expected[i].data;
    std::string want;
    for (const Expected& e : expected)
        want += "\n  " + ToUtf8(source) + " " + ToUtf8(e.name) + " \"" + Printable(e.data) + "\"";
    EXPECT_TRUE(same) << "recorded:" << Recording(events) << "\nexpected:" << want;
}

// ---- Open: settings and failures -------------------------------------------

TEST(SerialSettings, Open_ReportsTheFirstMissingSetting_InTheFixedOrder) {
    // Nothing resets the stored settings while the library stays loaded, so
    // the order shows only in a freshly loaded one (CTest runs every test in
    // its own process).
    ::CoFreeUnusedLibrariesEx(0, 0);
    if (const HMODULE dll = ::GetModuleHandleW(L"VeltraScanner.dll")) {
        const auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void (*)()>(::GetProcAddress(dll, "DllCanUnloadNow")));
        GTEST_SKIP() << "the library is still loaded, with the settings of an earlier test (DllCanUnloadNow "
                     << (canUnload ? canUnload() : E_FAIL) << ")";
    }
    HostConnection host;
    Component c;
    ASSERT_TRUE(c.Created());
    ASSERT_EQ(c.Init(host), S_OK);
    c.SetLocale(L"en_US");
    const struct {
        const char16_t* name;
        const char16_t* value;
        long code;
        const char16_t* message;
    } rows[] = {
        {nullptr, nullptr, 2, kNoPortNumber},       {u"propComPortNumber", kMissingPort, 2, kNoComSettings},
        {u"propSpeed", u"9600", 2, kNoComSettings}, {u"propDataBit", u"8", 2, kNoComSettings},
        {u"propParity", u"No", 2, kNoComSettings},  {u"propStopBits", u"1 stop bits", 5, kPortUnavailable},
    };
    for (const auto& row : rows) {
        const std::string label = row.name ? ToUtf8(row.name) : "nothing set";
        if (row.name) {
            ASSERT_EQ(c.SetParameter(row.name, row.value), 1) << label;
        }
        const Component::CallResult r = c.CallByName(u"Open", 1);
        EXPECT_EQ(V_I4(r.result.get()), 0) << label;
        EXPECT_EQ(r.types[0], VT_EMPTY) << label << ": no identifier on failure";
        EXPECT_EQ(c.LastError(), std::make_pair(row.code, std::u16string(row.message))) << label;
    }
    c.Done();
}

TEST_F(SerialOpen, Open_FailsWithPortUnavailable_AndLeavesNoHandle_WhenThePortDoesNotExist) {
    Configure(kMissingPort);
    EXPECT_EQ(Open().result, 0);  // the first failure may load what later ones reuse
    const DWORD before = HandleCount();
    for (int i = 0; i < kRepeats; ++i) {
        const Opened o = Open();
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(c.LastError(), std::make_pair(5L, std::u16string(kPortUnavailable))) << i;
    }
    EXPECT_LT(HandleCount(), before + kRepeats);
}

// ---- Open on a line ----------------------------------------------------------

TEST_F(Serial, Open_ConfiguresThePort_AndAnswersItsHandleAsDecimalText) {
    // A Linux pseudo-terminal keeps 8 data bits whatever it is asked for;
    // a real port would report the 7 of the second row.
    const BYTE kPtyDataBits = 8;
    const struct {
        const char16_t *speed, *dataBits, *stopBits;
        DWORD baud;
        BYTE bits, stop;
    } rows[] = {
        {u"9600", u"8", u"1 stop bits", 9600, 8, ONESTOPBIT},
        {u"115200", u"7", u"2 stop bits", 115200, kPtyDataBits, TWOSTOPBITS},
        {u"1200", u"8", u"1 stop bits", 1200, 8, ONESTOPBIT},
    };
    for (const auto& row : rows) {
        const std::string label = ToUtf8(row.speed);
        Configure(port_, row.speed, row.dataBits, row.stopBits);
        const std::u16string device = Connect();
        const std::optional<int32_t> id = ParseDecimalI32(device);
        ASSERT_TRUE(id) << label << ": \"" << ToUtf8(device) << "\"";
        EXPECT_EQ(DecimalText(*id), device) << label;
        // The identifier is the port's handle in this process.
        const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(*id));
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(::GetCommState(handle, &dcb)) << label << ": not a port handle";
        EXPECT_EQ(dcb.BaudRate, row.baud) << label;
        EXPECT_EQ(dcb.ByteSize, row.bits) << label;
        EXPECT_EQ(dcb.StopBits, row.stop) << label;
        EXPECT_EQ(dcb.Parity, NOPARITY) << label;
        COMMTIMEOUTS t{};
        ASSERT_TRUE(::GetCommTimeouts(handle, &t)) << label;
        EXPECT_EQ(t.ReadIntervalTimeout, 50u) << label;
        EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 1u) << label;
        EXPECT_EQ(t.ReadTotalTimeoutConstant, 50u) << label;
        EXPECT_EQ(Close(device), 1) << label;
    }
}

// ---- Bursts become events ----------------------------------------------------

TEST_F(Serial, Bursts_BecomeTrimmedBarcodes_AndRefusedBytesDriverErrors) {
    const std::u16string device = Connect();
    // 0x88 and 0xC8 are keys of no layout, with a display or without; a zero
    // byte is taken as it is. The split literals end hexadecimal escapes.
    // clang-format off
    const struct { std::string bytes; const char16_t* name; std::u16string data; } rows[] = {
        {"4607012345678\r\n", u"Barcode", u"4607012345678"},
        {"  \tVLT-2026/12-ABC \r\n", u"Barcode", u"VLT-2026/12-ABC"},
        {"\r\n", nullptr, u""},  // nothing but terminators: no event
        {"0104607012345678" "21ABC123\x1D" "10LOT42\r\n", u"Barcode", u"010460701234567821ABC123\x1D" u"10LOT42"},
        {std::string("12\0" "34\r", 6), u"Barcode", std::u16string(u"12\0" u"34", 5)},
        {"12\x88" "34\r\n", u"DriverError", kBadData},
        {"\xC8", u"DriverError", kBadData},
        {"5901234123457\r\n", u"Barcode", u"5901234123457"},
    };
    // clang-format on
    std::vector<Expected> expected;
    for (const auto& row : rows) {
        if (row.name) {
            expected.push_back({row.name, row.data});
            FeedAndWait(row.bytes, expected.size());
        } else {
            // Nothing to wait for; were it merged with the next burst, the
            // trimmed text would be the same.
            Feed(row.bytes);
            std::this_thread::sleep_for(kGap);
        }
        if (HasFatalFailure()) return;
    }
    ExpectEvents(host.Events(), device, expected);
}

TEST_F(Serial, Burst_Arrives_AfterReadsThatEndedInSilence) {
    const std::u16string device = Connect();
    std::this_thread::sleep_for(2500ms);  // two reads of an idle line end with no byte
    FeedAndWait("4607012345678\r\n", 1);
    ExpectEvents(host.Events(), device, {{u"Barcode", u"4607012345678"}});
}

TEST_F(Serial, RefusedEvents_AreOfferedAgain_InOrder_OnceTheHostAccepts) {
    const std::u16string device = Connect();
    host.RefuseEvents(E_FAIL);
    const char* codes[] = {"1111111111116\r\n", "2222222222222\r\n", "3333333333338\r\n"};
    for (const char* code : codes) {
        Feed(code);
        std::this_thread::sleep_for(kGap);
    }
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (host.RefusedCount() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    ASSERT_GE(host.RefusedCount(), 2u) << "the first code is offered again and again";
    EXPECT_TRUE(host.Events().empty());
    host.RefuseEvents(S_OK);
    ASSERT_TRUE(host.WaitForEvents(3, kWait)) << Recording(host.Events());
    ExpectEvents(host.Events(), device,
                 {{u"Barcode", u"1111111111116"}, {u"Barcode", u"2222222222222"}, {u"Barcode", u"3333333333338"}});
}

// ---- Close ---------------------------------------------------------------------

TEST_F(Serial, Close_RefusesAWrongIdentifier_AndTheConnectionRunsOn) {
    const std::u16string device = Connect();
    const int32_t id = *ParseDecimalI32(device);
    const struct {
        std::u16string id;
        const char16_t* message;
    } rows[] = {
        {u"", u"Invalid data type of the parameter Device ID."},
        {u"abc", u"Invalid data type of the parameter Device ID."},
        {DecimalText(id + 1LL), u"The device with the specified ID is not found."},
        {DecimalText(-static_cast<long long>(id)), u"The device with the specified ID is not found."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Close(row.id), 0) << ToUtf8(row.id);
        EXPECT_EQ(c.LastError(), std::make_pair(3L, std::u16string(row.message))) << ToUtf8(row.id);
    }
    FeedAndWait("4607012345678\r\n", 1);
    ExpectEvents(host.Events(), device, {{u"Barcode", u"4607012345678"}});
    EXPECT_EQ(Close(device), 1);
    EXPECT_EQ(Close(device), 1) << "closing again";
}

TEST_F(Serial, Close_ReturnsPromptly_WhileAReadIsPending) {
    // An idle read lasts about 1074 ms; Close must not wait for the rest of it.
    for (const auto into : {100ms, 500ms, 900ms}) {
        const std::u16string device = Connect();
        std::this_thread::sleep_for(into);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Close(device), 1);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("Close %lld ms into an idle read took %lld ms\n", static_cast<long long>(into.count()),
                    static_cast<long long>(took.count()));
        EXPECT_LT(took, 200ms) << into.count() << " ms into the read";
    }
}

TEST_F(Serial, Open_WhileConnected_Reconnects_WithoutLeakingThePortOrThreads) {
    const std::u16string first = Connect();
    FeedAndWait("1111111111116\r\n", 1);
    Connect();
    const DWORD handles = HandleCount();
    const size_t threads = ThreadCount();
    std::u16string last;
    for (int i = 0; i < kRepeats; ++i) last = Connect();
    EXPECT_LT(HandleCount(), handles + kRepeats) << "each reconnect closes the previous port and threads";
    EXPECT_LT(ThreadCount(), threads + kRepeats);
    FeedAndWait("2222222222222\r\n", 2);
    const std::vector<HostEvent> events = host.Events();
    ASSERT_EQ(events.size(), 2u) << Recording(events);
    EXPECT_EQ(events[0].source, first);
    ExpectEvents({events[1]}, last, {{u"Barcode", u"2222222222222"}});
    EXPECT_EQ(Close(last), 1);
}

TEST_F(Serial, Done_WhileConnected_StopsTheThreadsBeforeReleasingTheHost) {
    const size_t threads = ThreadCount();
    Connect();
    FeedAndWait("1111111111116\r\n", 1);
    Feed("2222222222222\r\n");  // may be under way while Done runs
    ASSERT_EQ(c.Done(), S_OK);
    const size_t posted = host.Events().size();
    EXPECT_EQ(host.References(), 0);
    EXPECT_LE(ThreadCount(), threads + 1) << "the reader and the dispatch thread have ended";
    Feed("3333333333338\r\n");
    std::this_thread::sleep_for(1500ms);  // longer than one read of an idle line
    EXPECT_EQ(host.Events().size(), posted) << Recording(host.Events());
}

// ---- Faults ----------------------------------------------------------------------

TEST_F(Serial, Done_ReturnsPromptly_AndNothingIsPostedAfter_WhileTheHostRefusesEvents) {
    ExpectPromptDoneWhileRefusing([this] { Feed("1111111111116\r\n"); });
}

// ---- Unplugging and plugging in again --------------------------------------------

const char16_t kLineLost[] = u"An error occurred while reading from the COM port.";
const char16_t kLineLostRu[] = u"Ошибка при чтении из COM порта.";

// The fixture's second line, which the test unplugs and plugs in again as a
// USB serial scanner is (tests/wine/serial_fixture.sh: VELTRA_REPLUG_PORT and
// the folder of its request files, VELTRA_REPLUG_DIR).
class Replug : public SerialOpen {
protected:
    void SetUp() override {
        const std::wstring port = Env(L"VELTRA_REPLUG_PORT"), dir = Env(L"VELTRA_REPLUG_DIR");
        if (port.empty() || dir.empty())
            GTEST_SKIP() << "no line to unplug: run through CTest, which sets VELTRA_REPLUG_PORT and VELTRA_REPLUG_DIR";
        dir_ = L"Z:" + dir;
        for (wchar_t& ch : dir_)
            if (ch == L'/') ch = L'\\';
        // A fresh line: nothing an earlier test fed waits in it.
        Request(L"unplug");
        Request(L"plug");
        SerialOpen::SetUp();
        if (HasFatalFailure()) return;
        Configure(std::u16string(port.begin(), port.end()));
    }

    // Asks the fixture to unplug or plug the line and waits until it has.
    void Request(const wchar_t* what) {
        const std::wstring file = dir_ + L"\\" + what;
        ASSERT_TRUE(UniqueHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
        for (int i = 0; i < 1000 && ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(5);
        ASSERT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES)
            << "the fixture did not " << ToUtf8(std::u16string(what, what + ::wcslen(what)));
    }

    // Sends one burst into the line as it is plugged in now.
    void Feed(const std::string& bytes) {
        const std::wstring feed = dir_ + L"\\feed2";
        UniqueHandle line(::CreateFileW(feed.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(line) << "cannot open the feeding end, error " << ::GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(line.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }

    // Unplugs the line; the loss is told within a second, with `text`.
    void UnplugAndExpectLoss(size_t eventsBefore, const std::u16string& name, const std::u16string& text) {
        Request(L"unplug");
        const auto gone = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.WaitForEvents(eventsBefore + 1, 1s)) << "no event within a second of the loss";
        std::printf("the loss was told %lld ms after the line went away\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - gone)
                            .count()));
        const HostEvent lost = host.Events()[eventsBefore];
        EXPECT_EQ(lost.name, name);
        EXPECT_EQ(lost.data, text);
    }

    // Every code sent while the line is up arrives, in order and on the
    // identifier of the Open; the losses and returns leave no handle or
    // thread behind.
    void LossReturnCycles(int cycles) {
        const std::u16string id = Connect();
        std::vector<Expected> expected;
        ExpectFlatOverCycles("loss and return", cycles, [&](int cycle) {
            const std::string code = "C" + std::to_string(expected.size());
            Feed(code + "\r");
            expected.push_back({u"Barcode", FromUtf8(code)});
            ASSERT_TRUE(host.WaitForEvents(expected.size(), kWait)) << "cycle " << cycle;
            UnplugAndExpectLoss(expected.size(), u"DriverError", kLineLost);
            expected.push_back({u"DriverError", kLineLost});
            Request(L"plug");
        });
        Feed("last\r");
        expected.push_back({u"Barcode", u"last"});
        ASSERT_TRUE(host.WaitForEvents(expected.size(), kWait));
        ExpectEvents(host.Events(), id, expected);
        EXPECT_EQ(Close(id), 1);
    }

    std::wstring dir_;
};

// Both languages: the loss is told once, the line comes back by itself, and
// codes flow again on the identifier of the Open.
TEST_F(Replug, LossIsToldOnce_AndCodesFlowAgainOnTheSameIdentifier) {
    const struct {
        const wchar_t* locale;
        const char16_t* barcode;
        const char16_t* driverError;
        const char16_t* lost;
    } rows[] = {
        {L"en_US", u"Barcode", u"DriverError", kLineLost},
        {L"ru_RU", u"Штрихкод", u"ОшибкаДрайвера", kLineLostRu},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(ToUtf8(std::u16string(row.locale, row.locale + ::wcslen(row.locale))));
        const size_t before = host.Events().size();
        c.SetLocale(row.locale);
        const std::u16string id = Connect();
        Feed("4607\r");
        ASSERT_TRUE(host.WaitForEvents(before + 1, kWait));
        UnplugAndExpectLoss(before + 1, row.driverError, row.lost);
        std::this_thread::sleep_for(1500ms);  // an attempt to open it again, which tells nothing
        EXPECT_EQ(host.Events().size(), before + 2) << Recording(host.Events());
        Request(L"plug");
        Feed("4608\r");
        ASSERT_TRUE(host.WaitForEvents(before + 3, kWait)) << Recording(host.Events());
        const std::vector<HostEvent> events = host.Events();
        ExpectEvents({events.begin() + before, events.end()}, id,
                     {{row.barcode, u"4607"}, {row.driverError, row.lost}, {row.barcode, u"4608"}});
        EXPECT_EQ(Close(id), 1);
    }
}

TEST_F(Replug, CloseDuringTheOutage_ReturnsOnePromptly_AndNothingIsPostedAfter) {
    const std::u16string id = Connect();
    UnplugAndExpectLoss(0, u"DriverError", kLineLost);
    std::this_thread::sleep_for(1200ms);  // an attempt to open it again is under way or just over
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Close(id), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    Request(L"plug");
    Feed("4609\r");
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(host.Events().size(), 1u) << Recording(host.Events());
}

TEST_F(Replug, LossReturnCycles_DeliverEveryCodeInOrder) { LossReturnCycles(3); }
TEST_F(Replug, DISABLED_LossReturnCycles_Hundred_LeaveHandlesAndThreadsFlat) { LossReturnCycles(100); }

TEST_F(Serial, OpenCloseCycles_LeaveHandlesAndThreadsFlat) { OpenCloseCycles("serial", 200); }
TEST_F(Serial, DISABLED_OpenCloseCycles_TenThousand) { OpenCloseCycles("serial", 10000); }

// ---- Language ------------------------------------------------------------------

TEST_F(Serial, EventNames_FollowTheLanguageAtOpen_ErrorTextTheLanguageOfTheMoment) {
    ASSERT_EQ(c.Done(), S_OK);
    ASSERT_EQ(c.Init(host), S_OK);  // Russian again
    const std::u16string russian = Connect();
    FeedAndWait("1111111111116\r\n", 1);
    FeedAndWait("\x88", 2);
    c.SetLocale(L"en_US");
    FeedAndWait("\x88", 3);
    const std::u16string english = Connect();
    FeedAndWait("2222222222222\r\n", 4);
    FeedAndWait("\xC8", 5);
    std::vector<HostEvent> events = host.Events();
    ASSERT_EQ(events.size(), 5u);
    ExpectEvents({events.begin(), events.begin() + 3}, russian,
                 {{u"Штрихкод", u"1111111111116"},
                  {u"ОшибкаДрайвера", kBadDataRu},
                  {u"ОшибкаДрайвера", kBadData}});  // the name of the Open, the text of the moment
    ExpectEvents({events.begin() + 3, events.end()}, english,
                 {{u"Barcode", u"2222222222222"}, {u"DriverError", kBadData}});
}

}  // namespace
}  // namespace veltra::test
