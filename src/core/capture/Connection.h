// The connection to a scanner and everything that runs for it: the keyboard
// hook, or the serial port with its reader; the queues of received codes; the
// device identifier; the dispatch thread; and which add-in object holds it.
// The hook, the port and the queues exist once per process, so one add-in
// object at a time can hold the connection; the others leave it alone. Every
// operation belongs to the host's thread. Plain C++: the hook and the port
// are seams, the platform's ones are joined up in ProcessConnection.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/capture/CodeQueues.h"
#include "core/capture/DispatchThread.h"
#include "core/capture/KeyboardHook.h"
#include "core/capture/SerialDecode.h"
#include "core/capture/SerialPort.h"
#include "core/capture/SerialReader.h"
#include "core/settings/Settings.h"

namespace veltra {

class Connection final : private DispatchHost {
public:
    // The add-in object a call comes from; compared, never followed.
    using Holder = const void*;

    // The settings, the hook and the port must outlive the connection.
    Connection(const StoredSettings& settings, KeyboardHook& hook, SerialPort& port, IsLayoutKey isLayoutKey);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // An add-in object starts (Init). True when no other object holds the
    // connection: the queues are then emptied, the serial identifier is
    // forgotten, and the object may use the serial port (see Open).
    bool Attach(Holder holder) noexcept;

    // An add-in object ends (Done): its connection stops, and when no other
    // object holds one, the queues are emptied and the hook is removed.
    void Detach(Holder holder) noexcept;

    // Connects by the stored settings: the keyboard hook for "USB" or "0", the
    // serial port for a "COM" text or a device path; then starts the dispatch thread, which
    // posts every received code through `sink` (it must outlive the
    // connection). A connection of the same holder is closed first.
    // `mayUsePort` is what Attach answered this holder. Returns the device
    // identifier; raises the class-2 or class-5 DriverError of the first check
    // or step that failed and leaves nothing running.
    int32_t Open(Holder holder, EventSink& sink, bool mayUsePort);

    // Disconnects the device whose identifier was handed out last. Raises
    // CloseDeviceNotFound when another object holds the connection or the
    // identifier is neither the last hook's nor the last port's.
    void Close(Holder holder);

    // Stops the holder's connection, if it has one: the dispatch thread ends
    // first, then the serial reader and the port, or the hook.
    void Stop(Holder holder) noexcept;

    bool HeldBy(Holder holder) const noexcept { return holder_ == holder && holder != nullptr; }
    bool HeldElsewhere(Holder holder) const noexcept;

    // The identifier the last successful Open handed out (0 before any).
    int32_t DeviceId() const noexcept override { return deviceId_.load(); }

    // Call after every change of the stored port text: the dispatch thread
    // drains the queue of the capture mode that text selects.
    void PortSettingChanged() noexcept;

private:
    // DispatchHost, for the dispatch thread.
    CaptureMode Mode() const noexcept override { return mode_.load(); }
    bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) override;

    void OpenKeyboard();
    void OpenSerial(bool mayUsePort);
    void StartDispatch(Holder holder, EventSink& sink, int32_t deviceId);
    void StopDispatch() noexcept;
    void CloseSerial() noexcept;

    const StoredSettings& settings_;
    KeyboardHook& hook_;
    SerialPort& port_;
    const IsLayoutKey isLayoutKey_;
    CodeQueues queues_;
    std::unique_ptr<SerialReader> reader_;
    std::unique_ptr<DispatchThread> dispatch_;
    EventSink* sink_ = nullptr;  // set while the dispatch thread runs
    Holder holder_ = nullptr;    // set while the dispatch thread runs
    int32_t serialId_ = 0;       // the port opened last; forgotten by Attach
    std::atomic<int32_t> deviceId_{0};
    std::atomic<CaptureMode> mode_{CaptureMode::None};
};

}  // namespace veltra
