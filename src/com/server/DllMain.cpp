#include <windows.h>

#include "com/server/Server.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        veltra::InitServer(instance);
    }
    return TRUE;
}
