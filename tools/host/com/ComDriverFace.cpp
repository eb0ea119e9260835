#include "host/com/ComDriverFace.h"

#include <windows.h>

namespace veltra::substitute {
namespace {

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

// A value of type `type` whose text (VariantText) is `text`.
Got FromTypeAndText(VARTYPE type, const std::u16string& text) {
    switch (type) {
    case VT_EMPTY: return {Got::Kind::Empty, u""};
    case VT_BSTR: return {Got::Kind::Text, text};
    case VT_I4: return {Got::Kind::Integer, text};
    case VT_BOOL: return {Got::Kind::Boolean, text == u"0" ? u"false" : u"true"};
    default: return {Got::Kind::Other, text};
    }
}

Got FromVariant(const VARIANT* v) {
    return FromTypeAndText(V_VT(v), V_VT(v) == VT_BSTR ? FromBstr(V_BSTR(v)) : VariantText(v));
}

template <class Get>
long Number(Get get) {
    long n = -1;
    get(&n);
    return n;
}

}  // namespace

ComDriverFace::ComDriverFace() : creation_(component_.Create()) {}

ComDriverFace::~ComDriverFace() {
    if (initialised_) component_.Done();
}

bool ComDriverFace::Init(bool refuseDepth) {
    if (!Created()) return false;
    if (refuseDepth) host_.RefuseBufferDepth(E_FAIL);
    lastResult_ = component_.Init(host_);
    initialised_ = true;  // Done follows a failed Init too, as the platform's
    return lastResult_ == S_OK;
}

void ComDriverFace::Done() {
    if (!Created()) return;
    component_.Done();
    initialised_ = false;
}

bool ComDriverFace::SetLocale(const char16_t* locale) {
    const std::wstring text(locale, locale + std::char_traits<char16_t>::length(locale));
    lastResult_ = component_.SetLocale(text.c_str());
    return SUCCEEDED(lastResult_);
}

std::string ComDriverFace::End() {
    if (initialised_) Done();
    return "";
}

std::optional<std::u16string> ComDriverFace::ExtensionName() {
    UniqueBstr name;
    if (FAILED(component_.ext()->RegisterExtensionAs(name.put()))) return std::nullopt;
    return FromBstr(name.get());
}

std::u16string ComDriverFace::Info() {
    const UniqueSafeArray array = MakeVariantArray(1);
    SAFEARRAY* info = array.get();
    component_.init()->GetInfo(&info);
    Variant v;
    long zero = 0;
    ::SafeArrayGetElement(info, &zero, v.get());
    return VariantText(v.get());
}

// The DLL that COM loaded for the identifier.
std::u16string ComDriverFace::LibraryFile() {
    const HMODULE module = ::GetModuleHandleW(L"VeltraScanner.dll");
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return u"";
    return std::u16string(path, path + ::wcslen(path));  // UTF-16 both
}

long ComDriverFace::PropCount() {
    return Number([&](long* n) { return component_.ext()->GetNProps(n); });
}
long ComDriverFace::MethodCount() {
    return Number([&](long* n) { return component_.ext()->GetNMethods(n); });
}
long ComDriverFace::FindProp(const std::u16string& name) {
    const UniqueBstr text = MakeBstr(name);
    return Number([&](long* n) { return component_.ext()->FindProp(text.get(), n); });
}
long ComDriverFace::FindMethod(const std::u16string& name) {
    const UniqueBstr text = MakeBstr(name);
    return Number([&](long* n) { return component_.ext()->FindMethod(text.get(), n); });
}
std::u16string ComDriverFace::PropName(long number, long alias) {
    UniqueBstr name;
    component_.ext()->GetPropName(number, alias, name.put());
    return FromBstr(name.get());
}
std::u16string ComDriverFace::MethodName(long number, long alias) {
    UniqueBstr name;
    component_.ext()->GetMethodName(number, alias, name.put());
    return FromBstr(name.get());
}
long ComDriverFace::ParamCount(long method) {
    return Number([&](long* n) { return component_.ext()->GetNParams(method, n); });
}

Got ComDriverFace::Property(long number) {
    Variant v;
    component_.ext()->GetPropVal(number, v.get());
    return FromVariant(v.get());
}

bool ComDriverFace::SetProperty(long number, const Sent& value) {
    Variant v = ToVariant(value);
    return component_.ext()->SetPropVal(number, v.get()) == S_OK;
}

Answer ComDriverFace::Call(long method, long count, const std::vector<Sent>& inputs) {
    std::vector<Variant> values;
    std::vector<const VARIANT*> pointers;
    for (const Sent& s : inputs) values.push_back(ToVariant(s));
    for (Variant& v : values) pointers.push_back(v.get());
    const HostedComponent::CallResult r = component_.Call(method, count, pointers);
    Answer a;
    a.handled = r.hr == S_OK;
    a.comResult = r.hr;
    a.result = FromVariant(r.result.get());
    for (size_t i = 0; i < r.types.size(); ++i) a.params.push_back(FromTypeAndText(r.types[i], r.textParams[i]));
    return a;
}

}  // namespace veltra::substitute
