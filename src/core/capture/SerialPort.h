// The serial line the reader thread reads: a seam, so the reader loop runs
// against a scripted port in tests and against the Win32 port in the driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/settings/Settings.h"

namespace veltra {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the named port ("COM3") and configures the line and the read
    // time-outs that frame a burst. Raises the class-5 message of the step
    // that failed (DriverError) and leaves the port closed.
    virtual void Open(const std::u16string& name, const LineSettings& line) = 0;

    // Blocks until one burst has arrived (it ends at a silence on the line or
    // when capacity is reached) or the read time-out has passed in silence.
    // Returns the number of bytes put into buffer, 0 for a silent time-out,
    // or nothing when the read failed: the line is lost (the port went away,
    // or its device was unplugged). Called by the reader thread only.
    virtual std::optional<size_t> Read(uint8_t* buffer, size_t capacity) = 0;

    // Makes a pending Read return now, with what it has received so far,
    // and every later Read return 0 at once, until the next Open. Safe from
    // any thread. A port whose reads end soon by themselves may ignore it.
    virtual void CancelRead() noexcept {}

    // Closes the port if it is open. Never while a Read is pending.
    virtual void Close() noexcept = 0;

    // The identifier the host sees for the port opened last (the handle,
    // narrowed to 32 bits); kept after Close.
    virtual int32_t DeviceId() const noexcept = 0;
};

}  // namespace veltra
