// Invariant checks of the fuzz targets: a failed check names itself and
// aborts, which libFuzzer records as a crash with its input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/common/Text.h"

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace fuzz {

// ASCII text as UTF-16, built without the helpers under test.
inline std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Prints a text before a failing check, for reading the crash log.
inline void Show(const char* what, const std::u16string& text) {
    std::fprintf(stderr, "%s: \"%s\" (%zu units)\n", what, veltra::ToUtf8(text).c_str(), text.size());
}

}  // namespace fuzz
