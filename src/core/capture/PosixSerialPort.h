// The serial line over a POSIX terminal device: termios for the line, poll
// for the framing of bursts. Built in the native (Linux) trees only.
#pragma once

#include <cstdint>
#include <string>

#include "core/capture/SerialPort.h"

namespace veltra {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Opens the device PosixDevicePath(name) names for exclusive use (a COM
    // port on Windows is exclusive too), in raw mode with no flow control,
    // the modem lines ignored, and the line settings applied; input that came
    // before is dropped. Every failure closes the port again and raises its
    // class-5 message: PortUnavailable when the device cannot be had (none
    // there, in use, no terminal), PortSetStateFailed when it refuses the line
    // settings.
    void Open(const std::u16string& name, const LineSettings& line) override;

    // Frames a burst as the Windows port's read time-outs do: it ends after
    // 50 ms of silence once a byte has come, and the read as a whole after
    // 1 ms per byte of capacity plus 50 ms (1074 ms for the reader's 1024
    // bytes), which is also how long a silent line keeps it waiting. The line
    // is lost when the device hangs up or fails (unplugged; for a
    // pseudo-terminal, its other side closed): bytes received before come
    // back first, and the next read reports the loss.
    std::optional<size_t> Read(uint8_t* buffer, size_t capacity) override;

    void CancelRead() noexcept override;
    void Close() noexcept override;
    int32_t DeviceId() const noexcept override { return deviceId_; }

private:
    bool Cancelled() const noexcept;

    int fd_ = -1;
    int32_t deviceId_ = 0;  // the descriptor of the port opened last, never a standard stream's
    // A self-pipe polled beside the port: CancelRead writes a byte, which stays
    // until the next Open drains it. Made at the first Open, kept across
    // reopening, so CancelRead never meets a descriptor being replaced.
    int cancelRead_ = -1;
    int cancelWrite_ = -1;
};

// The device a port text names: "COMn" is /dev/ttyS<n-1>, the usual name of
// the n-th serial port on Linux; a text that starts with "/dev/" is that path
// in UTF-8. Anything else names no device: empty.
std::string PosixDevicePath(const std::u16string& portText);

// The layout-key predicate of serial bursts here: no keyboard layout stands
// behind a serial port, so 7-bit codes are taken and the rest, the mark of a
// line set to the wrong speed or framing, refused.
bool IsSevenBitCode(uint8_t byte);

}  // namespace veltra
