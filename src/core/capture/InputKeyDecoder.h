// Keyboard-wedge framing on Linux: the key events of the scanner's own input
// device (linux/input-event-codes.h codes) turned into the key-downs and
// characters the Windows hook sees, by the driver's own US table, and framed
// by the same KeyFramer. The keyboard layout the user has chosen never
// touches a code. Plain logic over plain values; the device reader feeds it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/capture/KeyFramer.h"

namespace veltra {

// One EV_KEY event: value 1 a press, 0 a release, 2 a repeat.
struct InputKeyEvent {
    uint16_t code = 0;
    int32_t value = 0;
};

// Whether a key is held, as the device's own key states say after the event
// at hand (libevdev keeps them, resynchronised after lost events).
using IsKeyDown = std::function<bool(uint16_t code)>;

class InputKeyDecoder {
public:
    // Caps Lock as the device's LED shows it when the connection starts;
    // from then on each Caps Lock press turns it.
    void Start(bool capsLockOn) noexcept;

    // Handles one key event at nowMs (monotonic milliseconds); returns the
    // code it finished, if any. Repeats are ignored: a held key is one key.
    // Throws std::bad_alloc only.
    std::optional<std::u16string> OnKey(const InputKeyEvent& event, const IsKeyDown& isDown, uint64_t nowMs,
                                        const KeyFramerConfig& config);

private:
    std::optional<std::u16string> Feed(uint32_t message, uintptr_t wParam, const IsKeyDown& isDown, uint64_t nowMs,
                                       const KeyFramerConfig& config, bool* swallowed = nullptr);

    KeyFramer framer_;
    bool capsLockOn_ = false;
};

}  // namespace veltra
