// The serial port object: the line settings, opening and configuring a COM
// port, and its reader thread. Glue over the portable reader loop.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/capture/CommThread.h"
#include "core/capture/SerialPort.h"
#include "core/common/Win32Owners.h"

namespace veltra {

// The port opened last; its value is the serial device identifier. Written
// only on the host's thread; not cleared on closing.
extern HANDLE g_ComHandle;

// CreateFileW/ReadFile implementation of the serial line.
class Win32SerialPort final : public SerialPort {
public:
    // Opens "\\.\" + name (the only form that reaches COM10 and above),
    // 2048-byte queues, the line settings applied to the port's
    // own state, and read time-outs that end a burst after 50 ms of silence
    // (or after 1074 ms with no byte). The port is opened for overlapped
    // I/O so that CancelRead can end a pending read. Every failure closes
    // the port again and raises its class-5 message.
    void Open(const std::u16string& name, const LineSettings& line) override;
    std::optional<size_t> Read(uint8_t* buffer, size_t capacity) override;
    void CancelRead() noexcept override { ::SetEvent(cancel_.get()); }
    void Close() noexcept override { handle_.reset(); }
    HANDLE Handle() const noexcept { return handle_.get(); }

private:
    UniqueHandle handle_;
    // Both manual-reset; made at the first Open, kept across reopening.
    UniqueHandle readDone_;
    UniqueHandle cancel_;
};

// Whether MapVirtualKeyW knows the byte as a key of the current layout.
bool IsKeyOfCurrentLayout(uint8_t byte);

class T_ComPort {
public:
    T_ComPort() { g_ComHandle = nullptr; }
    ~T_ComPort() { ClosePort(); }
    T_ComPort(const T_ComPort&) = delete;
    T_ComPort& operator=(const T_ComPort&) = delete;

    // Opens and configures the port and starts the reader; raises a class-5
    // message and leaves nothing open on failure.
    void OpenPort(const std::u16string& PortName);
    // Stops the reader (a pending read is cancelled) and closes the port.
    // Does nothing when no reader runs.
    void ClosePort() noexcept;

    int32_t p_BaudRate = 9600;
    int32_t p_ByteSize = 8;
    int32_t p_Parity = 0;
    int32_t p_StopBits = 0;

private:
    Win32SerialPort port_;
    std::unique_ptr<TCommThread> reader_;  // g_CommThread
};

}  // namespace veltra
