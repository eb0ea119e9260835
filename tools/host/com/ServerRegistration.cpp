#include "host/com/ServerRegistration.h"

namespace veltra::substitute {

std::wstring BesideProgram(const wchar_t* name) {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

HRESULT RegisterServer(const std::wstring& dll, bool install, bool user) {
    const HMODULE module = ::LoadLibraryW(dll.c_str());
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    const auto find = [module](const char* name) {
        return reinterpret_cast<void (*)()>(::GetProcAddress(module, name));
    };
    HRESULT hr;
    if (user) {
        const auto fn = reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(find("DllInstall"));
        hr = fn ? fn(install, L"user") : HRESULT_FROM_WIN32(::GetLastError());
    } else {
        const auto fn =
            reinterpret_cast<HRESULT(WINAPI*)()>(find(install ? "DllRegisterServer" : "DllUnregisterServer"));
        hr = fn ? fn() : HRESULT_FROM_WIN32(::GetLastError());
    }
    ::FreeLibrary(module);
    return hr;
}

}  // namespace veltra::substitute
