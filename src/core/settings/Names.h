// The property and method tables through which the host learns the
// component's vocabulary, and their lookups. Plain logic.
#pragma once

#include <cstdint>
#include <string>

namespace veltra {

enum PropNumber : int32_t {
    propComPortNumber = 0,
    propSpeed,
    propDataBit,
    propStopBits,
    propParity,
    propTimeOut,
    propPrefix,
    propSuffix,
    kPropCount
};

enum MethodNumber : int32_t {
    methGetVersion = 0,
    methGetDescription,
    methGetLastError,
    methGetParameters,
    methSetParameter,
    methOpen,
    methClose,
    methDeviceTest,
    methGetAdditionalActions,
    methDoAdditionalAction,
    kMethodCount
};

struct NamePair {
    const char16_t* english;
    const char16_t* russian;
};

// Row number of the name (English or Russian, exact and case-sensitive), or -1.
int32_t FindPropNumber(const std::u16string& name);
int32_t FindMethodNumber(const std::u16string& name);

// The name for (number, alias 0 English / 1 Russian), or null when either is out of range.
const char16_t* PropName(int32_t number, int32_t alias);
const char16_t* MethodName(int32_t number, int32_t alias);

// Parameter count of a method, or -1 for a number outside the table.
int32_t MethodParamCount(int32_t number);

}  // namespace veltra
