// The eight connection settings: their setters (accepted inputs -> stored
// form), the module-level stored values, and the parameter table from which
// the settings document is produced. Plain logic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/Names.h"

namespace veltra {

// The serial line as the host set it. It passes as it is from the stored
// settings to the port's configuration.
struct LineSettings {
    int32_t baudRate = 0;  // 0 until set
    int32_t dataBits = 0;  // 5..8; 0 until set
    int32_t stopBits = 0;  // 1, 15 (one and a half) or 2; 0 until set
    bool parity = false;   // true: odd parity

    bool Complete() const noexcept { return baudRate != 0 && dataBits != 0 && stopBits != 0; }
};

// The stored forms that Open, the hook and the dispatch thread read.
// Empty, 0 and false until the host sets them; nothing resets them.
struct StoredSettings {
    std::u16string port;  // "USB", "COM1".."COM35", or off Windows a device path ("/dev/ttyUSB0")
    LineSettings line;
    int32_t timeLimitMs = 0;  // 1..65535
    std::u16string prefix;    // decimal virtual-key code
    std::u16string suffix;    // decimal virtual-key code
};

// The one set the driver uses, shared by every add-in object of the process.
extern StoredSettings g_Settings;

// One choice of a parameter. Its value is its position in decimal ("0", "1",
// ...). The setter accepts the English label, the Russian label and the value,
// in either language, and stores `stored` converted to the setting's type.
struct Choice {
    std::u16string english;
    std::u16string russian;  // the same as english where both languages agree
    std::u16string stored;
};

// What the settings document says about one parameter, and the choices its
// setter accepts. The document and the setters both read this table, so they
// cannot disagree.
struct ParameterRow {
    const char16_t* typeValue;
    const char16_t* defaultValue;
    const char16_t* captionEnglish;
    const char16_t* captionRussian;
    const char16_t* descriptionEnglish;
    const char16_t* descriptionRussian;
    std::vector<Choice> choices;  // empty for the time limit, which takes a number
};

// Indexed by property number (which is also the document order); the name is
// PropName(number, 0).
const std::vector<ParameterRow>& ParameterTable();

// The text setters. Each stores the normalised value or raises its class-1
// message (DriverError) and leaves the setting as it was. Off Windows the port
// setter also takes a device path: "/dev/" and a device name, with no blank or
// control character, no ".." step and no trailing "/", at most 4095 bytes of
// UTF-8; a text that starts with "/dev/" but is no such path raises
// PortPathInvalid; and a USB identity, "usb:VVVV:PPPP" (hexadecimal), that
// names a keyboard-wedge scanner's input device, else PortUsbIdInvalid.
void SetComPortNumber(StoredSettings& s, const std::u16string& value);

// A stored port text that names a keyboard-wedge scanner's own input device
// (Linux): a path under /dev/input/ or a USB identity.
bool IsInputDeviceText(const std::u16string& port);
void SetSpeed(StoredSettings& s, const std::u16string& value);
void SetDataBit(StoredSettings& s, const std::u16string& value);
void SetStopBits(StoredSettings& s, const std::u16string& value);
bool SetParity(StoredSettings& s, const std::u16string& value);  // returns the stored Boolean
void SetPrefix(StoredSettings& s, const std::u16string& value);
void SetSuffix(StoredSettings& s, const std::u16string& value);

// The time limit arrives as a host variant; the glue converts it to a 32-bit
// integer by the OLE rules and passes nullopt when that conversion failed.
void SetTimeOut(StoredSettings& s, std::optional<int32_t> converted);

// Converts a text to a 32-bit integer the way the platform converts a text
// variant; nullopt when it is no number. The Windows glue passes the OLE
// conversion, native code ParseDecimalI32.
using I4Converter = std::optional<int32_t> (*)(const std::u16string& text);

// Stores a text value through the setter of property number 0..7 (the time
// limit converted with toI4, or ParseDecimalI32 when toI4 is null). Used by
// SetParameter after the name lookup; any other number raises NoSuchParameter.
void ApplyTextSetting(StoredSettings& s, int32_t propNumber, const std::u16string& value, I4Converter toI4);

}  // namespace veltra
