// The in-process server: object and lock counts, the class factory, and
// self-registration. Glue.
#pragma once

#include <windows.h>

namespace veltra {

// Live add-in objects plus outstanding LockServer(TRUE) calls.
void ServerObjectCreated() noexcept;
void ServerObjectDestroyed() noexcept;

// Module handle of the DLL, set at load.
extern HMODULE g_Module;

// Reads the host process's command line once at load for the registration switches.
void InitServer(HMODULE module) noexcept;

}  // namespace veltra
