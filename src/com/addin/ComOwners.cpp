#include "com/addin/ComOwners.h"

#include <new>

namespace veltra {

UniqueBstr MakeBstr(const std::u16string& text) {
    BSTR b = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!b) throw std::bad_alloc();
    return UniqueBstr(b);
}

std::u16string FromBstr(BSTR text) {
    if (!text) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

void Variant::set_text(const std::u16string& text) {
    UniqueBstr b = MakeBstr(text);
    ::VariantClear(&v_);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = b.release();
}

void Variant::set_i4(long value) noexcept {
    ::VariantClear(&v_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = value;
}

void Variant::set_bool(bool value) noexcept {
    ::VariantClear(&v_);
    V_VT(&v_) = VT_BOOL;
    V_BOOL(&v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace veltra
