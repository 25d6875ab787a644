#pragma once

// The reference of a general-purpose player: real-time single-threaded ffmpeg decoders of the
// simulator's own stream, all at once, that decode and show nothing. Used by
// `kalder-bench-decode sim16` and `kalder-bench-video --sim`.
#include <optional>
#include <string>
#include <vector>

namespace kalder::sim {
struct VideoLoop;
}

namespace kalder::bench {

struct FfmpegReference {
    double startupCpu = 0;  // one process that decodes nothing (`-t 0`), best of three
    double cpuPerFrame = 0; // of all the processes, start-up taken off
    int processes = 0;
};

// Runs the commands at once; the CPU seconds of each that ended well (a negative figure for
// one that could not start or failed).
std::vector<double> runAllAtOnce(const std::vector<std::vector<std::string>>& commands);

// A real-time single-threaded ffmpeg decode of `clip`, paced at 30 pictures/s, for `limit` s.
std::vector<std::string> ffmpegRealTime(const std::string& clip, const std::string& limit);

// `processes` real-time ffmpeg decoders of `clip` for `durationSeconds`, all at once.
std::optional<FfmpegReference> ffmpegReference(const std::string& clip, double durationSeconds,
                                               int processes);

// Writes the loop's frames to `path` as a raw H.264 stream, repeated often enough to last
// `durationSeconds` at 30 frames/s without looping.
bool writeLoopClip(const sim::VideoLoop& loop, double durationSeconds, const std::string& path);

} // namespace kalder::bench
