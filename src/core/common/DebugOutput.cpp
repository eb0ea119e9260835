#include "core/common/DebugOutput.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "core/common/Messages.h"
#include "core/common/Win32Owners.h"

namespace veltra {

namespace {

void DebugTrace(const std::u16string& line) { ::OutputDebugStringW(reinterpret_cast<LPCWSTR>(line.c_str())); }

// OutputDebugStringW costs tens of microseconds even when nobody reads it (it
// raises an exception to look for a debugger), and the hook traces several
// lines per scanned code. So lines go out only while a debugger or a
// debug-output viewer is there; that is looked up at most once a second.
bool DebugOutputRead() noexcept {
    static std::atomic<ULONGLONG> nextLook{0};
    static std::atomic<bool> read{false};
    const ULONGLONG now = ::GetTickCount64();
    if (now < nextLook.load()) return read.load();
    bool someone = ::IsDebuggerPresent() != FALSE;
    for (const wchar_t* viewer : {L"DBWIN_BUFFER_READY", L"Global\\DBWIN_BUFFER_READY"}) {
        if (someone) break;
        const UniqueHandle ready(::OpenEventW(SYNCHRONIZE, FALSE, viewer));
        someone = static_cast<bool>(ready);
    }
    read = someone;
    nextLook = now + 1000;
    return someone;
}

}  // namespace

void SendTraceToDebugOutput() noexcept { SetTraceSink(&DebugTrace, &DebugOutputRead); }

}  // namespace veltra
