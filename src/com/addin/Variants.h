// The host's parameter array and variant conversions. Glue.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>

#include "com/addin/ComOwners.h"
#include "core/driver/ScannerDriver.h"

namespace veltra {

// The variant's text form by the platform's conversion; raises the
// platform error when it has none (null, arrays, objects without a value).
std::u16string VariantToText(VARIANT& value);

// The variant as a 32-bit integer by the OLE conversion rules, or nullopt.
std::optional<int32_t> VariantToI4(VARIANT& value);

// A text converted like a text variant: VarI4FromStr under the user's locale.
std::optional<int32_t> TextToI4(const std::u16string& text);

// A host variant written to a property: its text by the platform's
// conversion, its number by the OLE rules.
class VariantInput final : public PropertyInput {
public:
    explicit VariantInput(VARIANT& value) noexcept : value_(value) {}
    std::optional<std::u16string> Text() const override;
    std::optional<int32_t> Integer() const override { return VariantToI4(value_); }

private:
    VARIANT& value_;
};

// The value as a variant.
Variant ToVariant(const HostValue& value);

// The host's one-dimensional array of variants, borrowed for one call.
// Parameter i is element i. A missing element (no array, wrong shape or
// element type, index out of bounds) reads as empty, and writing it does
// nothing; the host reads the written elements back after the call.
class ParamArray final : public CommandParams {
public:
    explicit ParamArray(SAFEARRAY* array) noexcept : array_(array) {}
    void Read(long index, Variant& out) const;
    std::u16string ReadText(long index) const override;
    void Write(long index, const HostValue& value) override;
    void Write(long index, Variant& value) const noexcept;
    void WriteText(long index, const std::u16string& text) const;

private:
    bool Usable() const noexcept;
    SAFEARRAY* array_;
};

}  // namespace veltra
