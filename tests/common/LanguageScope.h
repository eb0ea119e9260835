// Restores the driver's process-wide text state that a test changes: the
// language, the last error, and this thread's error text; can set the
// language for the test.
#pragma once

#include <string>

#include "core/common/Messages.h"

namespace veltra {
namespace test {

class LanguageScope {
public:
    LanguageScope() = default;
    explicit LanguageScope(bool english) { g_LangEnglish = english; }
    ~LanguageScope() {
        g_LangEnglish = savedLanguage_;
        g_LastError = savedLastError_;
        g_ErrorText = savedErrorText_;
    }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    bool savedLanguage_ = g_LangEnglish;
    std::u16string savedLastError_ = g_LastError;
    std::u16string savedErrorText_ = g_ErrorText;
};

}  // namespace test
}  // namespace veltra
