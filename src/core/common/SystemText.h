// The system's own texts for failure codes. Glue.
#pragma once

#include <cstdint>
#include <string>

namespace veltra {

// The system's message for a failure code (a Win32 error or an HRESULT) in
// the given language (0: the system's choice), as it stands, inserts such as
// "%1" left in place; the empty text when the system has none.
std::u16string SystemMessage(uint32_t code, uint16_t language = 0);

}  // namespace veltra
