#include "core/settings/Settings.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {

StoredSettings g_Settings;

namespace {

std::vector<Choice> PortChoices() {
    std::vector<Choice> choices{{u"Keyboard(USB)", u"Клавиатура(USB)", u"USB"}};
    for (int n = 1; n <= 35; ++n) {
        const std::u16string port = u"COM" + DecimalText(n);
        choices.push_back({port, port, port});
    }
    return choices;
}

// Numbers shown and stored as they are.
std::vector<Choice> Numbers(std::initializer_list<const char16_t*> labels) {
    std::vector<Choice> choices;
    for (const char16_t* label : labels) choices.push_back({label, label, label});
    return choices;
}

// Key labels, the same in both languages, with the key code each stores.
std::vector<Choice> Keys(std::initializer_list<std::pair<const char16_t*, const char16_t*>> labelAndCode) {
    std::vector<Choice> choices;
    for (const auto& [label, code] : labelAndCode) choices.push_back({label, label, code});
    return choices;
}

// The stored text of the first choice that value names exactly; raises
// notSupported when none does.
const std::u16string& MatchStored(PropNumber number, const std::u16string& value, Msg notSupported) {
    const std::vector<Choice>& choices = ParameterTable()[static_cast<size_t>(number)].choices;
    for (size_t i = 0; i < choices.size(); ++i) {
        const Choice& c = choices[i];
        if (value == c.english || value == c.russian || value == DecimalText(static_cast<long long>(i)))
            return c.stored;
    }
    Raise(notSupported);
}

#ifndef _WIN32
// Blanks (the Unicode space separators and the byte order mark among them)
// and control characters: in a device path they are a pasting slip, never a
// device's name.
bool IsBlankOrControl(char16_t c) {
    return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// A path the serial port may open: "/dev/" and a name, no blank or control
// character, no ".." step out of /dev, no trailing "/", and short enough for
// the system's paths (4095 bytes of UTF-8, an unpaired surrogate having none).
bool IsDevicePath(const std::u16string& path) {
    const std::u16string dev = u"/dev/";
    if (path.size() <= dev.size() || path.compare(0, dev.size(), dev) != 0 || path.back() == u'/') return false;
    if (std::any_of(path.begin(), path.end(), IsBlankOrControl)) return false;
    if ((path + u"/").find(u"/../") != std::u16string::npos) return false;
    // An unpaired surrogate does not come back from UTF-8 as it was.
    const std::string utf8 = ToUtf8(path);
    return utf8.size() <= 4095 && FromUtf8(utf8) == path;
}

// usb:VVVV:PPPP, four hexadecimal digits each.
bool IsUsbIdText(const std::u16string& text) {
    if (text.size() != 13 || text.compare(0, 4, u"usb:") != 0 || text[8] != u':') return false;
    for (size_t i = 4; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (i != 8 && !hex) return false;
    }
    return true;
}
#endif

int32_t MatchNumber(PropNumber number, const std::u16string& value, Msg notSupported, Msg wrongType) {
    const std::optional<int32_t> stored = ParseDecimalI32(MatchStored(number, value, notSupported));
    if (!stored) Raise(wrongType);
    return *stored;
}

}  // namespace

bool IsInputDeviceText(const std::u16string& port) {
    return port.compare(0, 11, u"/dev/input/") == 0 || port.compare(0, 4, u"usb:") == 0;
}

const std::vector<ParameterRow>& ParameterTable() {
    // A row is the type, default and captions, then a line for each description, then the choices.
    // clang-format off
    static const std::vector<ParameterRow> rows = {
        {u"Number", u"0", u"The port number", u"Номер порта",
         u"This field must be specified port number that connects to the scanner. If a USB, the keypad.",
         u"В данном поле должен быть указан Номер порта, к которому подключается Сканер. Если к USB, то клавиатура.",
         PortChoices()},
        {u"Number", u"3", u"Speed", u"Скорость",
         u"This field must be specified COM port baud rate.",
         u"В данном поле должна быть указана скорость COM порта.",
         Numbers({u"1200", u"2400", u"4800", u"9600", u"14400", u"19200", u"38400", u"56000", u"57600",
                  u"115200", u"128000", u"256000"})},
        {u"Number", u"3", u"Data bit", u"Бит данных",
         u"This field must be specified data bit.",
         u"В данном поле должен быть указан бит данных.",
         Numbers({u"5", u"6", u"7", u"8"})},
        {u"Number", u"0", u"Stop Bits", u"Стоп биты",
         u"This field must be specified stop bits.",
         u"В данном поле должны быть указаны стоп биты.",
         // 15 is the code for one and a half.
         {{u"1 stop bits", u"1 стоп бит", u"1"},
          {u"1.5 stop bits", u"1.5 стоп бита", u"15"},
          {u"2 stop bits", u"2 стоп бита", u"2"}}},
        {u"Number", u"0", u"Parity", u"Четность",
         u"This field must be specified parity.",
         u"В данном поле должна быть указана четность.",
         {{u"No", u"Нет", u"0"}, {u"Yes", u"Да", u"1"}}},
        {u"Number", u"1000", u"TimeOut", u"Задержка",
         u"Then set the time delay between characters when the scanner works on USB.",
         u"Тут задается время задержки между символами, когда сканер работает по USB.",
         {}},
        // Keys are stored as decimal virtual-key codes, the form the hook compares.
        {u"String", u"0", u"Prefix", u"Префикс",
         u"This field must be specified prefix barcode.",
         u"В данном поле должен быть указан Префикс штрихкода.",
         Keys({{u"~", u"192"}, {u"/", u"191"}, {u"\\", u"220"}, {u"[", u"219"}, {u"]", u"221"}})},
        {u"String", u"0", u"Suffix", u"Суффикс",
         u"This field must be specified Suffix barcode.",
         u"В данном поле должен быть указан Суффикс штрихкода.",
         Keys({{u"Tab", u"9"}, {u"Enter", u"13"}, {u"Shift", u"16"}, {u"Ctrl", u"17"}, {u"=", u"187"}})},
    };
    // clang-format on
    return rows;
}

void SetComPortNumber(StoredSettings& s, const std::u16string& value) {
#ifndef _WIN32
    // Off Windows a serial port is also named by its device path, stored as given.
    if (value.compare(0, 5, u"/dev/") == 0) {
        if (!IsDevicePath(value)) Raise(Msg::PortPathInvalid);
        s.port = value;
        return;
    }
    // Off Windows a keyboard-wedge scanner is also named by its USB identity.
    if (value.compare(0, 4, u"usb:") == 0) {
        if (!IsUsbIdText(value)) Raise(Msg::PortUsbIdInvalid);
        s.port = value;
        return;
    }
#endif
    s.port = MatchStored(propComPortNumber, value, Msg::PortNotSupported);
}

void SetSpeed(StoredSettings& s, const std::u16string& value) {
    s.line.baudRate = MatchNumber(propSpeed, value, Msg::SpeedNotSupported, Msg::SpeedWrongType);
}

void SetDataBit(StoredSettings& s, const std::u16string& value) {
    s.line.dataBits = MatchNumber(propDataBit, value, Msg::DataBitNotSupported, Msg::DataBitWrongType);
}

void SetStopBits(StoredSettings& s, const std::u16string& value) {
    s.line.stopBits = MatchNumber(propStopBits, value, Msg::StopBitsNotSupported, Msg::StopBitsWrongType);
}

bool SetParity(StoredSettings& s, const std::u16string& value) {
    const int32_t stored = MatchNumber(propParity, value, Msg::ParityNotSupported, Msg::ParityWrongType);
    if (stored != 0 && stored != 1) Raise(Msg::ParityWrongType);
    s.line.parity = stored == 1;
    return s.line.parity;
}

void SetPrefix(StoredSettings& s, const std::u16string& value) {
    s.prefix = MatchStored(propPrefix, value, Msg::PrefixNotSupported);
}

void SetSuffix(StoredSettings& s, const std::u16string& value) {
    s.suffix = MatchStored(propSuffix, value, Msg::SuffixNotSupported);
}

void SetTimeOut(StoredSettings& s, std::optional<int32_t> converted) {
    if (!converted) Raise(Msg::TimeOutNotNumber);
    if (*converted < 1 || *converted > 65535) Raise(Msg::TimeOutOutOfRange);
    s.timeLimitMs = *converted;
}

void ApplyTextSetting(StoredSettings& s, int32_t propNumber, const std::u16string& value, I4Converter toI4) {
    switch (propNumber) {
    case propComPortNumber: return SetComPortNumber(s, value);
    case propSpeed: return SetSpeed(s, value);
    case propDataBit: return SetDataBit(s, value);
    case propStopBits: return SetStopBits(s, value);
    case propParity: SetParity(s, value); return;
    case propTimeOut: return SetTimeOut(s, toI4 ? toI4(value) : ParseDecimalI32(value));
    case propPrefix: return SetPrefix(s, value);
    case propSuffix: return SetSuffix(s, value);
    default: Raise(Msg::NoSuchParameter);
    }
}

}  // namespace veltra
