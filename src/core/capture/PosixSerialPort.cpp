#include "core/capture/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "core/capture/PosixLineSpeed.h"
#include "core/common/Messages.h"
#include "core/common/ScopeExit.h"
#include "core/common/Text.h"

namespace veltra {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The Windows port's read time-outs: 50 ms between two bytes, and for the
// whole read 1 ms per byte asked for plus 50 ms.
constexpr milliseconds kBurstGap{50};

// The termios constant of a speed, or B0 when it has none.
speed_t SpeedConstant(int32_t rate) {
    static const struct {
        int32_t rate;
        speed_t constant;
    } kSpeeds[] = {{300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},   {4800, B4800},
                   {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600}, {115200, B115200},
                   {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& s : kSpeeds)
        if (s.rate == rate) return s.constant;
    return B0;
}

tcflag_t CharacterSize(int32_t dataBits) {
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    case 8: return CS8;
    default: Raise(Msg::PortSetStateFailed);
    }
}

// The time left until `until` for poll: rounded up, so that a wake-up never
// comes before it.
int PollTimeout(Clock::time_point now, Clock::time_point until) {
    const long long left = std::chrono::ceil<milliseconds>(until - now).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

bool SetNonBlockingCloseOnExec(int fd) {
    const int status = ::fcntl(fd, F_GETFL);
    return status >= 0 && ::fcntl(fd, F_SETFL, status | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() {
    Close();
    if (cancelRead_ >= 0) ::close(cancelRead_);
    if (cancelWrite_ >= 0) ::close(cancelWrite_);
}

void PosixSerialPort::Open(const std::u16string& name, const LineSettings& line) {
    Close();
    if (cancelRead_ < 0) {
        int ends[2] = {-1, -1};
        if (::pipe(ends) != 0) Raise(Msg::PortUnavailable);
        cancelRead_ = ends[0];
        cancelWrite_ = ends[1];
        if (!SetNonBlockingCloseOnExec(cancelRead_) || !SetNonBlockingCloseOnExec(cancelWrite_)) {
            ::close(cancelRead_);
            ::close(cancelWrite_);
            cancelRead_ = cancelWrite_ = -1;
            Raise(Msg::PortUnavailable);
        }
    }
    // A cancel belongs to the port's last run, not to this one.
    char drained[64];
    while (::read(cancelRead_, drained, sizeof drained) > 0) {
    }

    const std::string path = PosixDevicePath(name);
    if (path.empty()) Raise(Msg::PortUnavailable);
    do {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    // A failed step closes the port again: a leaked descriptor would keep the
    // device locked until the process ends.
    auto closeAgain = OnScopeExit([this] { Close(); });
    // The descriptor is also the device identifier: one of the standard
    // streams' numbers (a host that closed stdin gets 0 here, the identifier
    // of no device) is moved above them.
    if (fd_ >= 0 && fd_ <= 2) {
        const int moved = ::fcntl(fd_, F_DUPFD_CLOEXEC, 3);
        ::close(fd_);
        fd_ = moved;
    }
    // Exclusive use: the lock keeps out every process that asks for it, root
    // included; TIOCEXCL keeps out the programs that do not ask (but not root).
    if (fd_ < 0 || ::isatty(fd_) == 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd_, TIOCEXCL) != 0)
        Raise(Msg::PortUnavailable);
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) Raise(Msg::PortUnavailable);

    ::cfmakeraw(&settings);
    // No modem control (a scanner drives no carrier line) and no flow
    // control, which a scanner's line lacks: settings another program left
    // would otherwise keep it unheard.
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    settings.c_cflag |= CharacterSize(line.dataBits);
    switch (line.stopBits) {
    case 1: settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB); break;
    // CSTOPB gives one and a half stop bits with 5 data bits, two otherwise.
    case 15:
    case 2: settings.c_cflag |= CSTOPB; break;
    default: break;  // keep what the port has
    }
    if (line.parity) settings.c_cflag |= PARENB | PARODD;
    else settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    // Reads never block: poll frames the bursts.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (line.baudRate <= 0) Raise(Msg::PortSetStateFailed);
    const speed_t speed = SpeedConstant(line.baudRate);
    if (speed != B0 && (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0))
        Raise(Msg::PortSetStateFailed);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) Raise(Msg::PortSetStateFailed);
    if (speed == B0 && !SetAnyLineSpeed(fd_, static_cast<uint32_t>(line.baudRate))) Raise(Msg::PortSetStateFailed);
    // What a device cannot do it adjusts silently; a pseudo-terminal (a
    // virtual serial line) always keeps 8 bits and no parity. Neither is
    // refused, as a virtual COM port on Windows takes any line settings.
    ::tcflush(fd_, TCIFLUSH);
    closeAgain.Dismiss();
    deviceId_ = fd_;
}

bool PosixSerialPort::Cancelled() const noexcept {
    pollfd cancel{cancelRead_, POLLIN, 0};
    return ::poll(&cancel, 1, 0) > 0;
}

std::optional<size_t> PosixSerialPort::Read(uint8_t* buffer, size_t capacity) {
    // A cancel that came between two reads still counts: the reader is
    // about to look at its stop request.
    if (Cancelled()) return 0;
    const Clock::time_point end =
        Clock::now() + milliseconds(static_cast<milliseconds::rep>(std::min<size_t>(capacity, INT_MAX))) + kBurstGap;
    Clock::time_point until = end;  // moves closer with every byte: the gap that ends the burst
    size_t got = 0;
    while (got < capacity) {
        const Clock::time_point now = Clock::now();
        if (now >= until) break;
        pollfd watched[] = {{fd_, POLLIN, 0}, {cancelRead_, POLLIN, 0}};
        const int ready = ::poll(watched, 2, PollTimeout(now, until));
        if (ready < 0 && errno != EINTR) return got > 0 ? std::optional<size_t>(got) : std::nullopt;
        if (ready <= 0) continue;                 // interrupted, or the time is up: the loop looks
        if (watched[1].revents != 0) return got;  // cancelled: what came so far
        if (watched[0].revents & POLLNVAL) return got > 0 ? std::optional<size_t>(got) : std::nullopt;
        const ssize_t n = ::read(fd_, buffer + got, capacity - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            until = std::min(end, Clock::now() + kBurstGap);
            continue;
        }
        // Nothing to read after all: a spurious wake-up, unless the device
        // also reports a hang-up or an error.
        const bool hungUp = (watched[0].revents & (POLLHUP | POLLERR)) != 0;
        if (n < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp))) continue;
        // End of file (a hung-up terminal) or a failed read (EIO once a
        // pseudo-terminal's other side is gone): the line is lost. What came
        // before it is returned; the next read meets the loss at once.
        return got > 0 ? std::optional<size_t>(got) : std::nullopt;
    }
    return got;
}

void PosixSerialPort::CancelRead() noexcept {
    if (cancelWrite_ < 0) return;
    const char signal = 1;
    // A full pipe already holds a cancel: nothing more to say.
    while (::write(cancelWrite_, &signal, 1) < 0 && errno == EINTR) {
    }
}

void PosixSerialPort::Close() noexcept {
    if (fd_ < 0) return;
    // The exclusive mark would outlive this descriptor while another one
    // holds the terminal, and keep the next Open out.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // releases the lock too
    fd_ = -1;
}

std::string PosixDevicePath(const std::u16string& portText) {
    if (portText.compare(0, 5, u"/dev/") == 0) return ToUtf8(portText);
    if (portText.compare(0, 3, u"COM") != 0) return {};
    const std::u16string digits = portText.substr(3);
    const std::optional<int32_t> n = ParseDecimalI32(digits);
    // Only the plain form: no sign, no leading zero.
    if (!n || *n < 1 || DecimalText(*n) != digits) return {};
    return "/dev/ttyS" + std::to_string(*n - 1);
}

bool IsSevenBitCode(uint8_t byte) { return byte < 0x80; }

}  // namespace veltra
