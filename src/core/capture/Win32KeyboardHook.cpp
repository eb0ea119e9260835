#include "core/capture/Win32KeyboardHook.h"

#include "core/common/Messages.h"

namespace veltra {

Win32KeyboardHook* Win32KeyboardHook::installed_ = nullptr;

namespace {

HKL UnitedStatesLayout() { return reinterpret_cast<HKL>(static_cast<uintptr_t>(kLayoutUnitedStates)); }

}  // namespace

bool Win32KeyboardHook::Install(CodeQueues& queues, const StoredSettings& settings) {
    Remove();
    queues_ = &queues;
    settings_ = &settings;
    installed_ = this;  // before the first message can arrive
    hook_.reset(::SetWindowsHookExW(WH_GETMESSAGE, &Procedure, nullptr, ::GetCurrentThreadId()));
    deviceId_ = DeviceIdOf(hook_.get());
    if (!hook_) installed_ = nullptr;
    return static_cast<bool>(hook_);
}

void Win32KeyboardHook::Remove() noexcept {
    hook_.reset();
    if (installed_ == this) installed_ = nullptr;
}

void Win32KeyboardHook::ApplyLayout(LayoutAction action) {
    switch (action) {
    case LayoutAction::None: break;
    case LayoutAction::SaveAndSwitchToUS:
        // Codes are typed under the US layout, so the scanner's keys translate
        // to Latin letters and digits whatever layout the user works in.
        savedLayout_ = ::GetKeyboardLayout(0);
        if (savedLayout_ != UnitedStatesLayout()) ::ActivateKeyboardLayout(UnitedStatesLayout(), 0);
        break;
    case LayoutAction::RestoreSaved:
        if (::GetKeyboardLayout(0) != savedLayout_) ::ActivateKeyboardLayout(savedLayout_, 0);
        break;
    }
}

// Handles one message the framer wants; throws only when out of memory.
void Win32KeyboardHook::Handle(MSG& msg, const HookMessage& m) {
    const KeyFramerConfig& config = config_.Get(settings_->prefix, settings_->suffix, settings_->timeLimitMs);
    KeyVerdict verdict = framer_.OnMessage(m, ::GetTickCount64(), config);
    if (verdict.code) queues_->Append(QueueId::Keyboard, std::move(*verdict.code));
    ApplyLayout(verdict.layout);
    if (verdict.swallow) msg.message = WM_NULL;  // the host's loop sees a null message instead
}

LRESULT CALLBACK Win32KeyboardHook::Procedure(int code, WPARAM removeFlag, LPARAM message) noexcept {
    Win32KeyboardHook* self = installed_;
    MSG* msg = reinterpret_cast<MSG*>(message);
    const HookMessage m{code, static_cast<uintptr_t>(removeFlag), msg ? msg->message : 0u, msg ? msg->wParam : 0};
    // Most messages are no business of ours: a couple of integer tests, then on.
    HHOOK hook = self ? self->hook_.get() : nullptr;
    if (!self || !msg || !self->framer_.Wants(m)) return ::CallNextHookEx(hook, code, removeFlag, message);
    try {
        self->Handle(*msg, m);
    } catch (...) {
        try {
            g_ErrorText = Text(Msg::HookFailure);
        } catch (...) {
        }
    }
    ::CallNextHookEx(hook, code, removeFlag, message);
    return 0;
}

}  // namespace veltra
