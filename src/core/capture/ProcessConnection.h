// The process's one connection, over the platform's keyboard hook and serial
// port and the process's stored settings: the Win32 ones (glue) on Windows,
// the input-device reader and the POSIX port elsewhere.
#pragma once

#include "core/capture/Connection.h"

namespace veltra {

// Made when the library is loaded (false when out of memory); every add-in
// object of the process shares it.
bool StartProcessConnection() noexcept;
Connection& ProcessConnection() noexcept;

// Frees it when the library is unloaded while the process goes on (no add-in
// object is left then, so nothing runs). Not at the end of the process: the
// other threads are gone by then, and stopping what a host left running
// could wait for a lock one of them held.
void EndProcessConnection() noexcept;

}  // namespace veltra
