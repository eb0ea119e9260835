#include "host/com/HostedComponent.h"

#include <new>

#include "host/com/HostConnection.h"

namespace veltra::substitute {

UniqueSafeArray MakeVariantArray(long count) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
    if (!array) throw std::bad_alloc();
    return UniqueSafeArray(array);
}

std::u16string VariantText(const VARIANT* value) {
    Variant text;
    // The source is only read; MinGW's declaration lacks the const.
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(value), 0, VT_BSTR))) return u"";
    return FromBstr(V_BSTR(text.get()));
}

HostedComponent::Creation HostedComponent::Create(const wchar_t* progId) {
    init_.reset();
    ext_.reset();
    locale_.reset();
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return {Step::Lookup, hr};
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, init_.put_void());
    if (FAILED(hr)) return {Step::Instance, hr};
    hr = init_->QueryInterface(IID_ILanguageExtender, ext_.put_void());
    if (SUCCEEDED(hr)) hr = init_->QueryInterface(IID_ILocale, locale_.put_void());
    if (FAILED(hr)) {
        init_.reset();
        ext_.reset();
        return {Step::Interfaces, hr};
    }
    return {Step::Done, S_OK};
}

HRESULT HostedComponent::Init(HostConnection& host) { return init_->Init(static_cast<IDispatch*>(&host)); }

HRESULT HostedComponent::SetLocale(const wchar_t* locale) {
    UniqueBstr name(::SysAllocString(locale));
    if (!name) return E_OUTOFMEMORY;
    return locale_->SetLocale(name.get());
}

HostedComponent::CallResult HostedComponent::Call(long method, long count, const std::vector<const VARIANT*>& inputs) {
    UniqueSafeArray array = MakeVariantArray(count);
    for (long i = 0; i < static_cast<long>(inputs.size()) && i < count; ++i)
        ::SafeArrayPutElement(array.get(), &i, const_cast<VARIANT*>(inputs[static_cast<size_t>(i)]));
    CallResult r;
    SAFEARRAY* params = array.get();
    r.hr = ext_->CallAsFunc(method, r.result.get(), &params);
    for (long i = 0; i < count; ++i) {
        Variant element;
        ::SafeArrayGetElement(array.get(), &i, element.get());
        r.types.push_back(element.type());
        r.textParams.push_back(VariantText(element.get()));
    }
    return r;
}

HostedComponent::CallResult HostedComponent::CallWithTexts(long method, long count,
                                                           const std::vector<std::u16string>& inputs) {
    std::vector<Variant> values(inputs.size());
    std::vector<const VARIANT*> pointers;
    for (size_t i = 0; i < inputs.size(); ++i) {
        values[i].set_text(inputs[i]);
        pointers.push_back(values[i].get());
    }
    return Call(method, count, pointers);
}

HostedComponent::CallResult HostedComponent::CallByName(const std::u16string& name, long count,
                                                        const std::vector<std::u16string>& inputs) {
    const UniqueBstr text = MakeBstr(name);
    long number = -1;
    if (ext_->FindMethod(text.get(), &number) == S_OK) return CallWithTexts(number, count, inputs);
    CallResult r;
    r.hr = DISP_E_UNKNOWNNAME;
    r.textParams.assign(static_cast<size_t>(count), u"");
    r.types.assign(static_cast<size_t>(count), VT_EMPTY);
    return r;
}

}  // namespace veltra::substitute
