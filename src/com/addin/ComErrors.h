// Failed COM calls as driver errors: calls into the host, and the platform's
// own conversions. Glue of the COM face.
#pragma once

#include <windows.h>

namespace veltra {

// Checks the result of a call into the host: a failure becomes a
// HostCallError raised here, built from the calling thread's error object.
void CheckHostCall(HRESULT hr);

// Raises the platform's failure as a driver error whose text has no class
// character ("OLE error 80020005" when the system has no text for the code),
// so GetLastError reports it as an error of no known class.
[[noreturn]] void RaisePlatformError(HRESULT hr);

// The edge of the COM face for every call that is not a driver command (those
// go through GuardHostCall): whatever the work raises, out of memory as a
// rule, becomes the result `failure`; no last error is stored.
template <class Work>
HRESULT AtComEdge(HRESULT failure, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

}  // namespace veltra
