// VeltraPerf: measures the scan-to-event path of the driver through COM, as
// the substitute host (tools/host/com) holds it, and prints one table plus one
// machine-readable line per figure ("PERF arch=... figure=... key=value ...").
//
//   VeltraPerf.exe [--quick] [--only FIGURES]
//
// The serial figure needs a virtual serial line: VELTRA_SERIAL_PORT names the
// COM port the driver opens, VELTRA_SERIAL_FEED the Unix path of the other
// end (bench/run_bench.sh sets both up); without them it is skipped.
// --quick runs a tenth of every count (for a smoke run); --only 25 runs
// figures 2 and 5 only. Each figure is measured in a file of its own
// (Perf<Figure>.cpp), on the common parts of Perf.h.
#include <objbase.h>

#include "Perf.h"

using namespace veltra;
using namespace veltra::perf;

int main(int argc, char** argv) {
    std::string only = "12345";  // the figures to run
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") g_Scale = 10;
        else if (arg == "--only" && i + 1 < argc) only = argv[++i];
        else Fail("usage: VeltraPerf [--quick] [--only FIGURES, e.g. 15]");
    }
    const auto wanted = [&](char figure) { return only.find(figure) != std::string::npos; };
    const substitute::ComApartment com;
    if (FAILED(com.result())) Fail("CoInitializeEx", com.result());
    RegisterDriver();
    {
        KeyTarget window;
        if (!window.Ready()) Fail("CreateWindowExW", ::GetLastError());
        {
            Driver d;
            PerfHost host(d.Host());
            if (wanted('1')) KeyboardLatency(d, host, window);
            if (wanted('2')) SerialLatency(d, host);
            if (wanted('3')) HookCost(d, window);
            if (wanted('4')) IdleCost(d);
            if (wanted('5')) Burst(d, host, window);
        }
        std::printf("\nVeltraPerf %s%s\n", kArch, g_Scale > 1 ? " (quick: a tenth of every count)" : "");
        std::printf("| %-38s | %-62s | %-44s | %-10s |\n", "figure", "measured", "floor", "ratio");
        std::printf("|%s|%s|%s|%s|\n", std::string(40, '-').c_str(), std::string(64, '-').c_str(),
                    std::string(46, '-').c_str(), std::string(12, '-').c_str());
        for (const Row& r : g_Rows)
            std::printf("| %-38s | %-62s | %-44s | %-10s |\n", r.figure.c_str(), r.measured.c_str(), r.floor.c_str(),
                        r.ratio.c_str());
    }
    return 0;
}
