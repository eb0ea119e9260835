// The test bench: a console host that loads the driver by its programmatic
// identifier, as the platform does, so a scanner can be tried without the
// platform, by hand or from scripts. Commands run in the order given, in one
// process; the whole command line is checked before the first one runs.
//
//   VeltraBench [--lang en|ru] [--json] [--help] COMMAND [ARGS] [COMMAND [ARGS]]...
//
// UsageText() (BenchCommandLine.cpp) is the reference for the commands, the
// options and the exit statuses (ExitStatus in BenchOutput.h). This file
// runs the commands in turn.
#include <windows.h>

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
#include "host/HostedComponent.h"

namespace veltra::bench {
namespace {

// The port values that select the keyboard (the setter stores them as "USB").
bool IsKeyboardPort(const std::u16string& value) {
    return value == u"0" || value == u"Keyboard(USB)" || value == u"Клавиатура(USB)";
}

bool IsPortParameter(const std::u16string& name) { return name == u"propComPortNumber" || name == u"НомерComПорта"; }

// Runs the steps in order; the driver is made for the first step that needs
// it and released (Done) when the run ends, by a failure too.
void Run(const std::vector<Step>& steps) {
    const substitute::ComApartment com;
    if (FAILED(com.result())) Driver::Fail(u"CoInitializeEx", com.result());
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
        case Verb::Scan:
            d().ShowGs1(step.gs1);
            Scan(d(), step.limits, keyboard);
            break;
        case Verb::Error: ShowLastError(d()); break;
        case Verb::Ports: ShowPorts(); break;
        case Verb::Check: CheckCode(step.value); break;
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
            PrintHelp(UsageText());
            return kSucceeded;
        }
        CatchInterrupts();
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
