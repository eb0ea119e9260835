#include "core/capture/DispatchThread.h"

#include <system_error>

#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {

namespace {

constexpr std::chrono::milliseconds kPause{10};

std::optional<QueueId> QueueOf(CaptureMode mode) {
    switch (mode) {
    case CaptureMode::Keyboard: return QueueId::Keyboard;
    case CaptureMode::Serial: return QueueId::Serial;
    case CaptureMode::None: break;
    }
    return std::nullopt;
}

// A message as the data of a driver-error event, which carries no class character.
std::u16string EventText(Msg msg) { return Text(msg).substr(1); }

}  // namespace

CaptureMode ModeOfPortText(const std::u16string& portText) {
    if (portText == u"USB" || portText == u"0" || IsInputDeviceText(portText)) return CaptureMode::Keyboard;
    if (portText.find(u"COM") != std::u16string::npos || portText.compare(0, 5, u"/dev/") == 0)
        return CaptureMode::Serial;
    return CaptureMode::None;
}

DispatchThread::DispatchThread(DispatchHost& host, CodeQueues& queues, DispatchPacing pacing)
    : host_(host), queues_(queues), pacing_(pacing) {}

void DispatchThread::Start() {
    try {
        worker_.Start([this] { Run(); });
    } catch (const std::system_error&) {
        Raise(Msg::DispatchFailure);
    }
}

void DispatchThread::Stop() {
    worker_.Stop([this] { queues_.WakeWaiters(); });
}

void DispatchThread::Run() {
    // The catalogue's own texts, in the language of the start.
    const std::u16string& barcodeName = Text(Msg::BarcodeEvent);
    const std::u16string& driverErrorName = Text(Msg::DriverErrorEvent);
    try {
        const std::atomic<bool>& stop = worker_.StopRequest();
        do {
            const Pass pass = RunPass(barcodeName, driverErrorName);
            if (pacing_ == DispatchPacing::Paced || pass == Pass::Refused) queues_.WaitForStop(stop, kPause);
            else if (pass == Pass::Idle)
                queues_.WaitForEntry([this] { return QueueOf(host_.Mode()); }, stop, std::nullopt);
        } while (!stop);
    } catch (...) {
        TellHostOfFailure(driverErrorName);
    }
}

void DispatchThread::TellHostOfFailure(const std::u16string& driverErrorName) noexcept {
    // One attempt: whatever failed may fail again, and nobody else would post.
    try {
        host_.Post(DecimalText(host_.DeviceId()), driverErrorName, EventText(Msg::DispatchFailure));
    } catch (...) {
    }
}

DispatchThread::Pass DispatchThread::RunPass(const std::u16string& barcodeName, const std::u16string& driverErrorName) {
    const std::optional<QueueId> queue = QueueOf(host_.Mode());
    if (!queue) return Pass::Idle;
    std::optional<QueueEntry> entry = queues_.Front(*queue);
    if (!entry) return Pass::Idle;

    const std::u16string* name = &barcodeName;
    std::u16string data;
    switch (entry->kind) {
    case QueueEntry::Kind::Code:
        if (*queue == QueueId::Keyboard) {
            data = std::move(entry->text);
        } else if (entry->text.empty()) {
            queues_.PopFront(*queue);  // no text to post
            return Pass::Done;
        } else {
            data = TrimControls(entry->text);
        }
        break;
    case QueueEntry::Kind::Unreadable:
        name = &driverErrorName;
        data = Text(Msg::BadSerialData);
        break;
    case QueueEntry::Kind::LineLost:
        // The keyboard queue's loss is a Linux input device that went away.
        name = &driverErrorName;
        data = EventText(*queue == QueueId::Keyboard ? Msg::InputDeviceLost : Msg::PortReadFailed);
        break;
    }

    // The queue lock is not held here: the host's thread appends under it
    // from its keyboard hook, and a host that waits for its own thread while
    // posting would otherwise never get it back.
    const std::u16string source = DecimalText(host_.DeviceId());
    bool accepted = false;
    try {
        accepted = host_.Post(source, *name, data);
    } catch (...) {
        accepted = false;
    }
    if (!accepted) return Pass::Refused;
    queues_.PopFront(*queue);
    return Pass::Done;
}

}  // namespace veltra
