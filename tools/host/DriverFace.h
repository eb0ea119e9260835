// The driver as a host holds it through either face (COM or Native API), in
// neutral terms: its names, its properties, its methods called by number or
// by name, and what the host recorded. The behaviour tables, the test bench
// and the perf program all reach the driver through this one class; the COM
// face is ComDriverFace (host/com/), the Native API face NativeDriverFace
// (host/native/).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/HostEvents.h"

namespace veltra::substitute {

// A value the host sends: a parameter of a method, or a property value.
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
    bool found = true;     // the method exists (always for a call by number)
    bool handled = false;  // the face took the call (S_OK, or true)
    long comResult = 0;    // the COM face: CallAsFunc's HRESULT; 0 for the Native API face
    Got result;
    std::vector<Got> params;  // each parameter after the call
};

class DriverFace {
public:
    DriverFace() = default;
    virtual ~DriverFace() = default;
    DriverFace(const DriverFace&) = delete;
    DriverFace& operator=(const DriverFace&) = delete;

    virtual const char* Name() const = 0;  // "COM" or "Native"
    // The component was made; the calls below need it.
    virtual bool Created() const = 0;

    // With this host's connection; refuseDepth: the host refuses the event buffer depth.
    virtual bool Init(bool refuseDepth = false) = 0;
    virtual void Done() = 0;
    virtual bool SetLocale(const char16_t* locale) = 0;
    // Ends the component (Done once more if it is still initialised, and for
    // the Native API face DestroyObject and the library let go): what the
    // host found wrong in the component's use of its memory, "" when
    // nothing, and "" when asked again.
    virtual std::string End() = 0;

    virtual std::optional<std::u16string> ExtensionName() = 0;  // none when RegisterExtensionAs fails
    virtual std::u16string Info() = 0;                          // the component version, as text
    // The file the driver was loaded from; "" when it cannot be told.
    virtual std::u16string LibraryFile() = 0;
    virtual long PropCount() = 0;
    virtual long MethodCount() = 0;
    virtual long FindProp(const std::u16string& name) = 0;  // -1 for none
    virtual long FindMethod(const std::u16string& name) = 0;
    virtual std::u16string PropName(long number, long alias) = 0;  // "" for none
    virtual std::u16string MethodName(long number, long alias) = 0;
    virtual long ParamCount(long method) = 0;

    virtual Got Property(long number) = 0;
    // True when the face took the value (an unknown number with a convertible value is not taken).
    virtual bool SetProperty(long number, const Sent& value) = 0;
    // Method `method` with `count` parameters, the first ones from inputs.
    virtual Answer Call(long method, long count, const std::vector<Sent>& inputs = {}) = 0;
    // By name, in either language; not found, and nothing called, for an unknown name.
    Answer Call(const std::u16string& name, long count, const std::vector<Sent>& inputs = {});
    // The same with texts, as the platform's client code passes them.
    Answer CallWithTexts(const std::u16string& name, long count, const std::vector<std::u16string>& inputs);

    // GetLastError: the code (-1 when unreadable) and the description.
    std::pair<long, std::u16string> LastError();
    // SetParameter's result (-1 when unreadable).
    long SetParameter(const std::u16string& name, const std::u16string& value);

    // What the host recorded of the component's events and buffer depths.
    virtual EventRecorder& Recorder() = 0;
    std::vector<long> BufferDepths() { return Recorder().BufferDepths(); }
    std::vector<HostEvent> Events() { return Recorder().Events(); }
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) {
        return Recorder().WaitForEvents(count, timeout);
    }
    // The host refuses events until told otherwise.
    virtual void RefuseEvents(bool refuse) = 0;
};

}  // namespace veltra::substitute
