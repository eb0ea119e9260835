// The driver as one add-in object presents it, whichever face the host
// reaches it through: the property values, the driver commands and the
// connection they control. Each face converts the host's values to and from
// the plain forms below and keeps the host's calling conventions; what the
// driver does and answers is decided here, once. Plain C++.
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "core/capture/Connection.h"
#include "core/common/Messages.h"
#include "core/settings/Settings.h"

namespace veltra {

// What every face reports about the component.
inline constexpr char16_t kExtensionName[] = u"VeltraScanner";
inline constexpr long kEventBufferDepth = 300;

// A value the driver hands to the host: a property's value, a command's
// result, or an output parameter.
struct HostValue {
    enum class Kind { Empty, Text, Integer, Boolean };
    Kind kind = Kind::Empty;
    std::u16string text;
    int32_t integer = 0;
    bool boolean = false;

    static HostValue OfText(std::u16string text) { return {Kind::Text, std::move(text), 0, false}; }
    static HostValue OfInteger(int32_t number) { return {Kind::Integer, {}, number, false}; }
    static HostValue OfBoolean(bool flag) { return {Kind::Boolean, {}, 0, flag}; }
};

// A value the host wrote to a property, by the face's conversion rules.
class PropertyInput {
public:
    virtual ~PropertyInput() = default;
    // Its text form; nothing when it has none.
    virtual std::optional<std::u16string> Text() const = 0;
    // It as a 32-bit integer; nothing when it converts to none.
    virtual std::optional<int32_t> Integer() const = 0;
};

// The parameters of one command call, as the host passed them.
class CommandParams {
public:
    virtual ~CommandParams() = default;
    // Parameter `index` as text; a missing one reads as an empty text. Raises
    // a DriverError without class character when the value has no text form.
    virtual std::u16string ReadText(long index) const = 0;
    // Replaces parameter `index`; a missing one is left alone.
    virtual void Write(long index, const HostValue& value) = 0;
};

// Runs one host call's work. A DriverError or any other failure raised in it
// becomes the last error (what the GetLastError command reports), and the
// call still answers the host normally. Returns false when the work raised.
template <class Work>
bool GuardHostCall(Work&& work) noexcept;

class ScannerDriver {
public:
    // connection and sink outlive the driver; sink receives the events of
    // every connection this driver opens. textToI4 converts a text to the
    // time limit as the face's host converts texts to numbers (null: plain
    // decimal).
    ScannerDriver(Connection& connection, EventSink& sink, I4Converter textToI4) noexcept
        : connection_(connection), sink_(sink), textToI4_(textToI4) {}
    // Stops a connection this driver still holds: a host that releases an
    // object without ending it leaves nothing running.
    ~ScannerDriver() { connection_.Stop(this); }
    ScannerDriver(const ScannerDriver&) = delete;
    ScannerDriver& operator=(const ScannerDriver&) = delete;

    // The host starts the object (Init): the language becomes Russian and
    // the last error one blank.
    void Start() noexcept;
    // The host ends the object (Done): its connection stops; the threads end
    // before this returns.
    void End() noexcept;

    // A property's value as the host last wrote it (number 0..kPropCount-1).
    HostValue Property(int32_t number) const;
    // Stores a property through its setter (number 0..kPropCount-1). The
    // text the host wrote is kept for reading back even when the setter
    // rejects it. Raises the setter's message, or PropInvalidType for a
    // value with no text form.
    void SetProperty(int32_t number, const PropertyInput& value);
    // For a property number outside the table: raises PropInvalidType for a
    // value with no text form, else does nothing.
    static void CheckUnknownProperty(const PropertyInput& value);

    // Runs driver command `method` (0..kMethodCount-1) and gives its result;
    // output parameters are written to params. Raises the command's error.
    HostValue RunCommand(int32_t method, CommandParams& params);

private:
    void StoreSetting(int32_t number, const std::u16string& text);
    // Each raises its failure.
    void Open();
    void Close() { connection_.Close(this); }

    // What the property interface last received: the text the host wrote,
    // even one the setter then rejected, as the property reads it back.
    struct WrittenProperties {
        std::u16string port;
        std::u16string speed;
        std::u16string dataBits;
        std::u16string stopBits;
        std::u16string prefix;
        std::u16string suffix;
        bool parity = false;
        int32_t timeLimit = 0;
    } written_;

    // Whether Start found the connection free, so this object may use the serial port.
    bool mayUsePort_ = false;

    Connection& connection_;
    EventSink& sink_;
    const I4Converter textToI4_;
};

// ---- implementation of the guard ----------------------------------------------

void StoreLastError(const std::u16string& message) noexcept;

template <class Work>
bool GuardHostCall(Work&& work) noexcept {
    try {
        work();
        return true;
    } catch (const DriverError& e) {
        StoreLastError(e.message());
    } catch (const std::bad_alloc&) {
        StoreLastError(u"Out of memory");
    } catch (...) {
        StoreLastError(u"Unexpected failure");
    }
    return false;
}

}  // namespace veltra
