#include "core/settings/Settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "SettingsTestSupport.h"

namespace veltra {
namespace {

using TextSetter = void (*)(StoredSettings&, const std::u16string&);

// The setters by property number; the time limit goes through the native conversion.
const TextSetter kSetters[kPropCount] = {
    SetComPortNumber,
    SetSpeed,
    SetDataBit,
    SetStopBits,
    [](StoredSettings& s, const std::u16string& v) { SetParity(s, v); },
    [](StoredSettings& s, const std::u16string& v) { SetTimeOut(s, ParseDecimalI32(v)); },
    SetPrefix,
    SetSuffix,
};

// Inputs are printed shortened, so that the 1 MB row stays readable.
std::string RowName(int32_t prop, const std::u16string& input, bool english) {
    const std::u16string shown =
        input.size() > 20 ? input.substr(0, 20) + u"...(" + DecimalText(input.size()) + u")" : input;
    return ToUtf8(PropName(prop, 0)) + " \"" + ToUtf8(shown) + "\"" + (english ? " en" : " ru");
}

// Every stored value, in a form that shows which setting a row changed.
std::vector<std::u16string> Snapshot(const StoredSettings& s) {
    std::vector<std::u16string> all;
    for (int32_t p = 0; p < kPropCount; ++p) all.push_back(StoredText(s, p));
    return all;
}

// Settings that differ from every row's stored value where possible, so that
// a rejected row that still stores something shows up.
StoredSettings Preset() {
    StoredSettings s;
    s.port = u"COM3";
    s.line.baudRate = 9600;
    s.line.dataBits = 7;
    s.line.stopBits = 2;
    s.line.parity = true;
    s.timeLimitMs = 777;
    s.prefix = u"191";
    s.suffix = u"187";
    return s;
}

struct Accepted {
    int32_t prop;
    const char16_t* input;
    const char16_t* stored;
};

const Accepted kAccepted[] = {
    {propComPortNumber, u"Keyboard(USB)", u"USB"},
    {propComPortNumber, u"Клавиатура(USB)", u"USB"},
    {propComPortNumber, u"0", u"USB"},
    {propComPortNumber, u"COM1", u"COM1"},
    {propComPortNumber, u"1", u"COM1"},
    {propComPortNumber, u"COM21", u"COM21"},
    {propComPortNumber, u"21", u"COM21"},
    {propComPortNumber, u"COM35", u"COM35"},
    {propComPortNumber, u"35", u"COM35"},

    {propSpeed, u"1200", u"1200"},
    {propSpeed, u"0", u"1200"},
    {propSpeed, u"2400", u"2400"},
    {propSpeed, u"1", u"2400"},
    {propSpeed, u"4800", u"4800"},
    {propSpeed, u"2", u"4800"},
    {propSpeed, u"9600", u"9600"},
    {propSpeed, u"3", u"9600"},
    {propSpeed, u"14400", u"14400"},
    {propSpeed, u"4", u"14400"},
    {propSpeed, u"19200", u"19200"},
    {propSpeed, u"5", u"19200"},
    {propSpeed, u"38400", u"38400"},
    {propSpeed, u"6", u"38400"},
    {propSpeed, u"56000", u"56000"},
    {propSpeed, u"7", u"56000"},
    {propSpeed, u"57600", u"57600"},
    {propSpeed, u"8", u"57600"},
    {propSpeed, u"115200", u"115200"},
    {propSpeed, u"9", u"115200"},
    {propSpeed, u"128000", u"128000"},
    {propSpeed, u"10", u"128000"},
    {propSpeed, u"256000", u"256000"},
    {propSpeed, u"11", u"256000"},

    {propDataBit, u"5", u"5"},
    {propDataBit, u"0", u"5"},
    {propDataBit, u"6", u"6"},
    {propDataBit, u"1", u"6"},
    {propDataBit, u"7", u"7"},
    {propDataBit, u"2", u"7"},
    {propDataBit, u"8", u"8"},
    {propDataBit, u"3", u"8"},

    {propStopBits, u"1 stop bits", u"1"},
    {propStopBits, u"1 стоп бит", u"1"},
    {propStopBits, u"0", u"1"},
    {propStopBits, u"1.5 stop bits", u"15"},
    {propStopBits, u"1.5 стоп бита", u"15"},
    {propStopBits, u"1", u"15"},
    {propStopBits, u"2 stop bits", u"2"},
    {propStopBits, u"2 стоп бита", u"2"},
    {propStopBits, u"2", u"2"},

    {propParity, u"No", u"false"},
    {propParity, u"Нет", u"false"},
    {propParity, u"0", u"false"},
    {propParity, u"Yes", u"true"},
    {propParity, u"Да", u"true"},
    {propParity, u"1", u"true"},

    {propTimeOut, u"1", u"1"},
    {propTimeOut, u"1000", u"1000"},
    {propTimeOut, u"65535", u"65535"},

    {propPrefix, u"~", u"192"},
    {propPrefix, u"0", u"192"},
    {propPrefix, u"/", u"191"},
    {propPrefix, u"1", u"191"},
    {propPrefix, u"\\", u"220"},
    {propPrefix, u"2", u"220"},
    {propPrefix, u"[", u"219"},
    {propPrefix, u"3", u"219"},
    {propPrefix, u"]", u"221"},
    {propPrefix, u"4", u"221"},

    {propSuffix, u"Tab", u"9"},
    {propSuffix, u"0", u"9"},
    {propSuffix, u"Enter", u"13"},
    {propSuffix, u"1", u"13"},
    {propSuffix, u"Shift", u"16"},
    {propSuffix, u"2", u"16"},
    {propSuffix, u"Ctrl", u"17"},
    {propSuffix, u"3", u"17"},
    {propSuffix, u"=", u"187"},
    {propSuffix, u"4", u"187"},
};

// Stores input through the setter and through ApplyTextSetting, and checks
// that both store `stored` in that setting and touch no other.
void ExpectStores(int32_t prop, const std::u16string& input, const std::u16string& stored, bool english) {
    const std::string row = RowName(prop, input, english);
    for (bool direct : {true, false}) {
        StoredSettings s;
        std::vector<std::u16string> expected = Snapshot(s);
        expected[prop] = stored;
        try {
            if (direct) kSetters[prop](s, input);
            else ApplyTextSetting(s, prop, input, ParseDecimalI32);
        } catch (const DriverError& e) {
            ADD_FAILURE() << row << " raised " << ToUtf8(e.message());
            continue;
        }
        EXPECT_EQ(Snapshot(s), expected) << row << (direct ? " (setter)" : " (ApplyTextSetting)");
    }
}

TEST(Setters, StoreTheNormalisedValue_ForEveryAcceptedInputInEitherLanguage) {
    LanguageScope guard;
    for (bool english : {true, false}) {
        g_LangEnglish = english;
        for (const Accepted& row : kAccepted) ExpectStores(row.prop, row.input, row.stored, english);
    }
}

TEST(SetComPortNumber_, StoresComN_ForEveryPortByNameAndByNumber) {
    for (int n = 1; n <= 35; ++n) {
        const std::u16string port = u"COM" + DecimalText(n);
        ExpectStores(propComPortNumber, port, port, true);
        ExpectStores(propComPortNumber, DecimalText(n), port, true);
    }
}

struct Rejected {
    int32_t prop;
    std::u16string input;
    Msg msg;
};

std::vector<Rejected> RejectedRows() {
    std::vector<Rejected> rows = {
        {propComPortNumber, u"36", Msg::PortNotSupported},
        {propComPortNumber, u"COM36", Msg::PortNotSupported},
        {propComPortNumber, u"COM0", Msg::PortNotSupported},
        {propComPortNumber, u"com1", Msg::PortNotSupported},
        {propComPortNumber, u" 1", Msg::PortNotSupported},
        {propComPortNumber, u"1 ", Msg::PortNotSupported},
        {propComPortNumber, u"USB", Msg::PortNotSupported},
        {propComPortNumber, u"01", Msg::PortNotSupported},
        {propComPortNumber, u"COM01", Msg::PortNotSupported},
        {propComPortNumber, u"", Msg::PortNotSupported},
        {propComPortNumber, u"keyboard(usb)", Msg::PortNotSupported},
        {propComPortNumber, u"-1", Msg::PortNotSupported},
        {propComPortNumber, u"+1", Msg::PortNotSupported},

        {propSpeed, u"12", Msg::SpeedNotSupported},
        {propSpeed, u"300", Msg::SpeedNotSupported},
        {propSpeed, u" 9600", Msg::SpeedNotSupported},
        {propSpeed, u"9600 ", Msg::SpeedNotSupported},
        {propSpeed, u"03", Msg::SpeedNotSupported},
        {propSpeed, u"09600", Msg::SpeedNotSupported},
        {propSpeed, u"9600.0", Msg::SpeedNotSupported},
        {propSpeed, u"", Msg::SpeedNotSupported},

        {propDataBit, u"4", Msg::DataBitNotSupported},
        {propDataBit, u"9", Msg::DataBitNotSupported},
        {propDataBit, u"05", Msg::DataBitNotSupported},
        {propDataBit, u" 8", Msg::DataBitNotSupported},
        {propDataBit, u"", Msg::DataBitNotSupported},

        {propStopBits, u"15", Msg::StopBitsNotSupported},
        {propStopBits, u"1.5", Msg::StopBitsNotSupported},
        {propStopBits, u"3", Msg::StopBitsNotSupported},
        {propStopBits, u"1 Stop Bits", Msg::StopBitsNotSupported},
        {propStopBits, u"1 stop bits ", Msg::StopBitsNotSupported},
        {propStopBits, u"", Msg::StopBitsNotSupported},

        {propParity, u"yes", Msg::ParityNotSupported},
        {propParity, u"YES", Msg::ParityNotSupported},
        {propParity, u"да", Msg::ParityNotSupported},
        {propParity, u"2", Msg::ParityNotSupported},
        {propParity, u" 0", Msg::ParityNotSupported},
        {propParity, u"true", Msg::ParityNotSupported},
        {propParity, u"", Msg::ParityNotSupported},

        {propTimeOut, u"0", Msg::TimeOutOutOfRange},
        {propTimeOut, u"-5", Msg::TimeOutOutOfRange},
        {propTimeOut, u"65536", Msg::TimeOutOutOfRange},
        {propTimeOut, u"-2147483648", Msg::TimeOutOutOfRange},
        {propTimeOut, u"abc", Msg::TimeOutNotNumber},
        {propTimeOut, u"", Msg::TimeOutNotNumber},
        {propTimeOut, u"2147483648", Msg::TimeOutNotNumber},

        {propPrefix, u"192", Msg::PrefixNotSupported},
        {propPrefix, u"5", Msg::PrefixNotSupported},
        {propPrefix, u"00", Msg::PrefixNotSupported},
        {propPrefix, u" ~", Msg::PrefixNotSupported},
        {propPrefix, u"~~", Msg::PrefixNotSupported},
        {propPrefix, u"", Msg::PrefixNotSupported},

        {propSuffix, u"13", Msg::SuffixNotSupported},
        {propSuffix, u"9", Msg::SuffixNotSupported},
        {propSuffix, u"tab", Msg::SuffixNotSupported},
        {propSuffix, u"ENTER", Msg::SuffixNotSupported},
        {propSuffix, u"Tab ", Msg::SuffixNotSupported},
        {propSuffix, u"5", Msg::SuffixNotSupported},
        {propSuffix, u"", Msg::SuffixNotSupported},
    };
    const Msg huge[kPropCount] = {Msg::PortNotSupported,     Msg::SpeedNotSupported,  Msg::DataBitNotSupported,
                                  Msg::StopBitsNotSupported, Msg::ParityNotSupported, Msg::TimeOutNotNumber,
                                  Msg::PrefixNotSupported,   Msg::SuffixNotSupported};
    for (int32_t p = 0; p < kPropCount; ++p) rows.push_back({p, std::u16string(1 << 20, u'1'), huge[p]});
    return rows;
}

TEST(Setters, RaiseTheirMessageAndKeepThePreviousValue_WhenInputIsNotAccepted) {
    LanguageScope guard;
    for (bool english : {true, false}) {
        g_LangEnglish = english;
        for (const Rejected& row : RejectedRows()) {
            const std::string name = RowName(row.prop, row.input, english);
            for (bool direct : {true, false}) {
                StoredSettings s = Preset();
                g_ErrorText.clear();
                try {
                    if (direct) kSetters[row.prop](s, row.input);
                    else ApplyTextSetting(s, row.prop, row.input, ParseDecimalI32);
                    ADD_FAILURE() << name << " was accepted";
                } catch (const DriverError& e) {
                    EXPECT_EQ(e.message(), Text(row.msg, english)) << name;
                    EXPECT_EQ(g_ErrorText, e.message()) << name;
                }
                EXPECT_EQ(Snapshot(s), Snapshot(Preset())) << name;
            }
        }
    }
}

// Device paths name serial ports off Windows only; there the setter knows its
// choices alone, as before.
TEST(SetComPortNumber_, TakesAValidDevicePath_OffWindowsOnly) {
    enum class Path { Valid, Invalid, BadUsbId, None };
    const struct {
        std::u16string input;
        Path is;
    } rows[] = {
        {u"/dev/ttyUSB0", Path::Valid},
        {u"/dev/serial/by-id/usb-Scanner_0001-if00-port0", Path::Valid},
        {u"/dev/сканер", Path::Valid},
        {u"/dev/..ttyS0", Path::Valid},
        {u"/dev/" + std::u16string(4090, u'a'), Path::Valid},  // 4095 bytes
        {u"/dev/" + std::u16string(2045, u'ж'), Path::Valid},  // 4095 bytes
        {u"/dev/" + std::u16string(4091, u'a'), Path::Invalid},
        {u"/dev/" + std::u16string(2046, u'ж'), Path::Invalid},
        {u"/dev/" + std::u16string(4086, u'a') + u"\U0001F600", Path::Valid},  // a pair is 4 bytes
        {u"/dev/" + std::u16string(4087, u'a') + u"\U0001F600", Path::Invalid},
        {u"/dev/", Path::Invalid},
        {u"/dev/ttyS0/", Path::Invalid},
        {u"/dev/../etc/passwd", Path::Invalid},
        {u"/dev/pts/..", Path::Invalid},
        {u"/dev/tty S0", Path::Invalid},
        {u"/dev/ttyS0\n", Path::Invalid},
        {u"/dev/tty\u00A0S0", Path::Invalid},
        {u"/dev/tty\x7F", Path::Invalid},
        {u"/dev/tty" + std::u16string(1, 0xD800), Path::Invalid},  // an unpaired surrogate has no UTF-8
        {u"dev/ttyS0", Path::None},
        {u"/DEV/ttyS0", Path::None},
        {u" /dev/ttyS0", Path::None},
        {u"/devttyS0", Path::None},
        // A keyboard-wedge scanner's input device, by path or by USB identity.
        {u"/dev/input/by-id/usb-Scanner_0001-event-kbd", Path::Valid},
        {u"usb:05e0:1200", Path::Valid},
        {u"usb:05E0:12aF", Path::Valid},
        {u"usb:5e0:1200", Path::BadUsbId},
        {u"usb:05e0:12000", Path::BadUsbId},
        {u"usb:05e0-1200", Path::BadUsbId},
        {u"usb:05g0:1200", Path::BadUsbId},
        {u"usb:", Path::BadUsbId},
        {u"USB:05e0:1200", Path::None},
    };
    LanguageScope english(true);
    for (const auto& row : rows) {
        const std::string name = ToUtf8(row.input.substr(0, 40));
#ifdef _WIN32
        const bool stored = false;
        const Msg refusal = Msg::PortNotSupported;
#else
        const bool stored = row.is == Path::Valid;
        const Msg refusal = row.is == Path::Invalid    ? Msg::PortPathInvalid
                            : row.is == Path::BadUsbId ? Msg::PortUsbIdInvalid
                                                       : Msg::PortNotSupported;
#endif
        StoredSettings s = Preset();
        try {
            SetComPortNumber(s, row.input);
            EXPECT_TRUE(stored) << name << " was accepted";
            EXPECT_EQ(s.port, row.input) << name;
        } catch (const DriverError& e) {
            EXPECT_FALSE(stored) << name << " raised " << ToUtf8(e.message());
            EXPECT_EQ(e.message(), Text(refusal)) << name;
            EXPECT_EQ(Snapshot(s), Snapshot(Preset())) << name;
        }
    }
}

TEST(SetParity_, ReturnsTheStoredBoolean) {
    StoredSettings s;
    EXPECT_TRUE(SetParity(s, u"Да"));
    EXPECT_FALSE(SetParity(s, u"0"));
    EXPECT_FALSE(s.line.parity);
}

TEST(ApplyTextSetting_, ConvertsTheTimeLimitWithTheGivenConverter) {
    const I4Converter grouped = [](const std::u16string& t) -> std::optional<int32_t> {
        if (t == u"1 000") return 1000;
        return std::nullopt;
    };
    StoredSettings s;
    ApplyTextSetting(s, propTimeOut, u"1 000", grouped);
    EXPECT_EQ(s.timeLimitMs, 1000);
    EXPECT_THROW(ApplyTextSetting(s, propTimeOut, u"2000", grouped), DriverError);
    EXPECT_EQ(s.timeLimitMs, 1000);
    ApplyTextSetting(s, propTimeOut, u"2000", nullptr);
    EXPECT_EQ(s.timeLimitMs, 2000);
}

TEST(ApplyTextSetting_, RaisesNoSuchParameter_ForANumberOutsideTheTable) {
    LanguageScope guard;
    g_LangEnglish = true;
    for (int32_t number : {-1, static_cast<int32_t>(kPropCount)}) {
        StoredSettings s = Preset();
        try {
            ApplyTextSetting(s, number, u"0", ParseDecimalI32);
            ADD_FAILURE() << number << " was accepted";
        } catch (const DriverError& e) {
            EXPECT_EQ(e.message(), Text(Msg::NoSuchParameter, true)) << number;
        }
        EXPECT_EQ(Snapshot(s), Snapshot(Preset())) << number;
    }
}

}  // namespace
}  // namespace veltra
