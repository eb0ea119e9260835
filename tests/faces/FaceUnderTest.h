// The driver as a host holds it through either face (COM or Native API), in
// neutral terms, so that one set of behaviour tables checks both faces and
// shows that they answer alike.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/HostEvents.h"

namespace veltra::test {

// A value the host sends: a parameter of a command, or a property value.
struct Sent {
    enum class Kind { Empty, Null, Text, Integer, Boolean, Real, NoTextForm };
    Kind kind = Kind::Empty;
    std::u16string text;
    int32_t integer = 0;
    bool boolean = false;
    double real = 0;

    static Sent Text(std::u16string t) { return {Kind::Text, std::move(t), 0, false, 0}; }
    static Sent Integer(int32_t n) { return {Kind::Integer, {}, n, false, 0}; }
    static Sent Boolean(bool b) { return {Kind::Boolean, {}, 0, b, 0}; }
    static Sent Real(double r) { return {Kind::Real, {}, 0, false, r}; }
    static Sent Null() { return {Kind::Null, {}, 0, false, 0}; }
    // A value that has no text form in either face (an object or an array).
    static Sent NoTextForm() { return {Kind::NoTextForm, {}, 0, false, 0}; }
};

// A value the host got back.
struct Got {
    enum class Kind { Empty, Text, Integer, Boolean, Other };
    Kind kind = Kind::Empty;
    std::u16string text;  // the value as text: a number in decimal, a Boolean "true" or "false"
    bool operator==(const Got& o) const { return kind == o.kind && text == o.text; }
};

struct Answer {
    bool handled = false;  // the face took the call (S_OK, or true)
    Got result;
    std::vector<Got> params;  // each parameter after the call
};

using substitute::HostEvent;

class Face {
public:
    virtual ~Face() = default;
    virtual const char* Name() const = 0;

    // With a recording host; refuseDepth: the host refuses the event buffer depth.
    virtual bool Init(bool refuseDepth = false) = 0;
    virtual void Done() = 0;
    virtual void SetLocale(const char16_t* locale) = 0;

    virtual std::u16string ExtensionName() = 0;
    virtual std::u16string Info() = 0;  // the component version, as text
    virtual long PropCount() = 0;
    virtual long MethodCount() = 0;
    virtual long FindProp(const std::u16string& name) = 0;
    virtual long FindMethod(const std::u16string& name) = 0;
    virtual std::u16string PropName(long number, long alias) = 0;  // "" for none
    virtual std::u16string MethodName(long number, long alias) = 0;
    virtual long ParamCount(long method) = 0;

    virtual Got Property(long number) = 0;
    // True when the face took the value (an unknown number with a convertible value is not taken).
    virtual bool SetProperty(long number, const Sent& value) = 0;
    // Command `method` with `count` parameters, the first ones from inputs.
    virtual Answer Call(long method, long count, const std::vector<Sent>& inputs = {}) = 0;

    virtual std::vector<long> BufferDepths() = 0;
    virtual std::vector<HostEvent> Events() = 0;
    virtual bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) = 0;
    // The host refuses events until told otherwise.
    virtual void RefuseEvents(bool refuse) = 0;

    // Checks made once the face is released: for the Native API face, that
    // every block the component handed over was freed once and no other.
    virtual std::string HostFaults() { return {}; }

    // By name, in either language.
    Answer Call(const std::u16string& name, long count, const std::vector<Sent>& inputs = {}) {
        return Call(FindMethod(name), count, inputs);
    }
    std::pair<long, std::u16string> LastError();
    long SetParameter(const std::u16string& name, const std::u16string& value);
};

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
