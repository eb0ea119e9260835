#include "core/capture/EvdevKeyboard.h"

#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>
#include <vector>

#include "core/capture/SerialDecode.h"
#include "core/common/Messages.h"
#include "core/common/Text.h"

// What libevdev's default logger writes to, in the copy of its archive that
// is linked here (cmake/Native.cmake).
extern "C" {
FILE* veltra_libevdev_stderr = stderr;
}

namespace veltra {
namespace {

// The identifiers handed out for input devices, one per connection: far
// above any descriptor number, which the serial ports use, so that Close
// never takes one kind for the other.
constexpr int32_t kFirstInputDeviceId = 0x40000000;
int32_t g_LastInputDeviceId = kFirstInputDeviceId;

// A hexadecimal number from a sysfs attribute file, or -1.
long ReadHexFile(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text)) return -1;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 16);
    return *end == '\0' ? value : -1;
}

int IsEventNode(const dirent* entry) { return std::strncmp(entry->d_name, "event", 5) == 0 ? 1 : 0; }

// The numbers N of /dev/input/eventN, in order. (scandir rather than
// std::filesystem, whose calls of stat need a newer C library than 2.17.)
std::vector<int> EventNumbers() {
    std::vector<int> numbers;
    dirent** entries = nullptr;
    const int count = ::scandir("/sys/class/input", &entries, &IsEventNode, nullptr);
    for (int i = 0; i < count; ++i) {
        const std::u16string digits = FromUtf8(entries[i]->d_name + 5);
        const std::optional<int32_t> n = ParseDecimalI32(digits);
        if (n && DecimalText(*n) == digits) numbers.push_back(*n);
        std::free(entries[i]);
    }
    std::free(entries);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

uint64_t EventMs(const input_event& e) {
    return static_cast<uint64_t>(e.input_event_sec) * 1000 + static_cast<uint64_t>(e.input_event_usec) / 1000;
}

}  // namespace

std::string InputDevicePath(const std::u16string& portText) {
    if (portText.compare(0, 11, u"/dev/input/") == 0) return ToUtf8(portText);
    if (portText.size() != 13 || portText.compare(0, 4, u"usb:") != 0) return {};
    const std::string text = ToUtf8(portText);
    const long vendor = std::strtol(text.substr(4, 4).c_str(), nullptr, 16);
    const long product = std::strtol(text.substr(9, 4).c_str(), nullptr, 16);
    for (int n : EventNumbers()) {
        const std::string id = "/sys/class/input/event" + std::to_string(n) + "/device/id/";
        if (ReadHexFile(id + "vendor") == vendor && ReadHexFile(id + "product") == product)
            return "/dev/input/event" + std::to_string(n);
    }
    return {};
}

InputDevice::InputDevice(const std::u16string& portText) {
    const std::string path = InputDevicePath(portText);
    if (path.empty()) Raise(Msg::InputDeviceNotFound);
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        if (errno == EACCES || errno == EPERM) Raise(Msg::InputDeviceNoPermission);
        if (errno == ENOENT || errno == ENODEV || errno == ENXIO) Raise(Msg::InputDeviceNotFound);
        Raise(Msg::InputDeviceFailed);
    }
    // Key times on the monotonic clock: the time limit must not follow a
    // change of the time of day.
    const int rc = libevdev_new_from_fd(fd_, &device_);
    if (rc != 0 || libevdev_set_clock_id(device_, CLOCK_MONOTONIC) != 0) {
        Release();
        Raise(Msg::InputDeviceFailed);
    }
    const int grabbed = libevdev_grab(device_, LIBEVDEV_GRAB);
    if (grabbed != 0) {
        Release();
        Raise(grabbed == -EBUSY ? Msg::InputDeviceBusy : Msg::InputDeviceFailed);
    }
}

// Closing the descriptor releases the grab.
void InputDevice::Release() noexcept {
    if (device_) libevdev_free(device_);
    device_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

EvdevKeyboard::~EvdevKeyboard() {
    Remove();
    if (cancelRead_ >= 0) ::close(cancelRead_);
    if (cancelWrite_ >= 0) ::close(cancelWrite_);
}

bool EvdevKeyboard::Install(CodeQueues& queues, const StoredSettings& settings) {
    Remove();
    if (!IsInputDeviceText(settings.port)) Raise(Msg::OpenKeyboardUnavailable);
    if (cancelRead_ < 0) {
        int ends[2] = {-1, -1};
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) Raise(Msg::InputDeviceFailed);
        cancelRead_ = ends[0];
        cancelWrite_ = ends[1];
    }
    char drained[64];
    while (::read(cancelRead_, drained, sizeof drained) > 0) {
    }

    device_ = std::make_unique<InputDevice>(settings.port);
    queues_ = &queues;
    portText_ = settings.port;
    config_ = MakeKeyFramerConfig(settings.prefix, settings.suffix, settings.timeLimitMs);
    config_.startAtAnyKey = true;  // the device is named: no prefix is needed
    libevdev* dev = device_->Device();
    decoder_.Start(libevdev_has_event_code(dev, EV_LED, LED_CAPSL) && libevdev_get_event_value(dev, EV_LED, LED_CAPSL));
    try {
        worker_.Start([this] { return Run(); });
    } catch (const std::system_error&) {
        device_.reset();
        Raise(Msg::HookFailure);
    }
    deviceId_ = ++g_LastInputDeviceId;
    return true;
}

void EvdevKeyboard::Remove() noexcept {
    worker_.Stop([this] {
        const char signal = 1;
        while (::write(cancelWrite_, &signal, 1) < 0 && errno == EINTR) {
        }
    });
    device_.reset();
}

// Waits for a cancel for up to timeoutMs (-1: without end); true when one came.
bool EvdevKeyboard::WaitForCancel(int timeoutMs) const {
    pollfd cancel{cancelRead_, POLLIN, 0};
    return ::poll(&cancel, 1, timeoutMs) > 0;
}

// Reads what the device has; false when it is gone.
bool EvdevKeyboard::ReadEvents() {
    libevdev* dev = device_->Device();
    const IsKeyDown isDown = [dev](uint16_t code) { return libevdev_get_event_value(dev, EV_KEY, code) != 0; };
    for (;;) {
        input_event e{};
        int rc = libevdev_next_event(dev, LIBEVDEV_READ_FLAG_NORMAL, &e);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // Events were lost (SYN_DROPPED): libevdev brings its key states
            // up to the device's; the code being typed lost keys, so it is
            // dropped, not finished with the wrong text.
            Trace(u"Потеряны события устройства ввода");
            do {
                rc = libevdev_next_event(dev, LIBEVDEV_READ_FLAG_SYNC, &e);
            } while (rc == LIBEVDEV_READ_STATUS_SYNC);
            decoder_.Start(libevdev_get_event_value(dev, EV_LED, LED_CAPSL) != 0);
            if (rc == -EAGAIN) continue;
        }
        if (rc == -EAGAIN) return true;
        if (rc != LIBEVDEV_READ_STATUS_SUCCESS) return false;
        if (e.type != EV_KEY) continue;
        std::optional<std::u16string> code =
            decoder_.OnKey({static_cast<uint16_t>(e.code), e.value}, isDown, EventMs(e), config_);
        if (code) queues_->Append(QueueId::Keyboard, QueueEntry::Code(std::move(*code)));
    }
}

bool EvdevKeyboard::Reopen() {
    while (!WaitForCancel(500)) {
        try {
            device_ = std::make_unique<InputDevice>(portText_);
            libevdev* dev = device_->Device();
            decoder_.Start(libevdev_get_event_value(dev, EV_LED, LED_CAPSL) != 0);
            Trace(u"Устройство ввода снова открыто");
            return true;
        } catch (const DriverError&) {
            // still away (or taken); the next attempt comes after the pause
        }
    }
    return false;
}

std::optional<std::u16string> EvdevKeyboard::Run() {
    try {
        for (;;) {
            pollfd fds[2] = {{device_->Fd(), POLLIN, 0}, {cancelRead_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents != 0 || worker_.StopRequest()) return std::nullopt;
            if (fds[0].revents == 0) continue;
            if (ReadEvents() && (fds[0].revents & (POLLHUP | POLLERR)) == 0) continue;
            Trace(u"Устройство ввода потеряно");
            queues_->Append(QueueId::Keyboard, QueueEntry::LineLost());
            device_.reset();
            if (!Reopen()) return std::nullopt;
        }
    } catch (...) {
    }
    g_ErrorText = Text(Msg::HookFailure);
    return g_ErrorText;
}

}  // namespace veltra
