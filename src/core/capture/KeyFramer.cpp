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
    if (m.message == kWmKeyDown) return OnKeyDown(m.wParam, nowMs, config);
    return OnChar(m.wParam, config);
}

KeyVerdict KeyFramer::OnKeyDown(uintptr_t vk, uint64_t nowMs, const KeyFramerConfig& config) noexcept {
    KeyVerdict verdict;

    // Measured from the prefix, tested only here: a code the scanner never
    // finished ends at the first key-down past the limit. A negative limit
    // lets no code through. The layout stays as the code left it.
    if (collecting_) {
        const uint64_t elapsed = nowMs - startMs_;
        if (config.limitMs < 0 || elapsed > static_cast<uint64_t>(config.limitMs)) {
            TraceFixed(u"Вышли по Тайм Ауту!!");
            collecting_ = false;
            skipEnter_ = false;
        }
    }

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

KeyVerdict KeyFramer::OnChar(uintptr_t ch, const KeyFramerConfig& config) {
    KeyVerdict verdict;
    // A character message carries one UTF-16 unit; anything wider is no
    // character of a code and is not cut down to one.
    if (ch > 0xFFFF || ch == 16) return verdict;
    if (config.hasPrefix && ch == config.prefixVk) return verdict;
    if (config.hasSuffix && ch == config.suffixVk) return verdict;

    const char16_t unit = static_cast<char16_t>(ch);
    buffer_.push_back(unit);
    TraceCollected(unit);
    verdict.swallow = true;
    return verdict;
}

void KeyFramer::Reset() noexcept {
    collecting_ = false;
    skipEnter_ = false;
    startMs_ = 0;
    buffer_.clear();
}

}  // namespace veltra
