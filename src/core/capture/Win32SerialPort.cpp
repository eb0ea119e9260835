#include "core/capture/Win32SerialPort.h"

#include "core/common/Messages.h"
#include "core/common/ScopeExit.h"

namespace veltra {

void Win32SerialPort::Open(const std::u16string& name, const LineSettings& line) {
    if (!readDone_) readDone_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!cancel_) cancel_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone_ || !cancel_) Raise(Msg::PortUnavailable);
    ::ResetEvent(cancel_.get());
    const std::wstring path = L"\\\\.\\" + std::wstring(name.begin(), name.end());
    handle_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
    // A failed step closes the port again: a leaked handle would keep a real
    // COM port busy until the process ends.
    auto closeAgain = OnScopeExit([this] { handle_.reset(); });
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!handle_ || !::SetupComm(handle_.get(), 2048, 2048) || !::GetCommState(handle_.get(), &dcb))
        Raise(Msg::PortUnavailable);
    dcb.BaudRate = static_cast<DWORD>(line.baudRate);
    dcb.Parity = line.parity ? ODDPARITY : NOPARITY;
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    switch (line.stopBits) {
    case 1: dcb.StopBits = ONESTOPBIT; break;
    case 15: dcb.StopBits = ONE5STOPBITS; break;
    case 2: dcb.StopBits = TWOSTOPBITS; break;
    default: break;  // keep what the port has
    }
    if (!::SetCommState(handle_.get(), &dcb)) Raise(Msg::PortSetStateFailed);
    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(handle_.get(), &timeouts)) Raise(Msg::PortGetTimeoutsFailed);
    // A burst ends 50 ms after its last byte; an empty read returns after
    // 1 x 1024 + 50 ms, so the reader looks at its stop request at least that often.
    timeouts.ReadIntervalTimeout = 50;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = 50;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 10;
    if (!::SetCommTimeouts(handle_.get(), &timeouts)) Raise(Msg::PortSetTimeoutsFailed);
    closeAgain.Dismiss();
    deviceId_ = DeviceIdOf(handle_.get());
}

std::optional<size_t> Win32SerialPort::Read(uint8_t* buffer, size_t capacity) {
    // A cancel that came between two reads still counts: the reader is
    // about to look at its stop request.
    if (::WaitForSingleObject(cancel_.get(), 0) == WAIT_OBJECT_0) return 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.get();
    if (!::ReadFile(handle_.get(), buffer, static_cast<DWORD>(capacity), nullptr, &overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING) return std::nullopt;
        // A read that completed is preferred to the cancel, so its bytes are queued.
        const HANDLE events[] = {readDone_.get(), cancel_.get()};
        if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) ::CancelIo(handle_.get());
    }
    // A read that ended at its time-out (Wine reports ERROR_TIMEOUT) or was
    // cancelled still reports the bytes it had received. A device that goes
    // away fails the pending read (Wine: ERROR_BROKEN_PIPE; Windows drivers:
    // access denied, device removed and the like).
    DWORD got = 0;
    if (!::GetOverlappedResult(handle_.get(), &overlapped, &got, TRUE)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED) return std::nullopt;
    }
    // A driver that only goes silent once its device is gone still fails
    // the line's status query.
    DWORD errors = 0;
    if (got == 0 && !::ClearCommError(handle_.get(), &errors, nullptr)) return std::nullopt;
    return got;
}

bool IsKeyOfCurrentLayout(uint8_t byte) {
    return ::MapVirtualKeyW(byte, 0) != 0 || ::MapVirtualKeyW(byte, 1) != 0 || ::MapVirtualKeyW(byte, 2) != 0;
}

}  // namespace veltra
