// The ports command: the serial ports of this machine, and on Linux its USB
// input devices (keyboard-wedge scanners), by the names the driver accepts
// for propComPortNumber.
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>
#endif

#include <string>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "core/common/Text.h"
#if defined(_WIN32)
#include "core/common/Win32Owners.h"
#endif

namespace veltra::bench {

#if defined(_WIN32)

void ShowPorts() {
    // The names the driver accepts. A port is there when it opens, or when it
    // is busy with another program; the system's device list alone misses
    // ports that Wine maps by a link.
    bool any = false;
    for (int n = 1; n <= 35; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        wchar_t target[MAX_PATH] = {};
        ::QueryDosDeviceW(name.c_str(), target, MAX_PATH);
        const std::wstring path = L"\\\\.\\" + name;
        const UniqueHandle port(
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const DWORD error = port ? 0 : ::GetLastError();
        std::u16string note;
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            note = Say(u"in use by another program", u"занят другой программой");
        else if (error != 0 && target[0])
            note = Say(u"cannot be opened: ", u"не открывается: ") + SystemMessage(HRESULT_FROM_WIN32(error));
        else if (error != 0) continue;
        any = true;
        std::u16string line = FromUtf16(name.c_str());
        if (target[0]) line += u"  " + FromUtf16(target);
        if (!note.empty()) line += u"  (" + note + u")";
        PrintLine(line);
    }
    if (!any) PrintLine(Say(u"no COM ports", u"COM-портов нет"));
}

#else

namespace {

// The USB serial devices and their stable links, sorted.
std::vector<std::filesystem::path> SerialDevices() {
    namespace fs = std::filesystem;
    std::vector<fs::path> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) found.push_back(entry.path());
    }
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev/serial/by-id", error))
        found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// Why a port that is there cannot be used now; "" when it can.
std::u16string PortNote(int error) {
    if (error == EACCES)
        return Say(u"no access: the user needs the group dialout", u"нет доступа: нужна группа dialout");
    if (error == EBUSY) return Say(u"in use by another program", u"занят другой программой");
    return u"";
}

std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The input devices that may be keyboard-wedge scanners: those on USB, each
// by its stable link (or its node), its name and its usb:VVVV:PPPP, the three
// forms the port setting takes.
bool ShowInputDevices() {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> links;
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev/input/by-id", error))
        links.push_back(entry.path());
    std::vector<std::pair<std::string, std::u16string>> lines;
    for (const fs::directory_entry& entry : fs::directory_iterator("/sys/class/input", error)) {
        const std::string event = entry.path().filename().string();
        const fs::path id = entry.path() / "device" / "id";
        if (event.rfind("event", 0) != 0 || FirstLine(id / "bustype") != "0003") continue;
        const fs::path node = "/dev/input/" + event;
        fs::path shown = node;
        for (const fs::path& link : links)
            if (fs::canonical(link, error) == node && !error) shown = link;
        std::u16string line = FromUtf8(shown.string()) + u"  \"" +
                              FromUtf8(FirstLine(entry.path() / "device" / "name")) + u"\"  usb:" +
                              FromUtf8(FirstLine(id / "vendor") + ":" + FirstLine(id / "product"));
        if (::access(node.c_str(), R_OK) != 0 && (errno == EACCES || errno == EPERM))
            line += Say(u"  (no access: see the udev rule shipped with the driver)",
                        u"  (нет доступа: см. правило udev из поставки драйвера)");
        lines.push_back({event, line});
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& line : lines) PrintLine(line.second);
    return !lines.empty();
}

}  // namespace

void ShowPorts() {
    // COMn is /dev/ttyS<n-1>: listed when the port opens (a device node
    // without a port behind it does not), or is there but busy or barred.
    bool any = false;
    for (int n = 1; n <= 35; ++n) {
        const std::string path = "/dev/ttyS" + std::to_string(n - 1);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        const int error = fd < 0 ? errno : 0;
        if (fd >= 0) ::close(fd);
        const std::u16string note = PortNote(error);
        if (error != 0 && note.empty()) continue;
        any = true;
        PrintLine(u"COM" + DecimalText(n) + u"  " + FromUtf8(path) + (note.empty() ? u"" : u"  (" + note + u")"));
    }
    for (const std::filesystem::path& device : SerialDevices()) {
        any = true;
        std::u16string line = FromUtf8(device.string());
        std::error_code error;
        const std::filesystem::path target = std::filesystem::canonical(device, error);
        if (!error && target != device) line += u"  -> " + FromUtf8(target.string());
        const std::u16string note = ::access(device.c_str(), R_OK | W_OK) == 0 ? u"" : PortNote(errno);
        if (!note.empty()) line += u"  (" + note + u")";
        PrintLine(line);
    }
    if (!any) PrintLine(Say(u"no serial ports", u"последовательных портов нет"));
    if (!ShowInputDevices()) PrintLine(Say(u"no USB input devices", u"USB-устройств ввода нет"));
}

#endif

}  // namespace veltra::bench
