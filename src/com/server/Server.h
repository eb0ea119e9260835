// The in-process server: object and lock counts, the class factory, and
// self-registration. Glue.
#pragma once

#include <windows.h>

#include <string>

namespace veltra {

// Live add-in objects plus outstanding LockServer(TRUE) calls.
void ServerObjectCreated() noexcept;
void ServerObjectDestroyed() noexcept;

// Module handle of the DLL, set at load.
extern HMODULE g_Module;

// Reads the host process's command line once at load for the registration switches.
void InitServer(HMODULE module) noexcept;

// The system's message text for a failure code, or the empty text.
std::u16string SystemMessage(HRESULT hr);

// Checks the result of a call into the host: a failure becomes a
// HostCallError raised here, built from the calling thread's error object.
void CheckHostCall(HRESULT hr);

}  // namespace veltra
