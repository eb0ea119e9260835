#include "host/native/Values.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "core/common/Text.h"

namespace veltra::substitute::native {

namespace {

std::u16string Ascii(const char* text, size_t length) { return std::u16string(text, text + length); }

std::u16string Decimal(long long value) { return DecimalText(value); }

std::u16string UnsignedDecimal(unsigned long long value) {
    const std::string digits = std::to_string(value);
    return Ascii(digits.data(), digits.size());
}

// The shortest text that reads back as the same value; std::to_chars does
// not depend on the locale, so the decimal separator is always a point.
template <typename Real>
std::u16string RealText(Real value) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    if (end.ec != std::errc()) return u"";
    return Ascii(text, static_cast<size_t>(end.ptr - text));
}

std::u16string TimeText(const struct tm& time) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.tm_year + 1900,
                                     time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    if (length < 0) return u"";
    return Ascii(text, static_cast<size_t>(length));
}

std::u16string HexText(const char* bytes, uint32_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::u16string text;
    if (!bytes) return text;
    for (uint32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text += static_cast<char16_t>(kDigits[byte >> 4]);
        text += static_cast<char16_t>(kDigits[byte & 0xF]);
    }
    return text;
}

}  // namespace

std::u16string FromNative(const WCHAR_T* text) {
    if (!text) return u"";
    size_t units = 0;
    while (text[units] != 0) ++units;
    return FromNative(text, units);
}

std::u16string FromNative(const WCHAR_T* text, size_t units) {
    if (!text) return u"";
    return std::u16string(text, text + units);
}

NativeString ToNative(const std::u16string& text) { return NativeString(text.begin(), text.end()); }

std::u16string ValueText(const tVariant& value) {
    const auto& v = value.value;
    switch (value.vt) {
    case VTYPE_PWSTR: return FromNative(v.wideText.pwstrVal, v.wideText.pwstrVal ? v.wideText.wstrLen : 0);
    case VTYPE_PSTR:
        if (!v.text.pstrVal) return u"";
        return FromUtf8(std::string(v.text.pstrVal, v.text.strLen));
    case VTYPE_BLOB: return HexText(v.text.pstrVal, v.text.strLen);
    case VTYPE_I1: return Decimal(v.i8Val);
    case VTYPE_I2: return Decimal(v.shortVal);
    case VTYPE_I4: return Decimal(v.lVal);
    case VTYPE_INT: return Decimal(v.intVal);
    case VTYPE_ERROR: return Decimal(v.errCode);
    case VTYPE_HRESULT: return Decimal(v.hRes);
    case VTYPE_I8: return Decimal(v.llVal);
    case VTYPE_UI1: return UnsignedDecimal(v.ui8Val);
    case VTYPE_UI2: return UnsignedDecimal(v.ushortVal);
    case VTYPE_UI4: return UnsignedDecimal(v.ulVal);
    case VTYPE_UINT: return UnsignedDecimal(v.uintVal);
    case VTYPE_UI8: return UnsignedDecimal(v.ullVal);
    case VTYPE_BOOL: return v.bVal ? u"true" : u"false";
    case VTYPE_R4: return RealText(v.fltVal);
    case VTYPE_R8: return RealText(v.dblVal);
    case VTYPE_DATE: return RealText(v.date);
    case VTYPE_TM: return TimeText(v.tmVal);
    default: return u"";
    }
}

tVariant EmptyValue() {
    tVariant value{};
    std::memset(&value, 0, sizeof value);  // the padding too
    value.vt = VTYPE_EMPTY;
    return value;
}

tVariant I4Value(int32_t number) {
    tVariant value = EmptyValue();
    value.vt = VTYPE_I4;
    value.value.lVal = number;
    return value;
}

tVariant BoolValue(bool flag) {
    tVariant value = EmptyValue();
    value.vt = VTYPE_BOOL;
    value.value.bVal = flag;
    return value;
}

tVariant R8Value(double number) {
    tVariant value = EmptyValue();
    value.vt = VTYPE_R8;
    value.value.dblVal = number;
    return value;
}

tVariant TextValue(WCHAR_T* text, size_t length) {
    tVariant value = EmptyValue();
    value.vt = VTYPE_PWSTR;
    value.value.wideText.pwstrVal = text;
    value.value.wideText.wstrLen = static_cast<uint32_t>(length);
    return value;
}

tVariant TextValue(NativeString& text) { return TextValue(&text[0], text.size()); }

}  // namespace veltra::substitute::native
