#include "core/capture/KeyFramer.h"

#include <utility>

#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {
namespace {

// A key matches a stored text when the key code's decimal text equals it, so
// only texts that are some number's own decimal text can ever match.
bool ParseKeyText(const std::u16string& text, uint32_t& vk) {
    const std::optional<int32_t> value = ParseDecimalI32(text);
    if (!value || *value < 0 || DecimalText(*value) != text) return false;
    vk = static_cast<uint32_t>(*value);
    return true;
}

// Debug lines are best effort: one that cannot be composed is left out
// rather than disturbing the message being handled.
void TraceJoined(const char16_t* head, const std::u16string& tail) noexcept {
    if (!TraceEnabled()) return;
    try {
        Trace(head + tail);
    } catch (...) {
    }
}

// The digit a keypad key stands for while Alt is held, or -1. With NumLock
// off the keypad sends navigation keys; the same keys of the navigation
// cluster carry the extended-key flag and stand for nothing.
int KeypadDigit(uintptr_t vk, bool extendedKey) {
    if (vk >= 0x60 && vk <= 0x69) return static_cast<int>(vk - 0x60);  // VK_NUMPAD0..9
    if (extendedKey) return -1;
    switch (vk) {
    case 0x2D: return 0;  // Insert
    case 0x23: return 1;  // End
    case 0x28: return 2;  // Down
    case 0x22: return 3;  // Page Down
    case 0x25: return 4;  // Left
    case 0x0C: return 5;  // Clear
    case 0x27: return 6;  // Right
    case 0x24: return 7;  // Home
    case 0x26: return 8;  // Up
    case 0x21: return 9;  // Page Up
    default: return -1;
    }
}

void TraceFixed(const char16_t* line) noexcept { TraceJoined(line, std::u16string()); }

void TraceCollected(char16_t unit) noexcept {
    if (!TraceEnabled()) return;
    try {
        Trace(u"Код = " + DecimalText(unit));
        Trace(u"Добавили символ = " + std::u16string(1, unit));
    } catch (...) {
    }
}

}  // namespace

char16_t DecodeAltCodeAsLatin1(uint8_t code, bool) noexcept { return static_cast<char16_t>(code); }

KeyFramerConfig MakeKeyFramerConfig(const std::u16string& prefix, const std::u16string& suffix, int32_t limitMs) {
    KeyFramerConfig config;
    config.hasPrefix = ParseKeyText(prefix, config.prefixVk);
    config.hasSuffix = ParseKeyText(suffix, config.suffixVk);
    config.limitMs = limitMs;
    return config;
}

const KeyFramerConfig& KeyFramerConfigCache::Get(const std::u16string& prefix, const std::u16string& suffix,
                                                 int32_t limitMs) {
    if (!filled_ || prefix != prefix_ || suffix != suffix_) {
        std::u16string newPrefix = prefix;
        std::u16string newSuffix = suffix;
        config_ = MakeKeyFramerConfig(newPrefix, newSuffix, limitMs);
        prefix_.swap(newPrefix);
        suffix_.swap(newSuffix);
        filled_ = true;
    }
    config_.limitMs = limitMs;
    return config_;
}

KeyVerdict KeyFramer::OnMessage(const HookMessage& m, uint64_t nowMs, const KeyFramerConfig& config) {
    if (!Wants(m)) return {};
    if (m.message == kWmChar) return OnChar(m, config);
    if (m.message == kWmKeyDown && m.wParam != kVkAlt) {
        // A key typed without Alt: no Alt code is under way any more, and
        // the system's character for the last one would have come already.
        composing_ = false;
        echoPending_ = false;
        return OnKeyDown(m.wParam, nowMs, config);
    }
    if (m.message == kWmKeyDown) {
        EndCodeAtTimeLimit(nowMs, config);
        StartWithoutPrefix(m.wParam, nowMs, config);
    }
    return OnAltCodeKey(m);
}

// Measured from the prefix, tested only at key-downs: a code the scanner
// never finished ends at the first key-down past the limit. A negative
// limit lets no code through. The layout stays as the code left it.
void KeyFramer::EndCodeAtTimeLimit(uint64_t nowMs, const KeyFramerConfig& config) noexcept {
    if (!collecting_) return;
    const uint64_t elapsed = nowMs - startMs_;
    if (config.limitMs < 0 || elapsed > static_cast<uint64_t>(config.limitMs)) {
        TraceFixed(u"Вышли по Тайм Ауту!!");
        collecting_ = false;
        skipEnter_ = false;
        composing_ = false;
    }
}

// The suffix, and the Enter that follows it, begin nothing.
void KeyFramer::StartWithoutPrefix(uintptr_t vk, uint64_t nowMs, const KeyFramerConfig& config) noexcept {
    if (collecting_ || !config.startAtAnyKey || config.hasPrefix) return;
    if ((config.hasSuffix && vk == config.suffixVk) || (skipEnter_ && vk == kVkEnter)) return;
    collecting_ = true;
    buffer_.clear();
    startMs_ = nowMs;
}

KeyVerdict KeyFramer::OnKeyDown(uintptr_t vk, uint64_t nowMs, const KeyFramerConfig& config) noexcept {
    KeyVerdict verdict;
    EndCodeAtTimeLimit(nowMs, config);
    StartWithoutPrefix(vk, nowMs, config);

    // The codes are taken from the character messages that the host's loop
    // translates from the scanner's key-downs, so they have to be translated
    // under the US layout to come out as Latin letters and digits.
    if (config.hasPrefix && vk == config.prefixVk && !collecting_) {
        collecting_ = true;
        TraceFixed(u"Scaner Включился");
        buffer_.clear();
        startMs_ = nowMs;
        verdict.swallow = true;
        verdict.layout = LayoutAction::SaveAndSwitchToUS;
    }

    if (config.hasSuffix && vk == config.suffixVk && collecting_) {
        collecting_ = false;
        TraceJoined(u"Добавили ШК = ", buffer_);
        verdict.code.emplace(std::move(buffer_));
        buffer_.clear();  // a moved-from string is only valid, not necessarily empty
        verdict.swallow = true;
        skipEnter_ = true;
        verdict.layout = LayoutAction::RestoreSaved;
    }

    // Scanners often send Enter after the suffix; it must not reach the host
    // as a keystroke of its own. With Enter as the suffix the key-down above
    // has just set the flag and uses it up here.
    if (skipEnter_ && vk == kVkEnter) {
        verdict.swallow = true;
        skipEnter_ = false;
    }
    return verdict;
}

KeyVerdict KeyFramer::OnAltCodeKey(const HookMessage& m) {
    KeyVerdict verdict;
    switch (m.message) {
    case kWmKeyDown:
    case kWmSysKeyDown: {
        echoPending_ = false;
        if (!collecting_) return verdict;
        if (m.wParam == kVkAlt) {
            if (!composing_) {  // an Alt key-down that repeats goes on with the code begun
                composing_ = true;
                altCode_ = 0;
                altDigits_ = 0;
                altAnsi_ = false;
            }
            verdict.swallow = true;
            return verdict;
        }
        if (!composing_) return verdict;  // a key with an Alt pressed before the code: the user's
        const int digit = KeypadDigit(m.wParam, m.extendedKey);
        if (digit >= 0) {
            if (altDigits_ == 0 && digit == 0) altAnsi_ = true;
            altCode_ = (altCode_ * 10 + static_cast<uint32_t>(digit)) % 256;  // Windows keeps the code modulo 256
            ++altDigits_;
            verdict.swallow = true;
        } else if (m.wParam == kVkNumLock) {
            verdict.swallow = true;  // a scanner may switch NumLock on for its keypad digits
        } else {
            composing_ = false;  // any other key ends the Alt code unfinished; it reaches the host
        }
        return verdict;
    }
    case kWmSysChar:
        verdict.swallow = composing_;  // Wine's characters for the keypad digits
        return verdict;
    default: {  // a key-up
        if (!composing_) return verdict;
        verdict.swallow = true;
        if (m.wParam != kVkAlt) return verdict;  // a keypad digit released
        if (altCode_ != 0) {                     // no digit, or a code of 0 modulo 256: no character
            const char16_t unit = decodeAltCode_(static_cast<uint8_t>(altCode_), altAnsi_);
            buffer_.push_back(unit);
            TraceCollected(unit);
            echoPending_ = true;
        }
        composing_ = false;
        return verdict;
    }
    }
}

KeyVerdict KeyFramer::OnChar(const HookMessage& m, const KeyFramerConfig& config) {
    KeyVerdict verdict;
    if (echoPending_) {
        // The character Windows makes of the Alt code just collected.
        echoPending_ = false;
        verdict.swallow = true;
        return verdict;
    }
    uintptr_t ch = m.wParam;
    // A character message carries one UTF-16 unit; anything wider is no
    // character of a code and is not cut down to one.
    if (ch > 0xFFFF || ch == 16) return verdict;
    if (config.hasPrefix && ch == config.prefixVk) return verdict;
    if (config.hasSuffix && ch == config.suffixVk) return verdict;
    // Caps Lock inverts what the scanner's Shift meant.
    if (m.capsLockOn && IsLatinLetter(ch)) ch = m.shiftDown ? (ch & ~uintptr_t{0x20}) : (ch | 0x20);

    const char16_t unit = static_cast<char16_t>(ch);
    buffer_.push_back(unit);
    TraceCollected(unit);
    verdict.swallow = true;
    return verdict;
}

void KeyFramer::Reset() noexcept {
    collecting_ = false;
    skipEnter_ = false;
    composing_ = false;
    echoPending_ = false;
    startMs_ = 0;
    buffer_.clear();
}

}  // namespace veltra
