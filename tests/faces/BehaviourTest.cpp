// One set of behaviour tables for both faces of the driver: names,
// parameters, the settings document, commands, errors and events in both
// languages. Each test runs against every face this build has (the Native
// API face natively on Linux; the COM and the Native API faces under Wine),
// so a difference between the faces fails here. They may run in one
// process, in the order written.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FaceUnderTest.h"
#include "core/common/Text.h"
#include "core/settings/SettingsDocument.h"

#if defined(_WIN32)
#include <windows.h>

#include "host/com/HostWindow.h"
#else
#include <linux/input-event-codes.h>
#endif

namespace veltra::test {
namespace {

using namespace std::chrono_literals;

const std::u16string kSpeedNotSupported =
    u"An error occurred while setting the parameter Speed,specification is not supported.";
const std::u16string kInvalidType = u"Error during installation. Invalid data type in the parameter.";
const char16_t kBadData[] = u"Check COM port settings, incorrect values come.";
const char16_t kBadDataRu[] = u"Проверьте настройки COM порта, приходят некорректные значения.";
constexpr auto kEventWait = 5s;

Got Text(const char16_t* t) { return {Got::Kind::Text, t}; }
Got Integer(long n) { return {Got::Kind::Integer, DecimalText(n)}; }
Got Boolean(bool b) { return {Got::Kind::Boolean, b ? u"true" : u"false"}; }

class Behaviour : public ::testing::TestWithParam<FaceFactory> {
protected:
    void SetUp() override {
        face = GetParam()();
        ASSERT_TRUE(face->Init()) << face->Name();
        face->SetLocale(u"en_US");
    }
    void TearDown() override {
        if (!face) return;
        face->Done();
        const std::string faults = face->End();
        EXPECT_EQ(faults, "") << face->Name();
    }
    void Set(const std::u16string& name, const std::u16string& value) {
        ASSERT_EQ(face->SetParameter(name, value), 1) << ToUtf8(name) << " = " << ToUtf8(value);
    }
    std::unique_ptr<Face> face;
};

std::string FaceName(const ::testing::TestParamInfo<FaceFactory>& info) { return info.param()->Name(); }

#if defined(_WIN32)
INSTANTIATE_TEST_SUITE_P(Faces, Behaviour, ::testing::Values(&MakeComFace, &MakeNativeFace), FaceName);
#else
INSTANTIATE_TEST_SUITE_P(Faces, Behaviour, ::testing::Values(&MakeNativeFace), FaceName);
#endif

// ---- Open before any setting -------------------------------------------------------
// First: the settings belong to the library and stay for as long as it is
// loaded, and this table starts with none set.

TEST_P(Behaviour, OpenAndClose_ReportTheFirstMissingSettingAndWrongIdentifiers) {
    const struct {
        const char16_t* name;  // set before Open; null: nothing
        const char16_t* value;
        const char16_t* error;
    } rows[] = {
        {nullptr, nullptr, u"Error when connecting scanners,PortNumber is not set."},
        {u"propComPortNumber", u"Keyboard(USB)", u"Error when connecting scanners,is not set prefix or suffix."},
        {u"propComPortNumber", u"COM35", u"Error when connecting scanners,not set the COM port settings."},
    };
    for (const auto& row : rows) {
        if (row.name) Set(row.name, row.value);
        const Answer a = face->Call(u"Open", 1);
        EXPECT_EQ(a.result, Integer(0)) << ToUtf8(row.error);
        EXPECT_EQ(face->LastError(), std::make_pair(2L, std::u16string(row.error)));
    }
    face->Call(u"Close", 1, {Sent::Text(u"not a number")});
    EXPECT_EQ(face->LastError(), std::make_pair(3L, std::u16string(u"Invalid data type of the parameter Device ID.")));
    face->Call(u"Close", 1, {Sent::Text(u"123456")});
    EXPECT_EQ(face->LastError(), std::make_pair(3L, std::u16string(u"The device with the specified ID is not found.")));
}

// ---- Names -------------------------------------------------------------------------

TEST_P(Behaviour, Names_TablesInBothLanguages_AndTheirLookups) {
    EXPECT_EQ(face->ExtensionName().value_or(u"<none>"), u"VeltraScanner");
    EXPECT_EQ(face->Info(), u"2000");
    const char16_t* props[][2] = {
        {u"propComPortNumber", u"НомерComПорта"},
        {u"propSpeed", u"Скорость"},
        {u"propDataBit", u"БитДанных"},
        {u"propStopBits", u"СтоповыеБиты"},
        {u"propParity", u"Четность"},
        {u"propTimeOut", u"Задержка"},
        {u"propPrefix", u"Префикс"},
        {u"propSuffix", u"Суффикс"},
    };
    const struct {
        const char16_t* english;
        const char16_t* russian;
        long params;
    } methods[] = {
        {u"GetVersion", u"ПолучитьНомерВерсии", 0},
        {u"GetDescription", u"ПолучитьОписание", 7},
        {u"GetLastError", u"ПолучитьОшибку", 1},
        {u"GetParameters", u"ПолучитьПараметры", 1},
        {u"SetParameter", u"УстановитьПараметр", 2},
        {u"Open", u"Подключить", 1},
        {u"Close", u"Отключить", 1},
        {u"DeviceTest", u"ТестУстройства", 2},
        {u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1},
        {u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1},
    };
    ASSERT_EQ(face->PropCount(), 8);
    ASSERT_EQ(face->MethodCount(), 10);
    for (long i = 0; i < 8; ++i) {
        EXPECT_EQ(face->PropName(i, 0), props[i][0]);
        EXPECT_EQ(face->PropName(i, 1), props[i][1]);
        EXPECT_EQ(face->FindProp(props[i][0]), i);
        EXPECT_EQ(face->FindProp(props[i][1]), i);
    }
    for (long i = 0; i < 10; ++i) {
        EXPECT_EQ(face->MethodName(i, 0), methods[i].english);
        EXPECT_EQ(face->MethodName(i, 1), methods[i].russian);
        EXPECT_EQ(face->FindMethod(methods[i].english), i);
        EXPECT_EQ(face->FindMethod(methods[i].russian), i);
        EXPECT_EQ(face->ParamCount(i), methods[i].params);
    }
    EXPECT_EQ(face->PropName(0, 2), u"");
    EXPECT_EQ(face->PropName(8, 0), u"");
    EXPECT_EQ(face->MethodName(-1, 0), u"");
    EXPECT_EQ(face->FindProp(u"propspeed"), -1) << "names are case-sensitive";
    EXPECT_EQ(face->FindMethod(u""), -1);
    const Answer unknown = face->Call(u"NoSuchMethod", 1);
    EXPECT_FALSE(unknown.found || unknown.handled) << "a call by an unknown name reaches nothing";
    EXPECT_EQ(face->ParamCount(10), 0);
}

TEST_P(Behaviour, Init_SetsTheBufferDepthAndResetsTheErrorState_ARefusedDepthFailsIt) {
    EXPECT_EQ(face->BufferDepths(), std::vector<long>{300});
    EXPECT_EQ(face->LastError(), std::make_pair(0L, std::u16string()));
    std::unique_ptr<Face> refused = GetParam()();
    EXPECT_FALSE(refused->Init(true));
    refused->Done();
    EXPECT_EQ(refused->End(), "");
}

// ---- Parameters ------------------------------------------------------------------------

TEST_P(Behaviour, SetParameter_EitherNameInEitherLanguage_AndItsErrorsInTheLanguage) {
    const struct {
        const char16_t* locale;
        const char16_t* name;
        const char16_t* value;
        long result;
        long code;
    } rows[] = {
        {u"en_US", u"propSpeed", u"10", 1, -1},          {u"en_US", u"Скорость", u"9600", 1, -1},
        {u"ru_RU", u"propParity", u"Да", 1, -1},         {u"ru_RU", u"Четность", u"Yes", 1, -1},
        {u"en_US", u"Задержка", u"1000", 1, -1},         {u"en_US", u"propTimeOut", u"65535", 1, -1},
        {u"en_US", u"propTimeOut", u"0", 0, 1},          {u"en_US", u"propTimeOut", u"abc", 0, 1},
        {u"en_US", u"propTimeOut", u" 1,000.4 ", 1, -1}, {u"en_US", u"propspeed", u"9600", 0, 1},
        {u"en_US", u"propSpeed", u"12", 0, 1},           {u"en_US", u"propComPortNumber", u"USB", 0, 1},
        {u"en_US", u"propSuffix", u"Enter", 1, -1},
    };
    for (const auto& row : rows) {
        face->SetLocale(row.locale);
        const std::string name = ToUtf8(row.name) + "=" + ToUtf8(row.value);
        EXPECT_EQ(face->SetParameter(row.name, row.value), row.result) << name;
        if (row.code >= 0) {
            EXPECT_EQ(face->LastError().first, row.code) << name;
        }
    }
    face->SetLocale(u"en_US");
    EXPECT_EQ(face->SetParameter(u"propSpeed", u"12"), 0);
    EXPECT_EQ(face->LastError(), std::make_pair(1L, kSpeedNotSupported));
    EXPECT_EQ(face->SetParameter(u"propSpeed", u"9600"), 1);
    EXPECT_EQ(face->LastError(), std::make_pair(1L, kSpeedNotSupported)) << "a success keeps the last error";
    face->SetLocale(u"ru_RU");
    EXPECT_EQ(face->SetParameter(u"propTimeOut", u"65536"), 0);
    EXPECT_EQ(
        face->LastError().second,
        u"Ошибка при инициализации \"Задержка\".\rЗадержка должна иметь тип значения число, не меньше 1 и не больше 65535.");
}

TEST_P(Behaviour, PropertyWrites_KeepTheRawText_AndReadBackWithTheirTypes) {
    const struct {
        long number;
        Sent value;
        Got readBack;
        long code;  // of the last error afterwards; -1: not looked at
    } rows[] = {
        {1, Sent::Text(u"12345"), Text(u"12345"), 1},  // rejected by the setter, kept as written
        {0, Sent::Text(u"COM99"), Text(u"COM99"), 1},
        {1, Sent::Integer(10), Text(u"10"), -1},  // a number converts to its digits
        {4, Sent::Text(u"Да"), Boolean(true), -1},
        {4, Sent::Boolean(false), Boolean(false), -1},  // a Boolean reads "0": the choice "No"
        {5, Sent::Integer(1500), Integer(1500), -1},
        {5, Sent::Text(u"70000"), Integer(1500), 1},  // a rejected time limit leaves the field
        {5, Sent::Real(1200.5), Integer(1200), -1},   // rounded half to even
        {6, Sent::Text(u"~"), Text(u"~"), -1},
        {6, Sent::Null(), Text(u"~"), 1},
        {6, Sent::NoTextForm(), Text(u"~"), 1},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_TRUE(face->SetProperty(rows[i].number, rows[i].value)) << "row " << i;
        EXPECT_EQ(face->Property(rows[i].number), rows[i].readBack) << "row " << i;
        if (rows[i].code >= 0) {
            EXPECT_EQ(face->LastError().first, rows[i].code) << "row " << i;
        }
    }
    EXPECT_EQ(face->LastError(), std::make_pair(1L, kInvalidType));
    EXPECT_TRUE(face->SetProperty(42, Sent::Null())) << "an unknown number with a value of no text form";
    EXPECT_EQ(face->LastError(), std::make_pair(1L, kInvalidType));
    EXPECT_FALSE(face->SetProperty(42, Sent::Integer(3))) << "an unknown number with a convertible value";
}

TEST_P(Behaviour, SetParameter_AnswersEveryValueTypeAndHugeTexts) {
    const struct {
        Sent value;
        long result;
    } rows[] = {
        {Sent{}, 0},
        {Sent::Null(), 0},
        {Sent::Integer(10), 1},
        {Sent::Boolean(true), 0},
        {Sent::Text(std::u16string(1 << 20, u'9')), 0},
        {Sent::Real(9600.0), 1},
        {Sent::NoTextForm(), 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Answer a = face->Call(u"SetParameter", 2, {Sent::Text(u"propSpeed"), rows[i].value});
        EXPECT_TRUE(a.handled) << i;
        EXPECT_EQ(a.result, Integer(rows[i].result)) << i;
    }
    const Answer missing = face->Call(u"SetParameter", 1, {Sent::Text(u"propSpeed")});
    EXPECT_EQ(missing.result, Integer(0)) << "a missing value reads as empty, which is no speed";
    EXPECT_EQ(face->LastError().first, 1);
    face->Call(u"SetParameter", 2, {Sent::Text(u"propSpeed"), Sent::Null()});
    EXPECT_EQ(face->LastError(), std::make_pair(66L, std::u16string(u"The error is not known.")))
        << "the platform's conversion failure, of no known class";
}

TEST_P(Behaviour, GetParameters_HandsOverTheDocumentOfTheLanguage) {
    for (bool english : {true, false}) {
        face->SetLocale(english ? u"en_US" : u"ru_RU");
        const Answer a = face->Call(u"GetParameters", 1);
        EXPECT_EQ(a.result, Integer(1));
        ASSERT_EQ(a.params.size(), 1u);
        EXPECT_EQ(a.params[0].kind, Got::Kind::Text);
        EXPECT_EQ(a.params[0].text.size(), english ? 3696u : 3757u);
        EXPECT_EQ(a.params[0].text, SettingsDocument(english));
    }
}

// ---- Commands -----------------------------------------------------------------------------

TEST_P(Behaviour, Commands_AnswerWithTheirTypesAndTexts) {
    EXPECT_EQ(face->Call(u"GetVersion", 0).result, Text(u"1.0"));
    for (bool english : {true, false}) {
        face->SetLocale(english ? u"en_US" : u"ru_RU");
        const Answer d = face->Call(u"GetDescription", 7);
        EXPECT_EQ(d.result, Integer(1));
        const std::vector<Got> expected = {
            Text(english ? u"Veltra Scanner" : u"Вельтра Сканер Штрихкода"),
            Text(english ? u"Driver connects barcode scanner lineup Veltra."
                         : u"Драйвер осуществляет подключение сканеров штрихкода модельного ряда Veltra."),
            Text(u"СканерШтрихкода"),
            Integer(1002),
            Boolean(true),
            Boolean(true),
            Text(u"https://veltra.example/scanners"),
        };
        EXPECT_EQ(d.params, expected);
        const Answer more = face->Call(u"DoAdditionalAction", 1, {Sent::Text(u"x")});
        EXPECT_EQ(more.result, Integer(0));
        EXPECT_EQ(
            face->LastError(),
            std::make_pair(10L, std::u16string(english ? u"Additional actions are not supported driver."
                                                       : u"Дополнительные действия не поддерживаются драйвером.")));
    }
    const Answer actions = face->Call(u"GetAdditionalActions", 1);
    EXPECT_EQ(actions.result, Integer(0));
    EXPECT_EQ(actions.params, std::vector<Got>{Text(u"")});
    EXPECT_EQ(face->LastError().first, 10) << "GetAdditionalActions records no failure";
    const Answer unknown = face->Call(10L, 1);
    EXPECT_FALSE(unknown.handled);
    EXPECT_EQ(unknown.result, Integer(0));
}

// ---- Events ---------------------------------------------------------------------------------

void ExpectEvents(const std::vector<HostEvent>& events, const std::u16string& source,
                  const std::vector<std::pair<std::u16string, std::u16string>>& expected) {
    ASSERT_EQ(events.size(), expected.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].source, source) << i;
        EXPECT_EQ(events[i].name, expected[i].first) << i;
        EXPECT_EQ(events[i].data, expected[i].second) << i;
    }
}

TEST_P(Behaviour, SerialCodes_BecomeEventsOfTheDevice_NamedInTheLanguageAtOpen) {
    SerialLine line;
    if (!line.Ready()) GTEST_SKIP() << "no serial line for the tests here";
    face->SetLocale(u"ru_RU");
    Set(u"propComPortNumber", line.PortText());
    Set(u"propSpeed", u"9600");
    Set(u"propDataBit", u"8");
    Set(u"propStopBits", u"1 stop bits");
    Set(u"propParity", u"No");
    const Answer opened = face->Call(u"Open", 1);
    ASSERT_EQ(opened.result, Integer(1)) << ToUtf8(face->LastError().second);
    const std::u16string device = opened.params.at(0).text;
    const struct {
        std::string bytes;
        const char16_t* locale;  // set before the bytes are fed
    } feeds[] = {
        {"  4607012345678\r\n", u"ru_RU"},
        {"0104607012345678"
         "21ABC\x1D"
         "10LOT42\r\n",
         u"ru_RU"},
        {"12\x88"
         "34\r\n",
         u"ru_RU"},
        {"\xC8", u"en_US"},   // the text in the language of the moment, the name of the Open
        {"Error", u"ru_RU"},  // a scanner without a suffix: a code like any other
    };
    for (size_t i = 0; i < std::size(feeds); ++i) {
        face->SetLocale(feeds[i].locale);
        line.Feed(feeds[i].bytes);
        ASSERT_TRUE(face->WaitForEvents(i + 1, kEventWait)) << "event " << i;
    }
    ExpectEvents(face->Events(), device,
                 {{u"Штрихкод", u"4607012345678"},
                  {u"Штрихкод",
                   u"010460701234567821ABC\x1D"
                   u"10LOT42"},
                  {u"ОшибкаДрайвера", kBadDataRu},
                  {u"ОшибкаДрайвера", kBadData},
                  {u"Штрихкод", u"Error"}});
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(device)}).result, Integer(1));
}

// Keyboard-wedge scanners are read through the host thread's messages on
// Windows. On Linux they are read from their own input device, which the
// port must name: the port "0" gets a clear error, and where the tests have
// an input device (the test VM) its keys become the same event.
TEST_P(Behaviour, KeyboardMode_CodesBecomeEventsOfTheHook_OrOpenFailsClearlyWhereThereIsNone) {
    Set(u"propComPortNumber", u"0");
    Set(u"propPrefix", u"~");
    Set(u"propSuffix", u"Tab");
    Set(u"propTimeOut", u"1000");
#if defined(_WIN32)
    substitute::KeyTarget target;
    const Answer opened = face->Call(u"Open", 1);
    ASSERT_EQ(opened.result, Integer(1)) << ToUtf8(face->LastError().second);
    for (UINT vk : {static_cast<UINT>(VK_OEM_3), UINT('4'), UINT('6'), UINT('0'), UINT('7'), UINT(VK_TAB)})
        target.Press(vk);
#else
    EXPECT_EQ(face->Call(u"Open", 1).result, Integer(0));
    const auto [code, text] = face->LastError();
    EXPECT_EQ(code, 2);
    EXPECT_NE(text.find(u"Linux"), std::u16string::npos) << ToUtf8(text);
    if (!g_TestInputDevice) return;
    Set(u"propComPortNumber", g_TestInputDevice->port);
    const Answer opened = face->Call(u"Open", 1);
    ASSERT_EQ(opened.result, Integer(1)) << ToUtf8(face->LastError().second);
    std::vector<std::pair<uint16_t, int32_t>> keys;
    for (uint16_t key : {KEY_GRAVE, KEY_4, KEY_6, KEY_0, KEY_7, KEY_TAB}) keys.insert(keys.end(), {{key, 1}, {key, 0}});
    ASSERT_TRUE(g_TestInputDevice->type(keys));
#endif
    ASSERT_TRUE(face->WaitForEvents(1, kEventWait));
    ExpectEvents(face->Events(), opened.params.at(0).text, {{u"Barcode", u"4607"}});
    EXPECT_EQ(face->Call(u"Close", 1, {Sent::Text(opened.params.at(0).text)}).result, Integer(1));
}

}  // namespace
}  // namespace veltra::test
