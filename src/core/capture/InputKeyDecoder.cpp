#include "core/capture/InputKeyDecoder.h"

#include <linux/input-event-codes.h>

#include <iterator>

namespace veltra {
namespace {

// A key of the US layout: the virtual-key code the Windows hook would see
// (prefix and suffix settings are stored as those), and its characters
// without and with Shift (0: none).
struct UsKey {
    uint16_t code;
    uint8_t vk;
    char16_t plain;
    char16_t shifted;
};

constexpr uint8_t kVkShift = 16, kVkControl = 17, kVkCapsLock = 20;

// clang-format off
constexpr UsKey kUsKeys[] = {
    {KEY_1, '1', u'1', u'!'}, {KEY_2, '2', u'2', u'@'}, {KEY_3, '3', u'3', u'#'}, {KEY_4, '4', u'4', u'$'},
    {KEY_5, '5', u'5', u'%'}, {KEY_6, '6', u'6', u'^'}, {KEY_7, '7', u'7', u'&'}, {KEY_8, '8', u'8', u'*'},
    {KEY_9, '9', u'9', u'('}, {KEY_0, '0', u'0', u')'},
    {KEY_Q, 'Q', u'q', u'Q'}, {KEY_W, 'W', u'w', u'W'}, {KEY_E, 'E', u'e', u'E'}, {KEY_R, 'R', u'r', u'R'},
    {KEY_T, 'T', u't', u'T'}, {KEY_Y, 'Y', u'y', u'Y'}, {KEY_U, 'U', u'u', u'U'}, {KEY_I, 'I', u'i', u'I'},
    {KEY_O, 'O', u'o', u'O'}, {KEY_P, 'P', u'p', u'P'}, {KEY_A, 'A', u'a', u'A'}, {KEY_S, 'S', u's', u'S'},
    {KEY_D, 'D', u'd', u'D'}, {KEY_F, 'F', u'f', u'F'}, {KEY_G, 'G', u'g', u'G'}, {KEY_H, 'H', u'h', u'H'},
    {KEY_J, 'J', u'j', u'J'}, {KEY_K, 'K', u'k', u'K'}, {KEY_L, 'L', u'l', u'L'}, {KEY_Z, 'Z', u'z', u'Z'},
    {KEY_X, 'X', u'x', u'X'}, {KEY_C, 'C', u'c', u'C'}, {KEY_V, 'V', u'v', u'V'}, {KEY_B, 'B', u'b', u'B'},
    {KEY_N, 'N', u'n', u'N'}, {KEY_M, 'M', u'm', u'M'},
    {KEY_MINUS, 189, u'-', u'_'}, {KEY_EQUAL, 187, u'=', u'+'}, {KEY_LEFTBRACE, 219, u'[', u'{'},
    {KEY_RIGHTBRACE, 221, u']', u'}'}, {KEY_SEMICOLON, 186, u';', u':'}, {KEY_APOSTROPHE, 222, u'\'', u'"'},
    {KEY_GRAVE, 192, u'`', u'~'}, {KEY_BACKSLASH, 220, u'\\', u'|'}, {KEY_COMMA, 188, u',', u'<'},
    {KEY_DOT, 190, u'.', u'>'}, {KEY_SLASH, 191, u'/', u'?'}, {KEY_SPACE, ' ', u' ', u' '},
    {KEY_TAB, 9, u'\t', u'\t'}, {KEY_ENTER, 13, u'\r', u'\r'}, {KEY_KPENTER, 13, u'\r', u'\r'},
    {KEY_BACKSPACE, 8, 8, 8}, {KEY_ESC, 27, 27, 27},
    // The keypad, read as with NumLock on: a scanner types digits or Alt codes on it.
    {KEY_KP0, 0x60, u'0', u'0'}, {KEY_KP1, 0x61, u'1', u'1'}, {KEY_KP2, 0x62, u'2', u'2'},
    {KEY_KP3, 0x63, u'3', u'3'}, {KEY_KP4, 0x64, u'4', u'4'}, {KEY_KP5, 0x65, u'5', u'5'},
    {KEY_KP6, 0x66, u'6', u'6'}, {KEY_KP7, 0x67, u'7', u'7'}, {KEY_KP8, 0x68, u'8', u'8'},
    {KEY_KP9, 0x69, u'9', u'9'}, {KEY_KPASTERISK, 0x6A, u'*', u'*'}, {KEY_KPPLUS, 0x6B, u'+', u'+'},
    {KEY_KPMINUS, 0x6D, u'-', u'-'}, {KEY_KPDOT, 0x6E, u'.', u'.'}, {KEY_KPSLASH, 0x6F, u'/', u'/'},
    {KEY_LEFTSHIFT, kVkShift, 0, 0}, {KEY_RIGHTSHIFT, kVkShift, 0, 0},
    {KEY_LEFTCTRL, kVkControl, 0, 0}, {KEY_RIGHTCTRL, kVkControl, 0, 0},
    {KEY_LEFTALT, kVkAlt, 0, 0}, {KEY_RIGHTALT, kVkAlt, 0, 0},
    {KEY_CAPSLOCK, kVkCapsLock, 0, 0}, {KEY_NUMLOCK, kVkNumLock, 0, 0},
};
// clang-format on

const UsKey* FindKey(uint16_t code) noexcept {
    for (const UsKey& key : kUsKeys)
        if (key.code == code) return &key;
    return nullptr;
}

bool Held(const IsKeyDown& isDown, uint16_t left, uint16_t right) { return isDown(left) || isDown(right); }

// The character Windows translates the key to under the US layout: Caps Lock
// turns the case of letters, and Ctrl makes the control characters of the
// letters, of [ \ ] (GS is Ctrl+]) and of Shift+6 and Shift+-.
char16_t CharacterOf(const UsKey& key, bool shift, bool ctrl, bool capsLockOn) noexcept {
    if (ctrl) {
        const char16_t c = shift ? key.shifted : key.plain;
        if (IsLatinLetter(c)) return static_cast<char16_t>(c & 0x1F);
        if (c == u'[' || c == u'\\' || c == u']' || c == u'^' || c == u'_') return static_cast<char16_t>(c & 0x1F);
        return 0;
    }
    const bool upper = IsLatinLetter(key.plain) ? shift != capsLockOn : shift;
    return upper ? key.shifted : key.plain;
}

}  // namespace

void InputKeyDecoder::Start(bool capsLockOn) noexcept {
    framer_.Reset();
    capsLockOn_ = capsLockOn;
}

std::optional<std::u16string> InputKeyDecoder::Feed(uint32_t message, uintptr_t wParam, const IsKeyDown& isDown,
                                                    uint64_t nowMs, const KeyFramerConfig& config, bool* swallowed) {
    HookMessage m;
    m.removeFlag = 1;
    m.message = message;
    m.wParam = wParam;
    m.shiftDown = Held(isDown, KEY_LEFTSHIFT, KEY_RIGHTSHIFT);
    m.capsLockOn = capsLockOn_;
    KeyVerdict verdict = framer_.OnMessage(m, nowMs, config);
    if (swallowed) *swallowed = verdict.swallow;
    return std::move(verdict.code);
}

std::optional<std::u16string> InputKeyDecoder::OnKey(const InputKeyEvent& event, const IsKeyDown& isDown,
                                                     uint64_t nowMs, const KeyFramerConfig& config) {
    if (event.value != 0 && event.value != 1) return std::nullopt;
    const UsKey* key = FindKey(event.code);
    if (!key) return std::nullopt;
    const bool press = event.value == 1;
    if (press && key->vk == kVkCapsLock) capsLockOn_ = !capsLockOn_;

    // The messages the Windows hook would see: Alt itself, and any key while
    // Alt is held, come as system keys and make no characters there, so the
    // framer composes Alt+keypad codes from them alone.
    const bool alt = key->vk != kVkAlt && Held(isDown, KEY_LEFTALT, KEY_RIGHTALT);
    if (!press) return Feed(alt ? kWmSysKeyUp : kWmKeyUp, key->vk, isDown, nowMs, config);
    if (alt) return Feed(kWmSysKeyDown, key->vk, isDown, nowMs, config);

    bool swallowed = false;
    std::optional<std::u16string> code = Feed(kWmKeyDown, key->vk, isDown, nowMs, config, &swallowed);
    // A key-down the framer takes (the prefix, the suffix) makes no character.
    if (code || swallowed || key->vk == kVkAlt) return code;
    const bool shift = Held(isDown, KEY_LEFTSHIFT, KEY_RIGHTSHIFT);
    const bool ctrl = Held(isDown, KEY_LEFTCTRL, KEY_RIGHTCTRL);
    const char16_t ch = CharacterOf(*key, shift, ctrl, capsLockOn_);
    if (ch == 0) return std::nullopt;
    return Feed(kWmChar, ch, isDown, nowMs, config);
}

}  // namespace veltra
