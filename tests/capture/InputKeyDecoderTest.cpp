#include "core/capture/InputKeyDecoder.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <bitset>
#include <initializer_list>
#include <vector>

#include "core/common/Text.h"

namespace veltra {
namespace {

struct Event {
    uint16_t code;
    int32_t value;
};

using Events = std::vector<Event>;

Events Tap(std::initializer_list<uint16_t> codes) {
    Events out;
    for (uint16_t c : codes) {
        out.push_back({c, 1});
        out.push_back({c, 0});
    }
    return out;
}

// The keys pressed while `held` is down.
Events With(uint16_t held, const Events& inner) {
    Events out{{held, 1}};
    out.insert(out.end(), inner.begin(), inner.end());
    out.push_back({held, 0});
    return out;
}

Events Join(std::initializer_list<Events> parts) {
    Events out;
    for (const Events& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Alt+keypad: Alt held while the keypad digits are typed.
Events AltCode(std::initializer_list<uint16_t> keypadDigits) { return With(KEY_LEFTALT, Tap(keypadDigits)); }

const Events kPrefix = Tap({KEY_GRAVE});  // "~", key code 192
const Events kSuffix = Tap({KEY_ENTER});  // Enter, key code 13
const Events kGs = AltCode({KEY_KP0, KEY_KP0, KEY_KP2, KEY_KP9});

struct Row {
    const char* name;
    const char16_t* prefix;  // the stored key code, or empty
    bool namedDevice;        // no prefix needed
    bool capsLedOn;
    Events events;
    std::vector<std::u16string> codes;
};

// Each row runs on a fresh decoder; the device's key states are kept from the
// events as libevdev keeps them, and every key comes 1 ms after the last.
TEST(InputKeyDecoder, FramesCodesFromKeyEvents) {
    const std::u16string gs(1, u'\x1D');
    const std::vector<Row> rows = {
        {"plain", u"192", false, false, Join({kPrefix, Tap({KEY_A, KEY_1, KEY_MINUS}), kSuffix}), {u"a1-"}},
        {"shift",
         u"192",
         false,
         false,
         Join({kPrefix, With(KEY_LEFTSHIFT, Tap({KEY_A, KEY_1})), Tap({KEY_B}), With(KEY_RIGHTSHIFT, Tap({KEY_C})),
               kSuffix}),
         {u"A!bC"}},
        // Caps Lock does not change what the scanner meant: Shift alone decides.
        {"caps lock typed",
         u"192",
         false,
         false,
         Join({kPrefix, Tap({KEY_CAPSLOCK, KEY_A}), With(KEY_LEFTSHIFT, Tap({KEY_B})), Tap({KEY_2}), kSuffix}),
         {u"aB2"}},
        {"caps lock led on",
         u"192",
         false,
         true,
         Join({kPrefix, Tap({KEY_A}), With(KEY_LEFTSHIFT, Tap({KEY_B})), kSuffix}),
         {u"aB"}},
        {"alt keypad gs",
         u"192",
         false,
         false,
         Join({kPrefix, Tap({KEY_0, KEY_1}), kGs, Tap({KEY_9, KEY_1}), kSuffix}),
         {u"01" + gs + u"91"}},
        {"ctrl bracket gs",
         u"192",
         false,
         false,
         Join({kPrefix, Tap({KEY_0, KEY_1}), With(KEY_LEFTCTRL, Tap({KEY_RIGHTBRACE})), Tap({KEY_9}), kSuffix}),
         {u"01" + gs + u"9"}},
        {"marking code",
         u"192",
         false,
         false,
         Join({kPrefix, Tap({KEY_0, KEY_1, KEY_0, KEY_4}), With(KEY_LEFTSHIFT, Tap({KEY_5, KEY_APOSTROPHE, KEY_X})),
               kGs, Tap({KEY_9, KEY_3, KEY_KPDOT, KEY_SLASH}), kSuffix}),
         {u"0104%\"X" + gs + u"93./"}},
        {"repeat ignored",
         u"192",
         false,
         false,
         Join({kPrefix, Events{{KEY_A, 1}, {KEY_A, 2}, {KEY_A, 2}, {KEY_A, 0}}, kSuffix}),
         {u"a"}},
        {"keys outside a code",
         u"192",
         false,
         false,
         Join({Tap({KEY_A, KEY_F1}), kPrefix, Tap({KEY_F1, KEY_B}), kSuffix, Tap({KEY_C})}),
         {u"b"}},
        {"two codes",
         u"192",
         false,
         false,
         Join({kPrefix, Tap({KEY_1}), kSuffix, kPrefix, Tap({KEY_2}), kSuffix}),
         {u"1", u"2"}},
        {"named device without prefix",
         u"",
         true,
         false,
         Join({Tap({KEY_A, KEY_B}), kSuffix, Tap({KEY_C}), kSuffix}),
         {u"ab", u"c"}},
        {"named device, prefix set", u"192", true, false, Join({Tap({KEY_A}), kPrefix, Tap({KEY_B}), kSuffix}), {u"b"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InputKeyDecoder decoder;
        decoder.Start(row.capsLedOn);
        KeyFramerConfig config = MakeKeyFramerConfig(row.prefix, u"13", 1000);
        config.startAtAnyKey = row.namedDevice;
        std::bitset<KEY_CNT> down;
        const IsKeyDown isDown = [&](uint16_t code) { return down.test(code); };
        std::vector<std::u16string> codes;
        uint64_t now = 0;
        for (const Event& e : row.events) {
            if (e.value != 2) down.set(e.code, e.value == 1);
            if (auto code = decoder.OnKey({e.code, e.value}, isDown, ++now, config)) codes.push_back(*code);
        }
        EXPECT_EQ(codes, row.codes);
    }
}

// The time limit counts from the first key of a code, as with the hook.
TEST(InputKeyDecoder, DropsCode_WhenSuffixComesAfterTimeLimit) {
    for (const bool namedDevice : {false, true}) {
        SCOPED_TRACE(namedDevice ? "named device" : "prefix");
        InputKeyDecoder decoder;
        decoder.Start(false);
        KeyFramerConfig config = MakeKeyFramerConfig(namedDevice ? u"" : u"192", u"13", 100);
        config.startAtAnyKey = namedDevice;
        const IsKeyDown nothingHeld = [](uint16_t) { return false; };
        std::vector<std::u16string> codes;
        const std::vector<std::pair<Event, uint64_t>> steps = {
            {{KEY_GRAVE, 1}, 0},   {{KEY_A, 1}, 50},  {{KEY_ENTER, 1}, 101},  // too late
            {{KEY_GRAVE, 1}, 200}, {{KEY_B, 1}, 250}, {{KEY_ENTER, 1}, 300},
        };
        for (const auto& [e, at] : steps)
            if (auto code = decoder.OnKey({e.code, e.value}, nothingHeld, at, config)) codes.push_back(*code);
        EXPECT_EQ(codes, std::vector<std::u16string>{namedDevice ? u"`b" : u"b"});
    }
}

}  // namespace
}  // namespace veltra
