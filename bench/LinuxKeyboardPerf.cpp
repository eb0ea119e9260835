// VeltraLinuxKeyboardPerf: the Linux keyboard figure, inside the test VM
// (tests/vm/run.sh; the machine itself has no input devices). Key-to-event
// latency through the Native API face, as the substitute host holds the
// library, reading a uinput keyboard by its vendor and product; against it,
// in the same boot, a bare evdev read of the same device (grabbed, poll and
// read, as the driver reads). Under TCG the absolute figures mean little:
// the ratio is the figure. Prints one table and one machine-readable line
// ("PERF arch=... figure=keyboard_latency key=value ...").
//
//   VeltraLinuxKeyboardPerf LIBRARY [--quick]
//
// Each code is "~46070123" and Enter typed at once, without pauses; its
// latency runs from the write of the Enter key-down to the event's arrival
// at the host (the driver) or to the read of that key-down (the bare read).
#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "LinuxPerf.h"

namespace {

using namespace veltra;
using namespace veltra::perf;

constexpr char kName[] = "Veltra Perf Scanner";
const uint16_t kCode[] = {KEY_GRAVE, KEY_4, KEY_6, KEY_0, KEY_7, KEY_0, KEY_1, KEY_2, KEY_3};

// The scanner: a uinput keyboard, usb:05e0:1201.
struct Keyboard {
    int fd = -1;
    Keyboard() {
        fd = ::open("/dev/uinput", O_WRONLY | O_CLOEXEC);
        if (fd < 0) Fail("no /dev/uinput (run inside the test VM: tests/vm/run.sh)");
        ::ioctl(fd, UI_SET_EVBIT, EV_KEY);
        for (int code = 1; code < 128; ++code) ::ioctl(fd, UI_SET_KEYBIT, code);
        uinput_setup setup{};
        setup.id = {BUS_USB, 0x05e0, 0x1201, 1};
        std::strcpy(setup.name, kName);
        if (::ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ::ioctl(fd, UI_DEV_CREATE) != 0) Fail("uinput refused");
    }
    ~Keyboard() {
        ::ioctl(fd, UI_DEV_DESTROY);
        ::close(fd);
    }
    void Key(uint16_t code, int value) const {
        input_event e[2] = {};
        e[0].type = EV_KEY;
        e[0].code = code;
        e[0].value = value;
        e[1].type = EV_SYN;
        e[1].code = SYN_REPORT;
        if (::write(fd, e, sizeof e) != sizeof e) Fail("writing a key");
    }
    // Types one code; returns the time of the Enter key-down.
    Clock::time_point Type() const {
        for (uint16_t code : kCode) {
            Key(code, 1);
            Key(code, 0);
        }
        // Before the write: the reader may have the key before write returns.
        const Clock::time_point at = Clock::now();
        Key(KEY_ENTER, 1);
        Key(KEY_ENTER, 0);
        return at;
    }
};

std::string Node() {
    DIR* dir = ::opendir("/sys/class/input");
    std::string found;
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        std::ifstream name(std::string("/sys/class/input/") + entry->d_name + "/device/name");
        std::string line;
        if (std::strncmp(entry->d_name, "event", 5) == 0 && std::getline(name, line) && line == kName)
            found = std::string("/dev/input/") + entry->d_name;
    }
    if (dir) ::closedir(dir);
    return found;
}

void Pause(int i) { std::this_thread::sleep_for(std::chrono::milliseconds(2 + i % 7)); }

std::vector<double> DriverLatencies(const char* library, const Keyboard& keyboard, int codes) {
    return perf::DriverLatencies(
        library,
        {{u"propComPortNumber", u"usb:05e0:1201"},
         {u"propPrefix", u"~"},
         {u"propSuffix", u"Enter"},
         {u"propTimeOut", u"5000"}},
        codes, Pause, [&] { return keyboard.Type(); }, std::chrono::seconds(10));
}

// The bare read: a thread of its own, as the driver's, that notes when each
// Enter key-down is in hand.
std::vector<double> BareLatencies(const Keyboard& keyboard, int codes) {
    const int fd = ::open(Node().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::ioctl(fd, EVIOCGRAB, 1) != 0) Fail("cannot open and grab the keyboard");
    std::atomic<long long> arrived{0};
    std::atomic<int> enters{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            pollfd watched{fd, POLLIN, 0};
            if (::poll(&watched, 1, 100) <= 0) continue;
            input_event e[64];
            const ssize_t n = ::read(fd, e, sizeof e);
            for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof e[0]); ++i)
                if (e[i].type == EV_KEY && e[i].code == KEY_ENTER && e[i].value == 1) {
                    arrived = Clock::now().time_since_epoch().count();
                    ++enters;
                }
        }
    });
    std::vector<double> latencies;
    for (int i = 0; i < codes; ++i) {
        Pause(i);
        const Clock::time_point typed = keyboard.Type();
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (enters.load() <= i && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (enters.load() <= i) Fail("the bare read lost a code");
        latencies.push_back(Us(typed, Clock::time_point(Clock::duration(arrived.load()))));
    }
    stop = true;
    reader.join();
    ::close(fd);
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    g_Program = "VeltraLinuxKeyboardPerf";
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: VeltraLinuxKeyboardPerf LIBRARY [--quick]\n");
        return 2;
    }
    const bool quick = argc > 2 && std::strcmp(argv[2], "--quick") == 0;
    const int codes = quick ? 20 : 200;
    const Keyboard keyboard;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the node appears
    const std::vector<double> driver = DriverLatencies(argv[1], keyboard, codes);
    const std::vector<double> bare = BareLatencies(keyboard, codes);

    const double p50 = Percentile(driver, 0.5), p99 = Percentile(driver, 0.99);
    const double b50 = Percentile(bare, 0.5), b99 = Percentile(bare, 0.99);
    std::printf("%-44s %s\n", ("key latency, Native API (" + std::to_string(codes) + " codes, TCG)").c_str(),
                Format("p50 %.3f  p99 %.3f ms", p50 / 1000, p99 / 1000).c_str());
    std::printf("%-44s %s\n", "bare evdev read of the same keys",
                Format("p50 %.3f  p99 %.3f ms", b50 / 1000, b99 / 1000).c_str());
    std::printf("%-44s %s\n", "driver over the bare read",
                Format("p50 x%.2f  p99 x%.2f", p50 / b50, p99 / b99).c_str());
    std::printf("PERF arch=%s figure=keyboard_latency codes=%d p50_us=%.1f p99_us=%.1f", kArch, codes, p50, p99);
    std::printf(" floor_p50_us=%.1f floor_p99_us=%.1f\n", b50, b99);
    return 0;
}
