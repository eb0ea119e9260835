// The key-framing state machine under arbitrary message sequences, checked
// against a plain model of its state table at every message.
//
// Input: a sequence of steps: a hook call (hook code, remove flag, message,
// wParam, time passed), a settings change, or a reset.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

#include "FuzzCheck.h"
#include "core/capture/KeyFramer.h"
#include "core/common/Messages.h"

using namespace veltra;
using fuzz::Ascii;

namespace {

constexpr uint32_t kWmDeadChar = 0x0103;
constexpr uintptr_t kAlt = 0x12;
// The keys a keypad sends for the digits 0..9 with NumLock off.
const uintptr_t kKeypadNavigation[] = {0x2D, 0x23, 0x28, 0x22, 0x25, 0x0C, 0x27, 0x24, 0x26, 0x21};

const char* const kPrefixes[] = {"192", "191", "220", "219", "221"};
const char* const kSuffixes[] = {"9", "13", "16", "17", "187"};
// Texts the setters never store; the framer must treat them as no key at all.
const char* const kNoKeys[] = {"", "0192", "+9", " 13", "-0", "13 ", "4294967488", "2147483648"};

struct Settings {
    std::string prefix;
    std::string suffix;
    int32_t limitMs = 1000;
};

std::string KeyText(FuzzedDataProvider& in, const char* const (&legal)[5]) {
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
        return kNoKeys[in.ConsumeIntegralInRange<size_t>(0, std::size(kNoKeys) - 1)];
    return legal[in.ConsumeIntegralInRange<size_t>(0, 4)];
}

Settings SomeSettings(FuzzedDataProvider& in) {
    Settings s;
    s.prefix = KeyText(in, kPrefixes);
    s.suffix = KeyText(in, kSuffixes);
    s.limitMs = in.ConsumeIntegralInRange<int32_t>(1, 65535);
    return s;
}

// A key matches when the decimal text of its code is the stored text.
bool Matches(uintptr_t code, const std::string& text) { return std::to_string(code) == text; }

uintptr_t Parsed(const std::string& text) { return text.empty() || text.size() > 9 ? 0 : std::stoul(text); }

int Digit(uintptr_t vk, bool extended) {
    if (vk >= 0x60 && vk <= 0x69) return static_cast<int>(vk - 0x60);
    for (int d = 0; d < 10 && !extended; ++d)
        if (kKeypadNavigation[d] == vk) return d;
    return -1;
}

// The state table, kept as simply as it reads.
struct Model {
    bool collecting = false;
    bool skipEnter = false;
    uint64_t startMs = 0;
    std::u16string buffer;
    bool composing = false;
    std::string digits;  // of the Alt code being typed
    bool echo = false;

    void TimeLimit(uint64_t nowMs, const Settings& s) {
        if (collecting && nowMs - startMs > static_cast<uint64_t>(s.limitMs)) {
            collecting = false;
            skipEnter = false;
            composing = false;
        }
    }

    KeyVerdict On(const HookMessage& m, uint64_t nowMs, const Settings& s) {
        KeyVerdict v;
        if (m.hookCode < 0 || m.removeFlag == 0) return v;
        const bool altKeyDown = (m.message == kWmKeyDown || m.message == kWmSysKeyDown) && m.wParam == kAlt;
        if (m.message == kWmSysKeyDown || altKeyDown) {
            echo = false;
            if (m.message == kWmKeyDown) TimeLimit(nowMs, s);  // the limit is tested at key-downs only
            if (!collecting) return v;
            if (altKeyDown) {
                if (!composing) digits.clear();
                composing = true;
                v.swallow = true;
            } else if (composing && Digit(m.wParam, m.extendedKey) >= 0) {
                digits += static_cast<char>('0' + Digit(m.wParam, m.extendedKey));
                v.swallow = true;
            } else if (composing && m.wParam == 0x90) {
                v.swallow = true;
            } else {
                composing = false;
            }
        } else if (m.message == kWmSysChar) {
            v.swallow = collecting && composing;
        } else if ((m.message == kWmSysKeyUp || (m.message == kWmKeyUp && m.wParam == kAlt)) && collecting &&
                   composing) {
            v.swallow = true;
            if (m.wParam == kAlt) {
                unsigned code = 0;
                for (char d : digits) code = (code * 10 + static_cast<unsigned>(d - '0')) % 256;
                if (code != 0) {
                    buffer.push_back(static_cast<char16_t>(code));
                    echo = true;
                }
                composing = false;
            }
        } else if (m.message == kWmKeyDown) {
            composing = false;
            echo = false;
            const uintptr_t vk = m.wParam;
            TimeLimit(nowMs, s);
            if (Matches(vk, s.prefix) && !collecting) {
                collecting = true;
                buffer.clear();
                startMs = nowMs;
                v.swallow = true;
                v.layout = LayoutAction::SaveAndSwitchToUS;
            }
            if (Matches(vk, s.suffix) && collecting) {
                collecting = false;
                v.code = buffer;
                buffer.clear();
                v.swallow = true;
                skipEnter = true;
                v.layout = LayoutAction::RestoreSaved;
            }
            if (skipEnter && vk == 13) {
                v.swallow = true;
                skipEnter = false;
            }
        } else if (m.message == kWmChar && collecting && echo) {
            echo = false;
            v.swallow = true;
        } else if (m.message == kWmChar && collecting) {
            uintptr_t ch = m.wParam;
            if (ch <= 0xFFFF && ch != 16 && !Matches(ch, s.prefix) && !Matches(ch, s.suffix)) {
                const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
                if (letter && m.capsLockOn)
                    ch = m.shiftDown ? std::toupper(static_cast<int>(ch)) : std::tolower(static_cast<int>(ch));
                buffer.push_back(static_cast<char16_t>(ch));
                v.swallow = true;
            }
        }
        return v;
    }
};

uintptr_t SomeWParam(FuzzedDataProvider& in, const Settings& s) {
    switch (in.ConsumeIntegralInRange<int>(0, 13)) {
    case 10: return kAlt;
    case 11: return in.ConsumeIntegralInRange<uintptr_t>(0x60, 0x69);
    case 12: return kKeypadNavigation[in.ConsumeIntegralInRange<size_t>(0, 9)];
    case 13: return in.ConsumeBool() ? 0x90 : in.ConsumeIntegralInRange<uintptr_t>('A', 'z');
    case 0: return Parsed(s.prefix);
    case 1: return Parsed(s.suffix);
    case 2: return 13;
    case 3: return 16;
    case 4: return Parsed(kPrefixes[in.ConsumeIntegralInRange<size_t>(0, 4)]);
    case 5: return Parsed(kSuffixes[in.ConsumeIntegralInRange<size_t>(0, 4)]);
    case 6: return in.ConsumeIntegral<uint16_t>();
    // Wider than a character, some of them equal to a key code in the low 32 bits.
    case 7: return static_cast<uintptr_t>(in.ConsumeIntegral<uint64_t>());
    case 8: return (static_cast<uintptr_t>(1) << (sizeof(uintptr_t) * 8 - 1)) | Parsed(s.prefix);
    default: return in.ConsumeIntegral<uint8_t>();
    }
}

uint32_t SomeMessage(FuzzedDataProvider& in) {
    static const uint32_t kOthers[] = {0, kWmKeyUp, kWmDeadChar, kWmSysKeyUp, kWmSysChar, 0x0200};
    const int pick = in.ConsumeIntegralInRange<int>(0, 9);
    if (pick < 3) return kWmKeyDown;
    if (pick < 6) return kWmChar;
    if (pick < 8) return kWmSysKeyDown;
    return kOthers[in.ConsumeIntegralInRange<size_t>(0, std::size(kOthers) - 1)];
}

// Time steps cluster at the limit, where the off-by-one faults live.
uint64_t Advance(FuzzedDataProvider& in, uint64_t nowMs, const Model& model, const Settings& s) {
    const uint64_t due = model.startMs + static_cast<uint64_t>(s.limitMs);
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return nowMs + in.ConsumeIntegralInRange<uint64_t>(1, 40);
    case 1: return model.collecting && due >= nowMs ? due : nowMs;
    case 2: return model.collecting && due + 1 >= nowMs ? due + 1 : nowMs;
    case 3: return nowMs + in.ConsumeIntegralInRange<uint64_t>(0, 1ull << 32);
    default: return nowMs;
    }
}

void Check(bool same, const KeyVerdict& got, const KeyVerdict& want) {
    if (same) return;
    std::fprintf(stderr, "verdict: swallow %d/%d layout %d/%d code %d/%d\n", got.swallow, want.swallow,
                 static_cast<int>(got.layout), static_cast<int>(want.layout), got.code.has_value(),
                 want.code.has_value());
    if (got.code) fuzz::Show("got code", *got.code);
    if (want.code) fuzz::Show("want code", *want.code);
    FUZZ_CHECK(same);
}

size_t g_TraceLines = 0;
void CountTrace(const std::u16string&) { ++g_TraceLines; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    SetTraceSink(in.ConsumeBool() ? &CountTrace : nullptr);
    Settings settings = SomeSettings(in);
    KeyFramerConfigCache cache;
    KeyFramer framer;
    Model model;
    uint64_t nowMs = in.ConsumeIntegral<uint32_t>();

    for (int steps = 0; steps < 4096 && in.remaining_bytes() > 0; ++steps) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 31);
        if (kind == 0) {
            settings = SomeSettings(in);
            continue;
        }
        if (kind == 1) {
            framer.Reset();
            model = Model();
            continue;
        }

        HookMessage m;
        const int hook = in.ConsumeIntegralInRange<int>(0, 9);
        m.hookCode = hook == 0 ? -1 : hook == 1 ? INT32_MIN : hook == 2 ? 1 : 0;
        const int remove = in.ConsumeIntegralInRange<int>(0, 7);
        m.removeFlag = remove == 0 ? 0 : remove == 1 ? in.ConsumeIntegral<uintptr_t>() | 2 : 1;
        m.message = SomeMessage(in);
        m.wParam = SomeWParam(in, settings);
        m.extendedKey = in.ConsumeBool();
        m.shiftDown = in.ConsumeBool();
        m.capsLockOn = in.ConsumeBool();
        nowMs = Advance(in, nowMs, model, settings);

        const KeyFramerConfig& config = cache.Get(Ascii(settings.prefix), Ascii(settings.suffix), settings.limitMs);
        const bool wasCollecting = framer.Collecting();
        const bool wasSkipEnter = framer.SkipEnter();
        const bool lookedAt = m.hookCode < 0 || m.removeFlag == 0;
        const bool wants = framer.Wants(m);
        const KeyVerdict got = framer.OnMessage(m, nowMs, config);
        const KeyVerdict want = model.On(m, nowMs, settings);

        const bool ofAltCode = m.message == kWmSysKeyDown || m.message == kWmSysKeyUp || m.message == kWmSysChar ||
                               (m.message == kWmKeyUp && m.wParam == kAlt);
        FUZZ_CHECK(wants ==
                   (!lookedAt && (m.message == kWmKeyDown || ((m.message == kWmChar || ofAltCode) && wasCollecting))));
        if (!wants) {
            // Looked-at messages, and all others it does not want, pass untouched.
            FUZZ_CHECK(!got.swallow && got.layout == LayoutAction::None && !got.code);
            FUZZ_CHECK(framer.Collecting() == wasCollecting && framer.SkipEnter() == wasSkipEnter);
        }
        // Only messages of a code being collected are taken away, prefix and Enter aside.
        if (got.swallow && m.message != kWmKeyDown) FUZZ_CHECK(wants && wasCollecting);
        if (got.code) {
            FUZZ_CHECK(got.swallow && got.layout == LayoutAction::RestoreSaved);
            FUZZ_CHECK(wasCollecting && m.message == kWmKeyDown && Matches(m.wParam, settings.suffix));
        }
        Check(got.swallow == want.swallow && got.layout == want.layout && got.code == want.code, got, want);
        FUZZ_CHECK(framer.Collecting() == model.collecting && framer.SkipEnter() == model.skipEnter);
    }
    SetTraceSink(nullptr);
    return 0;
}
