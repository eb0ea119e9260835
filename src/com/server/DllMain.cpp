// The library's entry points: loading and unloading, the class object, and
// self-registration.
#include <windows.h>

#include <string>

#include "com/addin/ComErrors.h"
#include "com/host/AddInLib.h"
#include "com/server/ClassFactory.h"
#include "com/server/Registration.h"
#include "com/server/SelfRegistration.h"
#include "core/capture/ProcessConnection.h"
#include "core/common/DebugOutput.h"

using namespace veltra;

namespace {

HMODULE g_Module = nullptr;
bool g_PerUser = false;  // process-wide; DllInstall sets and restores it

// The host process's command line can ask for per-user registration.
void ReadRegistrationSwitches() noexcept {
    const wchar_t* commandLine = ::GetCommandLineW();
    if (!commandLine) return;
    AtComEdge(E_OUTOFMEMORY, [&] {  // out of memory: the switch stays as it was
        const std::wstring line(commandLine);
        g_PerUser = PerUserFromCommandLine(std::u16string(line.begin(), line.end()), g_PerUser);
        return S_OK;
    });
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        g_Module = instance;
        if (!StartProcessConnection()) return FALSE;
        ReadRegistrationSwitches();
        SendTraceToDebugOutput();
        break;
    case DLL_PROCESS_DETACH:
        if (!reserved) EndProcessConnection();  // unloaded while the process goes on
        break;
    default: break;
    }
    return TRUE;
}

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_VeltraScanner)) return CLASS_E_CLASSNOTAVAILABLE;
    return AddInClassFactory().QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow() { return ServerInUse() ? S_FALSE : S_OK; }

HRESULT WINAPI DllRegisterServer() { return Register(g_Module, g_PerUser); }

HRESULT WINAPI DllUnregisterServer() { return Unregister(g_PerUser); }

HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool saved = g_PerUser;
    HRESULT hr = AtComEdge(E_OUTOFMEMORY, [&] {
        const std::wstring line = commandLine ? commandLine : L"";
        g_PerUser = EqualsIgnoringAsciiCase(std::u16string(line.begin(), line.end()), u"user");
        return S_OK;
    });
    if (FAILED(hr)) return hr;
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
