// Figure 4 idle cost.
#include <cstdlib>

#include "Perf.h"

namespace veltra::perf {

namespace {

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

}  // namespace

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

}  // namespace veltra::perf
