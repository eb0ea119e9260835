#include "FaceUnderTest.h"

#include <gtest/gtest.h>

#include "core/common/Text.h"
#include "host/native/NativeDriverFace.h"

#if defined(_WIN32)
#include "host/com/ComDriverFace.h"
#endif

#ifndef VELTRA_NATIVE_LIBRARY
#error "VELTRA_NATIVE_LIBRARY names the library under test"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace veltra::test {

std::unique_ptr<Face> MakeNativeFace() {
    auto face = std::make_unique<substitute::native::NativeDriverFace>(VELTRA_NATIVE_LIBRARY, u"VeltraScanner");
    if (!face->Created()) ADD_FAILURE() << "cannot load " << VELTRA_NATIVE_LIBRARY << ": " << face->LoadError();
    return face;
}

#if defined(_WIN32)
std::unique_ptr<Face> MakeComFace() { return std::make_unique<substitute::ComDriverFace>(); }
#endif

#if defined(_WIN32)

// The virtual COM port of the Wine tests (tests/wine/serial_fixture.sh): the
// driver opens the port, the test writes to the other end of its line.
SerialLine::SerialLine() {
    const wchar_t* port = ::_wgetenv(L"VELTRA_SERIAL_PORT");
    const wchar_t* feed = ::_wgetenv(L"VELTRA_SERIAL_FEED");
    if (!port || !feed) return;
    port_.assign(port, port + wcslen(port));
    // The feeding end is a Unix path; Wine's Z: drive is the Unix root.
    std::wstring path = L"Z:" + std::wstring(feed);
    for (wchar_t& ch : path)
        if (ch == L'/') ch = L'\\';
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    feed_ = reinterpret_cast<intptr_t>(h);
    // Bytes an earlier test fed and nobody read wait in the line: drop them.
    const std::wstring name = L"\\\\.\\" + std::wstring(port);
    HANDLE line = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (line != INVALID_HANDLE_VALUE) {
        ::PurgeComm(line, PURGE_RXCLEAR | PURGE_TXCLEAR);
        ::CloseHandle(line);
    }
    ready_ = true;
}

SerialLine::~SerialLine() {
    if (feed_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(feed_));
}

void SerialLine::Feed(const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(reinterpret_cast<HANDLE>(feed_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                            nullptr));
    ASSERT_EQ(written, bytes.size());
}

#else

// A pseudo-terminal: the driver opens its terminal end by path, the test
// writes to the other. The test keeps the terminal end open too, so that the
// line is not lost between the driver's openings.
SerialLine::SerialLine() {
    int master = -1, terminal = -1;
    char name[256] = {};
    if (::openpty(&master, &terminal, name, nullptr, nullptr) != 0) return;
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    feed_ = master;
    other_ = terminal;
    port_ = FromUtf8(name);
    ready_ = true;
}

SerialLine::~SerialLine() {
    Unplug();
    if (other_ != -1) ::close(static_cast<int>(other_));
}

void SerialLine::Unplug() {
    if (feed_ != -1) ::close(static_cast<int>(feed_));
    feed_ = -1;
}

void SerialLine::Feed(const std::string& bytes) {
    ASSERT_EQ(::write(static_cast<int>(feed_), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

const TestInputDevice* g_TestInputDevice = nullptr;

#endif

}  // namespace veltra::test
