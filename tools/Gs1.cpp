#include "Gs1.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

namespace veltra::bench {
namespace {

// A range of AIs, from `first` to `last` (digits, both of one length), and
// what their values are.
struct AiRow {
    const char16_t* first;
    const char16_t* last;
    uint8_t minLength;
    uint8_t maxLength;
    bool predefined;  // of predefined length: the field ends after maxLength characters, with no GS
    bool numeric;
    bool checkDigit;
    // The AIs looked for inside the field when it runs on (Gs1.h): two-digit
    // AIs run together.
    const char16_t* hides;
};

// The key and the crypto tail of a marking code.
constexpr const char16_t* kTail = u"919293";

// clang-format off
// One range a row, the columns aligned.
constexpr AiRow kAis[] = {
    // first    last    min max  predefined numeric check  hides
    {u"00",   u"00",   18, 18, true,  true,  true,  u""},    // serial shipping container code
    {u"01",   u"02",   14, 14, true,  true,  true,  u""},    // GTIN; GTIN of the contents
    {u"10",   u"10",    1, 20, false, false, false, kTail},  // batch or lot
    {u"11",   u"13",    6,  6, true,  true,  false, u""},    // production, due, packaging date
    {u"15",   u"17",    6,  6, true,  true,  false, u""},    // best before, sell by, expiry date
    {u"20",   u"20",    2,  2, true,  true,  false, u""},    // variant
    {u"21",   u"21",    1, 20, false, false, false, kTail},  // serial number
    {u"22",   u"22",    1, 20, false, false, false, kTail},  // consumer product variant
    {u"240",  u"241",   1, 30, false, false, false, kTail},  // additional product id; customer article number
    {u"250",  u"251",   1, 30, false, false, false, kTail},  // secondary serial, source entity
    {u"30",   u"30",    1,  8, false, true,  false, kTail},  // count of items
    {u"3100", u"3699",  6,  6, true,  true,  false, u""},    // measures; the AI's last digit places the point
    {u"37",   u"37",    1,  8, false, true,  false, kTail},  // count of trade items
    {u"400",  u"401",   1, 30, false, false, false, kTail},  // order and consignment numbers
    {u"410",  u"417",  13, 13, true,  true,  true,  u""},    // global location numbers
    {u"8005", u"8005",  6,  6, false, true,  false, kTail},  // price per unit
    {u"90",   u"90",    1, 30, false, false, false, kTail},  // agreed between partners
    {u"91",   u"91",    1, 90, false, false, false, u"92"},  // company internal; a marking code's key
    {u"92",   u"99",    1, 90, false, false, false, u""},    // company internal; a marking code's crypto tail
};
// clang-format on

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool AllDigits(std::u16string_view text) { return std::all_of(text.begin(), text.end(), IsDigit); }

// The row of the AI that starts at `at`, and the AI's length; null when none does.
const AiRow* MatchAi(const std::u16string& text, size_t at, size_t& length) {
    for (const AiRow& row : kAis) {
        const std::u16string_view first(row.first);
        if (text.size() - at < first.size()) continue;
        const std::u16string_view ai(text.data() + at, first.size());
        if (AllDigits(ai) && ai >= first && ai <= std::u16string_view(row.last)) {
            length = ai.size();
            return &row;
        }
    }
    return nullptr;
}

// The GS1 mod-10 check digit of `digits`: weights 3 and 1 from the right.
char16_t CheckDigit(std::u16string_view digits) {
    int sum = 0, weight = 3;
    for (auto c = digits.rbegin(); c != digits.rend(); ++c) {
        sum += (*c - u'0') * weight;
        weight = 4 - weight;
    }
    return static_cast<char16_t>(u'0' + (10 - sum % 10) % 10);
}

// Where, inside the run-on field text[start, stop), a field that it hides
// begins: one of the row's AIs with text after it, not given as a field of
// its own before or after. 0 when none does.
size_t HiddenField(const std::u16string& text, size_t start, size_t stop, const AiRow& row,
                   const std::vector<Gs1Field>& before) {
    const std::u16string_view hides(row.hides);
    for (size_t p = start + 1; p + 2 < stop; ++p) {
        for (size_t k = 0; k + 2 <= hides.size(); k += 2) {
            const std::u16string ai(hides.substr(k, 2));
            if (text.compare(p, 2, ai) != 0) continue;
            const bool given =
                std::any_of(before.begin(), before.end(), [&](const Gs1Field& f) { return f.ai == ai; }) ||
                text.find(kGroupSeparator + ai, stop) != std::u16string::npos;
            if (!given) return p;
        }
    }
    return 0;
}

// The faults of one field's value, and its check digit.
void CheckValue(Gs1Field& field, const AiRow& row, std::vector<Gs1Problem>& problems) {
    const size_t length = field.value.size();
    const bool digits = AllDigits(field.value);
    if (length < row.minLength) problems.push_back({Gs1Fault::CutShort, field.ai, u"", length, row.minLength});
    if (length > row.maxLength) problems.push_back({Gs1Fault::TooLong, field.ai, u"", length, row.maxLength});
    if (row.numeric && !digits) problems.push_back({Gs1Fault::NotDigits, field.ai, u""});
    if (row.checkDigit && digits && length == row.maxLength) {
        const std::u16string_view value(field.value);
        const char16_t expected = CheckDigit(value.substr(0, length - 1));
        field.hasCheckDigit = true;
        field.checkDigitOk = value.back() == expected;
        if (!field.checkDigitOk) problems.push_back({Gs1Fault::WrongCheckDigit, field.ai, std::u16string(1, expected)});
    }
}

}  // namespace

Gs1Split SplitGs1(const std::u16string& text) {
    Gs1Split split;
    size_t at = 0;
    for (const std::u16string_view id : {u"]d2", u"]C1", u"]Q3"})
        if (text.compare(0, id.size(), id) == 0) at = id.size();
    while (at < text.size()) {
        // A GS may also follow a field of predefined length, or lead the text.
        if (text[at] == kGroupSeparator) {
            ++at;
            continue;
        }
        const size_t end = std::min(text.find(kGroupSeparator, at), text.size());
        size_t aiLength = 0;
        const AiRow* row = MatchAi(text, at, aiLength);
        if (!row) {
            split.problems.push_back({Gs1Fault::UnknownAi, u"", text.substr(at, end - at)});
            at = end;
            continue;
        }
        Gs1Field field;
        field.ai = text.substr(at, aiLength);
        const size_t start = at + aiLength;
        size_t stop = row->predefined ? std::min(start + row->maxLength, end) : end;
        size_t hidden = 0;
        if (!row->predefined && (stop == text.size() || stop - start > row->maxLength)) {
            hidden = HiddenField(text, start, stop, *row, split.fields);
            if (hidden) stop = hidden;
        }
        field.value = text.substr(start, stop - start);
        CheckValue(field, *row, split.problems);
        if (hidden) split.problems.push_back({Gs1Fault::MissingSeparator, field.ai, text.substr(hidden, 2)});
        split.fields.push_back(std::move(field));
        at = stop;
    }
    return split;
}

}  // namespace veltra::bench
