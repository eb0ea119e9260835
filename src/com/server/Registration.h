// The registry entries that self-registration writes and removes, as plain
// data. No Windows headers.
#pragma once

#include <string>
#include <vector>

namespace veltra {

struct RegistryValue {
    std::u16string key;    // below the root, with the per-user prefix applied
    std::u16string value;  // the key's default value
};

extern const char16_t kClassIdText[];  // "{6A1E...}" with braces, upper case
extern const char16_t kProgId[];       // "AddIn.VeltraScanner"
extern const char16_t kClassName[];    // "VeltraScanner"

// The keys written, in order; serverPath is the library path to register.
std::vector<RegistryValue> RegistrationEntries(bool perUser, const std::u16string& serverPath);

// The keys deleted by unregistration, in order (deepest first).
std::vector<std::u16string> UnregistrationKeys(bool perUser);

// The per-user switch a command line selects: looks for the switches
// introduced by '-' or '/', whole words, case-insensitive, and takes the first
// that matches in the order AUTOMATION/EMBEDDING (keep), REGSERVER,
// UNREGSERVER (off), REGSERVERPERUSER, UNREGSERVERPERUSER (on).
bool PerUserFromCommandLine(const std::u16string& commandLine, bool current);

// Case-insensitive comparison of plain ASCII letters (the switch and "user").
bool EqualsIgnoringAsciiCase(const std::u16string& a, const std::u16string& b);

}  // namespace veltra
