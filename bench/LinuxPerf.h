// What the two Linux figures (LinuxSerialPerf.cpp, LinuxKeyboardPerf.cpp)
// share: the clock and its statistics, the way a program of theirs fails,
// and the driver's side of a figure, through the Native API face as the
// substitute host holds the library.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/common/Text.h"
#include "host/native/NativeDriverFace.h"

namespace veltra::perf {

using Clock = std::chrono::steady_clock;

inline const char* const kArch = sizeof(void*) == 8 ? "linux-x86_64" : "linux-i386";

// The program's name in its failure messages, set by its main.
inline const char* g_Program = "";

inline double Us(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count();
}

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", g_Program, what.c_str());
    std::exit(1);
}

inline std::string Format(const char* format, double a, double b) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// The driver's side: the library's object set up with `parameters` and
// opened; then for each code `pause(i)`, `send()` (which returns when the
// code left the scanner) and the wait for its event. Gives each code's time
// from its sending to the event's arrival at the host.
inline std::vector<double> DriverLatencies(const char* library,
                                           const std::vector<std::pair<std::u16string, std::u16string>>& parameters,
                                           int codes, const std::function<void(int)>& pause,
                                           const std::function<Clock::time_point()>& send, std::chrono::seconds wait) {
    substitute::native::NativeDriverFace face(library, u"VeltraScanner");
    if (!face.Created() && !face.LoadError().empty()) Fail(face.LoadError());
    if (!face.Init()) Fail("the library's object was not created and initialised");
    std::vector<double> latencies;
    std::atomic<long long> arrived{0};
    substitute::EventRecorder& events = face.Recorder();
    events.SetListener([&](const substitute::HostEvent&) { arrived = Clock::now().time_since_epoch().count(); });
    for (const auto& [name, value] : parameters)
        if (face.SetParameter(name, value) != 1) Fail("SetParameter " + ToUtf8(name));
    const substitute::Answer opened = face.Call(u"Open", 1);
    if (opened.result.text != u"1" || opened.params.empty()) Fail("Open: " + ToUtf8(face.LastError().second));
    for (int i = 0; i < codes; ++i) {
        pause(i);
        const size_t before = events.EventCount();
        const Clock::time_point sent = send();
        if (!events.WaitForEvents(before + 1, wait)) Fail("a code was not posted");
        latencies.push_back(Us(sent, Clock::time_point(Clock::duration(arrived.load()))));
    }
    events.SetListener({});
    face.CallWithTexts(u"Close", 1, {opened.params[0].text});
    face.End();
    return latencies;
}

}  // namespace veltra::perf
