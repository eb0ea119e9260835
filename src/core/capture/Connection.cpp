#include "core/capture/Connection.h"

#include <utility>

#include "core/common/Messages.h"
#include "core/common/ScopeExit.h"

namespace veltra {

Connection::Connection(const StoredSettings& settings, KeyboardHook& hook, SerialPort& port, IsLayoutKey isLayoutKey)
    : settings_(settings), hook_(hook), port_(port), isLayoutKey_(std::move(isLayoutKey)) {}

Connection::~Connection() {
    StopDispatch();
    CloseSerial();
    hook_.Remove();
}

bool Connection::HeldElsewhere(Holder holder) const noexcept { return holder_ != nullptr && holder_ != holder; }

bool Connection::Attach(Holder holder) noexcept {
    if (HeldElsewhere(holder)) return false;
    serialId_ = 0;
    queues_.Clear();
    return true;
}

void Connection::Detach(Holder holder) noexcept {
    Stop(holder);
    if (HeldElsewhere(holder)) return;
    queues_.Clear();
    hook_.Remove();
}

int32_t Connection::Open(Holder holder, EventSink& sink, bool mayUsePort) {
    if (HeldBy(holder)) Close(holder);
    switch (ModeOfPortText(settings_.port)) {
    case CaptureMode::None: Raise(Msg::OpenNoPortNumber);
    case CaptureMode::Keyboard: {
        // A named input device needs no prefix: all its keys are the scanner's.
        const bool namedDevice = IsInputDeviceText(settings_.port);
        if ((settings_.prefix.empty() && !namedDevice) || settings_.suffix.empty()) Raise(Msg::OpenNoPrefixOrSuffix);
        if (settings_.timeLimitMs < 1) Raise(Msg::OpenDelayBelowOne);
        if (HeldElsewhere(holder)) Raise(namedDevice ? Msg::InputDeviceBusy : Msg::OpenHookFailed);
        // Without the hook nothing would be captured: no dispatch thread is
        // left running behind a connection that failed.
        if (!hook_.Install(queues_, settings_)) Raise(Msg::OpenHookFailed);
        auto removeHook = OnScopeExit([this] { hook_.Remove(); });
        StartDispatch(holder, sink, hook_.DeviceId());
        removeHook.Dismiss();
        break;
    }
    case CaptureMode::Serial: {
        if (!settings_.line.Complete()) Raise(Msg::OpenNoComSettings);
        // Not initialised by the host, or another object's connection has it.
        if (!mayUsePort || HeldElsewhere(holder)) Raise(Msg::PortUnavailable);
        port_.Open(settings_.port, settings_.line);
        serialId_ = port_.DeviceId();
        auto closePort = OnScopeExit([this] { CloseSerial(); });
        try {
            reader_ = std::make_unique<SerialReader>(port_, queues_, isLayoutKey_, settings_.port, settings_.line);
            reader_->Start();
        } catch (...) {
            Raise(Msg::PortThreadFailed);
        }
        StartDispatch(holder, sink, serialId_);
        closePort.Dismiss();
        break;
    }
    }
    return deviceId_;
}

void Connection::Close(Holder holder) {
    if (HeldElsewhere(holder)) Raise(Msg::CloseDeviceNotFound);  // not this object's to close
    const int32_t id = deviceId_;
    const bool keyboard = id == hook_.DeviceId();
    if (!keyboard && id != serialId_) Raise(Msg::CloseDeviceNotFound);
    // The dispatch thread ends before the hook or the port it drains goes.
    if (keyboard) {
        StopDispatch();
        hook_.Remove();
    } else if (HeldBy(holder)) {
        StopDispatch();
        CloseSerial();
    }
}

void Connection::Stop(Holder holder) noexcept {
    if (!HeldBy(holder)) return;
    StopDispatch();
    CloseSerial();
    hook_.Remove();
}

void Connection::PortSettingChanged() noexcept {
    mode_ = ModeOfPortText(settings_.port);
    if (dispatch_) dispatch_->Wake();
}

bool Connection::Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) {
    return sink_ && sink_->Post(source, name, data);
}

void Connection::StartDispatch(Holder holder, EventSink& sink, int32_t deviceId) {
    PortSettingChanged();
    DispatchHost& host = *this;
    auto thread = std::make_unique<DispatchThread>(host, queues_, DispatchPacing::Prompt);
    sink_ = &sink;
    // Codes left queued by the previous connection go out as soon as the
    // thread runs, so they must already carry the new identifier. The
    // identifier changes only when the connection is made.
    const int32_t previousId = deviceId_.exchange(deviceId);
    auto undo = OnScopeExit([&] {
        deviceId_ = previousId;
        sink_ = nullptr;
    });
    thread->Start();
    undo.Dismiss();
    dispatch_ = std::move(thread);
    holder_ = holder;
}

void Connection::StopDispatch() noexcept {
    dispatch_.reset();
    sink_ = nullptr;
    holder_ = nullptr;
}

void Connection::CloseSerial() noexcept {
    reader_.reset();  // stops and joins the reader before the port goes
    port_.Close();
}

}  // namespace veltra
