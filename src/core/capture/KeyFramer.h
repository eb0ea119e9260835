// Keyboard-wedge framing: recognises the scanner's prefix and suffix keys in
// the host thread's retrieved messages, collects the characters in between
// and decides which messages to take away from the host. Plain logic: the
// hook procedure feeds it the retrieved messages and carries out its verdicts
// (nulling the message, switching the keyboard layout, queueing the code).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltra {

// The message identifiers the framer acts on (the Windows values).
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmChar = 0x0102;
constexpr uint32_t kWmSysKeyDown = 0x0104;  // a key pressed while Alt is held
constexpr uint32_t kWmSysKeyUp = 0x0105;
constexpr uint32_t kWmSysChar = 0x0106;
constexpr uintptr_t kVkEnter = 13;
constexpr uintptr_t kVkAlt = 0x12;  // VK_MENU
constexpr uintptr_t kVkNumLock = 0x90;
// The layout a code is typed under: United States English, language 0x0409, layout 0x0409.
constexpr uint32_t kLayoutUnitedStates = 0x04090409;

// One call of the message-retrieval hook.
struct HookMessage {
    int32_t hookCode = 0;      // negative: not ours to handle
    uintptr_t removeFlag = 0;  // 0 when the message is only looked at, not removed
    uint32_t message = 0;      // the record's message identifier
    uintptr_t wParam = 0;      // virtual-key code of a key-down, UTF-16 unit of a character
    // What the hook reads besides the record, for the messages the framer
    // wants only: a key of the navigation cluster or the main block, not of
    // the keypad (the record's extended-key flag); and, for characters, the
    // keyboard state of the moment.
    bool extendedKey = false;
    bool shiftDown = false;
    bool capsLockOn = false;
};

// The letters whose case Caps Lock turns: the Latin ones, which the US layout
// types during a code.
constexpr bool IsLatinLetter(uintptr_t ch) noexcept { return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z'); }

// The character of an Alt+keypad code (0..255): from the ANSI code page when
// the code was typed with a leading 0, else from the OEM code page. Codes
// below 32 are the control characters of the same number in both.
using AltCodeDecoder = char16_t (*)(uint8_t code, bool ansi);

// Without a system to ask, a code stands for the character of its number.
char16_t DecodeAltCodeAsLatin1(uint8_t code, bool ansi) noexcept;

// The frame settings in the form the hot path compares. A prefix or suffix
// text that is not the canonical decimal text of a key code ("192", never
// "0192", "+9", " 9" or "") gives has... = false and then never matches.
struct KeyFramerConfig {
    uint32_t prefixVk = 0;
    uint32_t suffixVk = 0;
    bool hasPrefix = false;
    bool hasSuffix = false;
    int32_t limitMs = 0;  // a code is dropped when more than this passed since its prefix
    // The keys come from the scanner's own device (Linux): without a prefix,
    // any key-down while idle begins a code and counts as one of its keys.
    bool startAtAnyKey = false;
};

KeyFramerConfig MakeKeyFramerConfig(const std::u16string& prefix, const std::u16string& suffix, int32_t limitMs);

// Keeps the last settings texts and parses them again only when they change,
// so the hook can hand over the stored settings at every message it acts on.
// Get can throw std::bad_alloc (copying changed texts).
class KeyFramerConfigCache {
public:
    const KeyFramerConfig& Get(const std::u16string& prefix, const std::u16string& suffix, int32_t limitMs);

private:
    std::u16string prefix_;
    std::u16string suffix_;
    KeyFramerConfig config_;
    bool filled_ = false;
};

enum class LayoutAction : uint8_t {
    None,
    SaveAndSwitchToUS,  // note the thread's layout, then activate kLayoutUnitedStates unless already active
    RestoreSaved,       // activate the noted layout again unless it is the active one
};

struct KeyVerdict {
    bool swallow = false;  // turn the message into WM_NULL before it travels on
    LayoutAction layout = LayoutAction::None;
    std::optional<std::u16string> code;  // a finished code to append to the keyboard queue
};

// The framing state machine: Idle or Collecting, the collected characters,
// the prefix time, and the pending "swallow the next Enter" flag. One
// instance serves the hook's thread; Open and Close leave it as it is.
//
// Inside a code it also composes Alt+keypad codes (a scanner may type the GS
// separator as Alt+0029, or every character so): the Alt key-down, the
// keypad digits (VK_NUMPAD0..9, or the keypad's navigation keys that stand
// for them while NumLock is off) and the Alt release are all swallowed, and
// the composed character is collected at the release. The character that
// Windows then sends for the composition is swallowed, not collected again;
// Wine sends none. With Caps Lock on, a Latin letter of a code takes the case
// that Shift alone gives it, as the scanner meant it.
class KeyFramer {
public:
    explicit KeyFramer(AltCodeDecoder decodeAltCode = &DecodeAltCodeAsLatin1) noexcept
        : decodeAltCode_(decodeAltCode) {}

    // True only for messages that can change the state or the message: removed
    // key-downs; and while a code is collected, removed characters and the
    // messages of Alt+keypad codes. A few integer tests, so the hook can let
    // everything else go on at once.
    bool Wants(const HookMessage& m) const noexcept {
        if (m.hookCode < 0 || m.removeFlag == 0) return false;
        if (m.message == kWmKeyDown) return true;
        if (!collecting_) return false;
        return m.message == kWmChar || m.message == kWmSysKeyDown || m.message == kWmSysKeyUp ||
               m.message == kWmSysChar || (m.message == kWmKeyUp && m.wParam == kVkAlt);
    }

    // Handles one retrieved message. nowMs is a monotonic millisecond counter
    // (not the time of day), read only for key-downs. Messages that Wants
    // refuses, looked-at ones in particular, get an empty verdict and leave
    // the state alone. Throws std::bad_alloc only when a collected character
    // cannot be appended; the state and the buffer are then as before and the
    // message should reach the host unchanged.
    KeyVerdict OnMessage(const HookMessage& m, uint64_t nowMs, const KeyFramerConfig& config);

    void Reset() noexcept;
    bool Collecting() const noexcept { return collecting_; }
    bool SkipEnter() const noexcept { return skipEnter_; }

private:
    void EndCodeAtTimeLimit(uint64_t nowMs, const KeyFramerConfig& config) noexcept;
    void StartWithoutPrefix(uintptr_t vk, uint64_t nowMs, const KeyFramerConfig& config) noexcept;
    KeyVerdict OnKeyDown(uintptr_t vk, uint64_t nowMs, const KeyFramerConfig& config) noexcept;
    KeyVerdict OnChar(const HookMessage& m, const KeyFramerConfig& config);
    KeyVerdict OnAltCodeKey(const HookMessage& m);

    AltCodeDecoder decodeAltCode_;
    bool collecting_ = false;
    bool skipEnter_ = false;
    uint64_t startMs_ = 0;
    std::u16string buffer_;
    // An Alt+keypad code being typed inside a code.
    bool composing_ = false;
    uint32_t altCode_ = 0;
    int altDigits_ = 0;
    bool altAnsi_ = false;      // its first digit was 0
    bool echoPending_ = false;  // the system's character for the code just composed may come next
};

}  // namespace veltra
