// Figure 5 burst.
#include "Perf.h"
#include "core/common/Text.h"

namespace veltra::perf {

namespace {

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

}  // namespace

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

}  // namespace veltra::perf
