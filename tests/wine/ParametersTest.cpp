// Settings and driver commands through COM: SetParameter and property
// writes in both languages, the settings document, and bad host input.
#include <windows.h>

#include "HostFixture.h"
#include "core/common/Text.h"
#include "core/settings/SettingsDocument.h"

namespace veltra::test {
namespace {

const std::u16string kSpeedNotSupported =
    u"An error occurred while setting the parameter Speed,specification is not supported.";

class Parameters : public InitialisedComponent {
protected:
    HRESULT Write(long number, const Variant& value) {
        return c.ext()->SetPropVal(number, const_cast<VARIANT*>(value.get()));
    }
    Variant Read(long number) {
        Variant v;
        EXPECT_EQ(c.ext()->GetPropVal(number, v.get()), S_OK);
        return v;
    }
    std::u16string ReadText(long number) {
        Variant v = Read(number);
        return v.type() == VT_BSTR ? FromBstr(V_BSTR(v.get())) : u"<not a text>";
    }
};

TEST_F(Parameters, SetParameter_AcceptsEitherNameInEitherLanguage) {
    const struct {
        const wchar_t* locale;
        const char16_t* name;
        const char16_t* value;
        long result;
        long code;
    } rows[] = {
        {L"en_US", u"propSpeed", u"10", 1, -1},         {L"en_US", u"Скорость", u"9600", 1, -1},
        {L"ru_RU", u"propParity", u"Да", 1, -1},        {L"ru_RU", u"Четность", u"Yes", 1, -1},
        {L"en_US", u"Задержка", u"1000", 1, -1},        {L"en_US", u"propTimeOut", u"65535", 1, -1},
        {L"en_US", u"propTimeOut", u"0", 0, 1},         {L"en_US", u"propTimeOut", u"abc", 0, 1},
        {L"en_US", u"propspeed", u"9600", 0, 1},        {L"en_US", u"propSpeed", u"12", 0, 1},
        {L"en_US", u"propComPortNumber", u"USB", 0, 1}, {L"en_US", u"propSuffix", u"Enter", 1, -1},
    };
    for (const auto& row : rows) {
        c.SetLocale(row.locale);
        const std::string name = ToUtf8(row.name) + "=" + ToUtf8(row.value);
        EXPECT_EQ(c.SetParameter(row.name, row.value), row.result) << name;
        if (row.code >= 0) {
            EXPECT_EQ(c.LastError().first, row.code) << name;
        }
    }
}

TEST_F(Parameters, RejectedSetParameter_ReportsTheMessageOfTheLanguageAndKeepsTheLastErrorAfterSuccess) {
    EXPECT_EQ(c.SetParameter(u"propSpeed", u"12"), 0);
    const auto expected = std::make_pair(1L, kSpeedNotSupported);
    EXPECT_EQ(c.LastError(), expected);
    EXPECT_EQ(c.SetParameter(u"propSpeed", u"9600"), 1);
    EXPECT_EQ(c.LastError(), expected) << "a success does not clear the last error";
    c.SetLocale(L"ru_RU");
    EXPECT_EQ(c.SetParameter(u"propTimeOut", u"65536"), 0);
    EXPECT_EQ(
        c.LastError().second,
        u"Ошибка при инициализации \"Задержка\".\rЗадержка должна иметь тип значения число, не меньше 1 и не больше 65535.");
}

TEST_F(Parameters, PropertyWrite_KeepsTheRawTextEvenWhenTheSetterRejectsIt) {
    Variant v;
    v.set_text(u"12345");
    EXPECT_EQ(Write(1, v), S_OK);
    EXPECT_EQ(ReadText(1), u"12345");
    EXPECT_EQ(c.LastError(), std::make_pair(1L, kSpeedNotSupported));

    v.set_text(u"COM99");
    EXPECT_EQ(Write(0, v), S_OK);
    EXPECT_EQ(ReadText(0), u"COM99");
    EXPECT_EQ(c.LastError().first, 1);

    v.set_text(u"Да");
    EXPECT_EQ(Write(4, v), S_OK);
    EXPECT_EQ(Read(4).type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(Read(4).get()), VARIANT_TRUE);

    v.set_i4(1500);  // the time limit takes the number itself
    EXPECT_EQ(Write(5, v), S_OK);
    EXPECT_EQ(V_I4(Read(5).get()), 1500);
    v.set_text(u"70000");
    EXPECT_EQ(Write(5, v), S_OK);
    EXPECT_EQ(V_I4(Read(5).get()), 1500) << "a rejected time limit leaves the field";
}

TEST_F(Parameters, SetParameter_LeavesThePropertyFieldsAlone) {
    Variant v;
    v.set_text(u"9600");
    ASSERT_EQ(Write(1, v), S_OK);
    EXPECT_EQ(c.SetParameter(u"propSpeed", u"3"), 1);
    EXPECT_EQ(ReadText(1), u"9600");
}

TEST_F(Parameters, PropertyWrite_RefusesValuesWithoutTextForm_AndChangesNothing) {
    Variant text;
    text.set_text(u"~");
    ASSERT_EQ(Write(6, text), S_OK);
    std::vector<Variant> bad;
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_NULL;
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(bad.back().get()) = MakeVariantArray(1).release();
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_UNKNOWN;
    V_UNKNOWN(bad.back().get()) = nullptr;
    for (size_t i = 0; i < bad.size(); ++i) {
        for (long number : {6L, 42L}) {
            EXPECT_EQ(Write(number, bad[i]), S_OK) << i << " " << number;
            EXPECT_EQ(
                c.LastError(),
                std::make_pair(1L, std::u16string(u"Error during installation. Invalid data type in the parameter.")))
                << i << " " << number;
        }
        EXPECT_EQ(ReadText(6), u"~") << i;
    }
    Variant fine;
    fine.set_i4(3);
    EXPECT_EQ(Write(42, fine), S_FALSE) << "an unknown number with a convertible value";
}

TEST_F(Parameters, SetParameter_AnswersEveryVariantTypeAndHugeTextsWithoutHarm) {
    ASSERT_EQ(c.SetParameter(u"propSpeed", u"9600"), 1);
    std::vector<Variant> values(6);
    V_VT(values[1].get()) = VT_NULL;
    values[2].set_i4(10);  // a number converts to its digits: "10" is a choice index
    values[3].set_bool(true);
    values[4].set_text(std::u16string(1 << 20, u'9'));
    V_VT(values[5].get()) = VT_R8;
    V_R8(values[5].get()) = 9600.0;
    const long expected[] = {0, 0, 1, 0, 0, 1};
    Variant name;
    name.set_text(u"propSpeed");
    for (size_t i = 0; i < values.size(); ++i) {
        Component::CallResult r = c.Call(4, 2, {name.get(), values[i].get()});
        EXPECT_EQ(r.hr, S_OK) << i;
        EXPECT_EQ(V_I4(r.result.get()), expected[i]) << i;
    }
    // Too few elements: the value reads as empty, which is no speed.
    Component::CallResult r = c.Call(4, 1, {name.get()});
    EXPECT_EQ(V_I4(r.result.get()), 0);
    EXPECT_EQ(c.LastError().first, 1);
    // A null value cannot become text: the platform's failure, of no known class.
    Variant null;
    V_VT(null.get()) = VT_NULL;
    c.Call(4, 2, {name.get(), null.get()});
    EXPECT_EQ(c.LastError(), std::make_pair(66L, std::u16string(u"The error is not known.")));
}

TEST_F(Parameters, GetParameters_HandsOverTheDocumentOfTheLanguage) {
    for (bool english : {true, false}) {
        c.SetLocale(english ? L"en_US" : L"ru_RU");
        Component::CallResult r = c.Call(3, 1);
        EXPECT_EQ(V_I4(r.result.get()), 1);
        EXPECT_EQ(r.types[0], VT_BSTR);
        EXPECT_EQ(r.textParams[0].size(), english ? 3696u : 3757u);
        EXPECT_EQ(r.textParams[0], SettingsDocument(english));
    }
}

TEST_F(Parameters, Commands_WriteTheirResultsWithTheRightTypes) {
    Component::CallResult version = c.Call(0, 0);
    EXPECT_EQ(version.result.type(), VT_BSTR);
    EXPECT_EQ(FromBstr(V_BSTR(version.result.get())), u"1.0");

    for (bool english : {true, false}) {
        c.SetLocale(english ? L"en_US" : L"ru_RU");
        Component::CallResult d = c.Call(1, 7);
        EXPECT_EQ(V_I4(d.result.get()), 1);
        const std::vector<VARTYPE> types = {VT_BSTR, VT_BSTR, VT_BSTR, VT_I4, VT_BOOL, VT_BOOL, VT_BSTR};
        EXPECT_EQ(d.types, types);
        EXPECT_EQ(d.textParams[0], english ? u"Veltra Scanner" : u"Вельтра Сканер Штрихкода");
        EXPECT_EQ(d.textParams[2], u"СканерШтрихкода");
        EXPECT_EQ(d.textParams[3], u"1002");
        EXPECT_FALSE(d.textParams[6].empty());
    }

    c.Call(9, 1);  // DoAdditionalAction fails
    Component::CallResult actions = c.Call(8, 1);
    EXPECT_EQ(V_I4(actions.result.get()), 0);
    EXPECT_EQ(actions.types[0], VT_BSTR);
    EXPECT_EQ(actions.textParams[0], u"");
    EXPECT_EQ(c.LastError().first, 10) << "GetAdditionalActions records no failure";
}

TEST_F(Parameters, Close_RefusesAnIdentifierThatIsNoNumberOrNotTheDevice) {
    Variant id;
    id.set_text(u"not a number");
    c.Call(6, 1, {id.get()});
    EXPECT_EQ(c.LastError(), std::make_pair(3L, std::u16string(u"Invalid data type of the parameter Device ID.")));
    id.set_text(u"123456");
    c.Call(6, 1, {id.get()});
    EXPECT_EQ(c.LastError(), std::make_pair(3L, std::u16string(u"The device with the specified ID is not found.")));
}

}  // namespace
}  // namespace veltra::test
