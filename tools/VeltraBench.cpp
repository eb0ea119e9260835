// The test bench: a console host that loads the driver by its programmatic
// identifier, as the platform does, so a scanner can be tried without the
// platform, by hand or from scripts. Commands run in the order given, in one
// process; the whole command line is checked before the first one runs.
//
//   VeltraBench [--lang en|ru] [--json] [--help] COMMAND [ARGS] [COMMAND [ARGS]]...
//
// UsageText() below is the reference for the commands, the options and the
// exit statuses (ExitStatus in BenchHost.h).
#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "core/common/Text.h"

namespace veltra::bench {

Options g_Options;

const char16_t* Say(const char16_t* english, const char16_t* russian) { return g_Options.english ? english : russian; }

namespace {

void Write(std::FILE* stream, const std::u16string& text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

std::u16string Hex8(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return FromUtf8(text);
}

}  // namespace

void PrintLine(const std::u16string& text) { Write(g_Options.json ? stderr : stdout, text + u"\n"); }

void PrintError(const std::u16string& text) { Write(stderr, text + u"\n"); }

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

std::u16string JsonString(const std::u16string& text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += c;
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += std::u16string(hex, hex + 6);
        } else {
            out += c;  // non-ASCII leaves as UTF-8 with the rest of the line
        }
    }
    return out + u"\"";
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

std::u16string Timestamp() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return FromUtf8(text);
}

std::u16string SystemMessage(HRESULT hr, const std::u16string& insert) {
    const LANGID language = MAKELANGID(g_Options.english ? LANG_ENGLISH : LANG_RUSSIAN, SUBLANG_DEFAULT);
    // The bench's language first, then whatever the system has; a Win32 code
    // wrapped in an HRESULT also by its plain number.
    const DWORD codes[] = {static_cast<DWORD>(hr),
                           HRESULT_FACILITY(hr) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(hr)) : 0};
    std::u16string text;
    for (DWORD code : codes) {
        if (!code) break;
        for (LANGID lang : {language, LANGID(0)}) {
            wchar_t* buffer = nullptr;
            const DWORD n = ::FormatMessageW(
                FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                code, lang, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
            if (n) text.assign(reinterpret_cast<const char16_t*>(buffer), n);
            ::LocalFree(buffer);
            if (n) break;
        }
        if (!text.empty()) break;
    }
    while (!text.empty() && text.back() <= u' ') text.pop_back();
    for (size_t at; !insert.empty() && (at = text.find(u"%1")) != std::u16string::npos;) text.replace(at, 2, insert);
    if (text.empty()) text = Say(u"the system has no text for this code", u"у системы нет текста для этого кода");
    return text + u" (" + Hex8(static_cast<unsigned long>(hr)) + u")";
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
    const std::u16string line = u"event  " + Clock() + u"  source=" + FromBstr(source) + u"  name=" +
                                FromBstr(message) + u"  data=\"" + Visible(FromBstr(data)) + u"\"";
    // Events always go to stdout; with --json it carries nothing else.
    if (g_Options.json) {
        Write(stdout, u"{\"time\":\"" + Timestamp() + u"\",\"source\":" + JsonString(FromBstr(source)) +
                          u",\"event\":" + JsonString(FromBstr(message)) + u",\"data\":" + JsonString(FromBstr(data)) +
                          u"}\n");
    } else {
        Write(stdout, line + u"\n");
    }
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
    if (FAILED(hr))
        Fail(Say(u"AddIn.VeltraScanner is not registered (run `register` first)",
                 u"AddIn.VeltraScanner не зарегистрирован (сначала выполните `register`)"),
             hr);
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, init.put_void());
    if (FAILED(hr)) Fail(Say(u"cannot create AddIn.VeltraScanner", u"не удалось создать AddIn.VeltraScanner"), hr);
    init->QueryInterface(IID_ILanguageExtender, ext.put_void());
    init->QueryInterface(IID_ILocale, locale.put_void());
    if (!ext || !locale)
        Fail(Say(u"the component lacks its interfaces", u"у компонента нет нужных интерфейсов"), E_NOINTERFACE);
    hr = init->Init(static_cast<IDispatch*>(&host));
    if (SUCCEEDED(hr)) {
        // Init resets the driver to Russian: the language is set after it.
        UniqueBstr name(::SysAllocString(g_Options.english ? L"en_US" : L"ru_RU"));
        hr = name ? locale->SetLocale(name.get()) : E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        init->Done();  // safe in every state; the destructor does not run for a throwing constructor
        Fail(Say(u"cannot initialise AddIn.VeltraScanner", u"не удалось инициализировать AddIn.VeltraScanner"), hr);
    }
}

Driver::~Driver() { init->Done(); }

void Driver::Fail(const std::u16string& what, HRESULT hr) {
    throw BenchError{kComponentError, what + u": " + SystemMessage(hr)};
}

namespace {

struct SafeArrayDestroyer {
    void operator()(SAFEARRAY* array) const noexcept { ::SafeArrayDestroy(array); }
};
using SafeArrayPtr = std::unique_ptr<SAFEARRAY, SafeArrayDestroyer>;

SafeArrayPtr MakeParams(long count) {
    SafeArrayPtr array(::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count)));
    if (!array) throw std::bad_alloc();
    return array;
}

std::u16string AsText(VARIANT* value) {
    Variant text;
    return SUCCEEDED(::VariantChangeType(text.get(), value, 0, VT_BSTR)) ? FromBstr(V_BSTR(text.get())) : u"";
}

}  // namespace

Driver::Result Driver::Call(const char16_t* method, long count, const std::vector<std::u16string>& inputs) {
    UniqueBstr name(::SysAllocString(reinterpret_cast<const OLECHAR*>(method)));
    long number = -1;
    if (ext->FindMethod(name.get(), &number) != S_OK)
        Fail(Say(u"the component has no method ", u"у компонента нет метода ") + std::u16string(method),
             DISP_E_UNKNOWNNAME);
    SafeArrayPtr array = MakeParams(count);
    for (long i = 0; i < static_cast<long>(inputs.size()); ++i) {
        Variant v;
        v.set_text(inputs[static_cast<size_t>(i)]);
        ::SafeArrayPutElement(array.get(), &i, v.get());
    }
    Result r;
    Variant result;
    SAFEARRAY* params = array.get();
    const HRESULT hr = ext->CallAsFunc(number, result.get(), &params);
    if (FAILED(hr)) Fail(u"CallAsFunc " + std::u16string(method), hr);
    r.result = AsText(result.get());
    for (long i = 0; i < count; ++i) {
        Variant element;
        ::SafeArrayGetElement(array.get(), &i, element.get());
        r.params.push_back(AsText(element.get()));
    }
    return r;
}

void Driver::Check(const Result& r, const char16_t* what) {
    if (r.result == u"1") return;
    const Result error = Call(u"GetLastError", 1);
    const std::u16string text = error.params[0].empty()
                                    ? Say(u"the driver gave no error text", u"драйвер не сообщил текст ошибки")
                                    : error.params[0];
    throw BenchError{kDriverFailed,
                     Say(u"", u"Команда ") + std::u16string(what) + Say(u" failed: ", u" не выполнена: ") + text};
}

// ---- the command line -----------------------------------------------------

namespace {

enum class Verb { Register, Unregister, Version, Info, Params, Set, Describe, Open, Close, Test, Scan, Error };

struct Step {
    Verb verb = Verb::Version;
    bool user = false;           // register, unregister: for the current user only
    std::u16string name, value;  // set
    Limits limits;               // scan
};

struct CommandLine {
    bool help = false;
    std::vector<Step> steps;
};

std::u16string UsageText() {
    if (g_Options.english) {
        return uR"(Usage: VeltraBench [--lang en|ru] [--json] [--help] COMMAND [ARGS] [COMMAND [ARGS]]...

Loads the driver AddIn.VeltraScanner as the platform does and runs the commands
in the given order in one process. It stops at the first command that fails.

Options (before the first command):
  --lang en|ru      language of the bench and of the driver's texts and events
                    (default: Russian when the user's UI language is Russian)
  --json            events as JSON lines on stdout:
                    {"time":"...","source":"...","event":"...","data":"..."};
                    everything else goes to stderr
  --help, -h, /?    this text

Commands:
  register [--user]     register the VeltraScanner.dll next to this program,
                        for all users or (--user) for the current user
  unregister [--user]   remove that registration
  version               extension name, component version, driver version,
                        the driver's file and its version resource
  info                  the same, and the property and method tables
  params                the settings: parameters and their choices
  set NAME VALUE        SetParameter; NAME in English or Russian
  describe              GetDescription
  open                  Open; prints the device identifier
  close                 Close the device that open connected
  test                  DeviceTest; prints its description
  scan [--count N] [--seconds S]
                        Open, print every event, Close. With the port "0"
                        (keyboard) a window receives the scanner's keys (it needs
                        a display, or Wine's null graphics driver); any other
                        port is read as a serial line. The scan ends after N
                        events, after S seconds or at Ctrl+C.
  keyboard [--count N] [--seconds S]
                        the same as scan
  error                 GetLastError: the code and text of the driver's last error

Exit codes:
  0  every command succeeded
  1  a driver command answered failure (the driver's error text is printed),
     or the keyboard window could not be created
  2  usage error: unknown command or option, missing or malformed argument
  3  the component could not be loaded, registered or created
  4  a scan ended before N events arrived

Example:
  VeltraBench register set propComPortNumber COM3 set propSpeed 9600 scan --count 10)";
    }
    return uR"(Использование: VeltraBench [--lang en|ru] [--json] [--help] КОМАНДА [АРГУМЕНТЫ] [КОМАНДА [АРГУМЕНТЫ]]...

Загружает драйвер AddIn.VeltraScanner так же, как платформа, и выполняет команды
по порядку в одном процессе. Останавливается на первой неудачной команде.

Параметры (перед первой командой):
  --lang en|ru      язык стенда, текстов и событий драйвера (по умолчанию
                    русский, если язык интерфейса пользователя русский)
  --json            события строками JSON в stdout:
                    {"time":"...","source":"...","event":"...","data":"..."};
                    всё остальное идёт в stderr
  --help, -h, /?    эта справка

Команды:
  register [--user]     зарегистрировать VeltraScanner.dll из папки программы
                        для всех пользователей или (--user) для текущего
  unregister [--user]   снять эту регистрацию
  version               имя расширения, версия компонента, версия драйвера,
                        файл драйвера и его ресурс версии
  info                  то же и таблицы свойств и методов
  params                настройки: параметры и их варианты
  set ИМЯ ЗНАЧЕНИЕ      SetParameter; ИМЯ по-английски или по-русски
  describe              GetDescription
  open                  Open; печатает идентификатор устройства
  close                 Close для устройства, подключённого командой open
  test                  DeviceTest; печатает его описание
  scan [--count N] [--seconds S]
                        Open, печать каждого события, Close. При порте "0"
                        (клавиатура) нажатия сканера принимает окно (нужен дисплей
                        или драйвер графики null в Wine); любой другой порт
                        читается как COM-порт. Сканирование заканчивается после
                        N событий, через S секунд или по Ctrl+C.
  keyboard [--count N] [--seconds S]
                        то же, что scan
  error                 GetLastError: код и текст последней ошибки драйвера

Коды завершения:
  0  все команды выполнены
  1  команда драйвера вернула неудачу (печатается текст ошибки драйвера)
     или не удалось создать окно режима клавиатуры
  2  ошибка в командной строке: неизвестная команда или параметр,
     нет аргумента или он неверен
  3  компонент не удалось загрузить, зарегистрировать или создать
  4  сканирование закончилось раньше, чем пришло N событий

Пример:
  VeltraBench register set propComPortNumber COM3 set propSpeed 9600 scan --count 10)";
}

[[noreturn]] void UsageError(const std::u16string& problem) {
    throw BenchError{kUsageError, problem + u"\n" +
                                      Say(u"usage: VeltraBench [--lang en|ru] [--json] [--help] COMMAND [ARGS]...\n"
                                          u"VeltraBench --help lists the commands.",
                                          u"использование: VeltraBench [--lang en|ru] [--json] [--help] КОМАНДА "
                                          u"[АРГУМЕНТЫ]...\nVeltraBench --help перечисляет команды.")};
}

std::u16string Quoted(const std::wstring& text) { return u"\"" + FromUtf16(text.c_str()) + u"\""; }

bool IsHelp(const std::wstring& arg) { return arg == L"--help" || arg == L"-h" || arg == L"/?"; }

// The default language follows the user's interface language.
bool UserPrefersEnglish() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_RUSSIAN; }

bool IsOption(const std::wstring& arg) { return arg.rfind(L"-", 0) == 0 || IsHelp(arg); }

// The options before the first command. The language and --help are looked
// for first: help wins over any mistake, and every complaint about the
// command line comes in the chosen language.
size_t ReadOptions(const std::vector<std::wstring>& args, CommandLine& line) {
    g_Options.english = UserPrefersEnglish();
    for (size_t i = 0; i < args.size() && IsOption(args[i]); ++i) {
        if (IsHelp(args[i])) line.help = true;
        if (args[i] == L"--lang" && i + 1 < args.size()) {
            if (args[i + 1] == L"en") g_Options.english = true;
            else if (args[i + 1] == L"ru") g_Options.english = false;
            ++i;
        }
    }
    if (line.help) return args.size();
    size_t i = 0;
    for (; i < args.size() && IsOption(args[i]); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--json") {
            g_Options.json = true;
        } else if (arg == L"--lang") {
            if (i + 1 == args.size()) UsageError(Say(u"--lang needs en or ru", u"--lang требует en или ru"));
            if (args[i + 1] != L"en" && args[i + 1] != L"ru")
                UsageError(Say(u"unknown language ", u"неизвестный язык ") + Quoted(args[i + 1]) +
                           Say(u" (en or ru)", u" (en или ru)"));
            ++i;
        } else {
            UsageError(Say(u"unknown option ", u"неизвестный параметр ") + Quoted(arg));
        }
    }
    return i;
}

// --count N: a whole number, 0 or more.
size_t ReadCount(const std::wstring& text) {
    const std::optional<int32_t> n = ParseDecimalI32(FromUtf16(text.c_str()));
    if (!n || *n < 0)
        UsageError(Say(u"--count needs a whole number, not ", u"--count требует целое число, а не ") + Quoted(text));
    return static_cast<size_t>(*n);
}

// --seconds S: a number of seconds, 0 or more, fractions allowed.
double ReadSeconds(const std::wstring& text) {
    wchar_t* end = nullptr;
    const double seconds = std::wcstod(text.c_str(), &end);
    if (text.empty() || *end != L'\0' || !std::isfinite(seconds) || seconds < 0)
        UsageError(Say(u"--seconds needs a number of seconds, not ", u"--seconds требует число секунд, а не ") +
                   Quoted(text));
    return seconds;
}

// The commands that take no arguments; null for any other word.
const Verb* PlainVerb(const std::wstring& command) {
    static const struct {
        const wchar_t* name;
        Verb verb;
    } kPlain[] = {
        {L"version", Verb::Version}, {L"info", Verb::Info},   {L"params", Verb::Params}, {L"describe", Verb::Describe},
        {L"open", Verb::Open},       {L"close", Verb::Close}, {L"test", Verb::Test},     {L"error", Verb::Error},
    };
    for (const auto& plain : kPlain)
        if (command == plain.name) return &plain.verb;
    return nullptr;
}

CommandLine ReadCommandLine(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    CommandLine line;
    size_t i = ReadOptions(args, line);
    if (line.help) return line;
    if (i == args.size()) UsageError(Say(u"no command given", u"не задана команда"));
    // The argument after args[i], which it takes.
    const auto next = [&](const std::wstring& owner, const char16_t* what) -> const std::wstring& {
        if (i + 1 == args.size()) UsageError(Quoted(owner) + Say(u" needs ", u" требует ") + what);
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::wstring& command = args[i];
        Step step{};
        if (command == L"register" || command == L"unregister") {
            step.verb = command == L"register" ? Verb::Register : Verb::Unregister;
            if (i + 1 < args.size() && args[i + 1] == L"--user") {
                step.user = true;
                ++i;
            }
        } else if (command == L"set") {
            step.verb = Verb::Set;
            step.name = FromUtf16(next(command, Say(u"NAME VALUE", u"ИМЯ ЗНАЧЕНИЕ")).c_str());
            step.value = FromUtf16(next(command, Say(u"NAME VALUE", u"ИМЯ ЗНАЧЕНИЕ")).c_str());
        } else if (command == L"scan" || command == L"keyboard") {
            step.verb = Verb::Scan;
            while (i + 1 < args.size() && (args[i + 1] == L"--count" || args[i + 1] == L"--seconds")) {
                const std::wstring& option = args[++i];
                if (option == L"--count") step.limits.count = ReadCount(next(option, u"N"));
                else step.limits.seconds = ReadSeconds(next(option, u"S"));
            }
        } else if (const Verb* verb = PlainVerb(command)) {
            step.verb = *verb;
        } else if (IsOption(command)) {
            UsageError(Say(u"unknown option ", u"неизвестный параметр ") + Quoted(command) +
                       Say(u" (options come before the first command)", u" (параметры идут перед первой командой)"));
        } else {
            UsageError(Say(u"unknown command ", u"неизвестная команда ") + Quoted(command));
        }
        line.steps.push_back(step);
    }
    return line;
}

// ---- commands -------------------------------------------------------------

// The VeltraScanner.dll in this program's folder.
std::wstring DllPath() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"VeltraScanner.dll";
}

// Machine-wide through DllRegisterServer / DllUnregisterServer, per user
// through DllInstall with the command line "user".
HRESULT CallRegistration(const std::wstring& dll, bool install, bool user) {
    HMODULE module = ::LoadLibraryW(dll.c_str());
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    const auto find = [module](const char* name) {
        return reinterpret_cast<void (*)()>(::GetProcAddress(module, name));
    };
    HRESULT hr;
    if (user) {
        auto fn = reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(find("DllInstall"));
        hr = fn ? fn(install, L"user") : HRESULT_FROM_WIN32(::GetLastError());
    } else {
        auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(find(install ? "DllRegisterServer" : "DllUnregisterServer"));
        hr = fn ? fn() : HRESULT_FROM_WIN32(::GetLastError());
    }
    ::FreeLibrary(module);
    return hr;
}

void Register(bool install, bool user) {
    const std::wstring dll = DllPath();
    const std::u16string path = FromUtf16(dll.c_str());
    const HRESULT hr = CallRegistration(dll, install, user);
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

// One text of the version resource of `file`, or "" when it has none.
std::u16string VersionText(const std::vector<BYTE>& resource, const wchar_t* name) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), key.c_str(), &value, &length) || !value || length == 0) return u"";
    return FromUtf16(static_cast<const wchar_t*>(value));
}

// The file of the driver that COM loaded, with what its properties show.
void ShowFileVersion() {
    const HMODULE module = ::GetModuleHandleW(L"VeltraScanner.dll");
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> resource(size);
    if (size == 0 || !::GetFileVersionInfoW(path, 0, size, resource.data())) {
        PrintLine(Say(u"file ", u"файл ") + FromUtf16(path) + Say(u", no version resource", u", нет ресурса версии"));
        return;
    }
    PrintLine(Say(u"file ", u"файл ") + FromUtf16(path) + Say(u", file version ", u", версия файла ") +
              VersionText(resource, L"FileVersion") + u", " + VersionText(resource, L"FileDescription"));
}

void ShowVersion(Driver& d) {
    UniqueBstr name;
    HRESULT hr = d.ext->RegisterExtensionAs(name.put());
    if (FAILED(hr)) Driver::Fail(u"RegisterExtensionAs", hr);
    SafeArrayPtr info = MakeParams(1);
    SAFEARRAY* slot = info.get();
    hr = d.init->GetInfo(&slot);
    if (FAILED(hr)) Driver::Fail(u"GetInfo", hr);
    Variant version;
    long zero = 0;
    ::SafeArrayGetElement(info.get(), &zero, version.get());
    PrintLine(Say(u"extension ", u"расширение ") + FromBstr(name.get()) +
              Say(u", component version ", u", версия компонента ") + AsText(version.get()) +
              Say(u", driver version ", u", версия драйвера ") + d.Call(u"GetVersion", 0).result);
    ShowFileVersion();
}

void ShowInfo(Driver& d) {
    ShowVersion(d);
    long props = 0, methods = 0;
    d.ext->GetNProps(&props);
    d.ext->GetNMethods(&methods);
    PrintLine(Say(u"\nproperties (", u"\nсвойства (") + DecimalText(props) + u")");
    for (long i = 0; i < props; ++i) {
        UniqueBstr en, ru;
        d.ext->GetPropName(i, 0, en.put());
        d.ext->GetPropName(i, 1, ru.put());
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en.get()) + u"  /  " + FromBstr(ru.get()));
    }
    PrintLine(Say(u"\nmethods (", u"\nметоды (") + DecimalText(methods) + u")");
    for (long i = 0; i < methods; ++i) {
        UniqueBstr en, ru;
        long params = 0;
        d.ext->GetMethodName(i, 0, en.put());
        d.ext->GetMethodName(i, 1, ru.put());
        d.ext->GetNParams(i, &params);
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en.get()) + u"  /  " + FromBstr(ru.get()) + u"  (" +
                  Say(u"", u"параметров: ") + DecimalText(params) + Say(u" parameters)", u")"));
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
                      Attribute(line, u"TypeValue") + Say(u", default ", u", по умолчанию ") +
                      Attribute(line, u"DefaultValue") + u")");
            PrintLine(u"    " + Attribute(line, u"Description"));
        } else if (line.rfind(u"<Item ", 0) == 0) {
            const size_t open = line.find(u'>') + 1;
            PrintLine(u"    " + Attribute(line, u"Value") + u" = " + line.substr(open, line.find(u"</Item>") - open));
        }
    }
}

void ShowDescription(Driver& d) {
    const Driver::Result r = d.Call(u"GetDescription", 7);
    d.Check(r, u"GetDescription");
    const char16_t* labels[][2] = {{u"name", u"имя"},
                                   {u"description", u"описание"},
                                   {u"equipment type", u"тип оборудования"},
                                   {u"interface revision", u"ревизия интерфейса"},
                                   {u"integration component", u"компонент интеграции"},
                                   {u"main driver installed", u"основной драйвер установлен"},
                                   {u"download address", u"адрес загрузки"}};
    for (size_t i = 0; i < r.params.size(); ++i)
        PrintLine(std::u16string(Say(labels[i][0], labels[i][1])) + u": " + r.params[i]);
}

void ShowLastError(Driver& d) {
    const Driver::Result r = d.Call(u"GetLastError", 1);
    PrintLine(Say(u"code ", u"код ") + r.result + (r.params[0].empty() ? u"" : u": " + r.params[0]));
}

// The port values that select the keyboard (the setter stores them as "USB").
bool IsKeyboardPort(const std::u16string& value) {
    return value == u"0" || value == u"Keyboard(USB)" || value == u"Клавиатура(USB)";
}

bool IsPortParameter(const std::u16string& name) { return name == u"propComPortNumber" || name == u"НомерComПорта"; }

volatile bool g_Interrupted = false;
BOOL WINAPI OnCtrl(DWORD) {
    g_Interrupted = true;
    return TRUE;
}

}  // namespace

bool WaitForLimits(Driver& d, const Limits& limits, size_t before, const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    const auto reached = [&] { return limits.count && d.host.Events() - before >= limits.count; };
    for (;;) {
        if (g_Interrupted || reached()) break;
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
    return limits.count == 0 || reached();
}

namespace {

bool SerialScan(Driver& d, const Limits& limits) {
    const size_t before = d.host.Events();
    const Driver::Result opened = d.Call(u"Open", 1);
    d.Check(opened, u"Open");
    PrintLine(Say(u"connected, device ", u"подключено, устройство ") + opened.params[0] +
              Say(u"; waiting for codes", u"; жду штрихкоды"));
    const bool reached = WaitForLimits(d, limits, before);
    d.Check(d.Call(u"Close", 1, {opened.params[0]}), u"Close");
    PrintLine(Say(u"closed after ", u"отключено, событий: ") +
              DecimalText(static_cast<long long>(d.host.Events() - before)) + Say(u" events", u""));
    return reached;
}

void Scan(Driver& d, const Limits& limits, bool keyboard) {
    const size_t before = d.host.Events();
    if (keyboard ? RunKeyboardWindow(d, limits) : SerialScan(d, limits)) return;
    throw BenchError{kScanIncomplete, Say(u"the scan ended after ", u"сканирование закончилось после ") +
                                          DecimalText(static_cast<long long>(d.host.Events() - before)) +
                                          Say(u" of ", u" из ") + DecimalText(static_cast<long long>(limits.count)) +
                                          Say(u" events", u" событий")};
}

// COM for this thread, for as long as the run lasts.
class ComScope {
public:
    ComScope() {
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(hr)) Driver::Fail(u"CoInitializeEx", hr);
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() { ::CoUninitialize(); }
};

// Runs the steps in order; the driver is made for the first step that needs
// it and released (Done) when the run ends, by a failure too.
void Run(const std::vector<Step>& steps) {
    ComScope com;
    std::unique_ptr<Driver> driver;
    const auto d = [&driver]() -> Driver& {
        if (!driver) driver = std::make_unique<Driver>();
        return *driver;
    };
    std::u16string device;
    bool keyboard = false;  // the port chosen by set in this run; the driver keeps nothing between runs
    for (const Step& step : steps) {
        switch (step.verb) {
        case Verb::Register:
        case Verb::Unregister: Register(step.verb == Verb::Register, step.user); break;
        case Verb::Version: ShowVersion(d()); break;
        case Verb::Info: ShowInfo(d()); break;
        case Verb::Params: ShowParams(d()); break;
        case Verb::Set:
            d().Check(d().Call(u"SetParameter", 2, {step.name, step.value}), u"SetParameter");
            if (IsPortParameter(step.name)) keyboard = IsKeyboardPort(step.value);
            PrintLine(Say(u"set ", u"установлено ") + step.name + u" = " + step.value);
            break;
        case Verb::Describe: ShowDescription(d()); break;
        case Verb::Open: {
            const Driver::Result r = d().Call(u"Open", 1);
            d().Check(r, u"Open");
            device = r.params[0];
            PrintLine(Say(u"connected, device ", u"подключено, устройство ") + device);
            break;
        }
        case Verb::Close:
            d().Check(d().Call(u"Close", 1, {device}), u"Close");
            PrintLine(Say(u"closed", u"отключено"));
            break;
        case Verb::Test: {
            const Driver::Result r = d().Call(u"DeviceTest", 2);
            d().Check(r, u"DeviceTest");
            PrintLine(r.params[0]);
            break;
        }
        case Verb::Scan: Scan(d(), step.limits, keyboard); break;
        case Verb::Error: ShowLastError(d()); break;
        }
    }
}

// Windows consoles show the bench's UTF-8 only with the UTF-8 code page; the
// console's own is given back at the end.
class ConsoleCodePage {
public:
    ConsoleCodePage() : saved_(::GetConsoleOutputCP()) {
        if (saved_) ::SetConsoleOutputCP(CP_UTF8);
    }
    ConsoleCodePage(const ConsoleCodePage&) = delete;
    ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;
    ~ConsoleCodePage() {
        if (saved_) ::SetConsoleOutputCP(saved_);
    }

private:
    UINT saved_;
};

}  // namespace

int Main(int argc, wchar_t** argv) {
    const ConsoleCodePage codePage;
    try {
        if (argc < 2) {
            g_Options.english = UserPrefersEnglish();
            PrintError(UsageText());
            return kUsageError;
        }
        const CommandLine line = ReadCommandLine(argc, argv);
        if (line.help) {
            Write(stdout, UsageText() + u"\n");
            return kSucceeded;
        }
        ::SetConsoleCtrlHandler(&OnCtrl, TRUE);
        Run(line.steps);
        return kSucceeded;
    } catch (const BenchError& e) {
        PrintError(e.message);
        return e.status;
    } catch (const std::exception& e) {
        PrintError(Say(u"unexpected failure: ", u"непредвиденный сбой: ") + FromUtf8(e.what()));
        return kComponentError;
    }
}

}  // namespace veltra::bench

int wmain(int argc, wchar_t** argv) { return veltra::bench::Main(argc, argv); }
