// Registering the component's library, as an installer or regsvr32 does.
#pragma once

#include <windows.h>

#include <string>

namespace veltra::substitute {

// The path of a file in the folder of this program.
std::wstring BesideProgram(const wchar_t* name);

// Registers (install) or unregisters the library at `dll`: machine-wide
// through DllRegisterServer / DllUnregisterServer, for the current user
// through DllInstall with the command line "user". The failure of loading
// the library, of finding the entry point, or the entry point's own answer.
HRESULT RegisterServer(const std::wstring& dll, bool install, bool user = false);

}  // namespace veltra::substitute
