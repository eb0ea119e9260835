#include "BenchCommandLine.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <string_view>

#include "BenchOutput.h"
#include "Gs1.h"
#include "core/common/Text.h"

namespace veltra::bench {

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
  scan [--count N] [--seconds S] [--gs1]
                        Open, print every event, Close. With the port "0"
                        (keyboard) a window receives the scanner's keys (it needs
                        a display, or Wine's null graphics driver); any other
                        port is read as a serial line; when it is unplugged and
                        plugged in again, a line on stderr says so. The scan
                        ends after N events, after S seconds or at Ctrl+C.
                        --gs1: each code's GS1 fields (AI and value) and its
                        problems (unknown AI, field cut short, check digit,
                        missing GS separator) after its event; with --json as
                        "gs1" and "gs1_problems" in its object
  keyboard [--count N] [--seconds S] [--gs1]
                        the same as scan
  error                 GetLastError: the code and text of the driver's last error
  ports                 the COM ports of this machine, for propComPortNumber
  check CODE            the GS1 report of a pasted CODE (a marking code), as
                        scan --gs1 prints it; \x1d or <GS> in CODE stands for
                        the GS separator. Fails when the code has a problem

Exit codes:
  0  every command succeeded
  1  a driver command answered failure (the driver's error text is printed),
     the keyboard window could not be created, or check found a problem
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
  scan [--count N] [--seconds S] [--gs1]
                        Open, печать каждого события, Close. При порте "0"
                        (клавиатура) нажатия сканера принимает окно (нужен дисплей
                        или драйвер графики null в Wine); любой другой порт
                        читается как COM-порт; когда его отключают и подключают
                        снова, об этом говорит строка в stderr. Сканирование
                        заканчивается после N событий, через S секунд или по
                        Ctrl+C.
                        --gs1: после события каждого штрихкода его поля GS1
                        (AI и значение) и проблемы (неизвестный AI, обрезанное
                        поле, контрольная цифра, пропущенный разделитель GS);
                        с --json в полях "gs1" и "gs1_problems" его объекта
  keyboard [--count N] [--seconds S] [--gs1]
                        то же, что scan
  error                 GetLastError: код и текст последней ошибки драйвера
  ports                 COM-порты этого компьютера, для propComPortNumber
  check КОД             разбор вставленного КОДа GS1 (кода маркировки), как его
                        печатает scan --gs1; \x1d или <GS> в КОДе означает
                        разделитель GS. Неудача, если в коде есть проблема

Коды завершения:
  0  все команды выполнены
  1  команда драйвера вернула неудачу (печатается текст ошибки драйвера),
     не удалось создать окно режима клавиатуры или check нашла проблему
  2  ошибка в командной строке: неизвестная команда или параметр,
     нет аргумента или он неверен
  3  компонент не удалось загрузить, зарегистрировать или создать
  4  сканирование закончилось раньше, чем пришло N событий

Пример:
  VeltraBench register set propComPortNumber COM3 set propSpeed 9600 scan --count 10)";
}

bool UserPrefersEnglish() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_RUSSIAN; }

namespace {

[[noreturn]] void UsageError(const std::u16string& problem) {
    throw BenchError{kUsageError, problem + u"\n" +
                                      Say(u"usage: VeltraBench [--lang en|ru] [--json] [--help] COMMAND [ARGS]...\n"
                                          u"VeltraBench --help lists the commands.",
                                          u"использование: VeltraBench [--lang en|ru] [--json] [--help] КОМАНДА "
                                          u"[АРГУМЕНТЫ]...\nVeltraBench --help перечисляет команды.")};
}

std::u16string Quoted(const std::wstring& text) { return u"\"" + FromUtf16(text.c_str()) + u"\""; }

bool IsHelp(const std::wstring& arg) { return arg == L"--help" || arg == L"-h" || arg == L"/?"; }

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

// The code of check: \x1d (or \x1D) and <GS> stand for the group separator,
// which a command line cannot carry everywhere.
std::u16string PastedCode(const std::wstring& text) {
    std::u16string code = FromUtf16(text.c_str());
    for (const std::u16string_view stand : {u"\\x1d", u"\\x1D", u"<GS>"})
        for (size_t at; (at = code.find(stand)) != std::u16string::npos;)
            code.replace(at, stand.size(), 1, kGroupSeparator);
    return code;
}

// The commands that take no arguments; null for any other word.
const Verb* PlainVerb(const std::wstring& command) {
    static const struct {
        const wchar_t* name;
        Verb verb;
    } kPlain[] = {
        {L"version", Verb::Version},   {L"info", Verb::Info},   {L"params", Verb::Params},
        {L"describe", Verb::Describe}, {L"open", Verb::Open},   {L"close", Verb::Close},
        {L"test", Verb::Test},         {L"error", Verb::Error}, {L"ports", Verb::Ports},
    };
    for (const auto& plain : kPlain)
        if (command == plain.name) return &plain.verb;
    return nullptr;
}

}  // namespace

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
            while (i + 1 < args.size() &&
                   (args[i + 1] == L"--count" || args[i + 1] == L"--seconds" || args[i + 1] == L"--gs1")) {
                const std::wstring& option = args[++i];
                if (option == L"--count") step.limits.count = ReadCount(next(option, u"N"));
                else if (option == L"--seconds") step.limits.seconds = ReadSeconds(next(option, u"S"));
                else step.gs1 = true;
            }
        } else if (command == L"check") {
            step.verb = Verb::Check;
            step.value = PastedCode(next(command, Say(u"CODE", u"КОД")));
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

}  // namespace veltra::bench
