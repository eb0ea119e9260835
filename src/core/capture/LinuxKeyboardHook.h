// Keyboard mode on Linux: not there yet (keyboard-wedge scanners are to be
// read through the input layer later), so connecting in that mode answers
// with its own class-2 message instead of the generic hook failure.
#pragma once

#include "core/capture/KeyboardHook.h"
#include "core/common/Messages.h"

namespace veltra {

class LinuxKeyboardHook final : public KeyboardHook {
public:
    bool Install(CodeQueues&, const StoredSettings&) override { Raise(Msg::OpenKeyboardUnavailable); }
    void Remove() noexcept override {}
    int32_t DeviceId() const noexcept override { return 0; }
};

}  // namespace veltra
