// Keyboard mode of the Native API library on Linux against a real input
// device: a uinput keyboard, typed on by a separate process, in the kernel of
// the test VM (tests/vm/run.sh boots it; the machine itself has no input
// devices). The driver is held through the substitute host, as the platform
// holds it.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "FaceUnderTest.h"
#include "core/common/Text.h"

namespace veltra::test {
namespace {

using namespace std::chrono_literals;

constexpr uint16_t kVendor = 0x05e0, kProduct = 0x1200;
constexpr char kDeviceName[] = "Veltra Test Scanner";
constexpr auto kWait = 10s;  // TCG is slow; waits end as soon as their condition holds

struct Key {
    uint16_t code;
    int32_t value;
};
using Keys = std::vector<Key>;

Keys Tap(std::initializer_list<uint16_t> codes) {
    Keys out;
    for (uint16_t c : codes) out.insert(out.end(), {{c, 1}, {c, 0}});
    return out;
}
Keys With(uint16_t held, const Keys& inner) {
    Keys out{{held, 1}};
    out.insert(out.end(), inner.begin(), inner.end());
    out.push_back({held, 0});
    return out;
}
Keys Join(std::initializer_list<Keys> parts) {
    Keys out;
    for (const Keys& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
const Keys kPrefix = Tap({KEY_GRAVE});
const Keys kSuffix = Tap({KEY_ENTER});
const Keys kGs = With(KEY_LEFTALT, Tap({KEY_KP0, KEY_KP0, KEY_KP2, KEY_KP9}));

// The typist: a process of its own that makes the uinput keyboard, types on
// it and unplugs it, on command. Forked before any test starts a thread.
class Typist {
public:
    enum Command : int32_t { kType, kPlug, kUnplug, kQuit };

    void Start() {
        int toChild[2], toParent[2];
        if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) std::abort();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            ::_exit(Serve(toChild[0], toParent[1]));
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        commands_ = toChild[1];
        acks_ = toParent[0];
    }
    void Stop() {
        if (pid_ <= 0) return;
        Send(kQuit, {});
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Returns once the child has done it.
    bool Send(Command command, const Keys& keys) {
        const int32_t head[2] = {command, static_cast<int32_t>(keys.size())};
        char ack = 0;
        return WriteAll(commands_, head, sizeof head) && WriteAll(commands_, keys.data(), keys.size() * sizeof(Key)) &&
               ::read(acks_, &ack, 1) == 1 && ack == 1;
    }

private:
    static bool WriteAll(int fd, const void* data, size_t size) {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd, p, size);
            if (n <= 0) return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    static bool ReadAll(int fd, void* data, size_t size) {
        char* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::read(fd, p, size);
            if (n <= 0) return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    static void Emit(int fd, uint16_t type, uint16_t code, int32_t value) {
        input_event e{};
        e.type = type;
        e.code = code;
        e.value = value;
        if (::write(fd, &e, sizeof e) != sizeof e) std::abort();
    }
    static int Plug() {
        const int fd = ::open("/dev/uinput", O_WRONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        ::ioctl(fd, UI_SET_EVBIT, EV_KEY);
        for (int code = 1; code < 128; ++code) ::ioctl(fd, UI_SET_KEYBIT, code);
        uinput_setup setup{};
        setup.id = {BUS_USB, kVendor, kProduct, 1};
        std::strcpy(setup.name, kDeviceName);
        if (::ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ::ioctl(fd, UI_DEV_CREATE) != 0) return -1;
        return fd;
    }
    static int Serve(int commands, int acks) {
        int device = -1;
        for (;;) {
            int32_t head[2];
            if (!ReadAll(commands, head, sizeof head)) return 1;
            Keys keys(static_cast<size_t>(head[1]));
            if (!ReadAll(commands, keys.data(), keys.size() * sizeof(Key))) return 1;
            switch (head[0]) {
            case kPlug: device = Plug(); break;
            case kUnplug:
                ::ioctl(device, UI_DEV_DESTROY);
                ::close(device);
                device = -1;
                break;
            case kQuit: return 0;
            default:
                // A key at a time, as a scanner types: the reader keeps up.
                for (const Key& k : keys) {
                    Emit(device, EV_KEY, k.code, k.value);
                    Emit(device, EV_SYN, SYN_REPORT, 0);
                    ::usleep(1000);
                }
            }
            const char ack = device >= 0 || head[0] == kUnplug ? 1 : 0;
            if (::write(acks, &ack, 1) != 1) return 1;
        }
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    int acks_ = -1;
};

Typist g_Typist;

// The node of the test keyboard, found by its name (event0 is the VM's own
// keyboard); empty while it is unplugged.
std::string TestDeviceNode() {
    DIR* dir = ::opendir("/sys/class/input");
    std::string found;
    while (dir && found.empty()) {
        const dirent* entry = ::readdir(dir);
        if (!entry) break;
        if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
        std::ifstream name(std::string("/sys/class/input/") + entry->d_name + "/device/name");
        std::string line;
        if (std::getline(name, line) && line == kDeviceName) found = std::string("/dev/input/") + entry->d_name;
    }
    if (dir) ::closedir(dir);
    return found;
}

// Another program's reader of the same device.
class OtherReader {
public:
    OtherReader() : fd_(::open(TestDeviceNode().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~OtherReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Open() const { return fd_ >= 0; }
    // Key events that reached it within `wait`.
    int KeysSeen(std::chrono::milliseconds wait) const {
        int keys = 0;
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, static_cast<int>(wait.count())) > 0) {
            input_event e{};
            while (::read(fd_, &e, sizeof e) == sizeof e) keys += e.type == EV_KEY ? 1 : 0;
            wait = 100ms;
        }
        return keys;
    }
    int Grab() const { return ::ioctl(fd_, EVIOCGRAB, 1) == 0 ? 0 : errno; }

private:
    int fd_;
};

class InputDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(TestDeviceNode().empty()) << "the typist's keyboard is not there";
        face = MakeNativeFace();
        ASSERT_TRUE(face->Init());
        face->SetLocale(u"en_US");
        for (const auto& [name, value] : {std::pair<const char16_t*, const char16_t*>{u"propComPortNumber", kPort},
                                          {u"propPrefix", u"~"},
                                          {u"propSuffix", u"Enter"},
                                          {u"propTimeOut", u"5000"}})
            ASSERT_EQ(face->SetParameter(name, value), 1) << ToUtf8(name);
    }
    void TearDown() override {
        face->Done();
        EXPECT_EQ(face->End(), "");
    }
    std::u16string Open() {
        const Answer opened = face->Call(u"Open", 1);
        EXPECT_EQ(opened.result.text, u"1") << ToUtf8(face->LastError().second);
        return opened.params.at(0).text;
    }
    // Types the rows one after another and expects one event each.
    void ExpectCodes(const std::u16string& device, const std::vector<std::pair<Keys, std::u16string>>& rows) {
        const size_t before = face->Events().size();
        for (const auto& row : rows) ASSERT_TRUE(g_Typist.Send(Typist::kType, row.first));
        ASSERT_TRUE(face->WaitForEvents(before + rows.size(), kWait));
        const std::vector<HostEvent> events = face->Events();
        for (size_t i = 0; i < rows.size(); ++i) {
            const HostEvent& e = events.at(before + i);
            EXPECT_EQ(ToUtf8(e.name + u" " + e.source + u" " + e.data),
                      ToUtf8(u"Barcode " + device + u" " + rows[i].second));
        }
    }
    std::unique_ptr<Face> face;

public:
    static constexpr const char16_t* kPort = u"usb:05e0:1200";
};

TEST_F(InputDevice, Codes_AreTypedKeysByTheDriversOwnTable) {
    const std::u16string device = Open();
    const std::u16string gs(1, u'\x1D');
    ExpectCodes(
        device,
        {
            {Join({kPrefix, Tap({KEY_4, KEY_6, KEY_0, KEY_7}), kSuffix}), u"4607"},
            {Join({kPrefix, With(KEY_LEFTSHIFT, Tap({KEY_A, KEY_1})), Tap({KEY_B}), kSuffix}), u"A!b"},
            // Caps Lock turned on by the scanner: the case is still Shift's.
            {Join({kPrefix, Tap({KEY_CAPSLOCK, KEY_A}), With(KEY_LEFTSHIFT, Tap({KEY_B})), Tap({KEY_CAPSLOCK}),
                   kSuffix}),
             u"aB"},
            {Join({kPrefix, Tap({KEY_0, KEY_1}), kGs, Tap({KEY_9, KEY_1}), kSuffix}), u"01" + gs + u"91"},
            {Join({kPrefix, Tap({KEY_0, KEY_1}), With(KEY_LEFTCTRL, Tap({KEY_RIGHTBRACE})), Tap({KEY_9}), kSuffix}),
             u"01" + gs + u"9"},
            // A marking code: GTIN, serial with symbols, GS, check key.
            {Join({kPrefix, Tap({KEY_0, KEY_1, KEY_0, KEY_4, KEY_6, KEY_0, KEY_7, KEY_2, KEY_1}),
                   With(KEY_LEFTSHIFT, Tap({KEY_5, KEY_APOSTROPHE, KEY_X})), Tap({KEY_DOT, KEY_SLASH}), kGs,
                   Tap({KEY_9, KEY_3, KEY_A, KEY_B}), kSuffix}),
             u"0104607"
             u"21%\"X./" +
                 gs + u"93ab"},
        });
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(device)}).result.text, u"1");
}

TEST_F(InputDevice, IsTakenForTheConnection_AndReleasedAtClose) {
    OtherReader other;
    ASSERT_TRUE(other.Open());
    const std::u16string device = Open();
    ExpectCodes(device, {{Join({kPrefix, Tap({KEY_1}), kSuffix}), u"1"}});
    EXPECT_EQ(other.KeysSeen(200ms), 0) << "keys reached another reader during the connection";
    EXPECT_EQ(other.Grab(), EBUSY);
    const std::u16string busy =
        u"Error when connecting scanners, the input device is taken by another program or object.";
    {  // another object of the same process
        std::unique_ptr<Face> second = MakeNativeFace();
        ASSERT_TRUE(second->Init());
        second->SetLocale(u"en_US");
        ASSERT_EQ(second->SetParameter(u"propComPortNumber", kPort), 1);
        EXPECT_EQ(second->Call(u"Open", 1).result.text, u"0");
        EXPECT_EQ(second->LastError(), std::make_pair(2L, busy));
        second->Done();
    }
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(device)}).result.text, u"1");
    ASSERT_TRUE(g_Typist.Send(Typist::kType, Tap({KEY_2})));
    EXPECT_EQ(other.KeysSeen(kWait), 2) << "the device is still held after Close";

    // Held by another program: Open says so.
    ASSERT_EQ(other.Grab(), 0);
    EXPECT_EQ(face->Call(u"Open", 1).result.text, u"0");
    EXPECT_EQ(face->LastError(), std::make_pair(2L, busy));
}

TEST_F(InputDevice, Unplugged_IsToldOnce_AndCodesComeBackOnTheSameIdentifier) {
    const std::u16string device = Open();
    ASSERT_TRUE(g_Typist.Send(Typist::kUnplug, {}));
    ASSERT_TRUE(face->WaitForEvents(1, kWait));
    ASSERT_TRUE(g_Typist.Send(Typist::kPlug, {}));
    // Back once the driver holds it again.
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (OtherReader().Grab() != EBUSY && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ExpectCodes(device, {{Join({kPrefix, Tap({KEY_7}), kSuffix}), u"7"}});
    const std::vector<HostEvent> events = face->Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(
        ToUtf8(events[0].name + u" " + events[0].source + u" " + events[0].data),
        ToUtf8(u"DriverError " + device + u" An error occurred while reading the scanner's input device: it is gone."));
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(device)}).result.text, u"1");
}

// Root may open anything: the refusal is seen by a process that gave up root.
TEST_F(InputDevice, Forbidden_GivesTheClearError) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        const bool refused = face->Call(u"Open", 1).result.text == u"0" &&
                             face->LastError().second.find(u"permission denied") != std::u16string::npos;
        ::_exit(refused ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace veltra::test

namespace veltra::test {
namespace {

bool TypeOnTestKeyboard(const std::vector<std::pair<uint16_t, int32_t>>& keys) {
    Keys typed;
    for (const auto& [code, value] : keys) typed.push_back({code, value});
    return g_Typist.Send(Typist::kType, typed);
}

}  // namespace
}  // namespace veltra::test

// The behaviour tables' keyboard rows (tests/faces/BehaviourTest.cpp, built
// in too) type on the same keyboard.
int main(int argc, char** argv) {
    using namespace veltra::test;
    g_Typist.Start();
    if (!g_Typist.Send(Typist::kPlug, {})) {
        std::fprintf(stderr, "no uinput keyboard could be made\n");
        return 1;
    }
    static const TestInputDevice device{InputDevice::kPort, &TypeOnTestKeyboard};
    g_TestInputDevice = &device;
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    g_Typist.Stop();
    return result;
}
