#include "com/server/SelfRegistration.h"

#include <string>

#include "com/addin/ComErrors.h"
#include "com/server/Registration.h"
#include "core/common/Win32Owners.h"

namespace veltra {

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The library's path as registered: the long form, or the short form when it has a blank.
std::wstring ServerPath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    using PathConversion = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    auto convert = [](const std::wstring& in, PathConversion fn) {
        const DWORD need = fn(in.c_str(), nullptr, 0);
        if (need == 0) return in;
        std::wstring out(need, L'\0');
        const DWORD n = fn(in.c_str(), &out[0], need);
        if (n == 0 || n >= need) return in;
        out.resize(n);
        return out;
    };
    path = convert(path, ::GetLongPathNameW);
    if (path.find(L' ') != std::wstring::npos) path = convert(path, ::GetShortPathNameW);
    return path;
}

HKEY Root(bool perUser) { return perUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT; }

}  // namespace

HRESULT Register(HMODULE module, bool perUser) noexcept {
    return AtComEdge(E_FAIL, [&]() -> HRESULT {
        const std::wstring path = ServerPath(module);
        if (path.empty()) return E_FAIL;
        const std::u16string serverPath(path.begin(), path.end());
        for (const RegistryValue& entry : RegistrationEntries(perUser, serverPath)) {
            UniqueHkey key;
            const std::wstring name = Wide(entry.key);
            // read access plus set-value and create-subkey
            if (::RegCreateKeyExW(Root(perUser), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, key.put(),
                                  nullptr) != ERROR_SUCCESS)
                return E_FAIL;
            const std::wstring value = Wide(entry.value);
            const size_t bytes = (value.size() + 1) * sizeof(wchar_t);  // with the terminating null
            if (::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(bytes)) != ERROR_SUCCESS)
                return E_FAIL;
        }
        return S_OK;
    });
}

HRESULT Unregister(bool perUser) noexcept {
    return AtComEdge(E_FAIL, [&] {
        for (const std::u16string& key : UnregistrationKeys(perUser))
            ::RegDeleteKeyW(Root(perUser), Wide(key).c_str());  // errors ignored: a key may be absent or still used
        return S_OK;
    });
}

}  // namespace veltra
