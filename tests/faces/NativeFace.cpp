// The Native API face under the behaviour tables: the library loaded as the
// platform loads it (its path is VELTRA_NATIVE_LIBRARY), with the substitute
// host's memory manager, which accounts for every block, and its recording
// connection object.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FaceUnderTest.h"
#include "core/common/Text.h"
#include "native_host/Component.h"
#include "native_host/Connection.h"
#include "native_host/MemoryManager.h"
#include "native_host/NativeLibrary.h"
#include "native_host/Values.h"

#ifndef VELTRA_NATIVE_LIBRARY
#error "VELTRA_NATIVE_LIBRARY names the library under test"
#endif

namespace veltra::test {
namespace {

namespace host = substitute::native;

Got FromValue(uint16_t type, const std::u16string& text) {
    switch (type) {
    case VTYPE_EMPTY: return {Got::Kind::Empty, u""};
    case VTYPE_PWSTR: return {Got::Kind::Text, text};
    case VTYPE_I4: return {Got::Kind::Integer, text};
    case VTYPE_BOOL: return {Got::Kind::Boolean, text};
    default: return {Got::Kind::Other, text};
    }
}

class NativeFace final : public Face {
public:
    NativeFace() {
        if (library_.Load(VELTRA_NATIVE_LIBRARY)) component_.Create(library_, memory_, u"VeltraScanner");
    }
    ~NativeFace() override {
        if (component_.Created()) component_.Destroy();
    }
    const char* Name() const override { return "Native"; }

    bool Init(bool refuseDepth) override {
        if (!component_.Created()) {
            ADD_FAILURE() << "cannot load " << VELTRA_NATIVE_LIBRARY << ": " << library_.Error();
            return false;
        }
        connection_.RefuseBufferDepth(refuseDepth);
        return component_.Init(connection_);
    }
    void Done() override {
        if (component_.Created()) component_.Done();
    }
    void SetLocale(const char16_t* locale) override { component_.SetLocale(locale); }

    std::u16string ExtensionName() override { return component_.RegisterExtensionAs().value_or(u"<none>"); }
    std::u16string Info() override { return DecimalText(component_.GetInfo()); }
    long PropCount() override { return component_.PropCount(); }
    long MethodCount() override { return component_.MethodCount(); }
    long FindProp(const std::u16string& name) override { return component_.FindProp(name); }
    long FindMethod(const std::u16string& name) override { return component_.FindMethod(name); }
    std::u16string PropName(long number, long alias) override { return component_.PropName(number, alias); }
    std::u16string MethodName(long number, long alias) override { return component_.MethodName(number, alias); }
    long ParamCount(long method) override { return component_.ParamCount(method); }

    Got Property(long number) override {
        const host::Component::Value v = component_.PropValue(number);
        return FromValue(v.type, v.text);
    }
    bool SetProperty(long number, const Sent& value) override {
        Held held = Make(value);
        return component_.SetPropValue(number, held.value);
    }
    Answer Call(long method, long count, const std::vector<Sent>& inputs) override {
        std::vector<Held> held;
        std::vector<tVariant> params;
        for (long i = 0; i < count; ++i)
            held.push_back(i < static_cast<long>(inputs.size()) ? Make(inputs[i]) : Held{});
        for (Held& h : held) params.push_back(h.value);
        const host::Component::CallResult r = component_.CallValues(method, params);
        Answer a;
        a.handled = r.ok;
        a.result = FromValue(r.resultType, r.result);
        for (size_t i = 0; i < r.types.size(); ++i) a.params.push_back(FromValue(r.types[i], r.textParams[i]));
        return a;
    }

    std::vector<long> BufferDepths() override { return connection_.BufferDepths(); }
    std::vector<HostEvent> Events() override { return connection_.Events(); }
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) override {
        return connection_.WaitForEvents(count, timeout);
    }
    void RefuseEvents(bool refuse) override { connection_.RefuseEvents(refuse ? host::Connection::kAlways : 0); }

    // What the memory manager found once the object is destroyed: no block
    // of the component's left unfreed, none freed twice or foreign.
    std::string HostFaults() override {
        if (component_.Created()) component_.Destroy();
        const host::MemoryManager::Report report = memory_.GetReport();
        return report.Clean() ? std::string() : report.Text();
    }

private:
    // A value as the host makes it; a text lives in the host's own string.
    struct Held {
        tVariant value = host::EmptyValue();
        std::shared_ptr<host::NativeString> text;
    };
    static Held Make(const Sent& s) {
        Held h;
        switch (s.kind) {
        case Sent::Kind::Empty: break;
        case Sent::Kind::Null: h.value.vt = VTYPE_NULL; break;
        case Sent::Kind::Text:
            h.text = std::make_shared<host::NativeString>(host::ToNative(s.text));
            h.value = host::TextValue(*h.text);
            break;
        case Sent::Kind::Integer: h.value = host::I4Value(s.integer); break;
        case Sent::Kind::Boolean: h.value = host::BoolValue(s.boolean); break;
        case Sent::Kind::Real: h.value = host::R8Value(s.real); break;
        case Sent::Kind::NoTextForm: h.value.vt = VTYPE_BLOB; break;
        }
        return h;
    }

    host::NativeLibrary library_;
    host::MemoryManager memory_;
    host::Connection connection_;
    host::Component component_;  // last, so that it goes first
};

}  // namespace

std::unique_ptr<Face> MakeNativeFace() { return std::make_unique<NativeFace>(); }

}  // namespace veltra::test
