// VeltraLinuxPerf: the Linux serial figure. Scan-to-event through the Native
// API face, as the substitute host (tools/host/native) holds the library, on
// a pseudo-terminal; against it, in the same run, a bare termios read of the
// same bytes from the same terminal. Prints one table and one
// machine-readable line ("PERF arch=... figure=serial_latency key=value ...").
//
//   VeltraLinuxPerf LIBRARY [--quick]
//
// Each code is "4607012345678\r\n" written at once; its latency runs from the
// write of its last byte to the event's arrival at the host (the driver) or
// to the end of the burst (the bare read: a poll and read loop that, as the
// driver, ends a burst after 50 ms of silence). The bare read without that
// wait (the bytes in hand) is shown too. --quick runs a tenth of the codes.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LinuxPerf.h"

namespace {

using namespace veltra;
using namespace veltra::perf;

constexpr int kBurstGapMs = 50;  // the driver's silence that ends a burst
const std::string kCode = "4607012345678\r\n";

// A pseudo-terminal: the driver (or the bare reader) opens the terminal end
// by name; the bench writes the scanner's bytes to the other.
struct Line {
    int feed = -1;
    int terminal = -1;  // kept open, so that the line stays up between openings
    std::string name;
    Line() {
        char path[256] = {};
        if (::openpty(&feed, &terminal, path, nullptr, nullptr) != 0) Fail("no pseudo-terminal");
        termios raw{};
        ::tcgetattr(feed, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(feed, TCSANOW, &raw);
        name = path;
    }
    ~Line() {
        ::close(feed);
        ::close(terminal);
    }
    Clock::time_point Write() const {
        if (::write(feed, kCode.data(), kCode.size()) != static_cast<ssize_t>(kCode.size())) Fail("writing the line");
        return Clock::now();
    }
};

void Pause(int i) { std::this_thread::sleep_for(std::chrono::milliseconds(i % 11)); }

// The driver: each code, from its write to the event the host receives.
std::vector<double> DriverLatencies(const char* library, const Line& line, int codes) {
    return perf::DriverLatencies(
        library,
        {{u"propComPortNumber", FromUtf8(line.name)},
         {u"propSpeed", u"9600"},
         {u"propDataBit", u"8"},
         {u"propStopBits", u"1 stop bits"},
         {u"propParity", u"No"}},
        codes, Pause, [&] { return line.Write(); }, std::chrono::seconds(5));
}

// The bare read: the terminal opened and set raw as the driver sets it, and
// read as it reads (poll, then read what is there). Gives, per code, the
// time to the bytes in hand and to the end of the burst.
void BareLatencies(const Line& line, int codes, std::vector<double>& inHand, std::vector<double>& burst) {
    const int fd = ::open(line.name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) Fail("cannot open " + line.name);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &raw);
    ::tcflush(fd, TCIFLUSH);
    for (int i = 0; i < codes; ++i) {
        Pause(i);
        const Clock::time_point written = line.Write();
        char buffer[256];
        size_t got = 0;
        Clock::time_point last{};
        for (;;) {
            pollfd watched{fd, POLLIN, 0};
            const int ready = ::poll(&watched, 1, got < kCode.size() ? 5000 : kBurstGapMs);
            if (ready == 0 && got >= kCode.size()) break;  // the silence after the burst
            if (ready <= 0) Fail("the bare read lost a code");
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) continue;
            got += static_cast<size_t>(n);
            last = Clock::now();
        }
        inHand.push_back(Us(written, last));
        burst.push_back(Us(written, Clock::now()));
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    g_Program = "VeltraLinuxPerf";
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: VeltraLinuxPerf LIBRARY [--quick]\n");
        return 2;
    }
    const bool quick = argc > 2 && std::strcmp(argv[2], "--quick") == 0;
    const int codes = quick ? 20 : 200;
    const Line line;
    const std::vector<double> driver = DriverLatencies(argv[1], line, codes);
    std::vector<double> inHand, burst;
    BareLatencies(line, codes, inHand, burst);

    const double p50 = Percentile(driver, 0.5), p99 = Percentile(driver, 0.99);
    const double b50 = Percentile(burst, 0.5), b99 = Percentile(burst, 0.99);
    const double h50 = Percentile(inHand, 0.5), h99 = Percentile(inHand, 0.99);
    std::printf("%-44s %s\n", ("serial latency, Native API (" + std::to_string(codes) + " codes)").c_str(),
                Format("p50 %.2f  p99 %.2f ms", p50 / 1000, p99 / 1000).c_str());
    std::printf("%-44s %s\n", "bare termios read, to the burst's end",
                Format("p50 %.2f  p99 %.2f ms", b50 / 1000, b99 / 1000).c_str());
    std::printf("%-44s %s\n", "bare termios read, the bytes in hand",
                Format("p50 %.3f  p99 %.3f ms", h50 / 1000, h99 / 1000).c_str());
    std::printf("%-44s %s\n", "driver over the bare read",
                Format("p50 x%.3f  p99 x%.3f", p50 / b50, p99 / b99).c_str());
    std::printf("PERF arch=%s figure=serial_latency codes=%d p50_us=%.1f p99_us=%.1f", kArch, codes, p50, p99);
    std::printf(" floor_p50_us=%.1f floor_p99_us=%.1f bytes_p50_us=%.1f bytes_p99_us=%.1f\n", b50, b99, h50, h99);
    return 0;
}
