// Figure 1 keyboard latency.
#include <deque>

#include "Perf.h"

namespace veltra::perf {

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

}  // namespace veltra::perf
