#include "BenchOutput.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/common/Messages.h"
#include "core/common/Text.h"
#if defined(_WIN32)
#include "core/common/SystemText.h"
#endif

namespace veltra::bench {

Options g_Options;

const char16_t* Say(const char16_t* english, const char16_t* russian) { return g_Options.english ? english : russian; }

namespace {

void Write(std::FILE* stream, const std::u16string& text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

#if defined(_WIN32)
std::u16string Hex8(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return FromUtf8(text);
}
#endif

// The local time now, and its milliseconds.
struct LocalTime {
    std::tm t{};
    int milliseconds = 0;
};

LocalTime Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    LocalTime local;
    local.milliseconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
#if defined(_WIN32)
    localtime_s(&local.t, &seconds);
#else
    localtime_r(&seconds, &local.t);
#endif
    return local;
}

// Local time with milliseconds.
std::u16string Clock() {
    const LocalTime n = Now();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", n.t.tm_hour, n.t.tm_min, n.t.tm_sec, n.milliseconds);
    return FromUtf8(text);
}

// Local date and time, 2026-12-07T10:11:12.345.
std::u16string Timestamp() {
    const LocalTime n = Now();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", n.t.tm_year + 1900, n.t.tm_mon + 1,
                  n.t.tm_mday, n.t.tm_hour, n.t.tm_min, n.t.tm_sec, n.milliseconds);
    return FromUtf8(text);
}

}  // namespace

void PrintLine(const std::u16string& text) { Write(g_Options.json ? stderr : stdout, text + u"\n"); }

void PrintError(const std::u16string& text) { Write(stderr, text + u"\n"); }

void PrintHelp(const std::u16string& text) { Write(stdout, text + u"\n"); }

void PrintJson(const std::u16string& object) { Write(stdout, object + u"\n"); }

#if defined(_WIN32)
std::u16string FromUtf16(const wchar_t* text) {
    const std::wstring wide(text);
    return std::u16string(wide.begin(), wide.end());
}
#endif

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

#if defined(_WIN32)
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
            text = veltra::SystemMessage(code, lang);
            if (!text.empty()) break;
        }
        if (!text.empty()) break;
    }
    while (!text.empty() && text.back() <= u' ') text.pop_back();
    for (size_t at; !insert.empty() && (at = text.find(u"%1")) != std::u16string::npos;) text.replace(at, 2, insert);
    if (text.empty()) text = Say(u"the system has no text for this code", u"у системы нет текста для этого кода");
    return text + u" (" + Hex8(static_cast<unsigned long>(hr)) + u")";
}
#endif

namespace {

// The driver tells a lost serial line by one driver-error event with the
// read-error text, and tells nothing when the line is back: the next event
// shows it. Both moments get a line on stderr.
void ShowLineMoments(const substitute::HostEvent& event) {
    static std::atomic<bool> lost{false};
    // The driver's read-error text without its class character, in either language.
    const auto lineLost = [&](bool english) { return event.data == Text(Msg::PortReadFailed, english).substr(1); };
    if (lineLost(true) || lineLost(false)) {
        lost = true;
        PrintError(Say(u"the serial line is gone (unplugged?); the driver opens it again about once a second",
                       u"COM-порт пропал (отключён?); драйвер открывает его снова примерно раз в секунду"));
    } else if (lost.exchange(false)) {
        PrintError(Say(u"the serial line is back", u"COM-порт снова на месте"));
    }
}

}  // namespace

std::u16string PrintEvent(const substitute::HostEvent& event, const EventDetail& detail) {
    ShowLineMoments(event);
    std::u16string line = u"event  " + Clock() + u"  source=" + event.source + u"  name=" + event.name + u"  data=\"" +
                          Visible(event.data) + u"\"";
    // Events always go to stdout; with --json it carries nothing else. One
    // write an event, so its detail stays under its line.
    if (g_Options.json) {
        PrintJson(u"{\"time\":\"" + Timestamp() + u"\",\"source\":" + JsonString(event.source) + u",\"event\":" +
                  JsonString(event.name) + u",\"data\":" + JsonString(event.data) + detail.jsonMembers + u"}");
    } else {
        std::u16string text = line + u"\n";
        for (const std::u16string& more : detail.lines) text += more + u"\n";
        Write(stdout, text);
    }
    return line;
}

}  // namespace veltra::bench
