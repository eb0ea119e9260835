// VeltraPerf: measures the scan-to-event path of the driver through COM, as
// the substitute host (tools/host) holds it, and prints one table plus one
// machine-readable line per figure ("PERF arch=... figure=... key=value ...").
//
//   VeltraPerf.exe [--quick] [--only FIGURES]
//
// The serial figure needs a virtual serial line: VELTRA_SERIAL_PORT names the
// COM port the driver opens, VELTRA_SERIAL_FEED the Unix path of the other
// end (bench/run_bench.sh sets both up); without them it is skipped.
// --quick runs a tenth of every count (for a smoke run); --only 25 runs
// figures 2 and 5 only.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "com/addin/ComOwners.h"
#include "core/common/Text.h"
#include "host/HostConnection.h"
#include "host/HostWindow.h"
#include "host/HostedComponent.h"
#include "host/ServerRegistration.h"

namespace {

using namespace veltra;

const char* const kArch = sizeof(void*) == 8 ? "win64" : "win32";
int g_Scale = 1;  // counts are divided by this (--quick: 10)

double NowUs() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart / 1e6;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart / perUs;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * (v.size() - 1) + 0.5)];
}

[[noreturn]] void Fail(const char* what, long code = 0) {
    std::fprintf(stderr, "VeltraPerf: %s (%08lX)\n", what, static_cast<unsigned long>(code));
    std::exit(1);
}

// ---- the host ----------------------------------------------------------------

// The substitute host's connection object, noting when each event arrived.
// While held, the host takes no event: the listener waits before it notes one.
class PerfHost {
public:
    PerfHost() {
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

    substitute::HostConnection connection;

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

// ---- the driver through COM ------------------------------------------------------

class Driver {
public:
    explicit Driver(PerfHost& host) {
        using Step = substitute::HostedComponent::Step;
        const substitute::HostedComponent::Creation created = component_.Create();
        if (created.step == Step::Lookup) Fail("the driver is not registered", created.hr);
        if (FAILED(created.hr))
            Fail(created.step == Step::Instance ? "CoCreateInstance" : "its interfaces", created.hr);
        if (const HRESULT hr = component_.Init(host.connection); FAILED(hr)) Fail("Init", hr);
        component_.SetLocale(L"en_US");
    }
    ~Driver() { component_.Done(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void Set(const std::u16string& name, const std::u16string& value) {
        if (Call(u"SetParameter", {name, value}).first != 1) Fail("SetParameter refused a value");
    }
    std::u16string Open() {
        auto r = Call(u"Open", {u""});
        if (r.first != 1) Fail("Open failed");
        return r.second;
    }
    void Close(const std::u16string& id) { Call(u"Close", {id}); }

private:
    // Calls a command; its result and its first parameter afterwards, as text.
    std::pair<long, std::u16string> Call(const char16_t* method, const std::vector<std::u16string>& inputs) {
        const substitute::HostedComponent::CallResult r =
            component_.CallByName(method, static_cast<long>(inputs.size()), inputs);
        return {SUCCEEDED(r.hr) && r.result.type() == VT_I4 ? V_I4(r.result.get()) : -1, r.textParams[0]};
    }

    substitute::HostedComponent component_;
};

void RegisterDriver() {
    const HRESULT hr = substitute::RegisterServer(substitute::BesideProgram(L"VeltraScanner.dll"), true);
    if (FAILED(hr)) Fail("cannot register VeltraScanner.dll", hr);
}

// ---- the host's window and message loop -------------------------------------------

constexpr UINT kTilde = VK_OEM_3;  // the prefix "~"

using substitute::KeyTarget;

// Digits of n as keys.
std::vector<UINT> DigitKeys(int n) {
    std::vector<UINT> keys;
    for (char ch : std::to_string(n)) keys.push_back(static_cast<UINT>(ch));
    return keys;
}

void KeyboardSettings(Driver& d) {
    d.Set(u"propComPortNumber", u"0");
    d.Set(u"propPrefix", u"~");
    d.Set(u"propSuffix", u"Tab");
    d.Set(u"propTimeOut", u"1000");
}

// ---- the report ---------------------------------------------------------------------

struct Row {
    std::string figure, measured, floor, ratio;
};
std::vector<Row> g_Rows;

void Machine(const char* figure, const std::string& fields) {
    std::printf("PERF arch=%s figure=%s %s\n", kArch, figure, fields.c_str());
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// ---- 1 keyboard latency --------------------------------------------------------------

void KeyboardLatency(Driver& d, PerfHost& host, KeyTarget& w) {
    const int codes = 1000 / g_Scale;
    KeyboardSettings(d);
    const std::u16string id = d.Open();
    std::vector<double> latency;
    for (int i = 0; i < codes; ++i) {
        // A varying pause, so that codes do not all meet a periodic thread
        // at the same point of its cycle.
        ::Sleep(i % 11);
        for (UINT vk : {kTilde, UINT('1'), UINT('2')}) w.Press(vk);
        const size_t before = host.Count();
        w.PostKey(WM_KEYDOWN, VK_TAB);
        const double t0 = NowUs();  // the loop retrieves the suffix key-down next
        substitute::PumpMessages();
        if (!host.WaitFor(before + 1, 5000)) Fail("a keyboard code was not posted");
        latency.push_back(host.Stamp(before) - t0);
        w.PostKey(WM_KEYUP, VK_TAB);
        substitute::PumpMessages();
    }
    d.Close(id);

    // The floor: a bare hand-off to a waiting thread that calls the host.
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::u16string> queue;
    bool stop = false;
    std::thread worker([&] {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            changed.wait(guard, [&] { return stop || !queue.empty(); });
            if (queue.empty()) return;
            std::u16string data = std::move(queue.front());
            queue.pop_front();
            guard.unlock();
            UniqueBstr s = MakeBstr(u"1"), n = MakeBstr(u"Barcode"), b = MakeBstr(data);
            host.connection.ExternalEvent(s.get(), n.get(), b.get());
            guard.lock();
        }
    });
    std::vector<double> floor;
    for (int i = 0; i < codes; ++i) {
        ::Sleep(i % 3);
        const size_t before = host.Count();
        const double t0 = NowUs();
        {
            std::lock_guard<std::mutex> guard(lock);
            queue.push_back(u"12");
        }
        changed.notify_all();
        if (!host.WaitFor(before + 1, 5000)) Fail("the hand-off floor lost a code");
        floor.push_back(host.Stamp(before) - t0);
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    changed.notify_all();
    worker.join();

    const double p50 = Percentile(latency, 0.5), p99 = Percentile(latency, 0.99), max = Percentile(latency, 1);
    const double f50 = Percentile(floor, 0.5), f99 = Percentile(floor, 0.99);
    g_Rows.push_back({"1 keyboard latency (" + std::to_string(codes) + " codes)",
                      Format("p50 %.3f  p99 %.3f  max %.3f ms", p50 / 1000, p99 / 1000, max / 1000),
                      Format("hand-off p50 %.3f  p99 %.3f ms", f50 / 1000, f99 / 1000),
                      Format("p99 x%.1f", f99 > 0 ? p99 / f99 : 0)});
    Machine("keyboard_latency", Format("codes=%.0f p50_us=%.1f p99_us=%.1f", codes, p50, p99) +
                                    Format(" max_us=%.1f floor_p50_us=%.1f floor_p99_us=%.1f", max, f50, f99));
}

// ---- 2 serial latency ------------------------------------------------------------------

// The floor: the same bytes read back to back by a plain thread from the same
// port with the driver's read time-outs (the burst ends after 50 ms of
// silence), from the write of the last byte to the read's return. Overlapped
// as the driver reads (so that Close can cancel a read), or blocking.
std::vector<double> BareSerialReads(const std::u16string& port, HANDLE feed, const std::string& bytes, int codes,
                                    bool overlapped) {
    const std::wstring name = L"\\\\.\\" + std::wstring(port.begin(), port.end());
    UniqueHandle line(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr));
    if (!line) Fail("cannot open the serial port for the floor", ::GetLastError());
    COMMTIMEOUTS timeouts{50, 1, 50, 10, 10};
    if (!::SetCommTimeouts(line.get(), &timeouts)) Fail("SetCommTimeouts", ::GetLastError());
    std::atomic<bool> stop{false};
    std::atomic<double> readAt{0};
    UniqueHandle done(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread reader([&] {
        char buffer[1024];
        while (!stop) {
            DWORD n = 0;
            if (overlapped) {
                OVERLAPPED o{};
                o.hEvent = readDone.get();
                if (!::ReadFile(line.get(), buffer, sizeof buffer, nullptr, &o) && ::GetLastError() == ERROR_IO_PENDING)
                    ::WaitForSingleObject(readDone.get(), INFINITE);
                ::GetOverlappedResult(line.get(), &o, &n, TRUE);
            } else if (!::ReadFile(line.get(), buffer, sizeof buffer, &n, nullptr)) {
                n = 0;
            }
            if (n > 0) {
                readAt = NowUs();
                ::SetEvent(done.get());
            }
        }
    });
    std::vector<double> latency;
    for (int i = 0; i < codes; ++i) {
        ::Sleep(i % 11);
        DWORD written = 0;
        if (!::WriteFile(feed, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            Fail("writing the serial feed", ::GetLastError());
        const double t0 = NowUs();
        if (::WaitForSingleObject(done.get(), 5000) != WAIT_OBJECT_0) Fail("the bare read lost a burst");
        latency.push_back(readAt - t0);
    }
    stop = true;
    reader.join();  // the read in progress ends at its total time-out
    return latency;
}

void SerialLatency(Driver& d, PerfHost& host) {
    const char* port = std::getenv("VELTRA_SERIAL_PORT");
    const char* feedPath = std::getenv("VELTRA_SERIAL_FEED");
    if (!port || !feedPath || !*port || !*feedPath) {
        g_Rows.push_back({"2 serial latency", "skipped: no virtual serial line", "50 ms framing", "-"});
        Machine("serial_latency", "skipped=1");
        return;
    }
    std::wstring path = L"Z:";
    for (const char* p = feedPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    UniqueHandle feed(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!feed) Fail("cannot open the serial feed", ::GetLastError());
    std::u16string portText;
    for (const char* p = port; *p; ++p) portText += static_cast<char16_t>(*p);
    d.Set(u"propComPortNumber", portText);
    d.Set(u"propSpeed", u"9600");
    d.Set(u"propDataBit", u"8");
    d.Set(u"propStopBits", u"1 stop bits");
    d.Set(u"propParity", u"No");
    const std::u16string id = d.Open();
    const int codes = 200 / g_Scale;
    const std::string bytes = "4607012345678\r\n";
    std::vector<double> latency;
    for (int i = 0; i < codes; ++i) {
        ::Sleep(i % 11);
        const size_t before = host.Count();
        DWORD written = 0;
        if (!::WriteFile(feed.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            Fail("writing the serial feed", ::GetLastError());
        const double t0 = NowUs();  // the last byte is in the line
        if (!host.WaitFor(before + 1, 5000)) Fail("a serial code was not posted");
        latency.push_back(host.Stamp(before) - t0);
    }
    d.Close(id);
    const std::vector<double> floor = BareSerialReads(portText, feed.get(), bytes, codes, true);
    const std::vector<double> blocking = BareSerialReads(portText, feed.get(), bytes, codes, false);
    const double p50 = Percentile(latency, 0.5), p99 = Percentile(latency, 0.99), max = Percentile(latency, 1);
    const double f50 = Percentile(floor, 0.5), f99 = Percentile(floor, 0.99);
    const double b50 = Percentile(blocking, 0.5), b99 = Percentile(blocking, 0.99);
    g_Rows.push_back({"2 serial latency (" + std::to_string(codes) + " codes)",
                      Format("p50 %.2f  p99 %.2f  max %.2f ms", p50 / 1000, p99 / 1000, max / 1000),
                      Format("bare overlapped read p50 %.2f  p99 %.2f ms", f50 / 1000, f99 / 1000),
                      Format("p99 x%.3f", f99 > 0 ? p99 / f99 : 0)});
    g_Rows.push_back({"2b serial: a blocking read instead", "-",
                      Format("bare blocking read p50 %.2f  p99 %.2f ms", b50 / 1000, b99 / 1000), "-"});
    Machine("serial_latency", Format("codes=%.0f p50_us=%.1f p99_us=%.1f", codes, p50, p99) +
                                  Format(" max_us=%.1f floor_p50_us=%.1f floor_p99_us=%.1f", max, f50, f99) +
                                  Format(" blocking_p50_us=%.1f blocking_p99_us=%.1f", b50, b99));
}

// ---- 3 hook cost ---------------------------------------------------------------------------

HHOOK g_BareHook = nullptr;
LRESULT CALLBACK BareHook(int code, WPARAM flag, LPARAM message) {
    return ::CallNextHookEx(g_BareHook, code, flag, message);
}

// Average cost of posting and retrieving one message that no code is part of.
double LoopNsPerMessage(KeyTarget& w, int messages) {
    constexpr int kBatch = 1000;
    const double t0 = NowUs();
    for (int done = 0; done < messages; done += kBatch) {
        for (int i = 0; i < kBatch; ++i) ::PostMessageW(w.hwnd(), WM_APP + 1, i, 0);
        substitute::PumpMessages();
    }
    return (NowUs() - t0) * 1000.0 / messages;
}

void HookCost(Driver& d, KeyTarget& w) {
    const int rounds = 10, perRound = 100000 / g_Scale;
    KeyboardSettings(d);
    // Interleaved rounds; the least of each kind is the least disturbed.
    double none = 1e18, bare = 1e18, driver = 1e18;
    LoopNsPerMessage(w, perRound / 10);  // warm-up
    for (int r = 0; r < rounds; ++r) {
        none = std::min(none, LoopNsPerMessage(w, perRound));
        g_BareHook = ::SetWindowsHookExW(WH_GETMESSAGE, &BareHook, nullptr, ::GetCurrentThreadId());
        if (!g_BareHook) Fail("SetWindowsHookExW", ::GetLastError());
        bare = std::min(bare, LoopNsPerMessage(w, perRound));
        ::UnhookWindowsHookEx(g_BareHook);
        const std::u16string id = d.Open();
        driver = std::min(driver, LoopNsPerMessage(w, perRound));
        d.Close(id);
    }
    const double cost = driver - none, floor = bare - none;
    g_Rows.push_back({"3 hook cost (" + std::to_string(rounds * perRound) + " msgs each)",
                      Format("%.0f ns/msg (loop %.0f, hooked %.0f)", cost, none, driver),
                      Format("bare CallNextHookEx %.0f ns/msg", floor), Format("x%.2f", floor > 0 ? cost / floor : 0)});
    Machine("hook_cost", Format("messages=%.0f loop_ns=%.1f hooked_ns=%.1f", rounds * perRound, none, driver) +
                             Format(" bare_hooked_ns=%.1f hook_ns=%.1f bare_hook_ns=%.1f", bare, cost, floor));
}

// ---- 4 idle cost -------------------------------------------------------------------------------

// Wake-ups are counted outside Wine: bench/run_bench.sh reads the context
// switches of every thread of this process when the lines "IDLE begin" and
// "IDLE end" appear, and answers with the difference in VELTRA_BENCH_DIR\idle.
// Returns -1 when nobody answers.
double OutsideSwitches() {
    const char* dir = std::getenv("VELTRA_BENCH_DIR");
    if (!dir || !*dir) return -1;
    std::wstring path = L"Z:";
    for (const char* p = dir; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    path += L"\\idle";
    for (int i = 0; i < 300; ++i, ::Sleep(10)) {
        UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
        if (!file) continue;
        char text[64] = {};
        DWORD n = 0;
        ::ReadFile(file.get(), text, sizeof text - 1, &n, nullptr);
        if (n == 0 || text[n - 1] != '\n') continue;  // not written completely yet
        file.reset();
        ::DeleteFileW(path.c_str());
        return std::atof(text);
    }
    return -1;
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return (value(kernel) + value(user)) / 10000.0;
}

struct Idle {
    double wakeups;  // per second, all threads; -1 when not counted
    double cpuMs;
};

// The host's loop, idle for `seconds`: waits for messages and pumps what comes.
Idle IdleFor(DWORD seconds) {
    std::printf("IDLE begin\n");
    std::fflush(stdout);
    const double cpu0 = ProcessCpuMs(), t0 = NowUs();
    while (NowUs() - t0 < seconds * 1e6) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(seconds * 1000 - (NowUs() - t0) / 1000) + 1,
                                    QS_ALLINPUT);
        substitute::PumpMessages();
    }
    const double elapsed = (NowUs() - t0) / 1e6;
    const double cpu = ProcessCpuMs() - cpu0;
    std::printf("IDLE end\n");
    std::fflush(stdout);
    const double switches = OutsideSwitches();
    return {switches < 0 ? -1 : switches / elapsed, cpu};
}

void IdleCost(Driver& d) {
    const DWORD seconds = 10;
    // The floor: the same wait with no connection (Wine's own threads).
    const Idle floor = IdleFor(seconds);
    KeyboardSettings(d);
    const std::u16string id = d.Open();
    ::Sleep(100);  // the dispatch thread settles into its wait
    const Idle open = IdleFor(seconds);
    d.Close(id);
    const bool counted = open.wakeups >= 0 && floor.wakeups >= 0;
    g_Rows.push_back({"4 idle cost (" + std::to_string(seconds) + " s open, no scans)",
                      counted ? Format("%.1f wake-ups/s; CPU %.0f ms", open.wakeups, open.cpuMs)
                              : Format("wake-ups not counted; CPU %.0f ms", open.cpuMs),
                      counted ? Format("no connection %.1f/s; CPU %.0f ms", floor.wakeups, floor.cpuMs)
                              : Format("no connection: CPU %.0f ms", floor.cpuMs),
                      counted ? Format("%+.1f/s", open.wakeups - floor.wakeups) : "-"});
    Machine("idle_cost", Format("seconds=%.0f wakeups_per_s=%.2f cpu_ms=%.1f", seconds, open.wakeups, open.cpuMs) +
                             Format(" floor_wakeups_per_s=%.2f floor_cpu_ms=%.1f", floor.wakeups, floor.cpuMs));
}

// ---- 5 burst ---------------------------------------------------------------------------------------

// The messages a host's loop retrieves for one code typed by the scanner, as
// TranslateMessage leaves them: the prefix and suffix key-downs are taken by
// the hook before translation, so only the digits bring a character.
void PostCode(HWND hwnd, int n) {
    const auto post = [hwnd](UINT message, WPARAM w) {
        const UINT vk = message == WM_CHAR ? 0 : static_cast<UINT>(w);
        const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
        ::PostMessageW(hwnd, message, w, message == WM_KEYUP ? 1 | scan | 0xC0000000 : 1 | scan);
    };
    post(WM_KEYDOWN, kTilde);
    post(WM_KEYUP, kTilde);
    for (UINT vk : DigitKeys(n)) {
        post(WM_KEYDOWN, vk);
        post(WM_CHAR, vk);  // a digit key's character is the digit itself
        post(WM_KEYUP, vk);
    }
    post(WM_KEYDOWN, VK_TAB);
    post(WM_KEYUP, VK_TAB);
}

// The host's loop without translation: the characters are already queued.
void PumpTranslated() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) ::DispatchMessageW(&msg);
}

// Types `codes` codes in batches, each batch posted at once and then pumped.
// Returns the microseconds the loop took.
double TypeCodes(KeyTarget& w, int codes) {
    constexpr int kBatch = 100;
    const double t0 = NowUs();
    for (int i = 0; i < codes; i += kBatch) {
        for (int j = i; j < std::min(codes, i + kBatch); ++j) PostCode(w.hwnd(), j);
        PumpTranslated();
    }
    return NowUs() - t0;
}

struct BurstRun {
    double seconds = 0, rate = 0, typingRate = 0;
    size_t delivered = 0, misplaced = 0;
    bool all = false;
};

// Types the codes and waits for their events. With the host held, the first
// event waits in the host until everything is typed, so the rest queue up;
// `seconds` is then the time from letting go to the last event.
BurstRun RunBurst(Driver& d, PerfHost& host, KeyTarget& w, int codes, bool held) {
    const DWORD capMs = 60000;
    BurstRun r;
    const std::u16string id = d.Open();
    const size_t first = host.Count();
    if (held) host.Hold();
    const double t0 = NowUs();
    const double typing = TypeCodes(w, codes);
    const double released = NowUs();
    if (held) host.LetGo();
    r.all = host.WaitFor(first + codes, capMs);
    r.delivered = host.Count() - first;
    const double end = r.delivered ? host.Stamp(first + r.delivered - 1) : released;
    const std::vector<std::u16string> datas = host.Datas();
    for (size_t i = 0; i < r.delivered; ++i)
        if (datas[first + i] != DecimalText(static_cast<long long>(i))) ++r.misplaced;
    d.Close(id);
    r.seconds = (end - (held ? released : t0)) / 1e6;
    r.rate = r.delivered / r.seconds;
    r.typingRate = codes / (typing / 1e6);
    return r;
}

void Burst(Driver& d, PerfHost& host, KeyTarget& w) {
    const int codes = 10000 / g_Scale;
    KeyboardSettings(d);
    const BurstRun live = RunBurst(d, host, w, codes, false);
    const BurstRun drain = RunBurst(d, host, w, codes, true);

    // The floor: the same typing with a bare CallNextHookEx hook and no driver.
    g_BareHook = ::SetWindowsHookExW(WH_GETMESSAGE, &BareHook, nullptr, ::GetCurrentThreadId());
    if (!g_BareHook) Fail("SetWindowsHookExW", ::GetLastError());
    const double bareRate = codes / (TypeCodes(w, codes) / 1e6);
    ::UnhookWindowsHookEx(g_BareHook);

    const auto lost = [&](const BurstRun& r) {
        return Format("%.0f delivered, %.0f out of order", r.delivered, r.misplaced) + (r.all ? "" : " (gave up)");
    };
    g_Rows.push_back({"5 burst (" + std::to_string(codes) + " keyboard codes)",
                      Format("%.2f s, %.0f codes/s, ", live.seconds, live.rate) + lost(live),
                      Format("bare hook loop %.0f codes/s", bareRate), Format("x%.2f", live.rate / bareRate)});
    g_Rows.push_back({"5b queued burst delivered (" + std::to_string(codes) + ")",
                      Format("%.3f s, %.0f codes/s, ", drain.seconds, drain.rate) + lost(drain), "-", "-"});
    Machine("burst", Format("codes=%.0f delivered=%.0f misplaced=%.0f", codes, live.delivered, live.misplaced) +
                         Format(" seconds=%.3f codes_per_s=%.1f typing_codes_per_s=%.1f", live.seconds, live.rate,
                                live.typingRate) +
                         Format(" floor_codes_per_s=%.1f", bareRate));
    Machine("burst_drain", Format("codes=%.0f delivered=%.0f misplaced=%.0f", codes, drain.delivered, drain.misplaced) +
                               Format(" seconds=%.4f codes_per_s=%.1f typing_codes_per_s=%.1f", drain.seconds,
                                      drain.rate, drain.typingRate));
}

}  // namespace

int main(int argc, char** argv) {
    std::string only = "12345";  // the figures to run
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") g_Scale = 10;
        else if (arg == "--only" && i + 1 < argc) only = argv[++i];
        else Fail("usage: VeltraPerf [--quick] [--only FIGURES, e.g. 15]");
    }
    const auto wanted = [&](char figure) { return only.find(figure) != std::string::npos; };
    const substitute::ComApartment com;
    if (FAILED(com.result())) Fail("CoInitializeEx", com.result());
    RegisterDriver();
    {
        PerfHost host;
        KeyTarget window;
        if (!window.Ready()) Fail("CreateWindowExW", ::GetLastError());
        {
            Driver d(host);
            if (wanted('1')) KeyboardLatency(d, host, window);
            if (wanted('2')) SerialLatency(d, host);
            if (wanted('3')) HookCost(d, window);
            if (wanted('4')) IdleCost(d);
            if (wanted('5')) Burst(d, host, window);
        }
        std::printf("\nVeltraPerf %s%s\n", kArch, g_Scale > 1 ? " (quick: a tenth of every count)" : "");
        std::printf("| %-38s | %-62s | %-44s | %-10s |\n", "figure", "measured", "floor", "ratio");
        std::printf("|%s|%s|%s|%s|\n", std::string(40, '-').c_str(), std::string(64, '-').c_str(),
                    std::string(46, '-').c_str(), std::string(12, '-').c_str());
        for (const Row& r : g_Rows)
            std::printf("| %-38s | %-62s | %-44s | %-10s |\n", r.figure.c_str(), r.measured.c_str(), r.floor.c_str(),
                        r.ratio.c_str());
    }
    return 0;
}
