// Trace lines to the debugger's output. Glue.
#pragma once

namespace veltra {

// Sends the driver's trace lines to OutputDebugStringW while a debugger or a
// debug-output viewer reads them.
void SendTraceToDebugOutput() noexcept;

}  // namespace veltra
