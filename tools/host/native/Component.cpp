#include "host/native/Component.h"

#include <algorithm>

#include "core/common/ScopeExit.h"
#include "host/native/Values.h"

namespace veltra::substitute::native {

namespace {

// The block a value's text or bytes live in; null for the other tags.
const void* TextBlock(const tVariant& value) {
    switch (value.vt) {
    case VTYPE_PWSTR: return value.value.wideText.pwstrVal;
    case VTYPE_PSTR:
    case VTYPE_BLOB: return value.value.text.pstrVal;
    default: return nullptr;
    }
}

std::string Numbered(const char* what, long number) { return what + std::to_string(number); }

}  // namespace

Component::~Component() { Destroy(); }

Component::Step Component::Create(NativeLibrary& library, MemoryManager& memory, const std::u16string& className) {
    Destroy();
    library_ = &library;
    memory_ = &memory;
    object_ = library.CreateObject(className);
    if (!object_) return Step::Instance;
    if (!object_->setMemManager(static_cast<IMemoryManager*>(&memory))) {
        Destroy();
        return Step::MemoryManager;
    }
    return Step::Done;
}

bool Component::Init(Connection& connection) {
    if (connection_ && connection_ != &connection) connection_->Detach();
    connection_ = &connection;
    connection.Attach();
    initialised_ = true;
    return object_->Init(static_cast<IAddInDefBase*>(&connection));
}

void Component::Done() {
    object_->Done();
    initialised_ = false;
    if (connection_) connection_->Detach();
    connection_ = nullptr;
}

long Component::Destroy() {
    if (!object_) return 0;
    if (initialised_) Done();
    const long answer = library_->DestroyObject(object_);
    object_ = nullptr;
    return answer;
}

void Component::SetLocale(const std::u16string& locale) {
    const NativeString text = ToNative(locale);
    object_->SetLocale(text.c_str());
}

void Component::SetUserInterfaceLanguageCode(const std::u16string& language) {
    const NativeString text = ToNative(language);
    object_->SetUserInterfaceLanguageCode(text.c_str());
}

std::optional<std::u16string> Component::RegisterExtensionAs() {
    WCHAR_T* name = nullptr;
    const bool ok = object_->RegisterExtensionAs(&name);
    const std::u16string text = TakeName(name, "the extension name");
    if (!ok) return std::nullopt;
    return text;
}

long Component::FindProp(const std::u16string& name) {
    const NativeString text = ToNative(name);
    return object_->FindProp(text.c_str());
}

std::u16string Component::PropName(long number, long alias) {
    return TakeName(object_->GetPropName(number, alias), "a property name");
}

Component::Value Component::PropValue(long number) {
    tVariant value = EmptyValue();
    const bool ok = object_->GetPropVal(number, &value);
    Value read = Take(value, Numbered("the value of property ", number));
    read.ok = ok;
    return read;
}

bool Component::SetPropText(long number, const std::u16string& text) {
    WCHAR_T* block = memory_->HostText(text);
    const auto release = OnScopeExit([&] { memory_->FreeHostBlock(block); });
    return SetPropValue(number, TextValue(block, text.size()));
}

bool Component::SetPropValue(long number, tVariant value) {
    const void* lent = TextBlock(value);
    const bool ok = object_->SetPropVal(number, &value);
    Settle(value, lent, Numbered("the value set to property ", number));
    return ok;
}

long Component::FindMethod(const std::u16string& name) {
    const NativeString text = ToNative(name);
    return object_->FindMethod(text.c_str());
}

std::u16string Component::MethodName(long number, long alias) {
    return TakeName(object_->GetMethodName(number, alias), "a method name");
}

Component::Value Component::ParamDefault(long method, long param) {
    tVariant value = EmptyValue();
    const bool ok = object_->GetParamDefValue(method, param, &value);
    Value read = Take(value, Numbered("the default value of a parameter of method ", method));
    read.ok = ok;
    return read;
}

Component::CallResult Component::Call(long method, long count, const std::vector<std::u16string>& inputs, As as) {
    const size_t size = static_cast<size_t>(std::max(count, 0L));
    std::vector<tVariant> params(size, EmptyValue());
    std::vector<const void*> lent(size, nullptr);
    const auto release = OnScopeExit([&] {
        for (const void* block : lent) memory_->FreeHostBlock(block);
    });
    for (size_t i = 0; i < inputs.size() && i < size; ++i) {
        WCHAR_T* block = memory_->HostText(inputs[i]);
        lent[i] = block;
        params[i] = TextValue(block, inputs[i].size());
    }
    return Invoke(method, params, lent, as);
}

Component::CallResult Component::CallByName(const std::u16string& name, long count,
                                            const std::vector<std::u16string>& inputs, As as) {
    const long number = FindMethod(name);
    if (number >= 0) return Call(number, count, inputs, as);
    CallResult r;
    r.found = false;
    r.textParams.assign(static_cast<size_t>(std::max(count, 0L)), u"");
    r.types.assign(static_cast<size_t>(std::max(count, 0L)), VTYPE_EMPTY);
    return r;
}

Component::CallResult Component::CallValues(long method, std::vector<tVariant>& params, As as) {
    std::vector<const void*> lent;
    lent.reserve(params.size());
    for (const tVariant& value : params) lent.push_back(TextBlock(value));
    return Invoke(method, params, lent, as);
}

Component::CallResult Component::Invoke(long method, std::vector<tVariant>& params,
                                        const std::vector<const void*>& lent, As as) {
    tVariant result = EmptyValue();
    tVariant* array = params.empty() ? nullptr : params.data();
    const auto count = static_cast<long>(params.size());
    CallResult r;
    r.ok = as == As::Function ? object_->CallAsFunc(method, &result, array, count)
                              : object_->CallAsProc(method, array, count);
    const Value answer = Take(result, Numbered("the result of method ", method));
    r.result = answer.text;
    r.resultType = answer.type;
    for (size_t i = 0; i < params.size(); ++i) {
        const Value param =
            Settle(params[i], lent[i], Numbered("parameter ", static_cast<long>(i)) + Numbered(" of method ", method));
        r.textParams.push_back(param.text);
        r.types.push_back(param.type);
    }
    return r;
}

Component::Value Component::Take(tVariant& value, const std::string& what) {
    Value read;
    read.text = ValueText(value);
    read.type = value.vt;
    memory_->FreeHandedOver(TextBlock(value), what);
    value = EmptyValue();
    return read;
}

Component::Value Component::Settle(tVariant& value, const void* lent, const std::string& what) {
    if (!lent || TextBlock(value) != lent) return Take(value, what);
    Value read;
    read.text = ValueText(value);
    read.type = value.vt;
    return read;
}

std::u16string Component::TakeName(const WCHAR_T* name, const char* what) {
    std::u16string text = FromNative(name);
    memory_->FreeHandedOver(name, what);
    return text;
}

}  // namespace veltra::substitute::native
