#include "BenchGs1.h"

#include "BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

std::u16string Count(size_t n) { return DecimalText(static_cast<long long>(n)); }

std::u16string ProblemText(const Gs1Problem& p) {
    const std::u16string ai = u"(" + p.ai + u")";
    switch (p.fault) {
    case Gs1Fault::UnknownAi: return Say(u"unknown AI: \"", u"неизвестный AI: \"") + Visible(p.text) + u"\"";
    case Gs1Fault::CutShort:
        if (p.length == 0) return ai + Say(u" is empty", u" пусто");
        return ai + Say(u" cut short: ", u" обрезано: ") + Count(p.length) + Say(u" of ", u" из ") + Count(p.limit) +
               Say(u" characters", u" символов");
    case Gs1Fault::NotDigits: return ai + Say(u" must be digits only", u": допустимы только цифры");
    case Gs1Fault::WrongCheckDigit:
        return ai + Say(u" wrong check digit, expected ", u" неверная контрольная цифра, ожидалась ") + p.text;
    case Gs1Fault::MissingSeparator:
        return Say(u"missing GS after ", u"пропущен GS после ") + ai + Say(u"? (", u"? внутри начинается (") + p.text +
               Say(u") starts inside it", u")");
    case Gs1Fault::TooLong:
        return ai + u": " + Count(p.length) + Say(u" characters, at most ", u" символов, допустимо не больше ") +
               Count(p.limit) + Say(u": missing GS after it?", u": пропущен GS после него?");
    }
    return u"";
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
    return lines;
}

std::u16string Gs1Json(const Gs1Split& split) {
    std::u16string json = u",\"gs1\":[";
    for (const Gs1Field& f : split.fields) {
        if (&f != &split.fields.front()) json += u",";
        json += u"{\"ai\":" + JsonString(f.ai) + u",\"value\":" + JsonString(f.value) + u"}";
    }
    json += u"],\"gs1_problems\":[";
    for (const Gs1Problem& p : split.problems) {
        if (&p != &split.problems.front()) json += u",";
        json += JsonString(ProblemText(p));
    }
    return json + u"]";
}

void CheckCode(const std::u16string& code) {
    const Gs1Split split = SplitGs1(code);
    if (g_Options.json) {
        PrintJson(u"{\"data\":" + JsonString(code) + Gs1Json(split) + u"}");
    } else {
        PrintLine(Say(u"code \"", u"код \"") + Visible(code) + u"\"");
        for (const std::u16string& line : Gs1Lines(split)) PrintLine(line);
    }
    if (!split.problems.empty())
        throw BenchError{kCodeProblem,
                         Say(u"problems in the code: ", u"проблем в коде: ") + Count(split.problems.size())};
    PrintLine(Say(u"the code is sound", u"код в порядке"));
}

}  // namespace veltra::bench
