// The test bench's host side: the connection object that prints events, and
// the component as the bench holds it.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "com/host/AddInLib.h"
#include "com/addin/ComOwners.h"

namespace veltra::bench {

// The exit statuses of the bench (listed by --help and in the README).
enum ExitStatus : int {
    kSucceeded = 0,       // every command succeeded
    kDriverFailed = 1,    // a driver command answered failure
    kUsageError = 2,      // unknown command or option, missing or malformed argument
    kComponentError = 3,  // the component could not be loaded, registered or created
    kScanIncomplete = 4,  // a scan ended before --count events arrived
};

// Ends the run with `status`; `message` goes to stderr. Thrown instead of
// exiting on the spot, so the driver is released (Done) on the way out.
struct BenchError {
    int status;
    std::u16string message;
};

// Fixed by the options before any command runs.
struct Options {
    bool english = true;
    bool json = false;  // events as JSON lines on stdout, everything else on stderr
};
extern Options g_Options;

// The bench's own text in its language.
const char16_t* Say(const char16_t* english, const char16_t* russian);

// The bench's report: stdout, or stderr with --json so stdout carries events only.
void PrintLine(const std::u16string& text);
void PrintError(const std::u16string& text);  // always stderr
// Control characters as \xNN, so a GS separator or a CR shows.
std::u16string Visible(const std::u16string& text);
// A JSON string literal with its quotes; control characters as \u00XX.
std::u16string JsonString(const std::u16string& text);
std::u16string FromUtf16(const wchar_t* text);
std::u16string Clock();      // local time with milliseconds
std::u16string Timestamp();  // local date and time, 2026-12-07T10:11:12.345
// The system's text for a failure code and the code, "Call failed. (0x80004005)";
// `insert` fills a "%1" in the text.
std::u16string SystemMessage(HRESULT hr, const std::u16string& insert = u"");

// Prints every event it receives with its arrival time.
class BenchHost final : public IDispatch, public IAsyncEvent {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives as long as the program
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetEventBufferDepth(long) override { return S_OK; }
    STDMETHODIMP UnusedSlot2() override { return E_NOTIMPL; }
    STDMETHODIMP ExternalEvent(BSTR source, BSTR message, BSTR data) override;
    STDMETHODIMP UnusedSlot4() override { return E_NOTIMPL; }

    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout);
    size_t Events();
    // Also hands each printed event line to `listener`, on the thread that
    // posts the event (the driver's dispatch thread); it must not block on
    // the host's thread. An empty function ends that.
    void SetListener(std::function<void(const std::u16string& line)> listener);

private:
    std::function<void(const std::u16string& line)> listener_;
    std::mutex lock_;
    std::condition_variable changed_;
    size_t events_ = 0;
};

struct Driver {
    // Creates and initialises AddIn.VeltraScanner and sets its language to the
    // bench's; throws BenchError (kComponentError) when that fails.
    Driver();
    ~Driver();  // Done
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    struct Result {
        std::u16string result;               // the command's result as text
        std::vector<std::u16string> params;  // each parameter afterwards, as text
    };
    // Calls a driver command by name with `count` parameters, the first set from inputs.
    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs = {});
    // Returns for result 1; otherwise throws BenchError (kDriverFailed) with
    // the driver's own GetLastError text.
    void Check(const Result& r, const char16_t* what);
    // Throws BenchError (kComponentError) with the system's text for hr.
    [[noreturn]] static void Fail(const std::u16string& what, HRESULT hr);

    BenchHost host;
    ComPtr<IInitDone> init;
    ComPtr<ILanguageExtender> ext;
    ComPtr<ILocale> locale;
};

struct Limits {
    size_t count = 0;    // stop after this many events; 0: no limit
    double seconds = 0;  // stop after this long; 0: until Ctrl+C
};

// Pumps this thread's messages (the keyboard hook runs inside their
// retrieval) until a limit is reached, Ctrl+C is pressed or `done` says so.
// Events count from `before`, the host's count taken before Open. True when
// the event count of the limits was reached (or none was set).
bool WaitForLimits(Driver& d, const Limits& limits, size_t before, const std::function<bool()>& done = nullptr);

// Keyboard mode: Open, then a window that shows what the application
// receives, with every barcode event printed, then Close. True when the
// event count of the limits was reached; throws BenchError when the window
// cannot be made or the driver answers failure.
bool RunKeyboardWindow(Driver& d, const Limits& limits);

}  // namespace veltra::bench
