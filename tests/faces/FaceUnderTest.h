// The driver through either face (COM or Native API), as the substitute host
// holds it, so that one set of behaviour tables checks both faces and shows
// that they answer alike; and the serial line the tables feed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/DriverFace.h"

namespace veltra::test {

using substitute::Answer;
using substitute::Got;
using substitute::HostEvent;
using substitute::Sent;
using Face = substitute::DriverFace;

// The faces this build can test; each made anew for a test.
using FaceFactory = std::unique_ptr<Face> (*)();
std::unique_ptr<Face> MakeNativeFace();
#if defined(_WIN32)
std::unique_ptr<Face> MakeComFace();
#endif

// The serial line the tests feed: a pseudo-terminal the driver opens by its
// path (Linux), or the virtual COM port of the Wine tests.
class SerialLine {
public:
    SerialLine();
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    bool Ready() const { return ready_; }
    const std::u16string& PortText() const { return port_; }
    void Feed(const std::string& bytes);
#if !defined(_WIN32)
    // The other side goes away, as an unplugged device does.
    void Unplug();
#endif

private:
    bool ready_ = false;
    std::u16string port_;
    intptr_t feed_ = -1;
    intptr_t other_ = -1;
};

#if !defined(_WIN32)
// A keyboard-wedge scanner's own input device that the tables can type on:
// the test VM's uinput keyboard (tests/vm/InputDeviceTest.cpp sets it); null
// where the kernel has none. `port` names it in the port setting; `type`
// writes Linux key events (code, value) and returns once they are written.
struct TestInputDevice {
    std::u16string port;
    bool (*type)(const std::vector<std::pair<uint16_t, int32_t>>& keys);
};
extern const TestInputDevice* g_TestInputDevice;
#endif

}  // namespace veltra::test
