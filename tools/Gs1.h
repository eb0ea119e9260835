// Splits a GS1 element string, the text a scanner sends for a GS1
// DataMatrix (a marking code) or a GS1-128 code, into its fields: an
// application identifier (AI) and its value. Plain C++: the test bench
// reports with it, and the native tests run it.
//
// The table of AIs (Gs1.cpp) says where each field ends: a field of
// predefined length (01: 14 digits, 17: 6, 31nn: 6, ...) after that many
// characters, any other field at the group separator GS (U+001D) or at the
// end of the text. A leading symbology identifier ]d2, ]C1 or ]Q3 is skipped.
//
// The faults a scanner's setup causes are reported, the lost separator
// first of all: a variable-length field that runs to the end of the text or
// past its maximum is looked into for the start of a field that always comes
// after a separator, the key and crypto tail of a marking code: (91), (92),
// (93), and inside (91) only (92). Where one starts (with text after its AI,
// and not in the code already), a GS was lost: the problem is reported and
// the rest is split as if the GS were there.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veltra::bench {

constexpr char16_t kGroupSeparator = u'\x1D';

struct Gs1Field {
    std::u16string ai;
    std::u16string value;
    bool hasCheckDigit = false;  // 00, 01, 02, 410-417: the last digit is a GS1 mod-10 check digit
    bool checkDigitOk = false;
};

enum class Gs1Fault {
    UnknownAi,         // no AI of the table starts here; text: the text up to the next GS
    CutShort,          // a field has fewer characters than it needs (length of limit); 0 of 1: empty
    NotDigits,         // a numeric field holds another character
    WrongCheckDigit,   // text: the check digit the value should end with
    MissingSeparator,  // text: the AI that starts inside the field
    TooLong,           // a variable-length field past its maximum (length of limit)
};

struct Gs1Problem {
    Gs1Fault fault;
    std::u16string ai;  // the field's AI; empty for UnknownAi
    std::u16string text;
    size_t length = 0;
    size_t limit = 0;
};

struct Gs1Split {
    std::vector<Gs1Field> fields;
    std::vector<Gs1Problem> problems;  // in the order of the text
};

Gs1Split SplitGs1(const std::u16string& text);

}  // namespace veltra::bench
