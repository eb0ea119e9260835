// Keyboard mode on Linux: the scanner's own input device, taken for the whole
// connection (EVIOCGRAB, so its keys reach no other program) and read through
// libevdev by a thread of its own; its key codes become characters by the
// driver's own table (InputKeyDecoder), whatever layout the user has chosen.
// Built in the native (Linux) trees only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/capture/InputKeyDecoder.h"
#include "core/capture/KeyboardHook.h"
#include "core/capture/WorkerThread.h"

struct libevdev;

namespace veltra {

// One input device, opened and grabbed; closed (and so released) when
// destroyed.
class InputDevice {
public:
    // Opens what the port text names (see InputDevicePath) and grabs it.
    // Raises the class-2 message of the cause: InputDeviceNotFound,
    // InputDeviceNoPermission, InputDeviceBusy (another grab holds it), or
    // InputDeviceFailed (no input device, or out of resources).
    explicit InputDevice(const std::u16string& portText);
    ~InputDevice() { Release(); }
    InputDevice(const InputDevice&) = delete;
    InputDevice& operator=(const InputDevice&) = delete;

    int Fd() const noexcept { return fd_; }
    libevdev* Device() const noexcept { return device_; }

private:
    void Release() noexcept;

    int fd_ = -1;
    libevdev* device_ = nullptr;
};

// The device node a port text names: a /dev/input/ path as it is (a by-id
// link too); for usb:VVVV:PPPP the first /dev/input/eventN, in number order,
// whose device has that vendor and product. Empty when none does.
std::string InputDevicePath(const std::u16string& portText);

class EvdevKeyboard final : public KeyboardHook {
public:
    EvdevKeyboard() = default;
    ~EvdevKeyboard() override;
    EvdevKeyboard(const EvdevKeyboard&) = delete;
    EvdevKeyboard& operator=(const EvdevKeyboard&) = delete;

    // Opens and grabs the device settings.port names and starts reading it;
    // the frame settings are taken as they stand now, for the whole
    // connection (the reader never reads the host's settings while the host
    // may write them). A port text of no input device ("USB") raises
    // OpenKeyboardUnavailable: this driver never takes a keyboard the user
    // did not name. Other failures raise the class-2 message of the cause.
    //
    // When the device goes away the reader queues a lost-line entry once and
    // then opens the same port text again about every half second; once it
    // is back, codes flow again under the same identifier.
    bool Install(CodeQueues& queues, const StoredSettings& settings) override;

    // Stops the reader at once (a pending read is cancelled) and closes the
    // device, which releases the grab.
    void Remove() noexcept override;

    int32_t DeviceId() const noexcept override { return deviceId_; }

private:
    std::optional<std::u16string> Run();
    bool ReadEvents();
    bool WaitForCancel(int timeoutMs) const;
    bool Reopen();

    CodeQueues* queues_ = nullptr;
    std::u16string portText_;
    KeyFramerConfig config_;
    std::unique_ptr<InputDevice> device_;
    InputKeyDecoder decoder_;
    WorkerThread worker_;
    int cancelRead_ = -1;
    int cancelWrite_ = -1;
    int32_t deviceId_ = 0;
};

}  // namespace veltra
