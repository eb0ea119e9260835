// The Native API's values as the driver reads and writes them: host texts,
// tVariant conversions, and what is handed to the platform through its
// memory manager. No Windows header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/driver/ScannerDriver.h"
#include "native/api/NativeApi.h"

namespace veltra {

// A host text (null reads as empty).
std::u16string FromHostText(const WCHAR_T* text);

// A copy of text in a block of the platform's memory manager, terminated;
// throws std::bad_alloc when there is no manager or it refuses. The platform
// frees the block.
WCHAR_T* HandOverText(IMemoryManager* memory, const std::u16string& text);

// The text form of a value as the platform's COM conversions give it (a
// Boolean reads "-1" or "0", a number in decimal with a "." fraction);
// nothing for a value that has none (null, error codes, dates, objects,
// blocks, arrays).
std::optional<std::u16string> TextOfValue(const tVariant& value);

// The value as a 32-bit integer: numbers rounded half to even, texts by
// ParseNumberText, a Boolean -1 or 0, empty 0; nothing when out of range or
// not convertible.
std::optional<int32_t> IntegerOfValue(const tVariant& value);

// A text as the platform converts a text to a number: blanks around, an
// optional sign, digits with "," group separators after the first, an optional "."
// fraction and exponent, rounded half to even; nothing when it is no number
// or does not fit 32 bits.
std::optional<int32_t> ParseNumberText(const std::u16string& text);

// Writes value into a slot of the host's. The slot's previous content is the
// host's and is not freed here; a text goes into a block of the memory
// manager.
void WriteValue(IMemoryManager* memory, const HostValue& value, tVariant& slot);

// A value written to a property.
class NativeInput final : public PropertyInput {
public:
    explicit NativeInput(const tVariant& value) noexcept : value_(value) {}
    std::optional<std::u16string> Text() const override { return TextOfValue(value_); }
    std::optional<int32_t> Integer() const override { return IntegerOfValue(value_); }

private:
    const tVariant& value_;
};

// The host's parameter array of one call: `count` values; a missing one
// (beyond count, or no array) reads as empty and is not written.
class NativeParams final : public CommandParams {
public:
    NativeParams(tVariant* params, long count, IMemoryManager* memory) noexcept
        : params_(params), count_(params ? count : 0), memory_(memory) {}
    std::u16string ReadText(long index) const override;
    void Write(long index, const HostValue& value) override;

private:
    tVariant* params_;
    long count_;
    IMemoryManager* memory_;
};

}  // namespace veltra
