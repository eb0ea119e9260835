// Helpers shared by the settings tests.
#pragma once

#include <string>

#include "core/common/Messages.h"
#include "core/settings/Settings.h"
#include "core/common/Text.h"

namespace veltra {

// Restores the language and the error text a test changed.
struct LanguageGuard {
    bool saved = g_LangEnglish;
    std::u16string savedError = g_ErrorText;
    ~LanguageGuard() {
        g_LangEnglish = saved;
        g_ErrorText = savedError;
    }
};

// The stored value of one setting as text, so that tables can name it.
inline std::u16string StoredText(const StoredSettings& s, int32_t propNumber) {
    switch (propNumber) {
    case propComPortNumber: return s.propComPortNumber;
    case propSpeed: return DecimalText(s.propSpeed);
    case propDataBit: return DecimalText(s.propDataBit);
    case propStopBits: return DecimalText(s.propStopBits);
    case propParity: return s.propParity ? u"true" : u"false";
    case propTimeOut: return DecimalText(s.propTimeOut);
    case propPrefix: return s.propPrefix;
    case propSuffix: return s.propSuffix;
    default: return u"?";
    }
}

}  // namespace veltra
