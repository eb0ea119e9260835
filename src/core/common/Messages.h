// Bilingual texts, the language flag, error raising and the last-error state.
// Plain logic: no Windows headers.
#pragma once

#include <atomic>
#include <exception>
#include <string>

namespace veltra {

// Every text the driver shows, in one catalogue. Error messages start with
// their class character ("1".."5" or "*").
enum class Msg {
    // class 1: parameters and properties
    PropInvalidType,
    NoSuchParameter,
    PortNotSupported,
    PortWrongType,
    PortPathInvalid,   // a device path that names no device (off Windows)
    PortUsbIdInvalid,  // usb:VVVV:PPPP that is not two four-digit hexadecimal numbers (Linux)
    SpeedNotSupported,
    SpeedWrongType,
    DataBitNotSupported,
    DataBitWrongType,
    StopBitsNotSupported,
    StopBitsWrongType,
    ParityNotSupported,
    ParityWrongType,
    TimeOutNotNumber,
    TimeOutOutOfRange,
    PrefixNotSupported,
    PrefixWrongType,
    SuffixNotSupported,
    SuffixWrongType,
    // class 2: connecting
    OpenNoPrefixOrSuffix,
    OpenDelayBelowOne,
    OpenHookFailed,
    OpenKeyboardUnavailable,  // keyboard mode on Linux with no input device named
    InputDeviceNotFound,      // Linux: the named input device
    InputDeviceNoPermission,
    InputDeviceBusy,
    InputDeviceFailed,
    OpenNoComSettings,
    OpenNoPortNumber,
    // class 3: disconnecting and the device identifier
    CloseDeviceNotFound,
    CloseInvalidDeviceId,
    CloseNoSuchDevice,
    // class 4: hook and dispatch thread
    HookFailure,
    DispatchFailure,
    InputDeviceLost,  // Linux: the scanner's input device went away
    // class 5: serial port
    PortUnavailable,
    PortSetStateFailed,
    PortGetTimeoutsFailed,
    PortSetTimeoutsFailed,
    PortThreadFailed,
    PortReadFailed,
    // class *
    NoAdditionalActions,
    // not errors
    UnknownError,   // description for an error of no known class
    BadSerialData,  // data of the driver-error event
    BarcodeEvent,   // event names
    DriverErrorEvent,
    Count_
};

// Process-wide language: false = Russian (the state after Init), true = English.
// Written on the host's thread, read by every thread that composes a text.
extern std::atomic<bool> g_LangEnglish;

// The text of msg in the language selected right now.
const std::u16string& Text(Msg msg);
const std::u16string& Text(Msg msg, bool english);
bool CatalogueIsOrdered();

// SetLocale: Russian when the locale text contains "ru" (case-sensitive).
void SelectLanguage(const std::u16string& locale);

// The one error type raised inside the driver; its message starts with the
// class character.
class DriverError : public std::exception {
public:
    explicit DriverError(std::u16string message) : message_(std::move(message)) {}
    const std::u16string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return "driver error"; }

private:
    std::u16string message_;
};

// The message being raised on this thread. Each thread composes its own, so no
// thread can read another's half-written text.
extern thread_local std::u16string g_ErrorText;

// Puts the message of the current language into g_ErrorText and throws it.
[[noreturn]] void Raise(Msg msg);

// The last error caught at the host-call boundary; touched only on the host's thread.
extern std::u16string g_LastError;

struct DecodedError {
    int code;
    std::u16string description;
};

// Turns g_LastError into the GetLastError answer; g_LastError is left as it is.
DecodedError DecodeLastError();

// Debug trace lines (fixed wording, whatever the language). The sink is set
// by the Windows glue to OutputDebugStringW; by default lines go nowhere.
// The optional gate tells whether anyone reads the sink right now; without
// one the sink always listens.
using TraceSink = void (*)(const std::u16string& line);
using TraceGate = bool (*)() noexcept;
void SetTraceSink(TraceSink sink, TraceGate gate = nullptr) noexcept;
void Trace(const std::u16string& line) noexcept;
// Whether a sink listens; lets hot paths skip composing a trace line.
bool TraceEnabled() noexcept;

}  // namespace veltra
