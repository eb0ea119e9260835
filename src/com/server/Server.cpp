#include "com/server/Server.h"

#include <atomic>
#include <new>
#include <string>

#include "com/addin/AddInObj.h"
#include "core/common/Messages.h"
#include "com/host/AddInLib.h"
#include "core/common/HostError.h"
#include "com/addin/ComOwners.h"
#include "com/server/Registration.h"

namespace veltra {

HMODULE g_Module = nullptr;

namespace {

volatile LONG g_ObjectCount = 0;
volatile LONG g_FactoryCount = 0;
bool g_PerUser = false;  // process-wide; DllInstall sets and restores it

void DebugTrace(const std::u16string& line) { ::OutputDebugStringW(reinterpret_cast<LPCWSTR>(line.c_str())); }

// OutputDebugStringW costs tens of microseconds even when nobody reads it (it
// raises an exception to look for a debugger), and the hook traces several
// lines per scanned code. So lines go out only while a debugger or a
// debug-output viewer is there; that is looked up at most once a second.
bool DebugOutputRead() noexcept {
    static std::atomic<ULONGLONG> nextLook{0};
    static std::atomic<bool> read{false};
    const ULONGLONG now = ::GetTickCount64();
    if (now < nextLook.load()) return read.load();
    bool someone = ::IsDebuggerPresent() != FALSE;
    for (const wchar_t* viewer : {L"DBWIN_BUFFER_READY", L"Global\\DBWIN_BUFFER_READY"}) {
        if (someone) break;
        const UniqueHandle ready(::OpenEventW(SYNCHRONIZE, FALSE, viewer));
        someone = static_cast<bool>(ready);
    }
    read = someone;
    nextLook = now + 1000;
    return someone;
}

class ClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the library; the count only tells
    // DllCanUnloadNow whether anyone still holds it.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&g_FactoryCount)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&g_FactoryCount)); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        AddInObject* object = new (std::nothrow) AddInObject(outer);
        if (!object) {
            ::MessageBoxW(nullptr, L"Out of memory.", L"DAX Error", MB_ICONSTOP | MB_OK | MB_SETFOREGROUND);
            return E_UNEXPECTED;
        }
        // The object starts with no reference: the query gives it its first,
        // and a failed query leaves none, so it goes at once.
        IUnknown* inner = object->InnerUnknown();
        inner->AddRef();
        const HRESULT hr = inner->QueryInterface(iid, out);
        inner->Release();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        const HRESULT hr = ::CoLockObjectExternal(this, lock, TRUE);
        if (lock) ServerObjectCreated();
        else ServerObjectDestroyed();
        return hr;
    }
};

ClassFactory g_Factory;

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The library's path as registered: the long form, or the short form when it has a blank.
std::wstring ServerPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(g_Module, &path[0], static_cast<DWORD>(path.size()));
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

HRESULT Register(bool perUser) noexcept {
    try {
        const std::wstring path = ServerPath();
        if (path.empty()) return E_FAIL;
        const std::u16string serverPath(path.begin(), path.end());
        for (const RegistryValue& entry : RegistrationEntries(perUser, serverPath)) {
            UniqueHkey key;
            const std::wstring name = Wide(entry.key);
            // read access plus set-value and create-subkey
            if (::RegCreateKeyExW(Root(perUser), name.c_str(), 0, const_cast<LPWSTR>(L""), REG_OPTION_NON_VOLATILE,
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
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT Unregister(bool perUser) noexcept {
    try {
        for (const std::u16string& key : UnregistrationKeys(perUser))
            ::RegDeleteKeyW(Root(perUser), Wide(key).c_str());  // errors ignored: a key may be absent or still used
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

std::u16string SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::u16string text;
    if (n && buffer) text.assign(buffer, buffer + n);
    if (buffer) ::LocalFree(buffer);
    return text;
}

void CheckHostCall(HRESULT hr) {
    if (SUCCEEDED(hr)) return;
    HostErrorInfo info;
    ComPtr<IErrorInfo> error;
    if (::GetErrorInfo(0, error.put()) == S_OK && error) {
        BSTR text = nullptr;
        if (SUCCEEDED(error->GetSource(&text))) info.source = FromBstr(text);
        ::SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(error->GetDescription(&text))) info.description = FromBstr(text);
        ::SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(error->GetHelpFile(&text))) info.helpFile = FromBstr(text);
        ::SysFreeString(text);
        DWORD context = 0;
        if (SUCCEEDED(error->GetHelpContext(&context))) info.helpContext = context;
    }
    throw MakeHostCallError(static_cast<uint32_t>(hr), info, SystemMessage(hr));
}

void ServerObjectCreated() noexcept { ::InterlockedIncrement(&g_ObjectCount); }
void ServerObjectDestroyed() noexcept { ::InterlockedDecrement(&g_ObjectCount); }

void InitServer(HMODULE module) noexcept {
    g_Module = module;
    const wchar_t* commandLine = ::GetCommandLineW();
    if (commandLine) {
        try {
            const std::wstring line(commandLine);
            g_PerUser = PerUserFromCommandLine(std::u16string(line.begin(), line.end()), g_PerUser);
        } catch (...) {
        }
    }
    SetTraceSink(&DebugTrace, &DebugOutputRead);
}

}  // namespace veltra

using namespace veltra;

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_VeltraScanner)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_Factory.QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow() { return (g_ObjectCount != 0 || g_FactoryCount != 0) ? S_FALSE : S_OK; }

HRESULT WINAPI DllRegisterServer() { return Register(g_PerUser); }

HRESULT WINAPI DllUnregisterServer() { return Unregister(g_PerUser); }

HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool saved = g_PerUser;
    try {
        const std::wstring line = commandLine ? commandLine : L"";
        g_PerUser = EqualsIgnoringAsciiCase(std::u16string(line.begin(), line.end()), u"user");
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr;
    if (install) {
        hr = DllRegisterServer();
        if (hr == E_FAIL) DllUnregisterServer();  // remove what was written
    } else {
        hr = DllUnregisterServer();
    }
    g_PerUser = saved;
    return hr;
}

}  // extern "C"
