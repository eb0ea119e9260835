#include "com/addin/ComErrors.h"

#include "com/addin/ComOwners.h"
#include "core/common/HostError.h"
#include "core/common/SystemText.h"

namespace veltra {

namespace {

// One text of the host's error object; empty when it has none.
template <class Getter>
std::u16string ErrorText(Getter get) {
    UniqueBstr text;
    return SUCCEEDED(get(text.put())) ? FromBstr(text.get()) : std::u16string();
}

}  // namespace

void CheckHostCall(HRESULT hr) {
    if (SUCCEEDED(hr)) return;
    HostErrorInfo info;
    ComPtr<IErrorInfo> error;
    if (::GetErrorInfo(0, error.put()) == S_OK && error) {
        info.source = ErrorText([&](BSTR* text) { return error->GetSource(text); });
        info.description = ErrorText([&](BSTR* text) { return error->GetDescription(text); });
        info.helpFile = ErrorText([&](BSTR* text) { return error->GetHelpFile(text); });
        DWORD context = 0;
        if (SUCCEEDED(error->GetHelpContext(&context))) info.helpContext = context;
    }
    const uint32_t code = static_cast<uint32_t>(hr);
    throw MakeHostCallError(code, info, SystemMessage(code));
}

void RaisePlatformError(HRESULT hr) {
    // The same text a failed host call gets, without its extra details.
    const uint32_t code = static_cast<uint32_t>(hr);
    throw DriverError(MakeHostCallError(code, HostErrorInfo{}, TrimHostErrorText(SystemMessage(code))).message());
}

}  // namespace veltra
