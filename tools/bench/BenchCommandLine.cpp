#include "BenchCommandLine.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "BenchOutput.h"
#include "core/common/Text.h"
#include "gs1/Gs1.h"

namespace veltra::bench {

std::u16string UsageText() {
    if (g_Options.english) {
        return uR"(Usage: VeltraBench [--lang en|ru] [--json] [--native LIB] [--help] COMMAND [ARGS]...

Loads the driver AddIn.VeltraScanner as the platform does and runs the commands
in the given order in one process. It stops at the first command that fails.

Options (before the first command):
  --lang en|ru      language of the bench and of the driver's texts and events
                    (default: Russian when the user's UI language is Russian)
  --json            events as JSON lines on stdout:
                    {"time":"...","source":"...","event":"...","data":"..."};
                    everything else goes to stderr
  --native LIB      load the Native API library LIB (a file path) as the
                    platform does, instead of the registered COM driver
                    (which exists on Windows only: on Linux --native is
                    needed for every command that calls the driver)
  --help, -h, /?    this text

Commands:
  register [--user]     register the VeltraScanner.dll next to this program,
                        for all users or (--user) for the current user
                        (Windows, without --native)
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
                        (keyboard; Windows) a window receives the scanner's keys
                        (it needs a display, or Wine's null graphics driver); any other
                        port is read as a serial line; when it is unplugged and
                        plugged in again, a line on stderr says so. The scan
                        ends after N events, after S seconds or at Ctrl+C.
                        --gs1: each code's GS1 fields (AI and value), its
                        problems by the GS1 syntax (AI, length, characters,
                        check digit, date, pairs), whether it is a complete
                        marking code, and a lost GS separator where one
                        explains the problems, after its event; with --json
                        as "gs1", "gs1_problems" and "marking_code" in its
                        object
  keyboard [--count N] [--seconds S] [--gs1]
                        the same as scan
  error                 GetLastError: the code and text of the driver's last error
  ports                 the serial ports of this machine, for propComPortNumber
  check CODE...         the GS1 report of each pasted CODE (a marking code), as
                        scan --gs1 prints it; \x1d or <GS> in CODE stands for
                        the GS separator. Fails when any code has a problem

Exit codes:
  0  every command succeeded
  1  a driver command answered failure (the driver's error text is printed),
     the keyboard window could not be created, or check found a problem
  2  usage error: unknown command or option, missing or malformed argument
  3  the component could not be loaded, registered or created, or the
     Native API library misused the memory manager (the faults are printed)
  4  a scan ended before N events arrived

Example:
  VeltraBench register set propComPortNumber COM3 set propSpeed 9600 scan --count 10)";
    }
    return uR"(Использование: VeltraBench [--lang en|ru] [--json] [--native БИБЛ] [--help] КОМАНДА [АРГУМЕНТЫ]...

Загружает драйвер AddIn.VeltraScanner так же, как платформа, и выполняет команды
по порядку в одном процессе. Останавливается на первой неудачной команде.

Параметры (перед первой командой):
  --lang en|ru      язык стенда, текстов и событий драйвера (по умолчанию
                    русский, если язык интерфейса пользователя русский)
  --json            события строками JSON в stdout:
                    {"time":"...","source":"...","event":"...","data":"..."};
                    всё остальное идёт в stderr
  --native БИБЛ     загрузить библиотеку Native API БИБЛ (путь к файлу) так
                    же, как платформа, вместо зарегистрированного
                    COM-драйвера (он есть только в Windows: в Linux --native
                    нужен каждой команде, которая вызывает драйвер)
  --help, -h, /?    эта справка

Команды:
  register [--user]     зарегистрировать VeltraScanner.dll из папки программы
                        для всех пользователей или (--user) для текущего
                        (Windows, без --native)
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
                        (клавиатура; Windows) нажатия сканера принимает окно (нужен дисплей
                        или драйвер графики null в Wine); любой другой порт
                        читается как COM-порт; когда его отключают и подключают
                        снова, об этом говорит строка в stderr. Сканирование
                        заканчивается после N событий, через S секунд или по
                        Ctrl+C.
                        --gs1: после события каждого штрихкода его поля GS1
                        (AI и значение), проблемы по синтаксису GS1 (AI, длина,
                        символы, контрольная цифра, дата, пары AI), полон ли
                        код маркировки и пропущенный разделитель GS, если он
                        объясняет проблемы; с --json в полях "gs1",
                        "gs1_problems" и "marking_code" его объекта
  keyboard [--count N] [--seconds S] [--gs1]
                        то же, что scan
  error                 GetLastError: код и текст последней ошибки драйвера
  ports                 последовательные порты этого компьютера, для
                        propComPortNumber
  check КОД...          разбор каждого вставленного КОДа GS1 (кода маркировки),
                        как его печатает scan --gs1; \x1d или <GS> в КОДе
                        означает разделитель GS. Неудача, если проблема есть
                        хотя бы в одном коде

Коды завершения:
  0  все команды выполнены
  1  команда драйвера вернула неудачу (печатается текст ошибки драйвера),
     не удалось создать окно режима клавиатуры или check нашла проблему
  2  ошибка в командной строке: неизвестная команда или параметр,
     нет аргумента или он неверен
  3  компонент не удалось загрузить, зарегистрировать или создать, или
     библиотека Native API нарушила правила менеджера памяти (нарушения
     печатаются)
  4  сканирование закончилось раньше, чем пришло N событий

Пример:
  VeltraBench register set propComPortNumber COM3 set propSpeed 9600 scan --count 10)";
}

#if defined(_WIN32)
bool UserPrefersEnglish() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_RUSSIAN; }
#else
// The language of messages as the locale variables choose it, the first set one first.
bool UserPrefersEnglish() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string_view(value).substr(0, 2) != "ru";
    }
    return true;
}
#endif

namespace {

[[noreturn]] void UsageError(const std::u16string& problem) {
    throw BenchError{kUsageError,
                     problem + u"\n" +
                         Say(u"usage: VeltraBench [--lang en|ru] [--json] [--native LIB] [--help] COMMAND [ARGS]...\n"
                             u"VeltraBench --help lists the commands.",
                             u"использование: VeltraBench [--lang en|ru] [--json] [--native БИБЛ] [--help] КОМАНДА "
                             u"[АРГУМЕНТЫ]...\nVeltraBench --help перечисляет команды.")};
}

std::u16string Quoted(const std::u16string& text) { return u"\"" + text + u"\""; }

bool IsHelp(const std::u16string& arg) { return arg == u"--help" || arg == u"-h" || arg == u"/?"; }

bool IsOption(const std::u16string& arg) { return arg.rfind(u"-", 0) == 0 || IsHelp(arg); }

// The options before the first command. The language and --help are looked
// for first: help wins over any mistake, and every complaint about the
// command line comes in the chosen language.
size_t ReadOptions(const std::vector<std::u16string>& args, CommandLine& line) {
    g_Options.english = UserPrefersEnglish();
    for (size_t i = 0; i < args.size() && IsOption(args[i]); ++i) {
        if (IsHelp(args[i])) line.help = true;
        if (args[i] == u"--lang" && i + 1 < args.size()) {
            if (args[i + 1] == u"en") g_Options.english = true;
            else if (args[i + 1] == u"ru") g_Options.english = false;
            ++i;
        }
        if (args[i] == u"--native" && i + 1 < args.size()) ++i;
    }
    if (line.help) return args.size();
    size_t i = 0;
    for (; i < args.size() && IsOption(args[i]); ++i) {
        const std::u16string& arg = args[i];
        if (arg == u"--json") {
            g_Options.json = true;
        } else if (arg == u"--lang") {
            if (i + 1 == args.size()) UsageError(Say(u"--lang needs en or ru", u"--lang требует en или ru"));
            if (args[i + 1] != u"en" && args[i + 1] != u"ru")
                UsageError(Say(u"unknown language ", u"неизвестный язык ") + Quoted(args[i + 1]) +
                           Say(u" (en or ru)", u" (en или ru)"));
            ++i;
        } else if (arg == u"--native") {
            if (i + 1 == args.size() || args[i + 1].empty())
                UsageError(Say(u"--native needs the path of a Native API library",
                               u"--native требует путь к библиотеке Native API"));
            line.native = args[++i];
        } else {
            UsageError(Say(u"unknown option ", u"неизвестный параметр ") + Quoted(arg));
        }
    }
    return i;
}

// --count N: a whole number, 0 or more.
size_t ReadCount(const std::u16string& text) {
    const std::optional<int32_t> n = ParseDecimalI32(text);
    if (!n || *n < 0)
        UsageError(Say(u"--count needs a whole number, not ", u"--count требует целое число, а не ") + Quoted(text));
    return static_cast<size_t>(*n);
}

// --seconds S: a number of seconds, 0 or more, fractions allowed.
double ReadSeconds(const std::u16string& text) {
    const std::string bytes = ToUtf8(text);
    char* end = nullptr;
    const double seconds = std::strtod(bytes.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0)
        UsageError(Say(u"--seconds needs a number of seconds, not ", u"--seconds требует число секунд, а не ") +
                   Quoted(text));
    return seconds;
}

// The code of check: \x1d (or \x1D) and <GS> stand for the group separator,
// which a command line cannot carry everywhere.
std::u16string PastedCode(const std::u16string& text) {
    std::u16string code = text;
    for (const std::u16string_view stand : {u"\\x1d", u"\\x1D", u"<GS>"})
        for (size_t at; (at = code.find(stand)) != std::u16string::npos;)
            code.replace(at, stand.size(), 1, kGroupSeparator);
    return code;
}

// The commands that take no arguments; null for any other word.
const Verb* PlainVerb(const std::u16string& command) {
    static const struct {
        const char16_t* name;
        Verb verb;
    } kPlain[] = {
        {u"version", Verb::Version},   {u"info", Verb::Info},   {u"params", Verb::Params},
        {u"describe", Verb::Describe}, {u"open", Verb::Open},   {u"close", Verb::Close},
        {u"test", Verb::Test},         {u"error", Verb::Error}, {u"ports", Verb::Ports},
    };
    for (const auto& plain : kPlain)
        if (command == plain.name) return &plain.verb;
    return nullptr;
}

bool IsCommand(const std::u16string& word) {
    for (const char16_t* command : {u"register", u"unregister", u"set", u"scan", u"keyboard", u"check"})
        if (word == command) return true;
    return PlainVerb(word) != nullptr;
}

// Registration is the COM driver's, which exists on Windows only: a Native
// API library is loaded from its file. Every other command that calls the
// driver needs one of the two.
void CheckFace(const CommandLine& line) {
    for (const Step& step : line.steps) {
        const bool registration = step.verb == Verb::Register || step.verb == Verb::Unregister;
        const char16_t* command = step.verb == Verb::Register ? u"register" : u"unregister";
        if (registration && !line.native.empty())
            UsageError(Quoted(command) + Say(u" does not go with --native: a Native API library is loaded from its "
                                             u"file, there is nothing to register",
                                             u" не сочетается с --native: библиотека Native API загружается из "
                                             u"своего файла, регистрировать нечего"));
#if !defined(_WIN32)
        if (registration)
            UsageError(Quoted(command) + Say(u" is for the COM driver, which exists on Windows only",
                                             u" относится к COM-драйверу, а он есть только в Windows"));
        if (line.native.empty() && step.verb != Verb::Ports && step.verb != Verb::Check)
            UsageError(Say(u"the COM driver exists on Windows only: load the Native API library with --native LIB",
                           u"COM-драйвер есть только в Windows: загрузите библиотеку Native API ключом --native "
                           u"БИБЛ"));
#endif
    }
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::u16string>& args) {
    CommandLine line;
    size_t i = ReadOptions(args, line);
    if (line.help) return line;
    if (i == args.size()) UsageError(Say(u"no command given", u"не задана команда"));
    // The argument after args[i], which it takes.
    const auto next = [&](const std::u16string& owner, const char16_t* what) -> const std::u16string& {
        if (i + 1 == args.size()) UsageError(Quoted(owner) + Say(u" needs ", u" требует ") + what);
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::u16string& command = args[i];
        Step step{};
        if (command == u"register" || command == u"unregister") {
            step.verb = command == u"register" ? Verb::Register : Verb::Unregister;
            if (i + 1 < args.size() && args[i + 1] == u"--user") {
                step.user = true;
                ++i;
            }
        } else if (command == u"set") {
            step.verb = Verb::Set;
            step.name = next(command, Say(u"NAME VALUE", u"ИМЯ ЗНАЧЕНИЕ"));
            step.value = next(command, Say(u"NAME VALUE", u"ИМЯ ЗНАЧЕНИЕ"));
        } else if (command == u"scan" || command == u"keyboard") {
            step.verb = Verb::Scan;
            while (i + 1 < args.size() &&
                   (args[i + 1] == u"--count" || args[i + 1] == u"--seconds" || args[i + 1] == u"--gs1")) {
                const std::u16string& option = args[++i];
                if (option == u"--count") step.limits.count = ReadCount(next(option, u"N"));
                else if (option == u"--seconds") step.limits.seconds = ReadSeconds(next(option, u"S"));
                else step.gs1 = true;
            }
        } else if (command == u"check") {
            // A step a code: every argument up to the next command.
            step.verb = Verb::Check;
            step.value = PastedCode(next(command, Say(u"CODE", u"КОД")));
            while (i + 1 < args.size() && !IsCommand(args[i + 1])) {
                line.steps.push_back(step);
                step.value = PastedCode(args[++i]);
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
    CheckFace(line);
    return line;
}

}  // namespace veltra::bench
