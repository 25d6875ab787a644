#pragma once

#include <string>
#include <vector>

// kalder-bench-video --sim: the desktop client itself against the simulator, against real-time
// ffmpeg decoders of the same stream in the same run (or beside `kalder-cli live`).
namespace kalder::bench {

struct DesktopRunOptions {
    std::vector<std::string> paths{"rgb", "planar-sw"};
    double warmUpSeconds = 10;
    double seconds = 20;
    int rounds = 1;
    // The simulator's x264 preset: the default ultrafast has no deblocking filter to skip.
    std::string preset = "veryfast";
    // The old comparison: kalder-cli live on the same streams at the same time, instead of
    // the real-time ffmpeg decoders and the layouts.
    bool againstCli = false;
    // Only the first cell zoomed to the whole video area, against one ffmpeg decoder: the
    // quick measure of the largest picture the window converts.
    bool oneCellOnly = false;
    // The 16-cell layout on a site of four recorders of four channels each against one recorder
    // of sixteen channels: CPU per shown picture and RSS of the one against the other.
    bool site = false;
};

// Runs every path `rounds` times and prints the figures; the program's exit status.
int runDesktopAgainstSimulator(const DesktopRunOptions& options);

} // namespace kalder::bench
