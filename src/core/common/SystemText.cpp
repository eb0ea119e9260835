#include "core/common/SystemText.h"

#include <windows.h>

namespace veltra {

std::u16string SystemMessage(uint32_t code, uint16_t language) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, language, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::u16string text;
    if (n && buffer) text.assign(reinterpret_cast<const char16_t*>(buffer), n);
    if (buffer) ::LocalFree(buffer);
    return text;
}

}  // namespace veltra
