// Errors raised when a call into the host's interfaces fails. Plain logic:
// the glue reads the thread's error object and hands its parts in here.
#pragma once

#include <cstdint>
#include <string>

#include "core/common/Messages.h"

namespace veltra {

// The host's failure code that means the operation was aborted.
constexpr uint32_t kAbortCode = 0xA0004004u;

struct HostErrorInfo {
    std::u16string source;
    std::u16string description;
    std::u16string helpFile;
    uint32_t helpContext = 0;
};

// A failed host call. Abort (code 0xA0004004) carries the description and
// the help context; any other code also its source and help file. It is a
// DriverError, so the host-call frames store it like any other failure; its
// text has no class character.
class HostCallError : public DriverError {
public:
    enum class Kind { Abort, OleException };
    HostCallError(Kind kind, uint32_t code, std::u16string message, const HostErrorInfo& info)
        : DriverError(std::move(message)), kind_(kind), code_(code), info_(info) {}
    Kind kind() const noexcept { return kind_; }
    uint32_t code() const noexcept { return code_; }
    const HostErrorInfo& info() const noexcept { return info_; }

private:
    Kind kind_;
    uint32_t code_;
    HostErrorInfo info_;
};

// Removes every trailing character up to U+0020 and every trailing full stop,
// repeatedly, until the last character is neither.
std::u16string TrimHostErrorText(const std::u16string& text);

// The error a failure code becomes: the trimmed description; when that is
// empty the platform's message for the code (systemText, as it stands); when
// that is empty too "OLE error XXXXXXXX".
HostCallError MakeHostCallError(uint32_t code, const HostErrorInfo& info, const std::u16string& systemText);

}  // namespace veltra
