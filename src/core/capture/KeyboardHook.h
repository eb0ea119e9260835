// Where keyboard-wedge codes come from: a hook on the host's thread that
// frames the scanner's keys and queues each code. A seam, so the connection
// runs against a fake in tests and against the platform's hook in the driver.
#pragma once

#include <cstdint>

#include "core/capture/CodeQueues.h"
#include "core/settings/Settings.h"

namespace veltra {

class KeyboardHook {
public:
    virtual ~KeyboardHook() = default;

    // Starts catching keys on the calling thread (the host's): every framed
    // code is appended to the keyboard queue of `queues`, framed by the
    // prefix, suffix and time limit of `settings` as they stand at each key.
    // Both must outlive the installation. False when the system refused. A
    // platform without keyboard mode raises its own class-2 DriverError
    // instead, which Connection::Open passes on to the host as it is.
    virtual bool Install(CodeQueues& queues, const StoredSettings& settings) = 0;

    // Stops catching keys; does nothing when not installed.
    virtual void Remove() noexcept = 0;

    // The identifier the host sees for the hook installed last (0 when that
    // Install failed); kept after Remove.
    virtual int32_t DeviceId() const noexcept = 0;
};

}  // namespace veltra
