// The perf program's common parts: its clock, the driver through COM, the
// host that notes when each event arrived, the host's window, and the report
// that every figure adds a row to. One file per figure (Perf<Figure>.cpp)
// measures it; VeltraPerf.cpp runs them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "host/com/ComDriverFace.h"
#include "host/com/HostWindow.h"

namespace veltra::perf {

inline const char* const kArch = sizeof(void*) == 8 ? "win64" : "win32";
extern int g_Scale;  // counts are divided by this (--quick: 10)

double NowUs();
double Percentile(std::vector<double> v, double p);
[[noreturn]] void Fail(const char* what, long code = 0);

// ---- the driver and its events ---------------------------------------------------

// The driver through COM, as the substitute host holds it, in English.
class Driver {
public:
    Driver() {
        using Step = substitute::HostedComponent::Step;
        const substitute::HostedComponent::Creation& created = face_.Creation();
        if (created.step == Step::Lookup) Fail("the driver is not registered", created.hr);
        if (FAILED(created.hr))
            Fail(created.step == Step::Instance ? "CoCreateInstance" : "its interfaces", created.hr);
        if (!face_.Init()) Fail("Init", face_.LastResult());
        face_.SetLocale(u"en_US");
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    substitute::HostConnection& Host() { return face_.Host(); }
    void Set(const std::u16string& name, const std::u16string& value) {
        if (face_.SetParameter(name, value) != 1) Fail("SetParameter refused a value");
    }
    std::u16string Open() {
        const substitute::Answer a = face_.Call(u"Open", 1);
        if (a.result.text != u"1") Fail("Open failed");
        return a.params[0].text;
    }
    void Close(const std::u16string& id) { face_.CallWithTexts(u"Close", 1, {id}); }

private:
    substitute::ComDriverFace face_;
};

// The driver's events as they arrive, each noted with its time. While held,
// the host takes no event: the listener waits before it notes one.
class PerfHost {
public:
    explicit PerfHost(substitute::HostConnection& host) : connection(host) {
        connection.SetListener([this](const substitute::HostEvent&) { Arrived(); });
    }
    ~PerfHost() { connection.SetListener(nullptr); }
    PerfHost(const PerfHost&) = delete;
    PerfHost& operator=(const PerfHost&) = delete;

    size_t Count() const { return connection.EventCount(); }
    void Hold() {
        std::lock_guard<std::mutex> guard(holdLock_);
        held_ = true;
    }
    void LetGo() {
        {
            std::lock_guard<std::mutex> guard(holdLock_);
            held_ = false;
        }
        released_.notify_all();
    }
    // Waits until count events have arrived; false after timeoutMs.
    bool WaitFor(size_t count, DWORD timeoutMs) const {
        return connection.WaitForEvents(count, std::chrono::milliseconds(timeoutMs));
    }
    double Stamp(size_t i) {
        std::lock_guard<std::mutex> guard(lock_);
        return stamps_[i];
    }
    std::vector<std::u16string> Datas() const {
        std::vector<std::u16string> datas;
        for (const substitute::HostEvent& e : connection.Events()) datas.push_back(e.data);
        return datas;
    }

    substitute::HostConnection& connection;

private:
    void Arrived() {
        {
            std::unique_lock<std::mutex> guard(holdLock_);
            released_.wait(guard, [this] { return !held_; });
        }
        const double at = NowUs();
        std::lock_guard<std::mutex> guard(lock_);
        stamps_.push_back(at);
    }

    std::mutex holdLock_;
    std::condition_variable released_;
    bool held_ = false;
    std::mutex lock_;
    std::vector<double> stamps_;
};

void RegisterDriver();

// ---- the host's window and message loop -------------------------------------------

constexpr UINT kTilde = VK_OEM_3;  // the prefix "~"

using substitute::KeyTarget;

// A hook that only passes every message on, as the floors of figures 3 and 5
// have one in place of the driver's; g_BareHook is the installed one.
extern HHOOK g_BareHook;
LRESULT CALLBACK BareHook(int code, WPARAM flag, LPARAM message);

// Digits of n as keys.
std::vector<UINT> DigitKeys(int n);
void KeyboardSettings(Driver& d);

// ---- the report ---------------------------------------------------------------------

struct Row {
    std::string figure, measured, floor, ratio;
};
extern std::vector<Row> g_Rows;

// The figure's machine-readable line.
void Machine(const char* figure, const std::string& fields);
std::string Format(const char* format, double a, double b = 0, double c = 0);

// ---- the figures, one file each ---------------------------------------------------------

void KeyboardLatency(Driver& d, PerfHost& host, KeyTarget& w);  // PerfKeyboardLatency.cpp
void SerialLatency(Driver& d, PerfHost& host);                  // PerfSerialLatency.cpp
void HookCost(Driver& d, KeyTarget& w);                         // PerfHookCost.cpp
void IdleCost(Driver& d);                                       // PerfIdleCost.cpp
void Burst(Driver& d, PerfHost& host, KeyTarget& w);            // PerfBurst.cpp

}  // namespace veltra::perf
