// Helpers shared by the settings tests.
#pragma once

#include <string>

#include "core/common/Messages.h"
#include "core/common/Text.h"
#include "core/settings/Settings.h"

#include "../common/LanguageScope.h"

namespace veltra {

using test::LanguageScope;

// The stored value of one setting as text, so that tables can name it.
inline std::u16string StoredText(const StoredSettings& s, int32_t propNumber) {
    switch (propNumber) {
    case propComPortNumber: return s.port;
    case propSpeed: return DecimalText(s.line.baudRate);
    case propDataBit: return DecimalText(s.line.dataBits);
    case propStopBits: return DecimalText(s.line.stopBits);
    case propParity: return s.line.parity ? u"true" : u"false";
    case propTimeOut: return DecimalText(s.timeLimitMs);
    case propPrefix: return s.prefix;
    case propSuffix: return s.suffix;
    default: return u"?";
    }
}

}  // namespace veltra
