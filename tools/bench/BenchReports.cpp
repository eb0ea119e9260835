// The commands that show what the driver says about itself: its versions,
// its property and method tables, its settings form, its description and
// its last error.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <string>
#include <vector>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

#if defined(_WIN32)
// One text of the version resource of `file`, or "" when it has none.
std::u16string VersionText(const std::vector<BYTE>& resource, const wchar_t* name) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), key.c_str(), &value, &length) || !value || length == 0) return u"";
    return FromUtf16(static_cast<const wchar_t*>(value));
}

// The driver's file, with what its properties show.
void ShowFileVersion(const std::u16string& file) {
    if (file.empty()) return;
    const std::wstring path(file.begin(), file.end());
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> resource(size);
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, resource.data())) {
        PrintLine(Say(u"file ", u"файл ") + file + Say(u", no version resource", u", нет ресурса версии"));
        return;
    }
    PrintLine(Say(u"file ", u"файл ") + file + Say(u", file version ", u", версия файла ") +
              VersionText(resource, L"FileVersion") + u", " + VersionText(resource, L"FileDescription"));
}
#else
// The driver's file; a shared object has no version resource.
void ShowFileVersion(const std::u16string& file) {
    if (!file.empty()) PrintLine(Say(u"file ", u"файл ") + file);
}
#endif

// The value of attribute `name` in one XML line, or "".
std::u16string Attribute(const std::u16string& line, const std::u16string& name) {
    const size_t at = line.find(u" " + name + u"=\"");
    if (at == std::u16string::npos) return u"";
    const size_t start = at + name.size() + 3;
    return line.substr(start, line.find(u'"', start) - start);
}

}  // namespace

void ShowVersion(Driver& d) {
    PrintLine(Say(u"extension ", u"расширение ") + d.ExtensionName() +
              Say(u", component version ", u", версия компонента ") + d.ComponentVersion() +
              Say(u", driver version ", u", версия драйвера ") + d.Call(u"GetVersion", 0).result);
    ShowFileVersion(d.LibraryFile());
}

void ShowInfo(Driver& d) {
    ShowVersion(d);
    const std::vector<Driver::Member> props = d.Properties();
    const std::vector<Driver::Member> methods = d.Methods();
    PrintLine(Say(u"\nproperties (", u"\nсвойства (") + DecimalText(static_cast<long long>(props.size())) + u")");
    for (size_t i = 0; i < props.size(); ++i)
        PrintLine(u"  " + DecimalText(static_cast<long long>(i)) + u"  " + props[i].english + u"  /  " +
                  props[i].local);
    PrintLine(Say(u"\nmethods (", u"\nметоды (") + DecimalText(static_cast<long long>(methods.size())) + u")");
    for (size_t i = 0; i < methods.size(); ++i) {
        const Driver::Member& m = methods[i];
        PrintLine(u"  " + DecimalText(static_cast<long long>(i)) + u"  " + m.english + u"  /  " + m.local + u"  (" +
                  Say(u"", u"параметров: ") + DecimalText(m.params) + Say(u" parameters)", u")"));
    }
}

void ShowParams(Driver& d) {
    const std::u16string document = d.Call(u"GetParameters", 1).params[0];
    size_t pos = 0;
    while (pos < document.size()) {
        size_t end = document.find(u"\r\n", pos);
        if (end == std::u16string::npos) end = document.size();
        const std::u16string line = document.substr(pos, end - pos);
        pos = end + 2;
        if (line.rfind(u"<Parameter ", 0) == 0) {
            PrintLine(u"\n" + Attribute(line, u"Name") + u"  \"" + Attribute(line, u"Caption") + u"\"  (" +
                      Attribute(line, u"TypeValue") + Say(u", default ", u", по умолчанию ") +
                      Attribute(line, u"DefaultValue") + u")");
            PrintLine(u"    " + Attribute(line, u"Description"));
        } else if (line.rfind(u"<Item ", 0) == 0) {
            const size_t open = line.find(u'>') + 1;
            PrintLine(u"    " + Attribute(line, u"Value") + u" = " + line.substr(open, line.find(u"</Item>") - open));
        }
    }
}

void ShowDescription(Driver& d) {
    const Driver::Result r = d.Call(u"GetDescription", 7);
    d.Check(r, u"GetDescription");
    const char16_t* labels[][2] = {{u"name", u"имя"},
                                   {u"description", u"описание"},
                                   {u"equipment type", u"тип оборудования"},
                                   {u"interface revision", u"ревизия интерфейса"},
                                   {u"integration component", u"компонент интеграции"},
                                   {u"main driver installed", u"основной драйвер установлен"},
                                   {u"download address", u"адрес загрузки"}};
    for (size_t i = 0; i < r.params.size(); ++i)
        PrintLine(std::u16string(Say(labels[i][0], labels[i][1])) + u": " + r.params[i]);
}

void ShowLastError(Driver& d) {
    const Driver::Result r = d.Call(u"GetLastError", 1);
    PrintLine(Say(u"code ", u"код ") + r.result + (r.params[0].empty() ? u"" : u": " + r.params[0]));
}

}  // namespace veltra::bench
