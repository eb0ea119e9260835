// The platform's connection object, as a host hands it to a component in
// Init: it records what the component reports and posts, and can be told to
// refuse, so that tests and the test bench see what the platform would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "host/HostEvents.h"
#include "native/api/NativeApi.h"

namespace veltra::substitute::native {

using substitute::HostEvent;

struct AddedError {
    unsigned short code;
    std::u16string source;
    std::u16string description;
    long scode;
};

// Records events and buffer depths as EventRecorder, and the errors the
// component reports. Safe to call from any thread: the component posts events
// from threads of its own. Outlives the component's hold on it (Done ends
// that); calls that arrive while no component holds it (before Init, after
// Done) are counted as late calls and answered false.
class Connection final : public EventRecorder, public IAddInDefBase {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void RefuseBufferDepth(bool refuse);
    std::vector<AddedError> Errors() const;
    bool WaitForErrors(size_t count, std::chrono::milliseconds timeout) const;
    size_t CleanCount() const;          // CleanEventBuffer calls
    std::u16string StatusLine() const;  // "" after ResetStatusLine
    size_t LateCalls() const;

    // The host's component holds the connection from Init to Done.
    void Attach();
    void Detach();

    bool VELTRA_NATIVE_CALL AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description,
                                     long scode) override;
    // Nothing is stored: every name reads as absent (error 0, no description).
    bool VELTRA_NATIVE_CALL Read(WCHAR_T* name, tVariant* value, long* error, WCHAR_T** errorDescription) override;
    bool VELTRA_NATIVE_CALL Write(WCHAR_T* name, tVariant* value) override;  // accepted, forgotten
    bool VELTRA_NATIVE_CALL RegisterProfileAs(WCHAR_T* name) override;       // accepted
    bool VELTRA_NATIVE_CALL SetEventBufferDepth(long depth) override;
    long VELTRA_NATIVE_CALL GetEventBufferDepth() override;  // 1 until set, as the platform's
    bool VELTRA_NATIVE_CALL ExternalEvent(WCHAR_T* source, WCHAR_T* message, WCHAR_T* data) override;
    void VELTRA_NATIVE_CALL CleanEventBuffer() override;
    bool VELTRA_NATIVE_CALL SetStatusLine(WCHAR_T* text) override;
    void VELTRA_NATIVE_CALL ResetStatusLine() override;

private:
    bool Attached();  // counts a late call otherwise; with the lock held

    mutable std::mutex lock_;  // the records below
    mutable std::condition_variable changed_;
    bool attached_ = false;
    std::vector<AddedError> errors_;
    long depth_ = 1;
    bool refuseDepth_ = false;
    size_t cleans_ = 0;
    size_t lateCalls_ = 0;
    std::u16string statusLine_;
};

}  // namespace veltra::substitute::native
