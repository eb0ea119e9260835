// The register and unregister commands: the VeltraScanner.dll in the bench's
// folder, machine-wide or for the current user.
#include <windows.h>

#include <string>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "host/com/ServerRegistration.h"

namespace veltra::bench {

void Register(bool install, bool user) {
    const std::wstring dll = substitute::BesideProgram(L"VeltraScanner.dll");
    const std::u16string path = FromUtf16(dll.c_str());
    const HRESULT hr = substitute::RegisterServer(dll, install, user);
    if (FAILED(hr)) {
        throw BenchError{kComponentError, (install ? Say(u"cannot register ", u"не удалось зарегистрировать ")
                                                   : Say(u"cannot unregister ", u"не удалось снять регистрацию ")) +
                                              path + u": " + SystemMessage(hr, path)};
    }
    const std::u16string scope = user ? Say(u" for the current user", u" для текущего пользователя")
                                      : Say(u" for all users", u" для всех пользователей");
    PrintLine((install ? Say(u"registered ", u"зарегистрирован ") : Say(u"unregistered ", u"снята регистрация ")) +
              path + scope);
}

}  // namespace veltra::bench
