// The COM face under the behaviour tables: the component created by its
// programmatic identifier (the test program registers the library), with
// the substitute host's recording connection.
#include <windows.h>

#include "FaceUnderTest.h"
#include "host/HostConnection.h"
#include "host/HostedComponent.h"

namespace veltra::test {
namespace {

using substitute::HostConnection;
using substitute::HostedComponent;
using substitute::MakeVariantArray;
using substitute::UniqueSafeArray;

Variant ToVariant(const Sent& value) {
    Variant v;
    switch (value.kind) {
    case Sent::Kind::Empty: break;
    case Sent::Kind::Null: V_VT(v.get()) = VT_NULL; break;
    case Sent::Kind::Text: v.set_text(value.text); break;
    case Sent::Kind::Integer: v.set_i4(value.integer); break;
    case Sent::Kind::Boolean: v.set_bool(value.boolean); break;
    case Sent::Kind::Real:
        V_VT(v.get()) = VT_R8;
        V_R8(v.get()) = value.real;
        break;
    case Sent::Kind::NoTextForm:
        V_VT(v.get()) = VT_UNKNOWN;
        V_UNKNOWN(v.get()) = nullptr;
        break;
    }
    return v;
}

Got FromVariant(const VARIANT* v) {
    switch (V_VT(v)) {
    case VT_EMPTY: return {Got::Kind::Empty, u""};
    case VT_BSTR: return {Got::Kind::Text, FromBstr(V_BSTR(v))};
    case VT_I4: return {Got::Kind::Integer, substitute::VariantText(v)};
    case VT_BOOL: return {Got::Kind::Boolean, V_BOOL(v) ? u"true" : u"false"};
    default: return {Got::Kind::Other, substitute::VariantText(v)};
    }
}

std::u16string TakeText(BSTR text) {
    std::u16string out = FromBstr(text);
    ::SysFreeString(text);
    return out;
}

class ComFace final : public Face {
public:
    ComFace() { component_.Create(); }
    ~ComFace() override {
        if (component_.Created()) component_.Done();
    }
    const char* Name() const override { return "COM"; }

    bool Init(bool refuseDepth) override {
        if (refuseDepth) host_.RefuseBufferDepth(E_FAIL);
        return component_.Created() && component_.Init(host_) == S_OK;
    }
    void Done() override { component_.Done(); }
    void SetLocale(const char16_t* locale) override {
        const std::wstring text(locale, locale + std::char_traits<char16_t>::length(locale));
        component_.SetLocale(text.c_str());
    }

    std::u16string ExtensionName() override {
        BSTR name = nullptr;
        component_.ext()->RegisterExtensionAs(&name);
        return TakeText(name);
    }
    std::u16string Info() override {
        UniqueSafeArray array = MakeVariantArray(1);
        SAFEARRAY* info = array.get();
        component_.init()->GetInfo(&info);
        Variant v;
        long zero = 0;
        ::SafeArrayGetElement(info, &zero, v.get());
        return substitute::VariantText(v.get());
    }
    long PropCount() override {
        return Number([&](long* n) { return component_.ext()->GetNProps(n); });
    }
    long MethodCount() override {
        return Number([&](long* n) { return component_.ext()->GetNMethods(n); });
    }
    long FindProp(const std::u16string& name) override {
        const UniqueBstr text = MakeBstr(name);
        return Number([&](long* n) { return component_.ext()->FindProp(text.get(), n); });
    }
    long FindMethod(const std::u16string& name) override {
        const UniqueBstr text = MakeBstr(name);
        return Number([&](long* n) { return component_.ext()->FindMethod(text.get(), n); });
    }
    std::u16string PropName(long number, long alias) override {
        BSTR name = nullptr;
        component_.ext()->GetPropName(number, alias, &name);
        return TakeText(name);
    }
    std::u16string MethodName(long number, long alias) override {
        BSTR name = nullptr;
        component_.ext()->GetMethodName(number, alias, &name);
        return TakeText(name);
    }
    long ParamCount(long method) override {
        return Number([&](long* n) { return component_.ext()->GetNParams(method, n); });
    }

    Got Property(long number) override {
        Variant v;
        component_.ext()->GetPropVal(number, v.get());
        return FromVariant(v.get());
    }
    bool SetProperty(long number, const Sent& value) override {
        Variant v = ToVariant(value);
        return component_.ext()->SetPropVal(number, v.get()) == S_OK;
    }
    Answer Call(long method, long count, const std::vector<Sent>& inputs) override {
        std::vector<Variant> values;
        std::vector<const VARIANT*> pointers;
        for (const Sent& s : inputs) values.push_back(ToVariant(s));
        for (Variant& v : values) pointers.push_back(v.get());
        HostedComponent::CallResult r = component_.Call(method, count, pointers);
        Answer a;
        a.handled = r.hr == S_OK;
        a.result = FromVariant(r.result.get());
        for (size_t i = 0; i < r.types.size(); ++i) {
            Got g = r.types[i] == VT_BSTR    ? Got{Got::Kind::Text, r.textParams[i]}
                    : r.types[i] == VT_I4    ? Got{Got::Kind::Integer, r.textParams[i]}
                    : r.types[i] == VT_BOOL  ? Got{Got::Kind::Boolean, r.textParams[i] == u"0" ? u"false" : u"true"}
                    : r.types[i] == VT_EMPTY ? Got{Got::Kind::Empty, u""}
                                             : Got{Got::Kind::Other, r.textParams[i]};
            a.params.push_back(g);
        }
        return a;
    }

    std::vector<long> BufferDepths() override { return host_.BufferDepths(); }
    std::vector<HostEvent> Events() override { return host_.Events(); }
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) override {
        return host_.WaitForEvents(count, timeout);
    }
    void RefuseEvents(bool refuse) override { host_.RefuseEvents(refuse ? E_FAIL : S_OK); }

private:
    template <class Get>
    static long Number(Get get) {
        long n = -1;
        get(&n);
        return n;
    }

    HostConnection host_;  // outlives the component's hold on it
    HostedComponent component_;
};

}  // namespace

std::unique_ptr<Face> MakeComFace() { return std::make_unique<ComFace>(); }

}  // namespace veltra::test
