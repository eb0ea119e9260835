#include "BenchHost.h"

namespace veltra::bench {

int RunKeyboardWindow(Driver& d, const Limits& limits) {
    PrintLine(u"keyboard mode is not available yet");
    return 1;
}

}  // namespace veltra::bench
