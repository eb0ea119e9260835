// Writing and removing the registry entries of the add-in class. Glue.
#pragma once

#include <windows.h>

namespace veltra {

// Registers `module` (this library) machine-wide or for the current user.
HRESULT Register(HMODULE module, bool perUser) noexcept;
// Removes the entries; a key that is absent or still used is left.
HRESULT Unregister(bool perUser) noexcept;

}  // namespace veltra
