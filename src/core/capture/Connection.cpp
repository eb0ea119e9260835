#include "core/capture/Connection.h"

#include "com/addin/AddInObj.h"
#include "core/common/Messages.h"
#include "core/settings/Settings.h"
#include "core/capture/CodeQueues.h"
#include "core/capture/KeyFramer.h"
#include "com/server/Server.h"

namespace veltra {

std::atomic<int32_t> g_DeviceID{0};
HHOOK g_HookHandle = nullptr;

namespace {

std::atomic<CaptureMode> g_PortMode{CaptureMode::None};
std::atomic<const AddInObject*> g_ConnectedObject{nullptr};
// Whether g_HookHandle is still installed: a removed handle's value may be
// handed to another hook of the process, which must not be removed for ours.
bool g_HookInstalled = false;

// Framing state; touched only on the thread the hook is installed on.
KeyFramer g_Framer;
KeyFramerConfigCache g_FramerConfig;
HKL g_SavedLayout = nullptr;

HKL UnitedStatesLayout() { return reinterpret_cast<HKL>(static_cast<uintptr_t>(kLayoutUnitedStates)); }

void ApplyLayout(LayoutAction action) {
    switch (action) {
    case LayoutAction::None: break;
    case LayoutAction::SaveAndSwitchToUS:
        // Codes are typed under the US layout, so the scanner's keys translate
        // to Latin letters and digits whatever layout the user works in.
        g_SavedLayout = ::GetKeyboardLayout(0);
        if (g_SavedLayout != UnitedStatesLayout()) ::ActivateKeyboardLayout(UnitedStatesLayout(), 0);
        break;
    case LayoutAction::RestoreSaved:
        if (::GetKeyboardLayout(0) != g_SavedLayout) ::ActivateKeyboardLayout(g_SavedLayout, 0);
        break;
    }
}

// Handles one message the framer wants; throws only when out of memory.
void HandleKeyMessage(MSG& msg, const HookMessage& m) {
    const KeyFramerConfig& config =
        g_FramerConfig.Get(g_Settings.propPrefix, g_Settings.propSuffix, g_Settings.propTimeOut);
    KeyVerdict verdict = g_Framer.OnMessage(m, ::GetTickCount64(), config);
    if (verdict.code) g_CodeQueues.Append(QueueId::Kbd, std::move(*verdict.code));
    ApplyLayout(verdict.layout);
    if (verdict.swallow) msg.message = WM_NULL;  // the host's loop sees a null message instead
}

}  // namespace

int32_t DeviceId() noexcept { return g_DeviceID.load(); }

int32_t DeviceIdOf(const void* handle) noexcept { return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle)); }

void PublishPortMode() noexcept { g_PortMode = ModeOfPortText(g_Settings.propComPortNumber); }

bool ConnectedElsewhere(const AddInObject* object) noexcept {
    const AddInObject* connected = g_ConnectedObject.load();
    return connected != nullptr && connected != object;
}

void RemoveKeyboardHook() noexcept {
    if (g_HookInstalled) ::UnhookWindowsHookEx(g_HookHandle);
    g_HookInstalled = false;
}

void ClearCodeQueues() noexcept { g_CodeQueues.Clear(); }

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM removeFlag, LPARAM message) noexcept {
    MSG* msg = reinterpret_cast<MSG*>(message);
    const HookMessage m{code, static_cast<uintptr_t>(removeFlag), msg ? msg->message : 0u, msg ? msg->wParam : 0};
    // Most messages are no business of ours: a couple of integer tests, then on.
    if (!msg || !g_Framer.Wants(m)) return ::CallNextHookEx(g_HookHandle, code, removeFlag, message);
    try {
        HandleKeyMessage(*msg, m);
    } catch (...) {
        try {
            g_ErrorText = Text(Msg::HookFailure);
        } catch (...) {
        }
    }
    ::CallNextHookEx(g_HookHandle, code, removeFlag, message);
    return 0;
}

CaptureMode ObjectDispatchHost::Mode() const { return g_PortMode.load(); }

int32_t ObjectDispatchHost::DeviceId() const { return g_DeviceID.load(); }

bool ObjectDispatchHost::Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) {
    IAsyncEvent* sink = MyObject.iEvent.get();  // stays valid until the thread has ended
    if (!sink) return false;
    UniqueBstr s = MakeBstr(source), n = MakeBstr(name), d = MakeBstr(data);
    CheckHostCall(sink->ExternalEvent(s.get(), n.get(), d.get()));  // a refusal raises; the entry is offered again
    return true;
}

// ---- Open and Close --------------------------------------------------------

int AddInObject::Open() {
    if (MyThread) Close();
    const StoredSettings& s = g_Settings;
    const CaptureMode mode = ModeOfPortText(s.propComPortNumber);
    if (mode == CaptureMode::None) Raise(Msg::OpenNoPortNumber);
    auto dispatch = std::make_unique<ObjectDispatchHost>(*this);
    if (mode == CaptureMode::Keyboard) {
        if (s.propPrefix.empty() || s.propSuffix.empty()) Raise(Msg::OpenNoPrefixOrSuffix);
        if (s.propTimeOut < 1) Raise(Msg::OpenDelayBelowOne);
        if (ConnectedElsewhere(this)) Raise(Msg::OpenHookFailed);
        g_HookHandle = ::SetWindowsHookExW(WH_GETMESSAGE, &KeyboardHookProc, nullptr, ::GetCurrentThreadId());
        // Without the hook nothing would be captured: no dispatch thread is
        // left running behind a connection that failed.
        if (!g_HookHandle) Raise(Msg::OpenHookFailed);
        g_HookInstalled = true;
        try {
            StartDispatch(std::move(dispatch), DeviceIdOf(g_HookHandle));
        } catch (...) {
            RemoveKeyboardHook();
            throw;
        }
    } else {
        if (s.propSpeed == 0 || s.propDataBit == 0 || s.propStopBits == 0) Raise(Msg::OpenNoComSettings);
        // Not initialised by the host, or another object's connection has it.
        if (!g_cp || ConnectedElsewhere(this)) Raise(Msg::PortUnavailable);
        g_cp->p_BaudRate = s.propSpeed;
        g_cp->p_ByteSize = s.propDataBit;
        g_cp->p_Parity = s.propParity ? 1 : 0;
        g_cp->p_StopBits = s.propStopBits;
        g_cp->OpenPort(s.propComPortNumber);
        try {
            StartDispatch(std::move(dispatch), DeviceIdOf(g_ComHandle));
        } catch (...) {
            g_cp->ClosePort();
            throw;
        }
    }
    return 1;
}

void AddInObject::StartDispatch(std::unique_ptr<DispatchHost> host, int32_t deviceId) {
    PublishPortMode();
    // Prompt: a code goes out as soon as it is queued, and an idle connection
    // costs no wake-ups; every change of the port setting wakes the thread.
    auto thread = std::make_unique<TMyThread>(*host, g_CodeQueues, DispatchPacing::Prompt);
    // Codes left queued by the previous connection go out as soon as the
    // thread runs, so they must already carry the new identifier. The
    // identifier changes only when the connection is made.
    const int32_t previousId = g_DeviceID.exchange(deviceId);
    try {
        thread->Start();
    } catch (...) {
        g_DeviceID = previousId;
        throw;
    }
    MyDispatchHost = std::move(host);
    MyThread = std::move(thread);
    g_ConnectedObject = this;
}

int AddInObject::Close() {
    if (ConnectedElsewhere(this)) Raise(Msg::CloseDeviceNotFound);  // not this object's to close
    const int32_t id = g_DeviceID;
    const bool keyboard = id == DeviceIdOf(g_HookHandle);
    if (!keyboard && id != DeviceIdOf(g_ComHandle)) Raise(Msg::CloseDeviceNotFound);
    // The dispatch thread ends before the hook or the port it drains goes.
    if (keyboard) {
        StopDispatch();
        RemoveKeyboardHook();
    } else if (MyThread) {
        StopDispatch();
        if (g_cp) g_cp->ClosePort();
    }
    return 1;
}

void AddInObject::StopDispatch() noexcept {
    MyThread.reset();
    MyDispatchHost.reset();
    const AddInObject* self = this;
    g_ConnectedObject.compare_exchange_strong(self, nullptr);
}

}  // namespace veltra
