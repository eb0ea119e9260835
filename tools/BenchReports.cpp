// The commands that show what the driver says about itself: its versions,
// its property and method tables, its settings form, its description and
// its last error.
#include <windows.h>

#include <string>
#include <vector>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "core/common/Text.h"
#include "core/common/Win32Owners.h"

namespace veltra::bench {
namespace {

// One text of the version resource of `file`, or "" when it has none.
std::u16string VersionText(const std::vector<BYTE>& resource, const wchar_t* name) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(resource.data(), key.c_str(), &value, &length) || !value || length == 0) return u"";
    return FromUtf16(static_cast<const wchar_t*>(value));
}

// The file of the driver that COM loaded, with what its properties show.
void ShowFileVersion() {
    const HMODULE module = ::GetModuleHandleW(L"VeltraScanner.dll");
    wchar_t path[MAX_PATH] = {};
    if (!module || !::GetModuleFileNameW(module, path, MAX_PATH)) return;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> resource(size);
    if (size == 0 || !::GetFileVersionInfoW(path, 0, size, resource.data())) {
        PrintLine(Say(u"file ", u"файл ") + FromUtf16(path) + Say(u", no version resource", u", нет ресурса версии"));
        return;
    }
    PrintLine(Say(u"file ", u"файл ") + FromUtf16(path) + Say(u", file version ", u", версия файла ") +
              VersionText(resource, L"FileVersion") + u", " + VersionText(resource, L"FileDescription"));
}

// The value of attribute `name` in one XML line, or "".
std::u16string Attribute(const std::u16string& line, const std::u16string& name) {
    const size_t at = line.find(u" " + name + u"=\"");
    if (at == std::u16string::npos) return u"";
    const size_t start = at + name.size() + 3;
    return line.substr(start, line.find(u'"', start) - start);
}

}  // namespace

void ShowVersion(Driver& d) {
    substitute::HostedComponent& c = d.component();
    UniqueBstr name;
    HRESULT hr = c.ext()->RegisterExtensionAs(name.put());
    if (FAILED(hr)) Driver::Fail(u"RegisterExtensionAs", hr);
    const UniqueSafeArray info = MakeVariantArray(1);
    SAFEARRAY* slot = info.get();
    hr = c.init()->GetInfo(&slot);
    if (FAILED(hr)) Driver::Fail(u"GetInfo", hr);
    Variant version;
    long zero = 0;
    ::SafeArrayGetElement(info.get(), &zero, version.get());
    PrintLine(Say(u"extension ", u"расширение ") + FromBstr(name.get()) +
              Say(u", component version ", u", версия компонента ") + substitute::VariantText(version.get()) +
              Say(u", driver version ", u", версия драйвера ") + d.Call(u"GetVersion", 0).result);
    ShowFileVersion();
}

void ShowInfo(Driver& d) {
    ShowVersion(d);
    ILanguageExtender* ext = d.component().ext();
    long props = 0, methods = 0;
    ext->GetNProps(&props);
    ext->GetNMethods(&methods);
    PrintLine(Say(u"\nproperties (", u"\nсвойства (") + DecimalText(props) + u")");
    for (long i = 0; i < props; ++i) {
        UniqueBstr en, ru;
        ext->GetPropName(i, 0, en.put());
        ext->GetPropName(i, 1, ru.put());
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en.get()) + u"  /  " + FromBstr(ru.get()));
    }
    PrintLine(Say(u"\nmethods (", u"\nметоды (") + DecimalText(methods) + u")");
    for (long i = 0; i < methods; ++i) {
        UniqueBstr en, ru;
        long params = 0;
        ext->GetMethodName(i, 0, en.put());
        ext->GetMethodName(i, 1, ru.put());
        ext->GetNParams(i, &params);
        PrintLine(u"  " + DecimalText(i) + u"  " + FromBstr(en.get()) + u"  /  " + FromBstr(ru.get()) + u"  (" +
                  Say(u"", u"параметров: ") + DecimalText(params) + Say(u" parameters)", u")"));
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

void ShowPorts() {
    // The names the driver accepts. A port is there when it opens, or when it
    // is busy with another program; the system's device list alone misses
    // ports that Wine maps by a link.
    bool any = false;
    for (int n = 1; n <= 35; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        wchar_t target[MAX_PATH] = {};
        ::QueryDosDeviceW(name.c_str(), target, MAX_PATH);
        const std::wstring path = L"\\\\.\\" + name;
        const UniqueHandle port(
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const DWORD error = port ? 0 : ::GetLastError();
        std::u16string note;
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            note = Say(u"in use by another program", u"занят другой программой");
        else if (error != 0 && target[0])
            note = Say(u"cannot be opened: ", u"не открывается: ") + SystemMessage(HRESULT_FROM_WIN32(error));
        else if (error != 0) continue;
        any = true;
        std::u16string line = FromUtf16(name.c_str());
        if (target[0]) line += u"  " + FromUtf16(target);
        if (!note.empty()) line += u"  (" + note + u")";
        PrintLine(line);
    }
    if (!any) PrintLine(Say(u"no COM ports", u"COM-портов нет"));
}

}  // namespace veltra::bench
