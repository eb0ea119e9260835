// The driver as the test bench holds it, through either of its faces: the
// COM add-in created by its programmatic identifier (Windows), or a Native
// API library loaded from its file. The commands see the same calls and
// texts through both, and failures turn into the bench's exit statuses.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchGs1.h"
#include "BenchOutput.h"

namespace veltra::bench {

class Driver {
public:
    Driver() = default;
    virtual ~Driver() = default;
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    struct Result {
        std::u16string result;               // the command's result as text
        std::vector<std::u16string> params;  // each parameter afterwards, as text
    };
    // Calls a driver command by name with `count` parameters, the first set
    // from inputs. Values read as the platform's COM conversions give them
    // (a Boolean "-1" or "0"). Throws BenchError (kComponentError) when the
    // component has no such command or the call itself fails.
    virtual Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs = {}) = 0;
    // Returns for result 1; otherwise throws BenchError (kDriverFailed) with
    // the driver's own GetLastError text.
    void Check(const Result& r, const char16_t* what);

    // A property or method: its names in English and in the local language,
    // and a method's parameter count.
    struct Member {
        std::u16string english, local;
        long params = 0;
    };
    virtual std::u16string ExtensionName() = 0;     // RegisterExtensionAs
    virtual std::u16string ComponentVersion() = 0;  // GetInfo
    virtual std::vector<Member> Properties() = 0;
    virtual std::vector<Member> Methods() = 0;
    // The file the driver was loaded from; "" when it cannot be told.
    virtual std::u16string LibraryFile() = 0;

    // Every event is printed (PrintEvent); `also` gets each printed line too,
    // on the thread that posts the event (the driver's dispatch thread), so
    // it must not wait for the host's thread. Empty: printing only.
    virtual void AlsoShowEvents(std::function<void(const std::u16string& line)> also) = 0;
    // Codes are printed with their GS1 split (scan --gs1).
    void ShowGs1(bool show) { showGs1_ = show; }
    // The events the host has accepted so far.
    virtual size_t Events() const = 0;

    // Ends the component (Done) and lets the library go; gives what the host
    // found wrong in the component's use of its memory, "" when nothing.
    virtual std::u16string End() = 0;

protected:
    // Prints an event for AlsoShowEvents.
    std::u16string Show(const substitute::HostEvent& event) {
        return PrintEvent(event, showGs1_ ? Gs1Detail(event) : EventDetail{});
    }

private:
    std::atomic<bool> showGs1_{false};  // read on the dispatch thread
};

#if defined(_WIN32)
// BenchComDriver.cpp: AddIn.VeltraScanner by its programmatic identifier,
// initialised, its language the bench's. COM must be initialised on this
// thread for its lifetime. Throws BenchError (kComponentError) when it
// cannot be created or initialised.
std::unique_ptr<Driver> MakeComDriver();
#endif

// BenchNativeDriver.cpp: the object of the Native API library at `path`
// (UTF-8), loaded through the substitute host as the platform loads it,
// initialised, its language the bench's. Throws BenchError
// (kComponentError) when the library cannot be loaded or its object made.
std::unique_ptr<Driver> MakeNativeDriver(const std::string& path);

}  // namespace veltra::bench
