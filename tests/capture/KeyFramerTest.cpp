#include "core/capture/KeyFramer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {
namespace {

constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uintptr_t kVkTab = 9, kVkShift = 16, kVkTilde = 192, kVkEqual = 187;

struct Expect {
    bool swallow;
    LayoutAction layout;
    const char16_t* code;  // nullptr: no code finished
};
constexpr Expect kPass{false, LayoutAction::None, nullptr};
constexpr Expect kSwallow{true, LayoutAction::None, nullptr};
constexpr Expect kStart{true, LayoutAction::SaveAndSwitchToUS, nullptr};
constexpr Expect Finish(const char16_t* code) { return {true, LayoutAction::RestoreSaved, code}; }

// Characters carry no time of their own; they are fed with a time far past
// any limit, so a framer that tested the limit at characters would show it.
constexpr uint64_t kCharTime = UINT64_MAX;

struct Step {
    HookMessage msg;
    uint64_t atMs;
    Expect expect;
};
constexpr Step Down(uintptr_t vk, uint64_t at, Expect e) { return {{0, 1, kWmKeyDown, vk}, at, e}; }
constexpr Step Up(uintptr_t vk, uint64_t at) { return {{0, 1, kWmKeyUp, vk}, at, kPass}; }
constexpr Step Char(uintptr_t ch, Expect e) { return {{0, 1, kWmChar, ch}, kCharTime, e}; }
// Looked at without removal, or handed over with a negative hook code.
constexpr Step PeekDown(uintptr_t vk, uint64_t at) { return {{0, 0, kWmKeyDown, vk}, at, kPass}; }
constexpr Step PeekChar(uintptr_t ch) { return {{0, 0, kWmChar, ch}, kCharTime, kPass}; }
constexpr Step SkipDown(uintptr_t vk, uint64_t at) { return {{-1, 1, kWmKeyDown, vk}, at, kPass}; }
constexpr Step Other(uint32_t message, uintptr_t wParam) { return {{0, 1, message, wParam}, 0, kPass}; }
// The messages of an Alt+keypad code; with Alt held, keys arrive as system keys.
constexpr uintptr_t kVkNumpad0 = 0x60, kVkNumLock = 0x90, kVkControl = 17, kVkBracket = 221;
constexpr Step SysDown(uintptr_t vk, Expect e, bool extended = false) {
    return {{0, 1, kWmSysKeyDown, vk, extended}, 5, e};
}
constexpr Step SysUp(uintptr_t vk, Expect e) { return {{0, 1, kWmSysKeyUp, vk}, 5, e}; }
constexpr Step SysChar(uintptr_t ch, Expect e) { return {{0, 1, kWmSysChar, ch}, kCharTime, e}; }
constexpr Step AltUp(Expect e) { return {{0, 1, kWmKeyUp, kVkAlt}, 5, e}; }
// A character typed with the keyboard state of the moment.
constexpr Step CharIn(uintptr_t ch, bool shift, bool capsLock, Expect e) {
    return {{0, 1, kWmChar, ch, false, shift, capsLock}, kCharTime, e};
}

std::string Describe(const HookMessage& m, uint64_t at) {
    std::ostringstream out;
    if (m.hookCode < 0) out << "code" << m.hookCode << ' ';
    if (m.removeFlag == 0) out << "peek ";
    switch (m.message) {
    case kWmKeyDown: out << "down " << m.wParam << " @" << at; break;
    case kWmKeyUp: out << "up " << m.wParam; break;
    case kWmChar: out << "char " << m.wParam; break;
    default: out << "msg 0x" << std::hex << m.message << std::dec << ' ' << m.wParam;
    }
    return out.str();
}

std::string Describe(bool swallow, LayoutAction layout, const std::optional<std::u16string>& code) {
    std::string text = swallow ? "swallow" : "pass";
    if (layout == LayoutAction::SaveAndSwitchToUS) text += " +switch";
    if (layout == LayoutAction::RestoreSaved) text += " +restore";
    if (code) {
        text += " code \"";
        for (char16_t unit : *code) {
            if (unit >= 0x20) {
                text += ToUtf8(std::u16string(1, unit));
                continue;
            }
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(unit));
            text += escaped;
        }
        text += '"';
    }
    return text;
}

bool Matches(const KeyVerdict& got, const Expect& want) {
    if (got.swallow != want.swallow || got.layout != want.layout) return false;
    if (!want.code) return !got.code;
    return got.code && *got.code == want.code;
}

// Feeds every step, records the verdicts, and on any mismatch names the rows
// and prints the whole recording.
template <size_t N>
void ExpectSequence(KeyFramer& framer, const KeyFramerConfig& config, const Step (&steps)[N]) {
    std::ostringstream recording, mismatches;
    for (size_t i = 0; i < N; ++i) {
        const KeyVerdict got = framer.OnMessage(steps[i].msg, steps[i].atMs, config);
        const std::string line =
            Describe(steps[i].msg, steps[i].atMs) + " -> " + Describe(got.swallow, got.layout, got.code);
        recording << "  " << i << ": " << line << '\n';
        if (!Matches(got, steps[i].expect)) {
            std::optional<std::u16string> wantCode;
            if (steps[i].expect.code) wantCode = steps[i].expect.code;
            mismatches << "row " << i << ": " << line << ", expected "
                       << Describe(steps[i].expect.swallow, steps[i].expect.layout, wantCode) << '\n';
        }
    }
    if (!mismatches.str().empty()) ADD_FAILURE() << mismatches.str() << "recorded:\n" << recording.str();
}

KeyFramerConfig Config(const char16_t* prefix, const char16_t* suffix, int32_t limitMs = 1000) {
    return MakeKeyFramerConfig(prefix, suffix, limitMs);
}

// The step tables keep a line for each keystroke or each phase of a code.
// clang-format off
TEST(KeyFramer, QueuesCodeAndHidesFrameAndCharacters_WhenSuffixWithinLimit) {
    const Step steps[] = {
        Down(kVkTilde, 100, kStart), Up(kVkTilde, 110),
        Down('4', 120, kPass), Char(u'4', kSwallow), Up('4', 125),
        Down('6', 130, kPass), Char(u'6', kSwallow), Up('6', 135),
        Down('0', 140, kPass), Char(u'0', kSwallow), Up('0', 145),
        Down('7', 150, kPass), Char(u'7', kSwallow), Up('7', 155),
        Down(kVkTab, 160, Finish(u"4607")), Up(kVkTab, 170),
        Down('1', 180, kPass), Char(u'1', kPass),  // after the code the user types freely
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
    EXPECT_FALSE(framer.Collecting());
}

TEST(KeyFramer, FinishesCode_WhenSuffixExactlyAtLimit) {
    const Step steps[] = {Down(kVkTilde, 5000, kStart), Char(u'1', kSwallow), Down(kVkTab, 6000, Finish(u"1"))};
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, DropsCodeAndLeavesLayout_WhenSuffixComesAfterLimit) {
    const Step steps[] = {
        Down(kVkTilde, 5000, kStart), Down('1', 5100, kPass), Char(u'1', kSwallow),
        Down(kVkTab, 6001, kPass),  // reaches the host, no restore of the layout
        Char(u'\t', kPass),
        Down(kVkEnter, 6100, kPass),  // no pending Enter from a dropped code
        Char(u'2', kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
    EXPECT_FALSE(framer.Collecting());
}

TEST(KeyFramer, StartsNewCode_WhenTimedOutKeyDownIsPrefix) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Char(u'x', kSwallow),
        Down(kVkTilde, 2000, kStart), Char(u'7', kSwallow), Down(kVkTab, 2100, Finish(u"7")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, QueuesEmptyCode_WhenSuffixFollowsPrefix) {
    const Step steps[] = {Down(kVkTilde, 0, kStart), Down(kVkTab, 1, Finish(u""))};
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, PassesSecondPrefixKeyDownButCollectsItsCharacter_WhenInsideCode) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Down('1', 10, kPass), Char(u'1', kSwallow),
        Down(kVkTilde, 20, kPass), Char(u'`', kSwallow), Up(kVkTilde, 25),
        Down(kVkTab, 30, Finish(u"1`")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, NeverCollectsCharacter_WhenCode16OrPrefixOrSuffixText) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart),
        Char(16, kPass), Char(192, kPass), Char(187, kPass), Char(u'A', kSwallow),
        Down(kVkEqual, 10, Finish(u"A")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"187"), steps);
}

TEST(KeyFramer, EndsCodeAtShift_WhenSuffixIsShift) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Down('4', 10, kPass), Char(u'4', kSwallow),
        Down(kVkShift, 20, Finish(u"4")), Down('A', 21, kPass), Char(u'A', kPass), Up(kVkShift, 22),
        Down(kVkShift, 30, kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"16"), steps);
}

TEST(KeyFramer, SwallowsNextEnterOnce_WhenSuffixIsNotEnter) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Char(u'5', kSwallow), Down(kVkTab, 50, Finish(u"5")),
        Down('A', 60, kPass), Char(u'a', kPass),
        Down(kVkEnter, 3'600'000, kSwallow),  // an hour later still
        Down(kVkEnter, 3'600'100, kPass), Char(u'\r', kPass),
        // The pending Enter is independent of the framing state.
        Down(kVkTilde, 4'000'000, kStart), Down(kVkTab, 4'000'010, Finish(u"")),
        Down(kVkTilde, 4'000'020, kStart), Down(kVkEnter, 4'000'030, kSwallow), Down(kVkEnter, 4'000'040, kPass),
        Char(u'\r', kSwallow), Down(kVkTab, 4'000'050, Finish(u"\r")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
    EXPECT_TRUE(framer.SkipEnter());
}

TEST(KeyFramer, SwallowsNoLaterEnter_WhenSuffixIsEnter) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Char(u'5', kSwallow), Down(kVkEnter, 50, Finish(u"5")),
        Down(kVkEnter, 60, kPass), Char(u'\r', kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"13"), steps);
    EXPECT_FALSE(framer.SkipEnter());
}

TEST(KeyFramer, ClearsPendingEnter_WhenCodeTimesOut) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart), Down(kVkTab, 10, Finish(u"")),
        Down(kVkTilde, 20, kStart), Down('X', 2000, kPass), Down(kVkEnter, 2010, kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, NeverChangesLookedAtMessages) {
    const Step steps[] = {
        PeekDown(kVkTilde, 0), SkipDown(kVkTilde, 0),  // neither starts a code
        Down(kVkTilde, 10, kStart),
        PeekChar(u'1'), Char(u'1', kSwallow), PeekChar(u'1'),
        PeekDown(kVkTab, 20), SkipDown(kVkTab, 20), PeekChar(u'\t'),
        {{-1, 1, kWmChar, u'2'}, kCharTime, kPass},
        Down(kVkTab, 30, Finish(u"1")),
        PeekDown(kVkEnter, 40), SkipDown(kVkEnter, 40), Down(kVkEnter, 50, kSwallow),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, PassesKeyUpsAndOtherMessages) {
    const Step steps[] = {
        Up(kVkTilde, 0), Up(kVkTab, 0), Other(kWmSysKeyDown, kVkTilde),
        Down(kVkTilde, 10, kStart),
        Up(kVkTilde, 11), Up(kVkTab, 12), Up(kVkEnter, 13), Other(kWmSysKeyDown, kVkTab),
        Other(kWmMouseMove, 0), Other(0, 0), Other(0x0106 /* WM_SYSCHAR */, u'z'),
        Down(kVkTab, 20, Finish(u"")), Up(kVkEnter, 21),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, FinishesCode_WhenCounterCrossesDayAndThirtyTwoBitBoundaries) {
    constexpr uint64_t kDay = 86'400'000;
    constexpr uint64_t kTickWrap = 0x1'0000'0000;
    const Step steps[] = {
        Down(kVkTilde, kDay - 100, kStart), Char(u'1', kSwallow), Down(kVkTab, kDay + 300, Finish(u"1")),
        Down(kVkTilde, kTickWrap - 200, kStart), Char(u'2', kSwallow), Down(kVkTab, kTickWrap + 800, Finish(u"2")),
        Down(kVkTilde, kTickWrap + 900, kStart), Down(kVkTab, kTickWrap + 900 + 1001, kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, UsesSettingsOfEachMessage) {
    KeyFramer framer;
    const Step start[] = {Down(kVkTilde, 0, kStart), Char(u'1', kSwallow)};
    ExpectSequence(framer, Config(u"192", u"9", 1000), start);
    const Step finish[] = {Down(kVkTab, 1500, Finish(u"1"))};  // limit raised meanwhile
    ExpectSequence(framer, Config(u"192", u"9", 2000), finish);
}

TEST(KeyFramer, NeverMatchesKey_WhenTextIsNotCanonicalDecimal) {
    for (const char16_t* text : {u"", u"0192", u"+192", u" 192", u"192 ", u"-192", u"abc", u"99999999999"}) {
        SCOPED_TRACE(ToUtf8(text));
        KeyFramer framer;
        const Step noPrefix[] = {Down(kVkTilde, 0, kPass), Down(0, 1, kPass), Char(u'1', kPass)};
        ExpectSequence(framer, MakeKeyFramerConfig(text, u"9", 1000), noPrefix);
        // Without a usable suffix a code only ends at the time limit.
        const Step noSuffix[] = {
            Down(kVkTilde, 0, kStart), Down(kVkTab, 10, kPass), Down(0, 20, kPass), Char(u'1', kSwallow),
            Down(kVkTab, 1001, kPass), Char(u'\t', kPass),
        };
        ExpectSequence(framer, MakeKeyFramerConfig(u"192", text, 1000), noSuffix);
    }
}

TEST(KeyFramer, NeverCollectsCharacter_WhenWiderThanOneUnit) {
    const Step steps[] = {Down(kVkTilde, 0, kStart), Char(0x1'0041, kPass), Down(kVkTab, 1, Finish(u""))};
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, ComparesWholeKeyCode_WhenWParamIs64Bits) {
    if (sizeof(uintptr_t) < 8) GTEST_SKIP() << "wParam is 32 bits wide";
    const uintptr_t high = static_cast<uintptr_t>(uint64_t{1} << (sizeof(uintptr_t) * 8 - 1));
    const Step steps[] = {
        Down(high + kVkTilde, 0, kPass), Down(kVkTilde, 1, kStart),
        Down(high + kVkTab, 2, kPass), Down(kVkTab, 3, Finish(u"")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

TEST(KeyFramer, ResetReturnsToIdle) {
    KeyFramer framer;
    const Step before[] = {Down(kVkTilde, 0, kStart), Char(u'1', kSwallow), Down(kVkTab, 1, Finish(u"1")),
                           Down(kVkTilde, 2, kStart), Char(u'2', kSwallow)};
    ExpectSequence(framer, Config(u"192", u"9"), before);
    framer.Reset();
    EXPECT_FALSE(framer.Collecting());
    EXPECT_FALSE(framer.SkipEnter());
    const Step after[] = {Char(u'3', kPass), Down(kVkEnter, 3, kPass), Down(kVkTab, 4, kPass),
                          Down(kVkTilde, 5, kStart), Down(kVkTab, 6, Finish(u""))};
    ExpectSequence(framer, Config(u"192", u"9"), after);
}

// GS typed as Alt+0029 (Windows: the system's character for it follows the
// Alt release) and as Alt+029 with NumLock switched on first (Wine: a system
// character for each digit, none after the release); and with NumLock off,
// the keypad's navigation keys. The separator is collected once.
TEST(KeyFramer, ComposesAltKeypadCodes_InsideACode) {
    const Step windows[] = {
        Down(kVkTilde, 0, kStart), Char(u'1', kSwallow),
        SysDown(kVkAlt, kSwallow),
        SysDown(kVkNumpad0, kSwallow), SysUp(kVkNumpad0, kSwallow), SysDown(kVkNumpad0, kSwallow),
        SysUp(kVkNumpad0, kSwallow), SysDown(kVkNumpad0 + 2, kSwallow), SysUp(kVkNumpad0 + 2, kSwallow),
        SysDown(kVkNumpad0 + 9, kSwallow), SysUp(kVkNumpad0 + 9, kSwallow),
        SysUp(kVkAlt, kSwallow), Char(0x1D, kSwallow),
        Down(u'2', 1, kPass), Char(u'2', kSwallow), Down(kVkTab, 2, Finish(u"1\u001D2")),
    };
    const Step wine[] = {
        Down(kVkTilde, 0, kStart), Char(u'1', kSwallow),
        SysDown(kVkAlt, kSwallow), SysDown(kVkNumLock, kSwallow),
        SysDown(kVkNumpad0, kSwallow), SysChar(u'0', kSwallow), SysDown(kVkNumpad0 + 2, kSwallow),
        SysChar(u'2', kSwallow), SysDown(kVkNumpad0 + 9, kSwallow), SysChar(u'9', kSwallow),
        AltUp(kSwallow),
        Down(u'2', 1, kPass), Char(u'2', kSwallow), Down(kVkTab, 2, Finish(u"1\u001D2")),
    };
    const Step numLockOff[] = {
        Down(kVkTilde, 0, kStart),
        SysDown(kVkAlt, kSwallow), SysDown(0x2D /* Insert: 0 */, kSwallow), SysDown(0x28 /* Down: 2 */, kSwallow),
        SysDown(0x21 /* Page Up: 9 */, kSwallow), AltUp(kSwallow),
        SysDown(kVkAlt, kSwallow), SysDown(0x28, kPass, true), AltUp(kPass),  // the arrow key of the cluster: no digit
        Down(kVkTab, 2, Finish(u"\u001D")),
    };
    KeyFramer onWindows, onWine, withNumLockOff;
    ExpectSequence(onWindows, Config(u"192", u"9"), windows);
    ExpectSequence(onWine, Config(u"192", u"9"), wine);
    ExpectSequence(withNumLockOff, Config(u"192", u"9"), numLockOff);
}

// A scanner in Alt+keypad emulation types every character so; the user's own
// Alt sequences outside a code are not touched.
TEST(KeyFramer, CollectsACodeTypedWhollyAsAltCodes_AndLeavesAltSequencesOutsideACode) {
    const Step steps[] = {
        SysDown(kVkAlt, kPass), SysDown(kVkNumpad0 + 6, kPass), SysUp(kVkAlt, kPass), Char(u'B', kPass),
        Down(kVkTilde, 0, kStart),
        SysDown(kVkAlt, kSwallow), SysDown(kVkNumpad0 + 6, kSwallow), SysDown(kVkNumpad0 + 5, kSwallow),
        SysUp(kVkAlt, kSwallow), Char(u'A', kSwallow),
        SysDown(kVkAlt, kSwallow), SysDown(kVkNumpad0 + 4, kSwallow), SysDown(kVkNumpad0 + 9, kSwallow),
        SysUp(kVkAlt, kSwallow), Char(u'1', kSwallow),
        Down(kVkTab, 1, Finish(u"A1")),
        SysDown(kVkAlt, kPass), SysChar(u'f', kPass), AltUp(kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}

// Caps Lock on: a letter takes the case Shift alone gives it (Windows
// inverts it, Wine's translation of posted keys gives a capital with Shift);
// digits and GS as Ctrl+] are not touched.
TEST(KeyFramer, GivesLettersTheCaseOfShift_WhateverCapsLockSays_AndKeepsCtrlBracketGS) {
    const Step steps[] = {
        Down(kVkTilde, 0, kStart),
        CharIn(u'a', false, false, kSwallow), CharIn(u'A', true, false, kSwallow),  // Caps Lock off
        CharIn(u'A', false, true, kSwallow), CharIn(u'a', true, true, kSwallow),    // on, as Windows types
        CharIn(u'A', true, true, kSwallow), CharIn(u'1', false, true, kSwallow),    // on, as Wine types
        Down(kVkControl, 1, kPass), Down(kVkBracket, 2, kPass), Char(0x1D, kSwallow), Up(kVkControl, 3),
        Down(kVkTab, 4, Finish(u"aAaAA1\u001D")),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
}
// clang-format on

TEST(KeyFramer, WantsOnlyRemovedKeyDownsAndCharactersOfACode) {
    KeyFramer framer;
    const struct {
        HookMessage msg;
        bool idle, collecting;
    } rows[] = {
        {{0, 1, kWmKeyDown, 65}, true, true},    {{0, 1, kWmChar, 65}, false, true},
        {{0, 0, kWmKeyDown, 65}, false, false},  {{0, 0, kWmChar, 65}, false, false},
        {{-1, 1, kWmKeyDown, 65}, false, false}, {{-1, 1, kWmChar, 65}, false, false},
        {{0, 1, kWmKeyUp, 65}, false, false},    {{0, 1, kWmMouseMove, 0}, false, false},
        {{3, 2, kWmKeyDown, 65}, true, true},  // any non-zero flag removes
    };
    const KeyFramerConfig config = Config(u"192", u"9");
    for (bool collecting : {false, true}) {
        framer.Reset();
        if (collecting) framer.OnMessage({0, 1, kWmKeyDown, kVkTilde}, 0, config);
        for (size_t i = 0; i < std::size(rows); ++i)
            EXPECT_EQ(framer.Wants(rows[i].msg), collecting ? rows[i].collecting : rows[i].idle)
                << "row " << i << (collecting ? " collecting" : " idle");
    }
}

TEST(KeyFramerConfig_, ParsesCanonicalKeyTextsOnly) {
    const struct {
        const char16_t* text;
        bool has;
        uint32_t vk;
    } rows[] = {
        {u"192", true, 192}, {u"9", true, 9},           {u"0", true, 0},   {u"2147483647", true, 2147483647},
        {u"", false, 0},     {u"09", false, 0},         {u"-0", false, 0}, {u"-9", false, 0},
        {u"9a", false, 0},   {u"2147483648", false, 0},
    };
    for (const auto& row : rows) {
        const KeyFramerConfig c = MakeKeyFramerConfig(row.text, row.text, 7);
        EXPECT_EQ(c.hasPrefix, row.has) << ToUtf8(row.text);
        EXPECT_EQ(c.hasSuffix, row.has) << ToUtf8(row.text);
        if (row.has) {
            EXPECT_EQ(c.prefixVk, row.vk) << ToUtf8(row.text);
        }
        EXPECT_EQ(c.limitMs, 7);
    }
}

TEST(KeyFramerConfigCache_, FollowsChangedSettings) {
    KeyFramerConfigCache cache;
    const KeyFramerConfig* first = &cache.Get(u"192", u"9", 1000);
    EXPECT_TRUE(first->hasPrefix && first->hasSuffix);
    EXPECT_EQ(first->prefixVk, 192u);
    EXPECT_EQ(cache.Get(u"191", u"9", 1000).prefixVk, 191u);
    EXPECT_EQ(cache.Get(u"191", u"13", 1000).suffixVk, 13u);
    EXPECT_EQ(cache.Get(u"191", u"13", 250).limitMs, 250);
    EXPECT_FALSE(cache.Get(u"", u"13", 250).hasPrefix);
    EXPECT_FALSE(cache.Get(u"", u"", 250).hasSuffix);
}

std::vector<std::u16string>* g_TraceLines = nullptr;
void RecordTrace(const std::u16string& line) { g_TraceLines->push_back(line); }

struct TraceRecorder {
    std::vector<std::u16string> lines;
    TraceRecorder() {
        g_TraceLines = &lines;
        SetTraceSink(&RecordTrace);
    }
    ~TraceRecorder() {
        SetTraceSink(nullptr);
        g_TraceLines = nullptr;
    }
};

TEST(KeyFramer, TracesFixedWordings) {
    TraceRecorder trace;
    const Step steps[] = {
        Down(kVkTilde, 0, kStart),       Char(u'4', kSwallow),       Char(u'Ж', kSwallow),
        Down(kVkTab, 10, Finish(u"4Ж")), Down(kVkTilde, 20, kStart), Down('Q', 1021, kPass),
    };
    KeyFramer framer;
    ExpectSequence(framer, Config(u"192", u"9"), steps);
    const std::vector<std::u16string> expected = {
        u"Scaner Включился",    u"Код = 52",         u"Добавили символ = 4", u"Код = 1046",
        u"Добавили символ = Ж", u"Добавили ШК = 4Ж", u"Scaner Включился",    u"Вышли по Тайм Ауту!!",
    };
    EXPECT_EQ(trace.lines, expected);
}

}  // namespace
}  // namespace veltra
