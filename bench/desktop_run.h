#pragma once

#include <string>
#include <vector>

// kalder-bench-video --sim: the desktop client itself against the simulator, beside
// `kalder-cli live` on the same streams in the same run.
namespace kalder::bench {

struct DesktopRunOptions {
    std::vector<std::string> paths{"rgb", "planar-sw"};
    double warmUpSeconds = 10;
    double seconds = 20;
    int rounds = 1;
};

// Runs every path `rounds` times and prints the figures; the program's exit status.
int runDesktopAgainstSimulator(const DesktopRunOptions& options);

} // namespace kalder::bench
