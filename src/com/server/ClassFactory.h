// The class factory of the add-in class, and what keeps the library loaded.
// Glue of the COM face.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace veltra {

// The one factory; it lives as long as the library.
IClassFactory& AddInClassFactory() noexcept;

// Whether an add-in object, a LockServer(TRUE) or a reference to the factory
// is still outstanding (DllCanUnloadNow).
bool ServerInUse() noexcept;

}  // namespace veltra
