#include "com/addin/Variants.h"

#include "com/addin/ComErrors.h"
#include "core/common/Messages.h"

namespace veltra {

std::u16string VariantToText(VARIANT& value) {
    Variant converted;
    const HRESULT hr = ::VariantChangeType(converted.get(), &value, 0, VT_BSTR);
    if (FAILED(hr)) RaisePlatformError(hr);
    return FromBstr(V_BSTR(converted.get()));
}

std::optional<int32_t> VariantToI4(VARIANT& value) {
    Variant converted;
    if (FAILED(::VariantChangeType(converted.get(), &value, 0, VT_I4))) return std::nullopt;
    return static_cast<int32_t>(V_I4(converted.get()));
}

std::optional<int32_t> TextToI4(const std::u16string& text) {
    LONG out = 0;
    std::wstring wide(text.begin(), text.end());
    if (FAILED(::VarI4FromStr(&wide[0], LOCALE_USER_DEFAULT, 0, &out))) return std::nullopt;
    return static_cast<int32_t>(out);
}

std::optional<std::u16string> VariantInput::Text() const {
    try {
        return VariantToText(value_);
    } catch (const DriverError&) {
        return std::nullopt;
    }
}

Variant ToVariant(const HostValue& value) {
    Variant v;
    switch (value.kind) {
    case HostValue::Kind::Empty: break;
    case HostValue::Kind::Text: v.set_text(value.text); break;
    case HostValue::Kind::Integer: v.set_i4(value.integer); break;
    case HostValue::Kind::Boolean: v.set_bool(value.boolean); break;
    }
    return v;
}

bool ParamArray::Usable() const noexcept {
    if (!array_ || ::SafeArrayGetDim(array_) != 1) return false;
    VARTYPE vt = VT_EMPTY;
    // Copying an element of another type into a VARIANT would overrun it.
    return SUCCEEDED(::SafeArrayGetVartype(array_, &vt)) && vt == VT_VARIANT;
}

void ParamArray::Read(long index, Variant& out) const {
    Variant element;
    if (Usable()) ::SafeArrayGetElement(array_, &index, element.get());
    const HRESULT hr = ::VariantCopy(out.put(), element.get());
    if (FAILED(hr)) RaisePlatformError(hr);
}

std::u16string ParamArray::ReadText(long index) const {
    Variant element;
    Read(index, element);
    return VariantToText(*element.get());
}

void ParamArray::Write(long index, Variant& value) const noexcept {
    if (Usable()) ::SafeArrayPutElement(array_, &index, value.get());
}

void ParamArray::Write(long index, const HostValue& value) {
    Variant v = ToVariant(value);
    Write(index, v);
}

void ParamArray::WriteText(long index, const std::u16string& text) const {
    Variant v;
    v.set_text(text);
    Write(index, v);
}

}  // namespace veltra
