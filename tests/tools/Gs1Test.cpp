#include "gs1/Gs1.h"

#include <gtest/gtest.h>

#include <string>

#include "core/common/Text.h"

namespace veltra::bench {
namespace {

// UTF-8 text with <GS> standing for the separator.
std::u16string Code(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 4, "<GS>") == 0) {
            bytes += '\x1D';
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    return FromUtf8(bytes);
}

std::string Ascii(const std::u16string& text) { return ToUtf8(text); }

// "(01)04607012345677=ok (21)ABC123 | check-digit (01) 7 | marking: missing (91) | hint (21) 91"
std::string Describe(const Gs1Split& split) {
    std::string out;
    for (const Gs1Field& f : split.fields) {
        out += (out.empty() ? "(" : " (") + Ascii(f.ai) + ")" + Ascii(f.value);
        if (f.hasCheckDigit) out += f.checkDigitOk ? "=ok" : "=wrong";
    }
    static const char* const kNames[] = {"empty",    "suffix",      "unknown-ai",  "cut-short", "too-long",
                                         "bad-char", "check-digit", "bad-content", "extra-gs",  "repeated",
                                         "requires", "excludes",    "missing",     "length",    "hint"};
    const auto add = [&](const char* prefix, const Gs1Problem& p) {
        out += std::string(" | ") + prefix + kNames[static_cast<int>(p.fault)];
        if (!p.ai.empty()) out += " (" + Ascii(p.ai) + ")";
        if (!p.text.empty()) out += " " + Ascii(p.text);
        if (p.position) out += " @" + std::to_string(p.position);
        if (p.limit) out += " " + std::to_string(p.length) + "/" + std::to_string(p.limit);
    };
    for (const Gs1Problem& p : split.problems) add("", p);
    for (const Gs1Problem& p : split.marking) add("marking: ", p);
    for (const Gs1Problem& p : split.hints) add("", p);
    if (split.markingCode == MarkingCode::Complete) out += " | marking code";
    return out;
}

// A crypto tail of 44 characters, with what looks like AIs inside it.
const std::string kTail = "Yk3L0a93Pq+Zs/8tUv1Wx2Yz4Ab91Cd6Ef7Gh8Ij9Kl0";

TEST(SplitGs1_, ReadsByTheGs1Rules) {
    const struct {
        std::string code;
        std::string split;
    } rows[] = {
        // Marking codes as a scanner sends them, with a symbology identifier.
        {"]d20104607012345677"
         "21ABC123<GS>91EE11<GS>92" +
             kTail,
         "(01)04607012345677=ok (21)ABC123 (91)EE11 (92)" + kTail + " | marking code"},
        {"]e0010460701234567721ABC<GS>93wxyz", "(01)04607012345677=ok (21)ABC (93)wxyz | marking code"},
        {"010460701234567521ABC<GS>93wxyz",
         "(01)04607012345675=wrong (21)ABC (93)wxyz | check-digit (01) 7 | marking code"},
        // A variable-length field runs to the end: 93 inside a batch is no field.
        {"0109506000134352172612311020931", "(01)09506000134352=ok (17)261231 (10)20931"},
        {"01095060001343521726123110LOT42<GS>2191EE1193ab",
         "(01)09506000134352=ok (17)261231 (10)LOT42 (21)91EE1193ab"},
        // AIs the dictionary has and the ones it has not.
        {"0309506000134352<GS>42012345<GS>800301234567890128X",
         "(03)09506000134352=ok (420)12345 (8003)01234567890128X=ok"},
        {"0109506000134352310612345655X<GS>10A", "(01)09506000134352=ok (10)A | unknown-ai 310612345655X"},
        // Characters, dates, check digits inside other components.
        {"0109506000134352"
         "21AB#C",
         "(01)09506000134352=ok (21)AB#C | bad-char (21) # @3"},
        {"0109506000134352"
         "21ФЫВ",
         "(01)09506000134352=ok (21)ФЫВ | bad-char (21) Ф @1"},
        {"01095060001343521726133110A", "(01)09506000134352=ok (17)261331 (10)A | bad-content (17) 261331 @1"},
        {"01095060001343521726023010A", "(01)09506000134352=ok (17)260230 (10)A | bad-content (17) 260230 @1"},
        {"01095060001343521724022910A", "(01)09506000134352=ok (17)240229 (10)A"},
        {"0109506000134352422999", "(01)09506000134352=ok (422)999 | bad-content (422) 999 @1"},
        {"8013198765"
         "4Ad4X4bL5ttr2310c2A",
         "(8013)1987654Ad4X4bL5ttr2310c2A | check-digit (8013) 2K"},
        // Pairs the dictionary requires or forbids, an AI again with another value.
        {"0209506000134352", "(02)09506000134352=ok | requires (02) 37"},
        {"01095060001343520209506000134352<GS>37",
         "(01)09506000134352=ok (02)09506000134352=ok (37) | cut-short (37) 0/1"
         " | excludes (01) 37 | excludes (02) 01 | requires (37) 00+02,00+8026"},
        {"010950600013435221A<GS>21B", "(01)09506000134352=ok (21)A (21)B | repeated (21) A"},
        {"010950600013435221A<GS>21A", "(01)09506000134352=ok (21)A (21)A"},
        // Nothing to read, the scanner's suffix, separators with no field.
        {"", " | empty"},
        {"<GS>", " | empty"},
        {"]d2", " | empty"},
        {"010950600013435221A\r\n", "(01)09506000134352=ok (21)A | suffix \r\n"},
        {"010950600013435221A\rB", "(01)09506000134352=ok (21)A\rB | bad-char (21) \r @2"},
        {"<GS>0109506000134352<GS>21A<GS><GS>10B", "(01)09506000134352=ok (21)A (10)B | extra-gs"},
        {"010950600013435221A<GS>", "(01)09506000134352=ok (21)A | extra-gs"},
        // A marking code's profile.
        {"010460701234567721ABC<GS>91EE1<GS>92" + kTail.substr(1), "(01)04607012345677=ok (21)ABC (91)EE1 (92)" +
                                                                       kTail.substr(1) +
                                                                       " | marking: length (91) 4 3/4"
                                                                       " | marking: length (92) 44, 88 43/44"},
        {"0104607012345677<GS>92" + kTail,
         "(01)04607012345677=ok (92)" + kTail + " | marking: missing (21) | marking: missing (91)"},
        {"010460701234567721ABC", "(01)04607012345677=ok (21)ABC"},
        // Lost separators: a hint only where one (or two) more would make the code sound.
        {"010460701234567721ABC12391EE11<GS>92" + kTail,
         "(01)04607012345677=ok (21)ABC12391EE11 (92)" + kTail + " | marking: missing (91) | hint (21) 91"},
        {"010460701234567721ABC12391EE1192" + kTail,
         "(01)04607012345677=ok (21)ABC12391EE1192" + kTail + " | too-long (21) 58/20 | hint (21) 91 | hint (91) 92"},
        {"010460701234567721ABCDEFGHIJKLMNOPQRSTUVWXY",
         "(01)04607012345677=ok (21)ABCDEFGHIJKLMNOPQRSTUVWXY | too-long (21) 25/20"},
        {"01095060001343521726<GS>55X<GS>10A",
         "(01)09506000134352=ok (17)26 (10)A | cut-short (17) 2/6 | unknown-ai 55X"},
    };
    for (const auto& row : rows) EXPECT_EQ(Describe(SplitGs1(Code(row.code))), row.split) << row.code;
}

}  // namespace
}  // namespace veltra::bench
