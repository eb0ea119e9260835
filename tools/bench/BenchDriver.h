// The driver as the test bench holds it, through either of the substitute
// host's faces: the COM add-in created by its programmatic identifier
// (Windows), or a Native API library loaded from its file. The commands see
// the same calls and texts through both, and failures turn into the bench's
// exit statuses.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchGs1.h"
#include "BenchOutput.h"
#include "host/DriverFace.h"

namespace veltra::bench {

class Driver {
public:
    // The face made and initialised (see MakeComDriver, MakeNativeDriver).
    explicit Driver(std::unique_ptr<substitute::DriverFace> face);
    ~Driver() { End(); }
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
    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs = {});
    // Returns for result 1; otherwise throws BenchError (kDriverFailed) with
    // the driver's own GetLastError text.
    void Check(const Result& r, const char16_t* what);

    // A property or method: its names in English and in the local language,
    // and a method's parameter count.
    struct Member {
        std::u16string english, local;
        long params = 0;
    };
    std::u16string ExtensionName();  // RegisterExtensionAs
    std::u16string ComponentVersion() { return face_->Info(); }
    std::vector<Member> Properties();
    std::vector<Member> Methods();
    // The file the driver was loaded from; "" when it cannot be told.
    std::u16string LibraryFile() { return face_->LibraryFile(); }

    // Every event is printed (PrintEvent); `also` gets each printed line too,
    // on the thread that posts the event (the driver's dispatch thread), so
    // it must not wait for the host's thread. Empty: printing only.
    void AlsoShowEvents(std::function<void(const std::u16string& line)> also);
    // Codes are printed with their GS1 split (scan --gs1).
    void ShowGs1(bool show) { showGs1_ = show; }
    // The events the host has accepted so far.
    size_t Events() const { return face_->Recorder().EventCount(); }

    // Ends the component (Done) and lets the library go; gives what the host
    // found wrong in the component's use of its memory, "" when nothing.
    std::u16string End();

private:
    std::atomic<bool> showGs1_{false};  // read on the dispatch thread, so it outlives the face
    std::unique_ptr<substitute::DriverFace> face_;
};

// Throws BenchError (kComponentError) with `what`.
[[noreturn]] void ComponentFails(const std::u16string& what);

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
