#include "core/capture/Win32KeyboardHook.h"

#include "core/common/Messages.h"

namespace veltra {

Win32KeyboardHook* Win32KeyboardHook::installed_ = nullptr;

namespace {

HKL UnitedStatesLayout() { return reinterpret_cast<HKL>(static_cast<uintptr_t>(kLayoutUnitedStates)); }

// The character of an Alt+keypad code from the system's ANSI or OEM code page.
char16_t DecodeAltCode(uint8_t code, bool ansi) {
    if (code < 0x20) return code;  // a control character in every code page
    const char byte = static_cast<char>(code);
    wchar_t unit = 0;
    if (::MultiByteToWideChar(ansi ? CP_ACP : CP_OEMCP, 0, &byte, 1, &unit, 1) != 1) return code;
    return static_cast<char16_t>(unit);
}

}  // namespace

Win32KeyboardHook::Win32KeyboardHook() : framer_(&DecodeAltCode) {}

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
    if (verdict.code) queues_->Append(QueueId::Keyboard, QueueEntry::Code(std::move(*verdict.code)));
    ApplyLayout(verdict.layout);
    if (verdict.swallow) msg.message = WM_NULL;  // the host's loop sees a null message instead
}

LRESULT CALLBACK Win32KeyboardHook::Procedure(int code, WPARAM removeFlag, LPARAM message) noexcept {
    Win32KeyboardHook* self = installed_;
    MSG* msg = reinterpret_cast<MSG*>(message);
    HookMessage m{code, static_cast<uintptr_t>(removeFlag), msg ? msg->message : 0u, msg ? msg->wParam : 0};
    // Most messages are no business of ours: a couple of integer tests, then on.
    HHOOK hook = self ? self->hook_.get() : nullptr;
    if (!self || !msg || !self->framer_.Wants(m)) return ::CallNextHookEx(hook, code, removeFlag, message);
    m.extendedKey = (static_cast<uintptr_t>(msg->lParam) >> 24 & 1) != 0;
    // The keyboard state matters for letters only, and Shift only under Caps
    // Lock: digits, most of a code, cost no query (under Wine each is a call
    // to the server).
    if (m.message == kWmChar && IsLatinLetter(m.wParam)) {
        m.capsLockOn = (::GetKeyState(VK_CAPITAL) & 1) != 0;
        m.shiftDown = m.capsLockOn && ::GetKeyState(VK_SHIFT) < 0;
    }
    try {
        self->Handle(*msg, m);
    } catch (...) {
        // Memory ran out: this code is lost, the host's messages go on.
    }
    ::CallNextHookEx(hook, code, removeFlag, message);
    return 0;
}

}  // namespace veltra
