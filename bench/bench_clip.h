#pragma once

#include "wire/frame_record.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What the benchmarks share: the D1 test clip, its access units as recorder frames, the
// process's CPU time and the plain libavcodec decode loop every figure is compared with.
namespace kalder::bench {

using Clock = std::chrono::steady_clock;

struct AccessUnit {
    std::vector<std::byte> data;
    bool key = false;
};

// The clip to use: `clip` when given, else the default D1 clip in the working folder, made with
// ffmpeg when missing. Empty when it cannot be made.
std::string clipOrDefault(const std::string& clip);

// The access units of an H.264 elementary stream file.
std::vector<AccessUnit> splitAccessUnits(const std::string& path);

// A 704 x 480 live frame record of `channel` carrying `unit`.
std::unique_ptr<FrameRecord> record(unsigned channel, const AccessUnit& unit);

double seconds(Clock::duration d);
// User and system CPU time of the whole process.
double cpuSeconds();
long peakRssKb();

// Plain libavcodec: send every unit, receive every picture. Frames per second of wall time;
// `cpuFps` gets frames per second of the process's CPU time.
double referenceLoop(const std::vector<AccessUnit>& units, int repeat, int threads,
                     double* cpuFps = nullptr);

} // namespace kalder::bench
