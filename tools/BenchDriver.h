// The driver as the test bench holds it: the substitute host's component and
// connection, with failures turned into the bench's exit statuses.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "host/HostConnection.h"
#include "host/HostedComponent.h"

namespace veltra::bench {

class Driver {
public:
    // Creates and initialises AddIn.VeltraScanner and sets its language to the
    // bench's; throws BenchError (kComponentError) when that fails.
    Driver();
    ~Driver();  // Done
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    struct Result {
        std::u16string result;               // the command's result as text
        std::vector<std::u16string> params;  // each parameter afterwards, as text
    };
    // Calls a driver command by name with `count` parameters, the first set from inputs.
    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs = {});
    // Returns for result 1; otherwise throws BenchError (kDriverFailed) with
    // the driver's own GetLastError text.
    void Check(const Result& r, const char16_t* what);
    // Throws BenchError (kComponentError) with the system's text for hr.
    [[noreturn]] static void Fail(const std::u16string& what, HRESULT hr);

    // Every event is printed (PrintEvent); `also` gets each printed line too,
    // on the thread that posts the event (the driver's dispatch thread), so
    // it must not wait for the host's thread. Empty: printing only.
    void AlsoShowEvents(std::function<void(const std::u16string& line)> also);
    // Codes are printed with their GS1 split (scan --gs1).
    void ShowGs1(bool show) { showGs1_ = show; }
    size_t Events() const { return host_.EventCount(); }
    substitute::HostedComponent& component() { return component_; }

private:
    std::atomic<bool> showGs1_{false};  // read on the dispatch thread
    substitute::HostConnection host_;   // outlives the component's hold on it
    substitute::HostedComponent component_;
};

}  // namespace veltra::bench
