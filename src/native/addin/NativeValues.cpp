#include "native/addin/NativeValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "core/common/Text.h"

namespace veltra {

namespace {

// The type mismatch the platform's conversions report for a value without
// a text form; it has no class character, like the COM face's.
const char16_t kTypeMismatch[] = u"Type mismatch";

std::u16string CopyHostText(const WCHAR_T* text, size_t length) {
    std::u16string out(length, u'\0');
    if (length != 0) std::memcpy(&out[0], text, length * sizeof(WCHAR_T));
    return out;
}

// 15 significant digits for a double and 7 for a float, as the platform's
// conversion gives them, with an upper-case exponent.
std::u16string RealText(double value, int precision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    std::u16string text;
    for (const char* p = buffer; p != result.ptr; ++p) text += static_cast<char16_t>(*p == 'e' ? 'E' : *p);
    return text;
}

std::optional<int32_t> InRange(long double value) {
    if (!(value >= -2147483648.0L && value <= 2147483647.0L)) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<int32_t> RoundedHalfEven(double value) {
    // The default rounding mode rounds half to even.
    return std::isfinite(value) ? InRange(std::nearbyint(static_cast<long double>(value))) : std::nullopt;
}

}  // namespace

std::u16string FromHostText(const WCHAR_T* text) {
    if (!text) return {};
    size_t length = 0;
    while (text[length] != 0) ++length;
    return CopyHostText(text, length);
}

WCHAR_T* HandOverText(IMemoryManager* memory, const std::u16string& text) {
    void* block = nullptr;
    const size_t bytes = (text.size() + 1) * sizeof(WCHAR_T);
    if (!memory || bytes > 0xFFFFFFFFu || !memory->AllocMemory(&block, static_cast<unsigned long>(bytes)) || !block)
        throw std::bad_alloc();
    std::memcpy(block, text.c_str(), bytes);
    return static_cast<WCHAR_T*>(block);
}

std::optional<std::u16string> TextOfValue(const tVariant& value) {
    const auto& v = value.value;
    switch (value.vt) {
    case VTYPE_EMPTY: return std::u16string();
    case VTYPE_I1: return DecimalText(v.i8Val);
    case VTYPE_I2: return DecimalText(v.shortVal);
    case VTYPE_I4: return DecimalText(v.lVal);
    case VTYPE_INT: return DecimalText(v.intVal);
    case VTYPE_I8: return DecimalText(v.llVal);
    case VTYPE_UI1: return DecimalText(v.ui8Val);
    case VTYPE_UI2: return DecimalText(v.ushortVal);
    case VTYPE_UI4: return DecimalText(v.ulVal);
    case VTYPE_UINT: return DecimalText(v.uintVal);
    case VTYPE_UI8: {
        const std::string digits = std::to_string(v.ullVal);
        return std::u16string(digits.begin(), digits.end());
    }
    case VTYPE_R4: return RealText(v.fltVal, 7);
    case VTYPE_R8: return RealText(v.dblVal, 15);
    case VTYPE_BOOL: return std::u16string(v.bVal ? u"-1" : u"0");
    case VTYPE_PWSTR:
        if (!v.wideText.pwstrVal) return v.wideText.wstrLen == 0 ? std::optional<std::u16string>(u"") : std::nullopt;
        return CopyHostText(v.wideText.pwstrVal, v.wideText.wstrLen);
    case VTYPE_PSTR:
        if (!v.text.pstrVal) return v.text.strLen == 0 ? std::optional<std::u16string>(u"") : std::nullopt;
        return FromUtf8(std::string(v.text.pstrVal, v.text.strLen));
    default: return std::nullopt;
    }
}

std::optional<int32_t> IntegerOfValue(const tVariant& value) {
    const auto& v = value.value;
    switch (value.vt) {
    case VTYPE_EMPTY: return 0;
    case VTYPE_I1: return v.i8Val;
    case VTYPE_I2: return v.shortVal;
    case VTYPE_I4: return v.lVal;
    case VTYPE_INT: return InRange(v.intVal);
    case VTYPE_I8: return InRange(v.llVal);
    case VTYPE_UI1: return v.ui8Val;
    case VTYPE_UI2: return v.ushortVal;
    case VTYPE_UI4: return InRange(v.ulVal);
    case VTYPE_UINT: return InRange(v.uintVal);
    case VTYPE_UI8:
        return v.ullVal > 2147483647u ? std::nullopt : std::optional<int32_t>(static_cast<int32_t>(v.ullVal));
    case VTYPE_R4: return RoundedHalfEven(v.fltVal);
    case VTYPE_R8: return RoundedHalfEven(v.dblVal);
    case VTYPE_BOOL: return v.bVal ? -1 : 0;
    case VTYPE_PWSTR:
    case VTYPE_PSTR: {
        const std::optional<std::u16string> text = TextOfValue(value);
        return text ? ParseNumberText(*text) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<int32_t> ParseNumberText(const std::u16string& text) {
    size_t i = 0, end = text.size();
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (i < end && blank(text[i])) ++i;
    while (end > i && blank(text[end - 1])) --end;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    const auto digit = [&](size_t k) { return k < end && text[k] >= u'0' && text[k] <= u'9'; };
    // The digits without the point, and how many of them stand before it.
    std::string digits;
    long long point = 0;
    for (; digit(i) || (i < end && text[i] == u',' && !digits.empty()); ++i)
        if (text[i] != u',') digits += static_cast<char>(text[i]);
    point = static_cast<long long>(digits.size());
    if (i < end && text[i] == u'.')
        for (++i; digit(i); ++i) digits += static_cast<char>(text[i]);
    if (digits.empty()) return std::nullopt;
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) negativeExponent = text[i++] == u'-';
        if (!digit(i)) return std::nullopt;
        long long exponent = 0;
        for (; digit(i); ++i) exponent = std::min(exponent * 10 + (text[i] - u'0'), 100000LL);
        point += negativeExponent ? -exponent : exponent;
    }
    if (i != end) return std::nullopt;
    // The whole part, then the first dropped digit and whether any other is non-zero.
    long long whole = 0;
    for (long long k = 0; k < point; ++k) {
        whole = whole * 10 + (k < static_cast<long long>(digits.size()) ? digits[static_cast<size_t>(k)] - '0' : 0);
        if (whole > 2147483648LL) return std::nullopt;
    }
    // -1: the value is below a tenth, and rounds to 0.
    const long long first = point < 0 ? -1 : point;
    const int dropped =
        first >= 0 && first < static_cast<long long>(digits.size()) ? digits[static_cast<size_t>(first)] - '0' : 0;
    bool rest = false;
    for (long long k = std::max(first + 1, 0LL); k < static_cast<long long>(digits.size()); ++k)
        rest = rest || digits[static_cast<size_t>(k)] != '0';
    if (dropped > 5 || (dropped == 5 && (rest || whole % 2 == 1))) ++whole;
    const long long signedValue = negative ? -whole : whole;
    if (signedValue > 2147483647LL || signedValue < -2147483648LL) return std::nullopt;
    return static_cast<int32_t>(signedValue);
}

void WriteValue(IMemoryManager* memory, const HostValue& value, tVariant& slot) {
    tVariant written{};
    switch (value.kind) {
    case HostValue::Kind::Empty: written.vt = VTYPE_EMPTY; break;
    case HostValue::Kind::Text:
        written.value.wideText.pwstrVal = HandOverText(memory, value.text);
        written.value.wideText.wstrLen = static_cast<uint32_t>(value.text.size());
        written.vt = VTYPE_PWSTR;
        break;
    case HostValue::Kind::Integer:
        written.value.lVal = value.integer;
        written.vt = VTYPE_I4;
        break;
    case HostValue::Kind::Boolean:
        written.value.bVal = value.boolean;
        written.vt = VTYPE_BOOL;
        break;
    }
    slot = written;
}

std::u16string NativeParams::ReadText(long index) const {
    if (index < 0 || index >= count_) return {};
    const std::optional<std::u16string> text = TextOfValue(params_[index]);
    if (!text) throw DriverError(kTypeMismatch);
    return *text;
}

void NativeParams::Write(long index, const HostValue& value) {
    if (index >= 0 && index < count_) WriteValue(memory_, value, params_[index]);
}

}  // namespace veltra
