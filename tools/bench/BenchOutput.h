// The test bench's output: its language, its exit statuses, where its lines
// go, and how events and failure codes read.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#endif

#include <string>
#include <vector>

#include "host/HostEvents.h"

namespace veltra::bench {

// The exit statuses of the bench (listed by --help and in the README).
enum ExitStatus : int {
    kSucceeded = 0,       // every command succeeded
    kDriverFailed = 1,    // a driver command answered failure
    kCodeProblem = 1,     // check found a problem in the code
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
void PrintError(const std::u16string& text);   // always stderr
void PrintHelp(const std::u16string& text);    // always stdout
void PrintJson(const std::u16string& object);  // one JSON object a line, always stdout

#if defined(_WIN32)
std::u16string FromUtf16(const wchar_t* text);
#endif
// Control characters as \xNN, so a GS separator or a CR shows.
std::u16string Visible(const std::u16string& text);
// A JSON string literal with its quotes; control characters as \u00XX.
std::u16string JsonString(const std::u16string& text);
#if defined(_WIN32)
// The system's text for a failure code and the code, "Call failed. (0x80004005)";
// `insert` fills a "%1" in the text.
std::u16string SystemMessage(HRESULT hr, const std::u16string& insert = u"");
#endif

// What the bench adds to an event (BenchGs1.h: a code's GS1 split): lines
// after the event's line, or members that end its JSON object.
struct EventDetail {
    std::vector<std::u16string> lines;
    std::u16string jsonMembers;  // ,"name":value...
};

// Prints an event with its arrival time: a line on stdout, or with --json
// one JSON object there, with its detail. Returns the event's line in either
// case.
std::u16string PrintEvent(const substitute::HostEvent& event, const EventDetail& detail = {});

}  // namespace veltra::bench
