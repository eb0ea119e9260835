#include "BenchGs1.h"

#include <algorithm>

#include "core/common/Messages.h"
#include "core/common/Text.h"
#include "gs1/Gs1Table.h"

namespace veltra::bench {
namespace {

std::u16string Count(size_t n) { return DecimalText(static_cast<long long>(n)); }

std::u16string Quote(const std::u16string& text) { return u"\"" + Visible(text) + u"\""; }

// "01+21,02" as "(01)+(21) or (02)".
std::u16string Alternatives(const std::u16string& list) {
    std::u16string out = u"(";
    for (char16_t c : list) {
        if (c == u',') out += Say(u") or (", u") или (");
        else if (c == u'+') out += u")+(";
        else out += c;
    }
    return out + u")";
}

// What a failed check of the dictionary says about the part it read.
std::u16string LintText(uint32_t lint) {
    using namespace Gs1Lint;
    switch (lint) {
    case GcpPos1:
    case GcpPos2: return Say(u"a company prefix starts with two digits", u"префикс компании начинается с двух цифр");
    case Yymmdd:
    case Yymmd0:
    case Yyyymmdd: return Say(u"no such date", u"такой даты нет");
    case Hhmi:
    case Hour:
    case Minute:
    case Second: return Say(u"no such time", u"такого времени нет");
    case Iso3166:
    case Iso3166Or999:
    case Iso3166Alpha2: return Say(u"unknown country code", u"неизвестный код страны");
    case Iso4217: return Say(u"unknown currency code", u"неизвестный код валюты");
    case YesNo: return Say(u"0 or 1 only", u"только 0 или 1");
    case Zero: return Say(u"0 only", u"только 0");
    case NonZero: return Say(u"may not be zero", u"не может быть нулём");
    case Winding: return Say(u"0, 1 or 9 only", u"только 0, 1 или 9");
    case NoZeroPrefix: return Say(u"may not start with 0", u"не может начинаться с 0");
    case HasNonDigit: return Say(u"needs a character other than a digit", u"нужен символ, кроме цифр");
    case PieceOfTotal: return Say(u"not a piece of its total", u"номер части больше их числа");
    case Iso5218: return Say(u"0, 1, 2 or 9 only", u"только 0, 1, 2 или 9");
    case PercentEncoded: return Say(u"% without two hexadecimal digits", u"% без двух шестнадцатеричных цифр");
    case Iban: return Say(u"not a valid IBAN", u"неверный IBAN");
    case Hyphen: return Say(u"a hyphen only", u"только дефис");
    case Latitude: return Say(u"no such latitude", u"такой широты нет");
    case Longitude: return Say(u"no such longitude", u"такой долготы нет");
    default: return Say(u"fails its check", u"не проходит проверку");
    }
}

std::u16string BadCharacterText(const Gs1Problem& p) {
    const char16_t c = p.text[0];
    std::u16string text = u"(" + p.ai + Say(u") character ", u") символ ") + Count(p.position) + u": " + Quote(p.text);
    if (c >= 0x0400 && c <= 0x04FF)
        return text + Say(u", a Cyrillic letter: the scanner types on a Russian keyboard layout?",
                          u", кириллица: сканер печатает в русской раскладке?");
    if (c < 0x20 || c == 0x7F) return text + Say(u", a control character", u", управляющий символ");
    switch (p.charset) {
    case u'N': return text + Say(u", digits only", u", допустимы только цифры");
    case u'Y': return text + Say(u" is not in GS1 character set 39", u" не входит в набор символов GS1 39");
    case u'Z': return text + Say(u" is not in GS1 character set 64", u" не входит в набор символов GS1 64");
    default: return text + Say(u" is not in GS1 character set 82", u" не входит в набор символов GS1 82");
    }
}

std::u16string ProblemText(const Gs1Problem& p) {
    const std::u16string ai = u"(" + p.ai + u")";
    switch (p.fault) {
    case Gs1Fault::Empty: return Say(u"no GS1 data in the code", u"в коде нет данных GS1");
    case Gs1Fault::ScannerSuffix:
        return Say(u"the code ends in ", u"код кончается на ") + Visible(p.text) +
               Say(u": the scanner's suffix is in the code", u": суффикс сканера попал в код");
    case Gs1Fault::UnknownAi: return Say(u"unknown AI: ", u"неизвестный AI: ") + Quote(p.text);
    case Gs1Fault::CutShort:
        if (p.length == 0) return ai + Say(u" is empty", u" пусто");
        return ai + Say(u" cut short: ", u" обрезано: ") + Count(p.length) + Say(u" of ", u" из ") + Count(p.limit) +
               Say(u" characters", u" символов");
    case Gs1Fault::TooLong:
        return ai + u": " + Count(p.length) + Say(u" characters, at most ", u" символов, допустимо не больше ") +
               Count(p.limit);
    case Gs1Fault::BadCharacter: return BadCharacterText(p);
    case Gs1Fault::WrongCheckDigit:
        return ai + Say(u" wrong check digit, expected ", u" неверная контрольная цифра, ожидалась ") + p.text;
    case Gs1Fault::BadContent:
        return ai + Say(u" characters ", u" символы ") + Count(p.position) + u"-" +
               Count(p.position + p.text.size() - 1) + u" " + Quote(p.text) + u": " + LintText(p.lint);
    case Gs1Fault::ExtraSeparator: return Say(u"a GS with no field after it", u"GS, за которым нет поля");
    case Gs1Fault::Repeated:
        return ai + Say(u" again with another value; first ", u" повторяется с другим значением; сначала ") +
               Quote(p.text);
    case Gs1Fault::Requires:
        return ai + Say(u" needs ", u" требует ") + Alternatives(p.text) + Say(u" in the code", u" в коде");
    case Gs1Fault::Excludes:
        return ai + Say(u" and (", u" и (") + p.text + Say(u") may not stand in one code", u") не бывают в одном коде");
    case Gs1Fault::MarkingPartMissing: return ai + Say(u" is missing", u" нет");
    case Gs1Fault::MarkingPartLength: {
        // "44, 88": the lengths the part may have.
        std::u16string lengths = p.text;
        for (size_t at; (at = lengths.find(u", ")) != std::u16string::npos;)
            lengths.replace(at, 2, Say(u" or ", u" или "));
        return ai + u": " + Count(p.length) + Say(u" characters, must have ", u" символов, а должно быть ") + lengths;
    }
    case Gs1Fault::MissingSeparator:
        return Say(u"missing GS after ", u"пропущен GS после ") + ai + Say(u"? (", u"? внутри начинается (") + p.text +
               Say(u") starts inside it", u")");
    }
    return u"";
}

// The marking-code verdict, and what keeps the code from being a complete one.
std::u16string MarkingText(const Gs1Split& split) {
    switch (split.markingCode) {
    case MarkingCode::None:
        return Say(u"not a marking code: no (91)+(92) or (93)", u"не код маркировки: нет (91)+(92) или (93)");
    case MarkingCode::Complete: {
        const bool crypto93 =
            std::any_of(split.fields.begin(), split.fields.end(), [](const Gs1Field& f) { return f.ai == u"93"; }) &&
            !std::any_of(split.fields.begin(), split.fields.end(), [](const Gs1Field& f) { return f.ai == u"92"; });
        return std::u16string(Say(u"marking code: complete, ", u"код маркировки: полный, ")) +
               (crypto93 ? u"01+21+93" : u"01+21+91+92");
    }
    case MarkingCode::Incomplete: break;
    }
    std::u16string text = Say(u"not a complete marking code: ", u"неполный код маркировки: ");
    for (const Gs1Problem& p : split.marking) text += (&p == &split.marking.front() ? u"" : u"; ") + ProblemText(p);
    return text;
}

}  // namespace

std::vector<std::u16string> Gs1Lines(const Gs1Split& split) {
    std::vector<std::u16string> lines;
    for (const Gs1Field& f : split.fields) {
        std::u16string line = u"  (" + f.ai + u") " + Visible(f.value);
        if (f.hasCheckDigit)
            line += f.checkDigitOk ? Say(u"  check digit ok", u"  контрольная цифра верна")
                                   : Say(u"  check digit wrong", u"  контрольная цифра неверна");
        lines.push_back(line);
    }
    for (const Gs1Problem& p : split.problems) lines.push_back(u"  " + ProblemText(p));
    if (split.problems.empty() || split.markingCode != MarkingCode::None) lines.push_back(u"  " + MarkingText(split));
    for (const Gs1Problem& p : split.hints) lines.push_back(u"  " + ProblemText(p));
    return lines;
}

std::u16string Gs1Json(const Gs1Split& split) {
    std::u16string json = u",\"gs1\":[";
    for (const Gs1Field& f : split.fields) {
        if (&f != &split.fields.front()) json += u",";
        json += u"{\"ai\":" + JsonString(f.ai) + u",\"value\":" + JsonString(f.value) + u"}";
    }
    json += u"],\"gs1_problems\":[";
    bool first = true;
    for (const auto* list : {&split.problems, &split.marking, &split.hints})
        for (const Gs1Problem& p : *list) {
            json += (first ? u"" : u",") + JsonString(ProblemText(p));
            first = false;
        }
    static const char16_t* const kMarking[] = {u"none", u"complete", u"incomplete"};
    return json + u"],\"marking_code\":\"" + kMarking[static_cast<int>(split.markingCode)] + u"\"";
}

EventDetail Gs1Detail(const substitute::HostEvent& event) {
    if (event.name != Text(Msg::BarcodeEvent, true) && event.name != Text(Msg::BarcodeEvent, false)) return {};
    const Gs1Split split = SplitGs1(event.data);
    return {Gs1Lines(split), Gs1Json(split)};
}

bool CheckCode(const std::u16string& code) {
    const Gs1Split split = SplitGs1(code);
    if (g_Options.json) {
        PrintJson(u"{\"data\":" + JsonString(code) + Gs1Json(split) + u"}");
    } else {
        PrintLine(Say(u"code \"", u"код \"") + Visible(code) + u"\"");
        for (const std::u16string& line : Gs1Lines(split)) PrintLine(line);
    }
    if (split.Sound()) {
        PrintLine(Say(u"the code is sound", u"код в порядке"));
        return true;
    }
    PrintLine(Say(u"problems in the code: ", u"проблем в коде: ") +
              Count(split.problems.size() + split.marking.size()));
    return false;
}

}  // namespace veltra::bench
