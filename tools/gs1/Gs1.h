// Reads a GS1 element string, the text a scanner sends for a GS1 DataMatrix
// (a marking code) or a GS1-128 code: its fields, an application identifier
// (AI) and a value each, and what is wrong with it. Plain C++: the test bench
// reports with it, and the native tests run it.
//
// The split follows the GS1 rules alone: a field of predefined length (01: 14
// digits, 17: 6, 3103: 6, ...) ends after that many characters, any other at
// the group separator GS (U+001D) or at the end of the text. Each value is
// held to its AI's entry in the table generated from the GS1 Barcode Syntax
// Dictionary (Gs1Table.h): its components' lengths and character sets, their
// check digits, dates, times, country and currency codes, and the AIs that it
// requires or forbids in the same code. A leading symbology identifier (]d2,
// ]C1, ]Q3, ]e0, ]J1) is skipped.
//
// A marking code of this market is held to its profile besides: (01), (21),
// (91) of 4 characters and (92) of 44 or 88, or (01), (21) and (93) of 4. A
// code that has none of (91), (92), (93) is not taken for one.
//
// A lost separator is only ever a hint: when the code as read has a problem
// and one more GS (or two, for a marking code's key and crypto tail) would
// make it sound, the hint says where. A sound code never gets one. Reading
// takes time linear in the length of the text: the hint's trial readings are
// bounded in number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltra::bench {

constexpr char16_t kGroupSeparator = u'\x1D';

struct Gs1Field {
    std::u16string ai;
    std::u16string value;
    bool hasCheckDigit = false;  // a GS1 mod-10 check digit ends the value (00, 01, 02, 410-417, ...)
    bool checkDigitOk = false;
};

enum class Gs1Fault {
    // GS1 faults
    Empty,            // no element string: empty text, a lone GS, a bare symbology identifier
    ScannerSuffix,    // the text ends in CR, LF or TAB (text: them): the scanner's suffix, not the code's
    UnknownAi,        // no AI of the table starts here; text: the text up to the next GS
    CutShort,         // fewer characters than the AI needs (length of limit); 0 of n: empty
    TooLong,          // more characters than the AI allows (length of limit)
    BadCharacter,     // text: the character, position: where in the value (from 1), charset: N, X, Y or Z
    WrongCheckDigit,  // text: what the check digit (or pair) should be
    BadContent,       // a check of the dictionary failed (lint: which; position: where, text: the part)
    ExtraSeparator,   // a GS with no field after it: two in a row, or at the end
    Repeated,         // the AI came before with another value
    Requires,         // the AI needs others in the code; text: the alternatives, "01+21,03+21"
    Excludes,         // the AI may not stand with another; text: that AI
    // a marking code's profile
    MarkingPartMissing,  // ai: the part the profile needs
    MarkingPartLength,   // ai: the part, length: its length, text: the lengths it may have
    // hints
    MissingSeparator,  // ai: the field as read, text: the AI that starts inside it
};

struct Gs1Problem {
    Gs1Fault fault;
    std::u16string ai{};  // the field's AI; empty where no field is concerned
    std::u16string text{};
    size_t length = 0;
    size_t limit = 0;
    size_t position = 0;
    char16_t charset = 0;
    uint32_t lint = 0;  // Gs1Lint (Gs1Table.h)
};

enum class MarkingCode {
    None,        // no (91), (92) or (93): not taken for a marking code
    Complete,    // 01+21+91+92 or 01+21+93, of the lengths they must have
    Incomplete,  // `marking` says what is missing or wrong
};

struct Gs1Split {
    std::vector<Gs1Field> fields;
    std::vector<Gs1Problem> problems;  // GS1 faults, in the order of the text
    MarkingCode markingCode = MarkingCode::None;
    std::vector<Gs1Problem> marking;  // what keeps a marking code from being complete
    std::vector<Gs1Problem> hints;    // lost separators, when they explain the problems

    bool ValidGs1() const { return problems.empty(); }
    bool Sound() const { return problems.empty() && marking.empty(); }
};

Gs1Split SplitGs1(const std::u16string& text);

}  // namespace veltra::bench
