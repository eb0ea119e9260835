// Small UTF-16 text helpers shared by the logic. No Windows headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra {

// Signed decimal text, no leading zeros ("-42", "0").
std::u16string DecimalText(long long value);

// Plain decimal integer with an optional leading minus sign, nothing else
// (no blanks, no plus, no fraction); empty when the text is no such number
// or does not fit 32 bits.
std::optional<int32_t> ParseDecimalI32(const std::u16string& text);

// Removes every leading and trailing character whose code is 32 or less.
std::u16string TrimControls(const std::u16string& text);

// For tools and test messages; unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

}  // namespace veltra
