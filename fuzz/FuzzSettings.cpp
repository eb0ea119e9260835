// The text setters and the text helpers, the host's text-to-number
// conversion among them, under arbitrary input.
//
// Input: a property number, the language, and a text: UTF-16LE units or one
// unit per byte, either alone or joined to one of the accepted inputs of some
// parameter, so that the accepting paths are reached as often as the refusing
// ones.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/common/Messages.h"
#include "core/common/Text.h"
#include "core/settings/Names.h"
#include "core/settings/Settings.h"
#include "native/addin/NativeValues.h"

using namespace veltra;
using fuzz::Ascii;

namespace {

// The stored forms the rest of the driver may meet, written out here rather
// than read from the setters' table.
bool LegalPort(const std::u16string& s) {
    if (s == u"USB") return true;
    // Off Windows a device path, stored as given: no blank or control
    // character, no step out of /dev, and no trailing "/".
    if (s.size() > 5 && s.compare(0, 5, u"/dev/") == 0) {
        const std::u16string framed = s + u"/";
        return s.back() != u'/' && framed.find(u"/../") == std::u16string::npos &&
               std::none_of(s.begin(), s.end(), [](char16_t c) { return c <= 32 || c == 127; });
    }
    for (int n = 1; n <= 35; ++n)
        if (s == Ascii("COM" + std::to_string(n))) return true;
    return false;
}

bool LegalSpeed(int32_t v) {
    static const int32_t kSpeeds[] = {1200,  2400,  4800,  9600,   14400,  19200,
                                      38400, 56000, 57600, 115200, 128000, 256000};
    return std::find(std::begin(kSpeeds), std::end(kSpeeds), v) != std::end(kSpeeds);
}

bool OneOf(const std::u16string& s, std::initializer_list<const char16_t*> forms) {
    for (const char16_t* f : forms)
        if (s == f) return true;
    return false;
}

bool Same(const StoredSettings& a, const StoredSettings& b) {
    return a.port == b.port && a.line.baudRate == b.line.baudRate && a.line.dataBits == b.line.dataBits &&
           a.line.stopBits == b.line.stopBits && a.line.parity == b.line.parity && a.timeLimitMs == b.timeLimitMs &&
           a.prefix == b.prefix && a.suffix == b.suffix;
}

// b with the one setting of property `number` taken from a.
StoredSettings WithSetting(StoredSettings b, const StoredSettings& a, int32_t number) {
    switch (number) {
    case propComPortNumber: b.port = a.port; break;
    case propSpeed: b.line.baudRate = a.line.baudRate; break;
    case propDataBit: b.line.dataBits = a.line.dataBits; break;
    case propStopBits: b.line.stopBits = a.line.stopBits; break;
    case propParity: b.line.parity = a.line.parity; break;
    case propTimeOut: b.timeLimitMs = a.timeLimitMs; break;
    case propPrefix: b.prefix = a.prefix; break;
    case propSuffix: b.suffix = a.suffix; break;
    default: break;
    }
    return b;
}

// What the parser must answer: a plain decimal with an optional minus that
// fits 32 bits, worked out on the digit text.
bool FitsI32(const std::u16string& text, std::u16string& canonical) {
    size_t pos = !text.empty() && text[0] == u'-' ? 1 : 0;
    const bool negative = pos == 1;
    if (pos == text.size()) return false;
    for (size_t i = pos; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9') return false;
    while (pos + 1 < text.size() && text[pos] == u'0') ++pos;
    const std::u16string digits = text.substr(pos);
    if (digits.size() > 10) return false;
    if (digits.size() == 10 && digits > (negative ? u"2147483648" : u"2147483647")) return false;
    canonical = negative && digits != u"0" ? u"-" + digits : digits;
    return true;
}

void CheckParse(const std::u16string& text) {
    const std::optional<int32_t> v = ParseDecimalI32(text);
    std::u16string canonical;
    const bool fits = FitsI32(text, canonical);
    if (v.has_value() != fits) fuzz::Show("parse input", text);
    FUZZ_CHECK(v.has_value() == fits);
    if (v) FUZZ_CHECK(DecimalText(*v) == canonical);
    // The host's conversion of a text to a number takes every plain decimal
    // text as it is, and anything else it takes fits 32 bits.
    const std::optional<int32_t> number = ParseNumberText(text);
    if (v) FUZZ_CHECK(number == v);
    if (number) FUZZ_CHECK(ParseNumberText(DecimalText(*number)) == number);
}

void CheckTrim(const std::u16string& text) {
    const std::u16string t = TrimControls(text);
    FUZZ_CHECK(TrimControls(t) == t);
    FUZZ_CHECK(t.empty() || (t.front() > 32 && t.back() > 32));
    FUZZ_CHECK(text.find(t) != std::u16string::npos);
    const bool allBlank = std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 32; });
    FUZZ_CHECK(t.empty() == allBlank);
}

// Unpaired surrogates become U+FFFD on the way out; everything else comes back.
void CheckUtf8(const std::u16string& text, const std::string& bytes) {
    std::u16string expected = text;
    for (size_t i = 0; i < expected.size(); ++i) {
        const char16_t c = expected[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < expected.size() && expected[i + 1] >= 0xDC00 &&
            expected[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            expected[i] = 0xFFFD;
        }
    }
    const std::string utf8 = ToUtf8(text);
    FUZZ_CHECK(FromUtf8(utf8) == expected);
    FUZZ_CHECK(ToUtf8(expected) == utf8);
    (void)FromUtf8(bytes);  // any bytes: no fault, whatever comes out
}

// One of the accepted inputs of some parameter, or a number for the time limit.
std::u16string SomeForm(FuzzedDataProvider& in) {
    const size_t row = in.ConsumeIntegralInRange<size_t>(0, kPropCount - 1);
    const std::vector<Choice>& choices = ParameterTable()[row].choices;
    if (choices.empty()) {
        // Numbers near the bounds of the time limit and of 32 bits.
        static const int64_t kEdges[] = {0, 1, 1000, 65535, INT32_MAX, INT32_MIN};
        const int64_t edge = kEdges[in.ConsumeIntegralInRange<size_t>(0, std::size(kEdges) - 1)];
        return Ascii(std::to_string(edge + in.ConsumeIntegralInRange<int64_t>(-2, 2)));
    }
    const size_t i = in.ConsumeIntegralInRange<size_t>(0, choices.size() - 1);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: return choices[i].english;
    case 1: return choices[i].russian;
    default: return Ascii(std::to_string(i));
    }
}

std::u16string Utf16(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    return text;
}

std::u16string Narrow(const std::string& bytes) {
    std::u16string text;
    for (const char b : bytes) text += static_cast<char16_t>(static_cast<uint8_t>(b));
    return text;
}

void CheckSetter(int32_t number, const std::u16string& text, bool withConverter) {
    StoredSettings before;
    before.port = u"COM99";  // values no setter stores, so any write shows
    before.line.baudRate = -1;
    before.line.dataBits = -2;
    before.line.stopBits = -3;
    before.line.parity = (text.size() & 1) != 0;
    before.timeLimitMs = -4;
    before.prefix = u"x";
    before.suffix = u"y";
    StoredSettings s = before;

    try {
        ApplyTextSetting(s, number, text, withConverter ? &ParseDecimalI32 : nullptr);
    } catch (const DriverError& e) {
        FUZZ_CHECK(!e.message().empty() && e.message()[0] == u'1');
        FUZZ_CHECK(e.message() == g_ErrorText);
        FUZZ_CHECK(Same(s, before));
        if (number < 0 || number >= kPropCount) FUZZ_CHECK(e.message() == Text(Msg::NoSuchParameter));
        return;
    }

    FUZZ_CHECK(number >= 0 && number < kPropCount);
    FUZZ_CHECK(Same(WithSetting(before, s, number), s));  // nothing else changed
    switch (number) {
    case propComPortNumber: FUZZ_CHECK(LegalPort(s.port)); break;
    case propSpeed: FUZZ_CHECK(LegalSpeed(s.line.baudRate)); break;
    case propDataBit: FUZZ_CHECK(s.line.dataBits >= 5 && s.line.dataBits <= 8); break;
    case propStopBits: FUZZ_CHECK(s.line.stopBits == 1 || s.line.stopBits == 15 || s.line.stopBits == 2); break;
    case propParity:
        FUZZ_CHECK(s.line.parity ? OneOf(text, {u"Yes", u"Да", u"1"}) : OneOf(text, {u"No", u"Нет", u"0"}));
        break;
    case propTimeOut:
        FUZZ_CHECK(s.timeLimitMs >= 1 && s.timeLimitMs <= 65535);
        FUZZ_CHECK(ParseDecimalI32(text) == s.timeLimitMs);
        break;
    case propPrefix: FUZZ_CHECK(OneOf(s.prefix, {u"192", u"191", u"220", u"219", u"221"})); break;
    case propSuffix: FUZZ_CHECK(OneOf(s.suffix, {u"9", u"13", u"16", u"17", u"187"})); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t number = in.ConsumeIntegralInRange<int32_t>(-2, kPropCount + 1);
    g_LangEnglish = in.ConsumeBool();
    const bool withConverter = in.ConsumeBool();
    const int shape = in.ConsumeIntegralInRange<int>(0, 3);
    const bool wide = in.ConsumeBool();
    const std::u16string form = shape == 0 ? std::u16string() : SomeForm(in);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    // Units of one byte each reach long digit runs far sooner than UTF-16LE pairs.
    const std::u16string tail = wide ? Utf16(bytes) : Narrow(bytes);

    std::u16string text;
    switch (shape) {
    case 0: text = tail; break;
    case 1: text = form + tail; break;
    case 2: text = tail + form; break;
    default: text = form.substr(0, form.size() - std::min(form.size(), tail.size())); break;
    }

    CheckSetter(number, text, withConverter);
    CheckParse(text);
    CheckTrim(text);
    CheckUtf8(text, bytes);
    return 0;
}
