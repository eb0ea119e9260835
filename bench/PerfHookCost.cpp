// Figure 3 hook cost.
#include "Perf.h"

namespace veltra::perf {

namespace {

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

}  // namespace

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

}  // namespace veltra::perf
