// The Native API library's entry functions, and the process's connection
// made when the library is loaded and freed when it is unloaded.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstring>
#include <new>

#include "core/capture/ProcessConnection.h"
#include "native/addin/NativeAddIn.h"
#include "native/api/NativeApi.h"

using namespace veltra;

namespace {

// The one object the library offers, under the extension's name.
const WCHAR_T kClassNames[] = {'V', 'e', 'l', 't', 'r', 'a', 'S', 'c', 'a', 'n', 'n', 'e', 'r', 0};

bool IsOurClass(const WCHAR_T* name) {
    if (!name) return false;
    size_t i = 0;
    for (; kClassNames[i] != 0; ++i)
        if (name[i] != kClassNames[i]) return false;
    return name[i] == 0;
}

#if !defined(_WIN32)
// Made when the library is loaded, freed when it is unloaded (or the process
// ends). Every object has been destroyed by then, and its connection with it.
struct ConnectionForTheLibrary {
    ConnectionForTheLibrary() { StartProcessConnection(); }
    ~ConnectionForTheLibrary() { EndProcessConnection(); }
} g_ConnectionForTheLibrary;
#endif

}  // namespace

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        if (!StartProcessConnection()) return FALSE;
        break;
    case DLL_PROCESS_DETACH:
        if (!reserved) EndProcessConnection();  // unloaded while the process goes on
        break;
    default: break;
    }
    return TRUE;
}
#endif

extern "C" {

const WCHAR_T* GetClassNames() { return kClassNames; }

long GetClassObject(const WCHAR_T* name, IComponentBase** out) {
    if (!out || !IsOurClass(name) || !StartProcessConnection()) return 0;
    *out = new (std::nothrow) NativeAddIn(ProcessConnection());
    return *out ? 1 : 0;
}

long DestroyObject(IComponentBase** object) {
    if (!object || !*object) return -1;
    delete *object;  // stops the connection the object still holds
    *object = nullptr;
    return 0;
}

// The driver uses nothing beyond what every version of the platform offers.
AppCapabilities SetPlatformCapabilities(const AppCapabilities) { return eAppCapabilitiesLast; }

// Keyboard-wedge capture hooks the host's own thread: the component must
// run in the host's process.
AttachType GetAttachType() { return eCanAttachNotIsolated; }

}  // extern "C"
