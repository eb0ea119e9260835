// The test bench: a console host that loads the driver by its programmatic
// identifier, as the platform does, so a scanner can be tried without the
// platform. Commands run in the order given, in one process:
//
//   VeltraBench [--lang en|ru] COMMAND...
//     register | unregister     (un)register the VeltraScanner.dll next to this program
//     info                      extension name, version, the property and method tables
//     params                    the settings document as a table of parameters and choices
//     set NAME VALUE            SetParameter by English or Russian name
//     describe                  GetDescription
//     open | close | test       Open, Close (the identifier Open returned), DeviceTest
//     scan [--count N] [--seconds S]
//                               Open, print every event as it arrives, then Close
//     keyboard [--count N] [--seconds S]
//                               keyboard mode in a window that shows what the application receives;
//                               set the port ("0"), prefix, suffix and time-out first. Exits with 1
//                               when --count events did not arrive. Needs a display (or Wine's null
//                               graphics driver, which shows nothing).
#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "addin/Text.h"

namespace veltra::bench {

void Print(const std::u16string& text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void PrintLine(const std::u16string& text) { Print(text + u"\n"); }

std::u16string Visible(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
            out += std::u16string(hex, hex + 4);
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string FromUtf16(const wchar_t* text) {
    const std::wstring wide(text);
    return std::u16string(wide.begin(), wide.end());
}

std::u16string Clock() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return FromUtf8(text);
}

// ---- the host's connection object -----------------------------------------

STDMETHODIMP BenchHost::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, IID_IAsyncEvent)) *out = static_cast<IAsyncEvent*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP BenchHost::ExternalEvent(BSTR source, BSTR message, BSTR data) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::u16string line = u"event  " + Clock() + u"  source=" + FromBstr(source) + u"  name=" + FromBstr(message) +
                                u"  data=\"" + Visible(FromBstr(data)) + u"\"";
    PrintLine(line);
    if (listener_) listener_(line);
    ++events_;
    changed_.notify_all();
    return S_OK;
}

bool BenchHost::WaitForEvents(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return events_ >= count; });
}

void BenchHost::SetListener(std::function<void(const std::u16string& line)> listener) {
    std::lock_guard<std::mutex> guard(lock_);
    listener_ = std::move(listener);
}

size_t BenchHost::Events() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

// ---- the component as the host holds it -----------------------------------

Driver::Driver() {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(L"AddIn.VeltraScanner", &clsid);
    if (SUCCEEDED(hr)) hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, init.put_void());
    if (FAILED(hr)) Fail(u"cannot create AddIn.VeltraScanner (run `register` first)", hr);
    init->QueryInterface(IID_ILanguageExtender, ext.put_void());
    init->QueryInterface(IID_ILocale, locale.put_void());
    if (!ext || !locale) Fail(u"the component lacks its interfaces", E_NOINTERFACE);
    hr = init->Init(static_cast<IDispatch*>(&host));
    if (FAILED(hr)) Fail(u"Init failed", hr);
}

Driver::~Driver() {
    init->Done();
}

void Driver::Fail(const std::u16string& what, HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
    PrintLine(u"error: " + what + u" (" + FromUtf8(code) + u")");
    std::exit(1);
}

Driver::Result Driver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    UniqueBstr name(::SysAllocString(reinterpret_cast<const OLECHAR*>(method)));
    long number = -1;
    if (ext->FindMethod(name.get(), &number) != S_OK) Fail(u"no method " + std::u16string(method), E_INVALIDARG);
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, count);
    for (long i = 0; i < static_cast<long>(inputs.size()); ++i) {
        Variant v;
        v.set_text(inputs[i]);
        ::SafeArrayPutElement(array, &i, v.get());
    }
    Result r;
    Variant result;
    if (FAILED(ext->CallAsFunc(number, result.get(), &array))) Fail(u"CallAsFunc failed", E_FAIL);
    Variant text;
    if (SUCCEEDED(::VariantChangeType(text.get(), result.get(), 0, VT_BSTR))) r.result = FromBstr(V_BSTR(text.get()));
    for (long i = 0; i < count; ++i) {
        Variant element, converted;
        ::SafeArrayGetElement(array, &i, element.get());
        r.params.push_back(SUCCEEDED(::VariantChangeType(converted.get(), element.get(), 0, VT_BSTR))
                               ? FromBstr(V_BSTR(converted.get()))
                               : u"");
    }
    ::SafeArrayDestroy(array);
    return r;
}

bool Driver::Check(const Result& r, const char16_t* what) {
    if (r.result == u"1") return true;
    const Result error = Call(u"GetLastError", 1);
    PrintLine(std::u16string(what) + u" failed: " + error.result + u" " + error.params[0]);
    return false;
}

void Driver::SetLanguage(bool english) {
    UniqueBstr b(::SysAllocString(english ? L"en_US" : L"ru_RU"));
    locale->SetLocale(b.get());
}

// ---- commands -------------------------------------------------------------

namespace {

HRESULT CallExport(const char* name) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n);
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"VeltraScanner.dll";
    HMODULE module = ::LoadLibraryW(dll.c_str());
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
    const HRESULT hr = fn ? fn() : E_NOINTERFACE;
    ::FreeLibrary(module);
    return hr;
}

void ShowInfo(Driver& d) {
    BSTR name = nullptr;
    d.ext->RegisterExtensionAs(&name);
    SAFEARRAY* info = ::SafeArrayCreateVector(VT_VARIANT, 0, 1);
    d.init->GetInfo(&info);
    Variant version;
    long zero = 0;
    ::SafeArrayGetElement(info, &zero, version.get());
    ::SafeArrayDestroy(info);
    PrintLine(u"extension " + FromBstr(name) + u", component version " +
              (version.type() == VT_BSTR ? FromBstr(V_BSTR(version.get())) : u"?") + u", driver version " +
              d.Call(u"GetVersion", 0).result);
    ::SysFreeString(name);
    long props = 0, methods = 0;
    d.ext->GetNProps(&props);
    d.ext->GetNMethods(&methods);
    PrintLine(u"\nproperties (" + DecimalText(props) + u")");
    for (long i = 0; i < props; ++i) {
        BSTR en = nullptr, ru = nullptr;
        d.ext->GetPropName(i, 0, &en);
        d.ext->GetPropName(i, 1, &ru);
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en) + u"  /  " + FromBstr(ru));
        ::SysFreeString(en);
        ::SysFreeString(ru);
    }
    PrintLine(u"\nmethods (" + DecimalText(methods) + u")");
    for (long i = 0; i < methods; ++i) {
        BSTR en = nullptr, ru = nullptr;
        long params = 0;
        d.ext->GetMethodName(i, 0, &en);
        d.ext->GetMethodName(i, 1, &ru);
        d.ext->GetNParams(i, &params);
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en) + u"  /  " + FromBstr(ru) + u"  (" +
                  DecimalText(params) + u" parameters)");
        ::SysFreeString(en);
        ::SysFreeString(ru);
    }
}

// The value of attribute `name` in one XML line, or "".
std::u16string Attribute(const std::u16string& line, const std::u16string& name) {
    const size_t at = line.find(u" " + name + u"=\"");
    if (at == std::u16string::npos) return u"";
    const size_t start = at + name.size() + 3;
    return line.substr(start, line.find(u'"', start) - start);
}

void ShowParams(Driver& d) {
    const std::u16string document = d.Call(u"GetParameters", 1).params[0];
    size_t pos = 0;
    while (pos < document.size()) {
        size_t end = document.find(u"\r\n", pos);
        if (end == std::u16string::npos) end = document.size();
        const std::u16string line = document.substr(pos, end - pos);
        pos = end + 2;
        if (line.rfind(u"<Parameter ", 0) == 0) {
            PrintLine(u"\n" + Attribute(line, u"Name") + u"  \"" + Attribute(line, u"Caption") + u"\"  (" +
                      Attribute(line, u"TypeValue") + u", default " + Attribute(line, u"DefaultValue") + u")");
            PrintLine(u"    " + Attribute(line, u"Description"));
        } else if (line.rfind(u"<Item ", 0) == 0) {
            const size_t open = line.find(u'>') + 1;
            PrintLine(u"    " + Attribute(line, u"Value") + u" = " + line.substr(open, line.find(u"</Item>") - open));
        }
    }
}

void ShowDescription(Driver& d) {
    const Driver::Result r = d.Call(u"GetDescription", 7);
    const char16_t* labels[] = {u"name", u"description", u"equipment type", u"interface revision",
                                u"integration component", u"main driver installed", u"download address"};
    for (size_t i = 0; i < r.params.size(); ++i) PrintLine(std::u16string(labels[i]) + u": " + r.params[i]);
}

Limits ReadLimits(int& i, int argc, wchar_t** argv) {
    Limits limits;
    while (i + 1 < argc) {
        const std::wstring option = argv[i + 1];
        if (option == L"--count" && i + 2 < argc) limits.count = std::wcstoul(argv[i + 2], nullptr, 10);
        else if (option == L"--seconds" && i + 2 < argc) limits.seconds = std::wcstod(argv[i + 2], nullptr);
        else break;
        i += 2;
    }
    return limits;
}

volatile bool g_Interrupted = false;
BOOL WINAPI OnCtrl(DWORD) {
    g_Interrupted = true;
    return TRUE;
}

}  // namespace

bool WaitForLimits(Driver& d, const Limits& limits, const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (g_Interrupted) break;
        if (limits.count && d.host.Events() >= limits.count) return true;
        if (done && done()) break;
        if (limits.seconds > 0 &&
            std::chrono::steady_clock::now() - start > std::chrono::duration<double>(limits.seconds))
            break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return limits.count == 0 || d.host.Events() >= limits.count;
}

namespace {

void Scan(Driver& d, const Limits& limits) {
    const Driver::Result opened = d.Call(u"Open", 1);
    if (!d.Check(opened, u"Open")) std::exit(1);
    PrintLine(u"connected, device " + opened.params[0] + u"; waiting for codes");
    WaitForLimits(d, limits);
    d.Check(d.Call(u"Close", 1, {opened.params[0]}), u"Close");
    PrintLine(u"closed after " + DecimalText(static_cast<long long>(d.host.Events())) + u" events");
}

int Usage() {
    PrintLine(u"usage: VeltraBench [--lang en|ru] register|unregister|info|params|describe|open|close|test|"
              u"set NAME VALUE|scan [--count N] [--seconds S]|keyboard [--count N] [--seconds S] ...");
    return 2;
}

}  // namespace

int Main(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    ::SetConsoleCtrlHandler(&OnCtrl, TRUE);
    bool english = true;
    int first = 1;
    if (argc > 2 && std::wstring(argv[1]) == L"--lang") {
        english = std::wstring(argv[2]) != L"ru";
        first = 3;
    }
    // Registration needs no object.
    for (int i = first; i < argc; ++i) {
        const std::wstring command = argv[i];
        if (command == L"register" || command == L"unregister") {
            const HRESULT hr = CallExport(command == L"register" ? "DllRegisterServer" : "DllUnregisterServer");
            PrintLine(FromUtf8(std::string(command.begin(), command.end())) + (SUCCEEDED(hr) ? u": done" : u": FAILED"));
            if (FAILED(hr)) return 1;
            first = i + 1;
        }
    }
    if (first >= argc) return 0;

    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        Driver d;
        d.SetLanguage(english);
        std::u16string device;
        for (int i = first; i < argc && status == 0; ++i) {
            const std::wstring command = argv[i];
            if (command == L"info") {
                ShowInfo(d);
            } else if (command == L"params") {
                ShowParams(d);
            } else if (command == L"describe") {
                ShowDescription(d);
            } else if (command == L"set" && i + 2 < argc) {
                const std::u16string name = FromUtf16(argv[i + 1]), value = FromUtf16(argv[i + 2]);
                i += 2;
                if (d.Check(d.Call(u"SetParameter", 2, {name, value}), u"SetParameter"))
                    PrintLine(u"set " + name + u" = " + value);
                else
                    status = 1;
            } else if (command == L"open") {
                const Driver::Result r = d.Call(u"Open", 1);
                if (d.Check(r, u"Open")) PrintLine(u"connected, device " + (device = r.params[0]));
                else status = 1;
            } else if (command == L"close") {
                if (d.Check(d.Call(u"Close", 1, {device}), u"Close")) PrintLine(u"closed");
                else status = 1;
            } else if (command == L"test") {
                const Driver::Result r = d.Call(u"DeviceTest", 2);
                if (d.Check(r, u"DeviceTest")) PrintLine(r.params[0]);
                else status = 1;
            } else if (command == L"scan") {
                Scan(d, ReadLimits(i, argc, argv));
            } else if (command == L"keyboard") {
                const Limits limits = ReadLimits(i, argc, argv);
                status = RunKeyboardWindow(d, limits);
            } else {
                status = Usage();
            }
        }
    }
    ::CoUninitialize();
    return status;
}

}  // namespace veltra::bench

int wmain(int argc, wchar_t** argv) { return veltra::bench::Main(argc, argv); }
