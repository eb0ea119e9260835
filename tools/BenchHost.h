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

#include "host/AddInLib.h"
#include "server/Owners.h"

namespace veltra::bench {

void Print(const std::u16string& text);
void PrintLine(const std::u16string& text);
// Control characters as \xNN, so a GS separator or a CR shows.
std::u16string Visible(const std::u16string& text);
std::u16string FromUtf16(const wchar_t* text);
std::u16string Clock();  // local time with milliseconds

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
    Driver();  // creates and initialises AddIn.VeltraScanner; exits on failure
    ~Driver();
    struct Result {
        std::u16string result;               // the command's result as text
        std::vector<std::u16string> params;  // each parameter afterwards, as text
    };
    // Calls a driver command by name with `count` parameters, the first set from inputs.
    Result Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs = {});
    // True for result 1; otherwise prints the command's last error.
    bool Check(const Result& r, const char16_t* what);
    void SetLanguage(bool english);
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
// True when the event count of the limits was reached (or none was set).
bool WaitForLimits(Driver& d, const Limits& limits, const std::function<bool()>& done = nullptr);

// Keyboard mode: Open, then a window that shows what the application
// receives, with every barcode event printed, then Close. Returns the
// program's exit status: 1 when Open failed or --count was not reached.
int RunKeyboardWindow(Driver& d, const Limits& limits);

}  // namespace veltra::bench
