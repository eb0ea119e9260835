// Connecting and disconnecting the scanner: the module-level connection
// state, the keyboard hook and what the dispatch thread reads. Glue.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "core/capture/DispatchThread.h"
#include "core/capture/uComPort.h"

namespace veltra {

class AddInObject;

// The connected device's identifier (hook handle or port handle), written
// only by a successful Open on the host's thread, read by the dispatch thread.
extern std::atomic<int32_t> g_DeviceID;
// The hook installed by the last keyboard Open (null when that failed).
extern HHOOK g_HookHandle;

int32_t DeviceId() noexcept;

// The single narrowing of a handle to the 32-bit identifier the host sees.
int32_t DeviceIdOf(const void* handle) noexcept;

// The capture mode of the stored port text, kept where the dispatch thread
// can read it safely; republish after every change of the port setting.
void PublishPortMode() noexcept;

// Whether an add-in object other than `object` holds the connection. The
// hook, the port, the queues and the identifier exist once per process, so
// one object at a time can be connected, and the others leave them alone.
bool ConnectedElsewhere(const AddInObject* object) noexcept;

// Removes the keyboard hook if one is installed (Done, Close).
void RemoveKeyboardHook() noexcept;

// Empties both queues of received codes; only while no connection runs.
void ClearCodeQueues() noexcept;

// Posts the dispatch thread's events through the add-in object's iEvent.
class ObjectDispatchHost final : public DispatchHost {
public:
    explicit ObjectDispatchHost(AddInObject& object) : MyObject(object) {}
    CaptureMode Mode() const override;
    int32_t DeviceId() const override;
    bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) override;

private:
    AddInObject& MyObject;
};

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM removeFlag, LPARAM message) noexcept;

}  // namespace veltra
