// The add-in object as a host holds it: created by its programmatic
// identifier, initialised with a connection object, its commands called
// through CallAsFunc with a parameter array, as the platform calls them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "com/addin/ComOwners.h"
#include "com/host/AddInLib.h"

namespace veltra::substitute {

class HostConnection;

constexpr wchar_t kProgId[] = L"AddIn.VeltraScanner";

struct SafeArrayTraits {
    static SAFEARRAY* empty() noexcept { return nullptr; }
    static bool is_empty(SAFEARRAY* a) noexcept { return a == nullptr; }
    static void close(SAFEARRAY* a) noexcept { ::SafeArrayDestroy(a); }
};
using UniqueSafeArray = Unique<SAFEARRAY*, SafeArrayTraits>;

// A one-dimensional array of `count` empty variants, indexed from 0: the
// parameter array a host hands to a component. Throws std::bad_alloc.
UniqueSafeArray MakeVariantArray(long count);

// A value as text (VariantChangeType to VT_BSTR); "" when it has none.
std::u16string VariantText(const VARIANT* value);

// COM on this thread, single-threaded as the platform's, while it lives.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

class HostedComponent {
public:
    HostedComponent() = default;
    HostedComponent(const HostedComponent&) = delete;
    HostedComponent& operator=(const HostedComponent&) = delete;

    // Where creating stopped: looking up the identifier, creating the
    // object, or asking it for ILanguageExtender and ILocale.
    enum class Step { Lookup, Instance, Interfaces, Done };
    struct Creation {
        Step step;
        HRESULT hr;  // S_OK when step is Done
    };
    Creation Create(const wchar_t* progId = kProgId);

    // The calls below need a created component.
    bool Created() const { return static_cast<bool>(init_) && ext_ && locale_; }
    IInitDone* init() const { return init_.get(); }
    ILanguageExtender* ext() const { return ext_.get(); }
    ILocale* locale() const { return locale_.get(); }

    HRESULT Init(HostConnection& host);
    HRESULT Done() { return init_->Done(); }
    HRESULT SetLocale(const wchar_t* locale);

    // A command's answer: the call's own result, the command's result, and
    // each element of the parameter array afterwards, as its type and as
    // text ("" where it has none); `count` of each, also when the call failed.
    struct CallResult {
        HRESULT hr = E_FAIL;
        Variant result;
        std::vector<std::u16string> textParams;
        std::vector<VARTYPE> types;
    };
    // Calls command `method` with `count` parameters, the first ones set
    // from `inputs`. Throws std::bad_alloc.
    CallResult Call(long method, long count, const std::vector<const VARIANT*>& inputs = {});
    CallResult CallWithTexts(long method, long count, const std::vector<std::u16string>& inputs);
    // The same by the command's name in either language; hr is
    // DISP_E_UNKNOWNNAME when the component has no such command.
    CallResult CallByName(const std::u16string& name, long count, const std::vector<std::u16string>& inputs = {});
    // GetLastError: the code as the result, the description as parameter 0.
    CallResult LastError() { return CallByName(u"GetLastError", 1); }

private:
    ComPtr<IInitDone> init_;
    ComPtr<ILanguageExtender> ext_;
    ComPtr<ILocale> locale_;
};

}  // namespace veltra::substitute
