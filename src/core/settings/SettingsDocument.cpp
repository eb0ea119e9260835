#include "core/settings/SettingsDocument.h"

#include <initializer_list>
#include <string_view>

#include "core/common/Text.h"
#include "core/settings/Names.h"
#include "core/settings/Settings.h"

namespace veltra {

std::u16string SettingsDocument(bool english) {
    std::u16string doc;
    const auto line = [&doc](std::initializer_list<std::u16string_view> parts) {
        for (std::u16string_view part : parts) doc += part;
        doc += u"\r\n";
    };
    const auto pick = [english](std::u16string_view en, std::u16string_view ru) { return english ? en : ru; };

    line({u"<?xml version=\"1.0\" encoding=\"utf-8\" ?>"});
    line({u"<Settings>"});
    line({u"<Page Caption=\"", pick(u"Options", u"Параметры"), u"\">"});
    line({u"  <Group Caption=\"", pick(u"Connection Settings", u"Параметры подключения"), u"\">"});
    for (int32_t number = 0; number < kPropCount; ++number) {
        const ParameterRow& p = ParameterTable()[static_cast<size_t>(number)];
        line({u"<Parameter Name=\"", PropName(number, 0), u"\" Caption=\"", pick(p.captionEnglish, p.captionRussian),
              u"\" Description=\"", pick(p.descriptionEnglish, p.descriptionRussian), u"\" TypeValue=\"", p.typeValue,
              u"\" DefaultValue=\"", p.defaultValue, p.choices.empty() ? u"\"/>" : u"\">"});
        if (p.choices.empty()) continue;
        line({u"<ChoiceList>"});
        for (size_t i = 0; i < p.choices.size(); ++i)
            line({u"<Item Value=\"", DecimalText(static_cast<long long>(i)), u"\">",
                  pick(p.choices[i].english, p.choices[i].russian), u"</Item>"});
        line({u"</ChoiceList>"});
        line({u"</Parameter>"});
    }
    line({u"</Group>"});
    line({u"</Page> "});
    line({u"</Settings>"});
    return doc;
}

}  // namespace veltra
