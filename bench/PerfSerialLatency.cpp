// Figure 2 serial latency.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "Perf.h"
#include "core/common/Text.h"
#include "core/common/Win32Owners.h"

namespace veltra::perf {

namespace {

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

}  // namespace

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

}  // namespace veltra::perf
