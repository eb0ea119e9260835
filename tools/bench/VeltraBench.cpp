// The test bench: a console host that loads the driver as the platform does,
// the COM add-in by its programmatic identifier (Windows) or a Native API
// library from its file (--native; on Linux the only way), so a scanner can
// be tried without the platform, by hand or from scripts. Commands run in the
// order given, in one process; the whole command line is checked before the
// first one runs.
//
//   VeltraBench [--lang en|ru] [--json] [--native LIB] [--help] COMMAND [ARGS]...
//
// UsageText() (BenchCommandLine.cpp) is the reference for the commands, the
// options and the exit statuses (ExitStatus in BenchOutput.h). This file
// runs the commands in turn.
#if defined(_WIN32)
#include <windows.h>

#include "host/com/HostedComponent.h"
#endif

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "BenchCommandLine.h"
#include "BenchCommands.h"
#include "BenchDriver.h"
#include "BenchGs1.h"
#include "BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

// The port values that select the keyboard (the setter stores them as "USB").
bool IsKeyboardPort(const std::u16string& value) {
    return value == u"0" || value == u"Keyboard(USB)" || value == u"Клавиатура(USB)";
}

bool IsPortParameter(const std::u16string& name) { return name == u"propComPortNumber" || name == u"НомерComПорта"; }

// Ends the driver; what the host found wrong in the meantime (a Native API
// library's misuse of the memory manager) fails the run. When the run has
// failed already, the findings are printed and its own status stays.
void EndDriver(std::unique_ptr<Driver>& driver, bool failed) {
    if (!driver) return;
    const std::u16string faults = driver->End();
    driver.reset();
    if (faults.empty()) return;
    if (!failed) throw BenchError{kComponentError, faults};
    PrintError(faults);
}

void RunSteps(const CommandLine& line, std::unique_ptr<Driver>& driver) {
    const auto d = [&]() -> Driver& {
#if defined(_WIN32)
        if (!driver) driver = line.native.empty() ? MakeComDriver() : MakeNativeDriver(ToUtf8(line.native));
#else
        if (!driver) driver = MakeNativeDriver(ToUtf8(line.native));
#endif
        return *driver;
    };
    std::u16string device;
    bool keyboard = false;         // the port chosen by set in this run; the driver keeps nothing between runs
    size_t codes = 0, faulty = 0;  // check: every code is reported before the run fails
    for (const Step& step : line.steps) {
        switch (step.verb) {
        case Verb::Register:
        case Verb::Unregister:
#if defined(_WIN32)
            Register(step.verb == Verb::Register, step.user);
#endif
            break;
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
        case Verb::Scan:
            d().ShowGs1(step.gs1);
            Scan(d(), step.limits, keyboard);
            break;
        case Verb::Error: ShowLastError(d()); break;
        case Verb::Ports: ShowPorts(); break;
        case Verb::Check:
            ++codes;
            if (!CheckCode(step.value)) ++faulty;
            break;
        }
    }
    if (faulty)
        throw BenchError{kCodeProblem, Say(u"codes with problems: ", u"кодов с проблемами: ") +
                                           DecimalText(static_cast<long long>(faulty)) + Say(u" of ", u" из ") +
                                           DecimalText(static_cast<long long>(codes))};
}

// Runs the steps in order; the driver is made for the first step that needs
// it and ended (Done) when the run ends, by a failure too.
void Run(const CommandLine& line) {
#if defined(_WIN32)
    const substitute::ComApartment com;
    if (FAILED(com.result())) throw BenchError{kComponentError, u"CoInitializeEx: " + SystemMessage(com.result())};
#endif
    std::unique_ptr<Driver> driver;
    try {
        RunSteps(line, driver);
    } catch (...) {
        EndDriver(driver, true);
        throw;
    }
    EndDriver(driver, false);
}

#if defined(_WIN32)
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
#endif

}  // namespace

// The arguments after the program's name.
int Main(const std::vector<std::u16string>& args) {
    try {
        if (args.empty()) {
            g_Options.english = UserPrefersEnglish();
            PrintError(UsageText());
            return kUsageError;
        }
        const CommandLine line = ReadCommandLine(args);
        if (line.help) {
            PrintHelp(UsageText());
            return kSucceeded;
        }
        CatchInterrupts();
        Run(line);
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

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    const veltra::bench::ConsoleCodePage codePage;
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(veltra::bench::FromUtf16(argv[i]));
    return veltra::bench::Main(args);
}
#else
// The arguments arrive as the terminal's bytes, UTF-8 on every current
// system; the output is UTF-8 as it is.
int main(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(veltra::FromUtf8(argv[i]));
    return veltra::bench::Main(args);
}
#endif
