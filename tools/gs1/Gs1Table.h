// The table of GS1 Application Identifiers (AIs), generated from the GS1
// Barcode Syntax Dictionary into Gs1Table.cpp by make_gs1_table.py: each AI,
// and the components its value is made of, in order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veltra::bench {

// The content checks ("linters") of a component, as the dictionary names them
// (make_gs1_table.py maps the names).
namespace Gs1Lint {
enum : uint32_t {
    Csum = 1u << 0,       // GS1 mod-10 check digit, the last digit
    CsumAlpha = 1u << 1,  // the check character pair of a GMN, the last two characters
    GcpPos1 = 1u << 2,    // a GS1 company prefix starts here: its first two characters are digits
    GcpPos2 = 1u << 3,    // ... at the second character
    Yymmdd = 1u << 4,     // a date
    Yymmd0 = 1u << 5,     // a date whose day may be 00
    Yyyymmdd = 1u << 6,   // a date with a four-digit year
    Hhmi = 1u << 7,       // hours and minutes
    Hour = 1u << 8,
    Minute = 1u << 9,
    Second = 1u << 10,
    Iso3166 = 1u << 11,         // a numeric country code
    Iso3166Or999 = 1u << 12,    // ... or 999
    Iso3166Alpha2 = 1u << 13,   // a two-letter country code
    Iso4217 = 1u << 14,         // a numeric currency code
    YesNo = 1u << 15,           // 0 or 1
    Zero = 1u << 16,            // 0
    NonZero = 1u << 17,         // not all zeros
    Winding = 1u << 18,         // 0, 1 or 9
    NoZeroPrefix = 1u << 19,    // no leading 0 unless it is all there is
    HasNonDigit = 1u << 20,     // not digits only
    PieceOfTotal = 1u << 21,    // two halves: a piece number, at most the total, both not zero
    Iso5218 = 1u << 22,         // a sex code: 0, 1, 2 or 9
    PercentEncoded = 1u << 23,  // a % only as %XX, XX two hexadecimal digits
    Iban = 1u << 24,            // an IBAN with its mod-97 check
    Hyphen = 1u << 25,          // a hyphen
    Latitude = 1u << 26,        // ten digits, at most 1800000000 (-90 to 90 degrees, offset by 90)
    Longitude = 1u << 27,       // ten digits, at most 3600000000 (-180 to 180 degrees, offset by 180)
};
}  // namespace Gs1Lint

struct Gs1Component {
    char16_t charset;  // N digits, X CSET 82, Y CSET 39, Z base64url (CSET 64)
    uint8_t minLength;
    uint8_t maxLength;
    bool optional;
    uint32_t lints;  // Gs1Lint bits
};

struct Gs1AiDefinition {
    const char16_t* ai;
    bool predefined;         // of predefined length: the field ends with its last component, no separator
    uint8_t firstComponent;  // into kGs1Components
    uint8_t componentCount;
    // The dictionary's pairings: "01+21,02" = (01) and (21), or (02); "390n"
    // matches any digit where n stands. Empty: none.
    const char16_t* requires;
    const char16_t* excludes;
};

extern const Gs1Component kGs1Components[];
extern const Gs1AiDefinition kGs1Ais[];
extern const size_t kGs1AiCount;

// Three characters a code (two for alpha-2), run together.
extern const char16_t kIso3166Numeric[];
extern const char16_t kIso3166Alpha2[];
extern const char16_t kIso4217Numeric[];

}  // namespace veltra::bench
