// Texts and values as they cross between a host and a Native API component:
// the platform's UTF-16 units, a tVariant as text for reports and checks, and
// values a caller makes for calls of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "native/api/NativeApi.h"

namespace veltra::substitute::native {

// Text in the platform's units: wchar_t on Windows, char16_t elsewhere.
using NativeString = std::basic_string<WCHAR_T>;

// Up to the terminator; "" for a null pointer.
std::u16string FromNative(const WCHAR_T* text);
std::u16string FromNative(const WCHAR_T* text, size_t units);
NativeString ToNative(const std::u16string& text);

// A value as text, by its tag:
//   EMPTY, NULL             ""
//   PWSTR                   wstrLen units (not up to a terminator); "" for a null pointer
//   PSTR                    strLen bytes read as UTF-8; "" for a null pointer
//   BLOB                    strLen bytes as lower-case hex pairs
//   I1 I2 I4 INT I8 UI1 UI2 UI4 UINT UI8 ERROR HRESULT   decimal
//   BOOL                    "true" or "false"
//   R4 R8 DATE              the shortest decimal that reads back the same
//                           ("0.1", "1e+20"); DATE is the day count as it stands
//   TM                      "YYYY-MM-DDThh:mm:ss"
//   anything else           "" (the tag tells what it was)
// Reads only: freeing what the component allocated is the memory manager's.
std::u16string ValueText(const tVariant& value);

// Values for calls a host makes. TextValue points into `text`, which the
// caller keeps alive and owns (a string of its own, or a block it holds).
tVariant EmptyValue();
tVariant I4Value(int32_t value);
tVariant BoolValue(bool value);
tVariant R8Value(double value);
tVariant TextValue(WCHAR_T* text, size_t length);
tVariant TextValue(NativeString& text);

}  // namespace veltra::substitute::native
