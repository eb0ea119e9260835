#include "Gs1.h"

#include <gtest/gtest.h>

#include <string>

namespace veltra::bench {
namespace {

// ASCII text with <GS> standing for the separator.
std::u16string Code(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 4, "<GS>") == 0) {
            out += kGroupSeparator;
            i += 3;
        } else {
            out += static_cast<char16_t>(text[i]);
        }
    }
    return out;
}

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// "(01)04607012345677=ok (21)ABC123 | missing-gs (21) 91"
std::string Describe(const Gs1Split& split) {
    std::string out;
    for (const Gs1Field& f : split.fields) {
        out += (out.empty() ? "(" : " (") + Ascii(f.ai) + ")" + Ascii(f.value);
        if (f.hasCheckDigit) out += f.checkDigitOk ? "=ok" : "=wrong";
    }
    static const char* const kNames[] = {"unknown-ai",  "cut-short",  "not-digits",
                                         "check-digit", "missing-gs", "too-long"};
    for (const Gs1Problem& p : split.problems) {
        out += std::string(" | ") + kNames[static_cast<int>(p.fault)];
        if (!p.ai.empty()) out += " (" + Ascii(p.ai) + ")";
        if (!p.text.empty()) out += " " + Ascii(p.text);
        if (p.limit) out += " " + std::to_string(p.length) + "/" + std::to_string(p.limit);
    }
    return out;
}

// A crypto tail of the usual length, with what looks like AIs inside it.
const std::string kCrypto = "Yk3L0a93Pq+Zs/8tUv1Wx2Yz4Ab91Cd6Ef7Gh8Ij9Kl0M=";

TEST(SplitGs1_, FindsFieldsAndFaults) {
    const struct {
        std::string code;
        std::string split;
    } rows[] = {
        // A marking code as a scanner sends it with its symbology identifier.
        {"]d20104607012345677"
         "21ABC123<GS>91EE11<GS>92" +
             kCrypto,
         "(01)04607012345677=ok (21)ABC123 (91)EE11 (92)" + kCrypto},
        {"010460701234567521ABC123<GS>91EE11", "(01)04607012345675=wrong (21)ABC123 (91)EE11 | check-digit (01) 7"},
        // Expiry and batch: 17 needs no separator, 10 does.
        {"01046070123456771726123110LOT42<GS>21SN123<GS>93wxyz",
         "(01)04607012345677=ok (17)261231 (10)LOT42 (21)SN123 (93)wxyz"},
        {"0104607012345677"
         "21ABC12391EE11",
         "(01)04607012345677=ok (21)ABC123 (91)EE11 | missing-gs (21) 91"},
        // Every separator lost: the serial runs on past its maximum.
        {"0104607012345677"
         "21ABC12391EE1192" +
             kCrypto,
         "(01)04607012345677=ok (21)ABC123 (91)EE11 (92)" + kCrypto + " | missing-gs (21) 91 | missing-gs (91) 92"},
        {"0104607012345677"
         "21ABCDEFGHIJKLMNOPQRSTUVWXY",
         "(01)04607012345677=ok (21)ABCDEFGHIJKLMNOPQRSTUVWXY | too-long (21) 25/20"},
        {"01046070123456771726<GS>55X<GS>10A",
         "(01)04607012345677=ok (17)26 (10)A | cut-short (17) 2/6 | unknown-ai 55X"},
    };
    for (const auto& row : rows) EXPECT_EQ(Describe(SplitGs1(Code(row.code))), row.split) << row.code;
}

}  // namespace
}  // namespace veltra::bench
