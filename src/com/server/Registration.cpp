#include "com/server/Registration.h"

namespace veltra {

const char16_t kClassIdText[] = u"{6A1E47C9-2F3B-4D85-A0B4-3C9E5D71B824}";
const char16_t kProgId[] = u"AddIn.VeltraScanner";
const char16_t kClassName[] = u"VeltraScanner";

namespace {

std::u16string Prefix(bool perUser) { return perUser ? u"Software\\Classes\\" : u""; }

std::u16string ClassKey(bool perUser) { return Prefix(perUser) + u"CLSID\\" + kClassIdText; }

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// The words of a command line introduced by '-' or '/', without the introducer.
std::vector<std::u16string> Switches(const std::u16string& commandLine) {
    std::vector<std::u16string> words;
    size_t i = 0;
    while (i < commandLine.size()) {
        while (i < commandLine.size() && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
        const size_t start = i;
        while (i < commandLine.size() && commandLine[i] != u' ' && commandLine[i] != u'\t') ++i;
        if (i > start + 1 && (commandLine[start] == u'-' || commandLine[start] == u'/'))
            words.push_back(commandLine.substr(start + 1, i - start - 1));
    }
    return words;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

std::vector<RegistryValue> RegistrationEntries(bool perUser, const std::u16string& serverPath) {
    const std::u16string progIdKey = Prefix(perUser) + kProgId;
    return {
        {ClassKey(perUser), kClassName},
        {ClassKey(perUser) + u"\\InprocServer32", serverPath},
        {progIdKey, kClassName},
        {progIdKey + u"\\Clsid", kClassIdText},
        {ClassKey(perUser) + u"\\ProgID", kProgId},
    };
}

std::vector<std::u16string> UnregistrationKeys(bool perUser) {
    const std::u16string progIdKey = Prefix(perUser) + kProgId;
    // One key a line, deepest first: RegDeleteKeyW does not delete a key that has subkeys.
    // clang-format off
    return {
        ClassKey(perUser) + u"\\ProgID",
        progIdKey + u"\\Clsid",
        progIdKey,
        ClassKey(perUser) + u"\\InprocServer32",
        ClassKey(perUser),
    };
    // clang-format on
}

bool PerUserFromCommandLine(const std::u16string& commandLine, bool current) {
    static const struct {
        const char16_t* name;
        int effect;
    } kSwitches[] = {
        // 0 keep, 1 off, 2 on; tried in this order, the first present decides
        {u"AUTOMATION", 0},  {u"EMBEDDING", 0},        {u"REGSERVER", 1},
        {u"UNREGSERVER", 1}, {u"REGSERVERPERUSER", 2}, {u"UNREGSERVERPERUSER", 2},
    };
    const std::vector<std::u16string> words = Switches(commandLine);
    for (const auto& sw : kSwitches)
        for (const auto& word : words)
            if (EqualsIgnoringAsciiCase(word, sw.name)) return sw.effect == 0 ? current : sw.effect == 2;
    return current;
}

}  // namespace veltra
