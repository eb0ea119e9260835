// The scan command: Open, every event printed until a limit, Close. With the
// keyboard port on Windows the driver's hook needs a window of this thread
// (BenchKeyboard.cpp); any other port only needs waiting for the events, and
// so does every port on Linux, where the driver reads a named input device
// (/dev/input/..., usb:VVVV:PPPP) with a thread of its own.
#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>

#include <csignal>
#include <thread>
#endif

#include <chrono>
#include <string>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

#if defined(_WIN32)
volatile bool g_Interrupted = false;
BOOL WINAPI OnCtrl(DWORD) {
    g_Interrupted = true;
    return TRUE;
}
#else
volatile std::sig_atomic_t g_Interrupted = 0;
void OnInterrupt(int) { g_Interrupted = 1; }
#endif

bool EventScan(Driver& d, const Limits& limits) {
    const size_t before = d.Events();
    const Driver::Result opened = d.Call(u"Open", 1);
    d.Check(opened, u"Open");
    PrintLine(Say(u"connected, device ", u"подключено, устройство ") + opened.params[0] +
              Say(u"; waiting for codes", u"; жду штрихкоды"));
    const bool reached = WaitForLimits(d, limits, before);
    EndScan(d, opened.params[0], before);
    return reached;
}

}  // namespace

#if defined(_WIN32)
void CatchInterrupts() { ::SetConsoleCtrlHandler(&OnCtrl, TRUE); }
#else
// A second Ctrl+C ends the program, should the driver not let go.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
}
#endif

bool WaitForLimits(Driver& d, const Limits& limits, size_t before, const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    const auto reached = [&] { return limits.count && d.Events() - before >= limits.count; };
    for (;;) {
        if (g_Interrupted || reached()) break;
        if (done && done()) break;
        if (limits.seconds > 0 &&
            std::chrono::steady_clock::now() - start > std::chrono::duration<double>(limits.seconds))
            break;
#if defined(_WIN32)
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
#else
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
#endif
    }
    return limits.count == 0 || reached();
}

void EndScan(Driver& d, const std::u16string& device, size_t before) {
    d.Check(d.Call(u"Close", 1, {device}), u"Close");
    PrintLine(Say(u"closed after ", u"отключено, событий: ") +
              DecimalText(static_cast<long long>(d.Events() - before)) + Say(u" events", u""));
}

void Scan(Driver& d, const Limits& limits, bool keyboard) {
    const size_t before = d.Events();
#if defined(_WIN32)
    const bool reached = keyboard ? RunKeyboardWindow(d, limits) : EventScan(d, limits);
#else
    static_cast<void>(keyboard);
    const bool reached = EventScan(d, limits);
#endif
    if (reached) return;
    throw BenchError{kScanIncomplete, Say(u"the scan ended after ", u"сканирование закончилось после ") +
                                          DecimalText(static_cast<long long>(d.Events() - before)) +
                                          Say(u" of ", u" из ") + DecimalText(static_cast<long long>(limits.count)) +
                                          Say(u" events", u" событий")};
}

}  // namespace veltra::bench
