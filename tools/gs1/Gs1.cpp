#include "Gs1.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

#include "Gs1Table.h"

namespace veltra::bench {
namespace {

using View = std::u16string_view;

// The trial readings one hint search may make (Gs1.h): each is linear in the
// length of the text, so the whole reading stays linear.
constexpr int kHintTrials = 64;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsLower(char16_t c) { return c >= u'a' && c <= u'z'; }
bool AllDigits(View text) { return std::all_of(text.begin(), text.end(), IsDigit); }
int Number(View digits) {
    int n = 0;
    for (char16_t c : digits) n = n * 10 + (c - u'0');
    return n;
}

// GS1's CSET 82, in the order of the values its check character pairs use.
constexpr View kCset82 = u"!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
constexpr View kCset39 = u"#-/0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool InCharset(char16_t c, char16_t charset) {
    switch (charset) {
    case u'N': return IsDigit(c);
    case u'X': return kCset82.find(c) != View::npos;
    case u'Y': return kCset39.find(c) != View::npos;
    default: return IsDigit(c) || IsUpper(c) || IsLower(c) || c == u'-' || c == u'_' || c == u'=';
    }
}

// The table's entry for the AI at the start of `text`; null when none starts there.
const Gs1AiDefinition* FindAi(View text) {
    const Gs1AiDefinition* end = kGs1Ais + kGs1AiCount;
    for (size_t length = 2; length <= 4 && length <= text.size(); ++length) {
        const View ai = text.substr(0, length);
        if (!AllDigits(ai)) return nullptr;
        const Gs1AiDefinition* row =
            std::lower_bound(kGs1Ais, end, ai, [](const Gs1AiDefinition& r, View key) { return View(r.ai) < key; });
        if (row != end && View(row->ai) == ai) return row;
    }
    return nullptr;
}

size_t FieldMin(const Gs1AiDefinition& definition) {
    size_t n = 0;
    for (size_t i = 0; i < definition.componentCount; ++i) {
        const Gs1Component& c = kGs1Components[definition.firstComponent + i];
        if (!c.optional) n += c.minLength;
    }
    return n;
}

size_t FieldMax(const Gs1AiDefinition& definition) {
    size_t n = 0;
    for (size_t i = 0; i < definition.componentCount; ++i) n += kGs1Components[definition.firstComponent + i].maxLength;
    return n;
}

// The GS1 mod-10 check digit of `digits`: weights 3 and 1 from the right.
char16_t CheckDigit(View digits) {
    int sum = 0, weight = 3;
    for (auto c = digits.rbegin(); c != digits.rend(); ++c) {
        sum += (*c - u'0') * weight;
        weight = 4 - weight;
    }
    return static_cast<char16_t>(u'0' + (10 - sum % 10) % 10);
}

// The check character pair of `text` (CSET 82): prime weights from the
// right, the sum modulo 1021 written as two characters of CSET 32.
std::u16string CheckPair(View text) {
    static const int kPrimes[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37, 41,
                                  43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97};
    constexpr View kCset32 = u"23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
    int sum = 0;
    for (size_t i = 0; i < text.size() && i < 25; ++i)
        sum += static_cast<int>(kCset82.find(text[text.size() - 1 - i])) * kPrimes[i];
    sum %= 1021;
    return {kCset32[static_cast<size_t>(sum / 32)], kCset32[static_cast<size_t>(sum % 32)]};
}

bool InList(const char16_t* list, View code) {
    for (View all(list); all.size() >= code.size(); all.remove_prefix(code.size()))
        if (all.substr(0, code.size()) == code) return true;
    return false;
}

bool IsDate(View d, bool dayMayBeZero) {
    const int year = Number(d.substr(0, d.size() - 4)), month = Number(d.substr(d.size() - 4, 2)),
              day = Number(d.substr(d.size() - 2));
    // A two-digit year is taken in this century, where every fourth year is a leap year.
    const bool leap = year % 4 == 0 && (d.size() == 6 || year % 100 != 0 || year % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return false;
    if (day == 0) return dayMayBeZero;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool IbanOk(View iban) {
    if (iban.size() < 5 || !InList(kIso3166Alpha2, iban.substr(0, 2)) || !AllDigits(iban.substr(2, 2))) return false;
    int rest = 0;
    const auto add = [&](char16_t c) {
        if (IsDigit(c)) rest = (rest * 10 + (c - u'0')) % 97;
        else rest = (rest * 100 + (c - u'A' + 10)) % 97;
    };
    for (size_t i = 0; i < iban.size(); ++i) {
        const char16_t c = iban[(i + 4) % iban.size()];
        if (!IsDigit(c) && !IsUpper(c)) return false;
        add(c);
    }
    return rest == 1;
}

bool PercentEncodedOk(View text) {
    const auto hex = [](char16_t c) { return IsDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); };
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'%' && (i + 2 >= text.size() || !hex(text[i + 1]) || !hex(text[i + 2]))) return false;
    return true;
}

// Whether `part` (a component's characters, all in its character set)
// passes the check `lint`.
bool Passes(uint32_t lint, View part) {
    using namespace Gs1Lint;
    switch (lint) {
    case Csum: return part.size() < 2 || part.back() == CheckDigit(part.substr(0, part.size() - 1));
    case CsumAlpha:
        return part.size() >= 2 && View(CheckPair(part.substr(0, part.size() - 2))) == part.substr(part.size() - 2);
    case GcpPos1: return part.size() >= 2 && AllDigits(part.substr(0, 2));
    case GcpPos2: return part.size() >= 3 && AllDigits(part.substr(1, 2));
    case Yymmdd:
    case Yyyymmdd: return IsDate(part, false);
    case Yymmd0: return IsDate(part, true);
    case Hhmi: return Number(part.substr(0, 2)) < 24 && Number(part.substr(2)) < 60;
    case Hour: return Number(part) < 24;
    case Minute:
    case Second: return Number(part) < 60;
    case Iso3166: return InList(kIso3166Numeric, part);
    case Iso3166Or999: return part == u"999" || InList(kIso3166Numeric, part);
    case Iso3166Alpha2: return InList(kIso3166Alpha2, part);
    case Iso4217: return InList(kIso4217Numeric, part);
    case YesNo: return part == u"0" || part == u"1";
    case Zero: return part == u"0";
    case NonZero: return part.find_first_not_of(u'0') != View::npos;
    case Winding: return part == u"0" || part == u"1" || part == u"9";
    case NoZeroPrefix: return part.size() < 2 || part[0] != u'0';
    case HasNonDigit: return !AllDigits(part);
    case PieceOfTotal: {
        const View piece = part.substr(0, part.size() / 2), total = part.substr(part.size() / 2);
        return part.size() % 2 == 0 && Number(piece) != 0 && Number(piece) <= Number(total);
    }
    case Iso5218: return part == u"0" || part == u"1" || part == u"2" || part == u"9";
    case PercentEncoded: return PercentEncodedOk(part);
    case Iban: return IbanOk(part);
    case Hyphen: return part.find_first_not_of(u'-') == View::npos;
    case Latitude: return part <= View(u"1800000000");
    case Longitude: return part <= View(u"3600000000");
    default: return true;
    }
}

// The first check of `lints` that `part` fails: its bit, or 0 when it passes them all.
uint32_t FailedLint(uint32_t lints, View part) {
    for (uint32_t lint = 1; lint && lint <= lints; lint <<= 1)
        if ((lints & lint) && !Passes(lint, part)) return lint;
    return 0;
}

// The faults of one field's value, and its check digit.
void CheckValue(Gs1Field& field, const Gs1AiDefinition& definition, std::vector<Gs1Problem>& problems) {
    const View value(field.value);
    const size_t min = FieldMin(definition), max = FieldMax(definition);
    if (value.size() < min) problems.push_back({Gs1Fault::CutShort, field.ai, u"", value.size(), min});
    if (value.size() > max) problems.push_back({Gs1Fault::TooLong, field.ai, u"", value.size(), max});
    for (size_t i = 0; i < value.size(); ++i) {
        // The component the character belongs to, by the components' maximum lengths.
        size_t at = 0, k = 0;
        while (k + 1 < definition.componentCount && at + kGs1Components[definition.firstComponent + k].maxLength <= i)
            at += kGs1Components[definition.firstComponent + k++].maxLength;
        const char16_t charset = kGs1Components[definition.firstComponent + k].charset;
        if (!InCharset(value[i], charset)) {
            Gs1Problem p{Gs1Fault::BadCharacter, field.ai, std::u16string(1, value[i])};
            p.position = i + 1;
            p.charset = charset;
            problems.push_back(p);
            return;
        }
    }
    if (value.size() < min || value.size() > max) return;
    size_t at = 0;
    for (size_t k = 0; k < definition.componentCount && at < value.size(); ++k) {
        const Gs1Component& c = kGs1Components[definition.firstComponent + k];
        const View part = value.substr(at, std::min<size_t>(c.maxLength, value.size() - at));
        const uint32_t lint = part.size() >= c.minLength ? FailedLint(c.lints, part) : 0;
        if (c.lints & Gs1Lint::Csum) {
            field.hasCheckDigit = true;
            field.checkDigitOk = lint != Gs1Lint::Csum;
        }
        if (lint == Gs1Lint::Csum || lint == Gs1Lint::CsumAlpha) {
            const std::u16string expected = lint == Gs1Lint::Csum
                                                ? std::u16string(1, CheckDigit(part.substr(0, part.size() - 1)))
                                                : CheckPair(part.substr(0, part.size() - 2));
            problems.push_back({Gs1Fault::WrongCheckDigit, field.ai, expected});
        } else if (lint) {
            Gs1Problem p{Gs1Fault::BadContent, field.ai, std::u16string(part)};
            p.position = at + 1;
            p.lint = lint;
            problems.push_back(p);
        }
        at += part.size();
    }
}

// Whether `ai` matches `pattern`, where an n in the pattern stands for any digit.
bool Matches(View ai, View pattern) {
    if (ai.size() != pattern.size()) return false;
    for (size_t i = 0; i < ai.size(); ++i)
        if (pattern[i] != u'n' && pattern[i] != ai[i]) return false;
    return true;
}

// Whether one of the comma-separated patterns of `list` matches `ai`.
bool ListMatches(View list, View ai) {
    while (!list.empty()) {
        const View one = list.substr(0, list.find(u','));
        list.remove_prefix(std::min(list.size(), one.size() + 1));
        if (Matches(ai, one)) return true;
    }
    return false;
}

// The pairings of the dictionary, checked once for each AI of the code.
void CheckPairs(const std::map<View, View>& present, std::vector<Gs1Problem>& problems) {
    for (const auto& entry : present) {
        const View ai = entry.first;
        const Gs1AiDefinition& definition = *FindAi(ai);
        View requires(definition.requires);
        bool met = requires.empty();
        while (!requires.empty() && !met) {
            View group = requires.substr(0, requires.find(u','));
            requires.remove_prefix(std::min(requires.size(), group.size() + 1));
            met = true;
            while (!group.empty() && met) {
                const View one = group.substr(0, group.find(u'+'));
                group.remove_prefix(std::min(group.size(), one.size() + 1));
                met = std::any_of(present.begin(), present.end(), [&](const auto& e) { return Matches(e.first, one); });
            }
        }
        if (!met) problems.push_back({Gs1Fault::Requires, std::u16string(ai), definition.requires});
        // An AI does not exclude itself; a pair that each side forbids is reported once, by the first.
        for (const auto& other : present)
            if (other.first != ai && ListMatches(definition.excludes, other.first) &&
                (other.first > ai || !ListMatches(FindAi(other.first)->excludes, ai)))
                problems.push_back({Gs1Fault::Excludes, std::u16string(ai), std::u16string(other.first)});
    }
}

// The marking code's profile: which AIs it needs and the lengths they may have.
void CheckMarking(Gs1Split& split, const std::map<View, View>& present) {
    const auto find = [&](View ai) {
        const auto it = present.find(ai);
        return it == present.end() ? nullptr : &it->second;
    };
    const bool keyAndTail = find(u"91") || find(u"92");
    if (!keyAndTail && !find(u"93")) return;
    const auto need = [&](View ai, size_t length, size_t otherLength, View lengths) {
        const View* value = find(ai);
        if (!value) split.marking.push_back({Gs1Fault::MarkingPartMissing, std::u16string(ai)});
        else if (length && value->size() != length && value->size() != otherLength)
            split.marking.push_back(
                {Gs1Fault::MarkingPartLength, std::u16string(ai), std::u16string(lengths), value->size(), length});
    };
    need(u"01", 0, 0, u"");
    need(u"21", 0, 0, u"");
    if (keyAndTail) {
        need(u"91", 4, 4, u"4");
        need(u"92", 44, 88, u"44, 88");
    } else {
        need(u"93", 4, 4, u"4");
    }
    split.markingCode = split.marking.empty() ? MarkingCode::Complete : MarkingCode::Incomplete;
}

// The split, and where each field starts in the text.
struct Reading {
    Gs1Split split;
    std::vector<size_t> starts;
};

Reading ReadText(const std::u16string& text) {
    Reading r;
    Gs1Split& split = r.split;
    size_t at = 0, end = text.size();
    for (const View id : {u"]d2", u"]C1", u"]Q3", u"]e0", u"]J1"})
        if (text.compare(0, id.size(), id) == 0) at = id.size();
    while (end > at && (text[end - 1] == u'\r' || text[end - 1] == u'\n' || text[end - 1] == u'\t')) --end;
    if (end < text.size()) split.problems.push_back({Gs1Fault::ScannerSuffix, u"", text.substr(end)});
    // A leading GS stands for the FNC1 that marks a GS1 code.
    if (at < end && text[at] == kGroupSeparator) ++at;
    if (at == end) {
        split.problems.insert(split.problems.begin(), {Gs1Fault::Empty, u""});
        return r;
    }
    const View all(text.data(), end);
    std::map<View, View> present;  // each AI and its first value
    bool afterPredefined = false;
    // The next GS from `at`, or the end: found once for all the fields before it.
    size_t gs = std::min(all.find(kGroupSeparator, at), end);
    while (at < end) {
        if (text[at] == kGroupSeparator) {
            // A GS may end a field of predefined length too, but never the code.
            if (!afterPredefined || at + 1 == end) split.problems.push_back({Gs1Fault::ExtraSeparator, u""});
            afterPredefined = false;
            ++at;
            continue;
        }
        if (gs < at) gs = std::min(all.find(kGroupSeparator, at), end);
        const Gs1AiDefinition* definition = FindAi(all.substr(at, gs - at));
        if (!definition) {
            split.problems.push_back({Gs1Fault::UnknownAi, u"", text.substr(at, gs - at)});
            at = gs < end ? gs + 1 : end;
            afterPredefined = false;
            continue;
        }
        Gs1Field field;
        field.ai = definition->ai;
        const size_t start = at + field.ai.size();
        const size_t stop = definition->predefined ? std::min(start + FieldMax(*definition), gs) : gs;
        field.value = text.substr(start, stop - start);
        CheckValue(field, *definition, split.problems);
        const View ai(definition->ai), value(text.data() + start, stop - start);
        const auto known = present.emplace(ai, value);
        if (!known.second && known.first->second != value)
            split.problems.push_back({Gs1Fault::Repeated, field.ai, std::u16string(known.first->second)});
        r.starts.push_back(at);
        split.fields.push_back(std::move(field));
        afterPredefined = definition->predefined;
        at = stop;
        if (!afterPredefined && at < end) {
            ++at;  // the GS that ends the field
            if (at == end) split.problems.push_back({Gs1Fault::ExtraSeparator, u""});
        }
    }
    CheckPairs(present, split.problems);
    CheckMarking(split, present);
    return r;
}

// Where a lost separator may have been: the start of a known AI inside a
// variable-length field, the field's own value still fitting before it.
struct Candidate {
    size_t at;  // in the text
    size_t field;
};

std::vector<Candidate> Candidates(const Reading& r) {
    // The faulty field alone, when one is; none when several are (one more
    // GS mends one field); else every field.
    std::vector<size_t> faulty;
    for (const Gs1Problem& p : r.split.problems) {
        if (p.fault == Gs1Fault::Requires || p.fault == Gs1Fault::Excludes || p.fault == Gs1Fault::Repeated) continue;
        if (p.ai.empty()) return {};
        for (size_t i = 0; i < r.split.fields.size(); ++i)
            if (r.split.fields[i].ai == p.ai && std::find(faulty.begin(), faulty.end(), i) == faulty.end())
                faulty.push_back(i);
    }
    if (faulty.size() > 1) return {};
    std::vector<Candidate> out;
    for (size_t i = 0; i < r.split.fields.size(); ++i) {
        if (!faulty.empty() && faulty.front() != i) continue;
        const Gs1Field& f = r.split.fields[i];
        const Gs1AiDefinition* definition = FindAi(f.ai);
        if (definition->predefined) continue;
        const View value(f.value);
        for (size_t k = 1; k < value.size() && k <= FieldMax(*definition); ++k)
            if (const Gs1AiDefinition* hidden = FindAi(value.substr(k)))
                if (k + View(hidden->ai).size() < value.size()) out.push_back({r.starts[i] + f.ai.size() + k, i});
    }
    return out;
}

Gs1Problem Hint(const Reading& r, const Candidate& c, const std::u16string& text) {
    return {Gs1Fault::MissingSeparator, r.split.fields[c.field].ai, FindAi(View(text).substr(c.at))->ai};
}

// The first split with one more GS that is sound; for a marking code whose
// key and crypto tail both ran on, with two more.
void FindHints(const std::u16string& text, Reading& r) {
    int trials = kHintTrials;
    for (const Candidate& first : Candidates(r)) {
        if (trials-- <= 0) return;
        std::u16string once = text;
        once.insert(first.at, 1, kGroupSeparator);
        const Reading trial = ReadText(once);
        if (trial.split.Sound()) {
            r.split.hints.push_back(Hint(r, first, text));
            return;
        }
        if (!trial.split.ValidGs1() || trial.split.markingCode != MarkingCode::Incomplete) continue;
        for (const Candidate& second : Candidates(trial)) {
            if (second.at <= first.at) continue;
            if (trials-- <= 0) return;
            std::u16string twice = once;
            twice.insert(second.at, 1, kGroupSeparator);
            if (ReadText(twice).split.Sound()) {
                r.split.hints.push_back(Hint(r, first, text));
                r.split.hints.push_back(Hint(trial, second, once));
                return;
            }
        }
    }
}

}  // namespace

Gs1Split SplitGs1(const std::u16string& text) {
    Reading r = ReadText(text);
    if (!r.split.Sound()) FindHints(text, r);
    return std::move(r.split);
}

}  // namespace veltra::bench
