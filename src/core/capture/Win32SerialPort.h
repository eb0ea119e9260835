// The serial line over CreateFileW and overlapped ReadFile. Glue.
#pragma once

#include <windows.h>

#include <string>

#include "core/capture/SerialPort.h"
#include "core/common/Win32Owners.h"

namespace veltra {

class Win32SerialPort final : public SerialPort {
public:
    // Opens "\\.\" + name (the only form that reaches COM10 and above),
    // 2048-byte queues, the line settings applied to the port's own state,
    // and read time-outs that end a burst after 50 ms of silence (or after
    // 1074 ms with no byte). The port is opened for overlapped I/O so that
    // CancelRead can end a pending read. Every failure closes the port again
    // and raises its class-5 message.
    void Open(const std::u16string& name, const LineSettings& line) override;
    std::optional<size_t> Read(uint8_t* buffer, size_t capacity) override;
    void CancelRead() noexcept override { ::SetEvent(cancel_.get()); }
    void Close() noexcept override { handle_.reset(); }
    int32_t DeviceId() const noexcept override { return deviceId_; }

private:
    UniqueHandle handle_;
    int32_t deviceId_ = 0;
    // Both manual-reset; made at the first Open, kept across reopening.
    UniqueHandle readDone_;
    UniqueHandle cancel_;
};

// Whether MapVirtualKeyW knows the byte as a key of the current layout.
bool IsKeyOfCurrentLayout(uint8_t byte);

}  // namespace veltra
