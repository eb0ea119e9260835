#include "core/settings/SettingsDocument.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "SettingsTestSupport.h"

namespace veltra {
namespace {

// The expected document; an indented literal continues the document line above it.
// clang-format off
const char16_t* const kEnglishLines[] = {
    u"<?xml version=\"1.0\" encoding=\"utf-8\" ?>", u"<Settings>", u"<Page Caption=\"Options\">",
    u"  <Group Caption=\"Connection Settings\">",
    u"<Parameter Name=\"propComPortNumber\" Caption=\"The port number\""
        u" Description=\"This field must be specified port number that connects to the scanner. If a USB, the keypad.\""
        u" TypeValue=\"Number\" DefaultValue=\"0\">",
    u"<ChoiceList>", u"<Item Value=\"0\">Keyboard(USB)</Item>", u"<Item Value=\"1\">COM1</Item>",
    u"<Item Value=\"2\">COM2</Item>", u"<Item Value=\"3\">COM3</Item>", u"<Item Value=\"4\">COM4</Item>",
    u"<Item Value=\"5\">COM5</Item>", u"<Item Value=\"6\">COM6</Item>", u"<Item Value=\"7\">COM7</Item>",
    u"<Item Value=\"8\">COM8</Item>", u"<Item Value=\"9\">COM9</Item>", u"<Item Value=\"10\">COM10</Item>",
    u"<Item Value=\"11\">COM11</Item>", u"<Item Value=\"12\">COM12</Item>", u"<Item Value=\"13\">COM13</Item>",
    u"<Item Value=\"14\">COM14</Item>", u"<Item Value=\"15\">COM15</Item>", u"<Item Value=\"16\">COM16</Item>",
    u"<Item Value=\"17\">COM17</Item>", u"<Item Value=\"18\">COM18</Item>", u"<Item Value=\"19\">COM19</Item>",
    u"<Item Value=\"20\">COM20</Item>", u"<Item Value=\"21\">COM21</Item>", u"<Item Value=\"22\">COM22</Item>",
    u"<Item Value=\"23\">COM23</Item>", u"<Item Value=\"24\">COM24</Item>", u"<Item Value=\"25\">COM25</Item>",
    u"<Item Value=\"26\">COM26</Item>", u"<Item Value=\"27\">COM27</Item>", u"<Item Value=\"28\">COM28</Item>",
    u"<Item Value=\"29\">COM29</Item>", u"<Item Value=\"30\">COM30</Item>", u"<Item Value=\"31\">COM31</Item>",
    u"<Item Value=\"32\">COM32</Item>", u"<Item Value=\"33\">COM33</Item>", u"<Item Value=\"34\">COM34</Item>",
    u"<Item Value=\"35\">COM35</Item>", u"</ChoiceList>", u"</Parameter>",
    u"<Parameter Name=\"propSpeed\" Caption=\"Speed\""
        u" Description=\"This field must be specified COM port baud rate.\""
        u" TypeValue=\"Number\" DefaultValue=\"3\">",
    u"<ChoiceList>", u"<Item Value=\"0\">1200</Item>", u"<Item Value=\"1\">2400</Item>",
    u"<Item Value=\"2\">4800</Item>", u"<Item Value=\"3\">9600</Item>", u"<Item Value=\"4\">14400</Item>",
    u"<Item Value=\"5\">19200</Item>", u"<Item Value=\"6\">38400</Item>", u"<Item Value=\"7\">56000</Item>",
    u"<Item Value=\"8\">57600</Item>", u"<Item Value=\"9\">115200</Item>", u"<Item Value=\"10\">128000</Item>",
    u"<Item Value=\"11\">256000</Item>", u"</ChoiceList>", u"</Parameter>",
    u"<Parameter Name=\"propDataBit\" Caption=\"Data bit\""
        u" Description=\"This field must be specified data bit.\""
        u" TypeValue=\"Number\" DefaultValue=\"3\">",
    u"<ChoiceList>", u"<Item Value=\"0\">5</Item>", u"<Item Value=\"1\">6</Item>", u"<Item Value=\"2\">7</Item>",
    u"<Item Value=\"3\">8</Item>", u"</ChoiceList>", u"</Parameter>",
    u"<Parameter Name=\"propStopBits\" Caption=\"Stop Bits\""
        u" Description=\"This field must be specified stop bits.\""
        u" TypeValue=\"Number\" DefaultValue=\"0\">",
    u"<ChoiceList>", u"<Item Value=\"0\">1 stop bits</Item>", u"<Item Value=\"1\">1.5 stop bits</Item>",
    u"<Item Value=\"2\">2 stop bits</Item>", u"</ChoiceList>", u"</Parameter>",
    u"<Parameter Name=\"propParity\" Caption=\"Parity\""
        u" Description=\"This field must be specified parity.\""
        u" TypeValue=\"Number\" DefaultValue=\"0\">",
    u"<ChoiceList>", u"<Item Value=\"0\">No</Item>", u"<Item Value=\"1\">Yes</Item>", u"</ChoiceList>",
    u"</Parameter>",
    u"<Parameter Name=\"propTimeOut\" Caption=\"TimeOut\""
        u" Description=\"Then set the time delay between characters when the scanner works on USB.\""
        u" TypeValue=\"Number\" DefaultValue=\"1000\"/>",
    u"<Parameter Name=\"propPrefix\" Caption=\"Prefix\""
        u" Description=\"This field must be specified prefix barcode.\""
        u" TypeValue=\"String\" DefaultValue=\"0\">",
    u"<ChoiceList>", u"<Item Value=\"0\">~</Item>", u"<Item Value=\"1\">/</Item>", u"<Item Value=\"2\">\\</Item>",
    u"<Item Value=\"3\">[</Item>", u"<Item Value=\"4\">]</Item>", u"</ChoiceList>", u"</Parameter>",
    u"<Parameter Name=\"propSuffix\" Caption=\"Suffix\""
        u" Description=\"This field must be specified Suffix barcode.\""
        u" TypeValue=\"String\" DefaultValue=\"0\">",
    u"<ChoiceList>", u"<Item Value=\"0\">Tab</Item>", u"<Item Value=\"1\">Enter</Item>",
    u"<Item Value=\"2\">Shift</Item>", u"<Item Value=\"3\">Ctrl</Item>", u"<Item Value=\"4\">=</Item>",
    u"</ChoiceList>", u"</Parameter>", u"</Group>", u"</Page> ", u"</Settings>",
};

// The Russian version: the English one with these lines (numbered from 1) replaced.
const struct { size_t number; const char16_t* text; } kRussianLines[] = {
    {3, u"<Page Caption=\"Параметры\">"},
    {4, u"  <Group Caption=\"Параметры подключения\">"},
    {5, u"<Parameter Name=\"propComPortNumber\" Caption=\"Номер порта\""
         u" Description=\"В данном поле должен быть указан Номер порта, к которому подключается Сканер. Если к USB, то клавиатура.\""
         u" TypeValue=\"Number\" DefaultValue=\"0\">"},
    {7, u"<Item Value=\"0\">Клавиатура(USB)</Item>"},
    {45, u"<Parameter Name=\"propSpeed\" Caption=\"Скорость\""
         u" Description=\"В данном поле должна быть указана скорость COM порта.\""
         u" TypeValue=\"Number\" DefaultValue=\"3\">"},
    {61, u"<Parameter Name=\"propDataBit\" Caption=\"Бит данных\""
         u" Description=\"В данном поле должен быть указан бит данных.\""
         u" TypeValue=\"Number\" DefaultValue=\"3\">"},
    {69, u"<Parameter Name=\"propStopBits\" Caption=\"Стоп биты\""
         u" Description=\"В данном поле должны быть указаны стоп биты.\""
         u" TypeValue=\"Number\" DefaultValue=\"0\">"},
    {71, u"<Item Value=\"0\">1 стоп бит</Item>"},
    {72, u"<Item Value=\"1\">1.5 стоп бита</Item>"},
    {73, u"<Item Value=\"2\">2 стоп бита</Item>"},
    {76, u"<Parameter Name=\"propParity\" Caption=\"Четность\""
         u" Description=\"В данном поле должна быть указана четность.\""
         u" TypeValue=\"Number\" DefaultValue=\"0\">"},
    {78, u"<Item Value=\"0\">Нет</Item>"},
    {79, u"<Item Value=\"1\">Да</Item>"},
    {82, u"<Parameter Name=\"propTimeOut\" Caption=\"Задержка\""
         u" Description=\"Тут задается время задержки между символами, когда сканер работает по USB.\""
         u" TypeValue=\"Number\" DefaultValue=\"1000\"/>"},
    {83, u"<Parameter Name=\"propPrefix\" Caption=\"Префикс\""
         u" Description=\"В данном поле должен быть указан Префикс штрихкода.\""
         u" TypeValue=\"String\" DefaultValue=\"0\">"},
    {92, u"<Parameter Name=\"propSuffix\" Caption=\"Суффикс\""
         u" Description=\"В данном поле должен быть указан Суффикс штрихкода.\""
         u" TypeValue=\"String\" DefaultValue=\"0\">"},
};
// clang-format on

std::vector<std::u16string> Expected(bool english) {
    std::vector<std::u16string> lines(std::begin(kEnglishLines), std::end(kEnglishLines));
    if (!english)
        for (const auto& row : kRussianLines) lines.at(row.number - 1) = row.text;
    return lines;
}

// Splits at CR LF; a text that does not end with CR LF leaves its tail as a last line.
std::vector<std::u16string> Lines(const std::u16string& doc) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (size_t end; (end = doc.find(u"\r\n", start)) != std::u16string::npos; start = end + 2)
        lines.push_back(doc.substr(start, end - start));
    if (start < doc.size()) lines.push_back(doc.substr(start));
    return lines;
}

TEST(SettingsDocument_, MatchesTheExpectedTextLineByLine_InBothLanguages) {
    for (bool english : {true, false}) {
        const std::u16string doc = SettingsDocument(english);
        const std::vector<std::u16string> expected = Expected(english);
        std::u16string joined;
        for (const std::u16string& line : expected) joined += line + u"\r\n";
        EXPECT_EQ(doc, joined) << (english ? "English" : "Russian");
        const std::vector<std::u16string> lines = Lines(doc);
        ASSERT_EQ(lines.size(), expected.size()) << (english ? "English" : "Russian");
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(ToUtf8(lines[i]), ToUtf8(expected[i])) << (english ? "English" : "Russian") << " line " << i + 1;
    }
}

TEST(SettingsDocument_, HasTheKnownSizeAndLineEnds) {
    const struct {
        bool english;
        size_t chars;
    } rows[] = {{true, 3696}, {false, 3757}};
    for (const auto& row : rows) {
        const std::u16string doc = SettingsDocument(row.english);
        EXPECT_EQ(doc.size(), row.chars) << row.english;
        EXPECT_EQ(Lines(doc).size(), 103u) << row.english;
        size_t cr = 0, lf = 0;
        for (char16_t c : doc) {
            cr += c == u'\r';
            lf += c == u'\n';
            EXPECT_NE(c, u'\t') << row.english;
        }
        EXPECT_EQ(cr, 103u) << row.english;
        EXPECT_EQ(lf, 103u) << row.english;
        EXPECT_EQ(doc.substr(doc.size() - 13), u"</Settings>\r\n") << row.english;
    }
}

TEST(SettingsDocument_, FollowsTheLanguageFlagOfTheCaller) {
    EXPECT_NE(SettingsDocument(true), SettingsDocument(false));
    EXPECT_NE(SettingsDocument(true).find(u"<Page Caption=\"Options\">"), std::u16string::npos);
    EXPECT_NE(SettingsDocument(false).find(u"<Page Caption=\"Параметры\">"), std::u16string::npos);
}

// The text between `after` and the next double quotation mark (or `end`).
std::u16string Between(const std::u16string& line, const std::u16string& after, const std::u16string& end = u"\"") {
    const size_t start = line.find(after);
    if (start == std::u16string::npos) return {};
    const size_t from = start + after.size();
    return line.substr(from, line.find(end, from) - from);
}

// What each choice stores, by parameter, in choice order.
std::u16string ExpectedStored(const std::u16string& name, size_t index) {
    static const std::map<std::u16string, std::vector<std::u16string>> stored = {
        {u"propSpeed",
         {u"1200", u"2400", u"4800", u"9600", u"14400", u"19200", u"38400", u"56000", u"57600", u"115200", u"128000",
          u"256000"}},
        {u"propDataBit", {u"5", u"6", u"7", u"8"}},
        {u"propStopBits", {u"1", u"15", u"2"}},
        {u"propParity", {u"false", u"true"}},
        {u"propPrefix", {u"192", u"191", u"220", u"219", u"221"}},
        {u"propSuffix", {u"9", u"13", u"16", u"17", u"187"}},
    };
    if (name == u"propComPortNumber") return index == 0 ? u"USB" : u"COM" + DecimalText(index);
    const auto it = stored.find(name);
    return it == stored.end() || index >= it->second.size() ? u"?" : it->second[index];
}

// Feeds text to the setter of the named parameter; the stored value, or the raised message.
std::u16string StoreThrough(const std::u16string& name, const std::u16string& text) {
    StoredSettings s;
    try {
        ApplyTextSetting(s, FindPropNumber(name), text, ParseDecimalI32);
    } catch (const DriverError& e) {
        return u"raised " + e.message();
    }
    return StoredText(s, FindPropNumber(name));
}

TEST(SettingsDocument_, OffersOnlyChoicesAndDefaultsThatTheSettersAccept) {
    LanguageScope guard;
    const std::map<std::u16string, std::u16string> defaults = {
        {u"propComPortNumber", u"USB"}, {u"propSpeed", u"9600"},   {u"propDataBit", u"8"},  {u"propStopBits", u"1"},
        {u"propParity", u"false"},      {u"propTimeOut", u"1000"}, {u"propPrefix", u"192"}, {u"propSuffix", u"9"},
    };
    for (bool english : {true, false}) {
        g_LangEnglish = english;
        std::map<std::u16string, size_t> items;
        std::u16string name;
        for (const std::u16string& line : Lines(SettingsDocument(english))) {
            if (line.rfind(u"<Parameter ", 0) == 0) {
                name = Between(line, u" Name=\"");
                EXPECT_EQ(ToUtf8(StoreThrough(name, Between(line, u" DefaultValue=\""))), ToUtf8(defaults.at(name)))
                    << ToUtf8(name) << " default";
                items[name];
            } else if (line.rfind(u"<Item ", 0) == 0) {
                const std::u16string value = Between(line, u"<Item Value=\"");
                const std::u16string label = Between(line, u"\">", u"</Item>");
                const std::u16string stored = ExpectedStored(name, items[name]++);
                const std::string row = ToUtf8(name + u" " + value + u" " + label) + (english ? " en" : " ru");
                EXPECT_EQ(value, DecimalText(items[name] - 1)) << row;
                EXPECT_EQ(ToUtf8(StoreThrough(name, value)), ToUtf8(stored)) << row << " by value";
                EXPECT_EQ(ToUtf8(StoreThrough(name, label)), ToUtf8(stored)) << row << " by label";
            }
        }
        const std::map<std::u16string, size_t> counts = {
            {u"propComPortNumber", 36}, {u"propSpeed", 12},  {u"propDataBit", 4}, {u"propStopBits", 3},
            {u"propParity", 2},         {u"propTimeOut", 0}, {u"propPrefix", 5},  {u"propSuffix", 5},
        };
        EXPECT_EQ(items, counts) << (english ? "English" : "Russian");
    }
}

}  // namespace
}  // namespace veltra
