// The test bench's command line: the options, the commands in the order
// given, and the usage text, which is the reference for all of them.
#pragma once

#include <string>
#include <vector>

namespace veltra::bench {

struct Limits {
    size_t count = 0;    // stop after this many events; 0: no limit
    double seconds = 0;  // stop after this long; 0: until Ctrl+C
};

enum class Verb {
    Register,
    Unregister,
    Version,
    Info,
    Params,
    Set,
    Describe,
    Open,
    Close,
    Test,
    Scan,
    Error,
    Ports,
    Check
};

struct Step {
    Verb verb = Verb::Version;
    bool user = false;           // register, unregister: for the current user only
    std::u16string name, value;  // set; value: the code of check, with its separators
    Limits limits;               // scan
    bool gs1 = false;            // scan: each code's GS1 split after its event
};

struct CommandLine {
    bool help = false;
    std::u16string native;  // --native: the Native API library to load; "": the COM driver
    std::vector<Step> steps;
};

// The commands, the options and the exit statuses, in the bench's language.
std::u16string UsageText();

// The default language follows the user's interface language.
bool UserPrefersEnglish();

// Sets g_Options from the options and reads the commands after them, from
// the arguments after the program's name; the whole line is checked here.
// Throws BenchError (kUsageError) with a hint.
CommandLine ReadCommandLine(const std::vector<std::u16string>& args);

}  // namespace veltra::bench
