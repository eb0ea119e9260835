// The test bench's commands that take more than one driver call; each file
// of the bench that defines them has one concern.
#pragma once

#include <functional>
#include <string>

#include "BenchCommandLine.h"
#include "BenchDriver.h"

namespace veltra::bench {

#if defined(_WIN32)
// BenchRegistration.cpp: register and unregister the VeltraScanner.dll next
// to the bench, machine-wide or for the current user.
void Register(bool install, bool user);
#endif

// BenchReports.cpp: what the driver says about itself.
void ShowVersion(Driver& d);      // extension, component and driver versions, the file's version resource
void ShowInfo(Driver& d);         // the same, and the property and method tables
void ShowParams(Driver& d);       // the settings form as a table
void ShowDescription(Driver& d);  // GetDescription
void ShowLastError(Driver& d);    // GetLastError

// BenchPorts.cpp: the serial ports the system knows, by the names the driver
// takes (COM1 to COM35; on Linux also the USB serial devices), with what
// each stands for.
void ShowPorts();

// BenchScan.cpp: Open, every event printed until a limit, Close; in a
// keyboard-mode window (Windows) or from the serial port. Throws BenchError
// (kScanIncomplete) when the events fell short of the count.
void Scan(Driver& d, const Limits& limits, bool keyboard);
// Ctrl+C (SIGINT on Linux) ends a scan instead of the program.
void CatchInterrupts();
// Waits until a limit is reached, Ctrl+C is pressed or `done` says so; on
// Windows it pumps this thread's messages meanwhile (the keyboard hook runs
// inside their retrieval).
// Events count from `before`, the host's count taken before Open. True when
// the event count of the limits was reached (or none was set).
bool WaitForLimits(Driver& d, const Limits& limits, size_t before, const std::function<bool()>& done = nullptr);
// Closes the device a scan opened and prints how many events came since
// `before`; throws BenchError when Close answers failure.
void EndScan(Driver& d, const std::u16string& device, size_t before);

#if defined(_WIN32)
// BenchKeyboard.cpp: Open, then a window that shows what the application
// receives, with every barcode event printed, then Close. True when the
// event count of the limits was reached; throws BenchError when the window
// cannot be made or the driver answers failure.
bool RunKeyboardWindow(Driver& d, const Limits& limits);
#endif

}  // namespace veltra::bench
