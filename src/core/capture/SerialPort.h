// The serial line the reader thread reads: a seam, so the reader loop runs
// against a scripted port in tests and against the Win32 port in the driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace veltra {

// The line settings as the port object holds them (its p_ fields).
struct LineSettings {
    int32_t baudRate = 9600;
    int32_t byteSize = 8;
    int32_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int32_t stopBits = 0;  // 1, 15 (one and a half) or 2; anything else keeps the port's setting
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the named port ("COM3") and configures the line and the read
    // time-outs that frame a burst. Raises the class-5 message of the step
    // that failed (DriverError, g_ErrorText set).
    virtual void Open(const std::u16string& name, const LineSettings& line) = 0;

    // Blocks until one burst has arrived (it ends at a silence on the line or
    // when capacity is reached) or the read time-out has passed in silence.
    // Returns the number of bytes put into buffer, 0 for a silent time-out,
    // or nothing when the read failed. Called by the reader thread only.
    virtual std::optional<size_t> Read(uint8_t* buffer, size_t capacity) = 0;

    // Makes a pending Read return now, with what it has received so far,
    // and every later Read return 0 at once, until the next Open. Safe from
    // any thread. A port whose reads end soon by themselves may ignore it.
    virtual void CancelRead() noexcept {}

    // Closes the port if it is open. Never while a Read is pending.
    virtual void Close() noexcept = 0;
};

}  // namespace veltra
