#include "ffmpeg_reference.h"

#include "bench_process.h"
#include "sim/video_loop.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace kalder::bench {

std::vector<double> runAllAtOnce(const std::vector<std::vector<std::string>>& commands) {
    std::vector<pid_t> pids;
    for (const auto& command : commands) {
        pids.push_back(
            spawnProcess(command, nullptr, {.environment = {}, .quiet = true, .searchPath = true}));
    }
    std::vector<double> cpu;
    for (const pid_t pid : pids) {
        int status = 0;
        rusage usage{};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            cpu.push_back(-1);
        } else {
            cpu.push_back(cpuOf(usage));
        }
    }
    return cpu;
}

std::vector<std::string> ffmpegRealTime(const std::string& clip, const std::string& limit) {
    return {"ffmpeg",     "-nostdin", "-loglevel", "error", "-re", "-threads", "1",
            "-framerate", "30",       "-f",        "h264",  "-i",  clip,       "-an",
            "-f",         "null",     "-t",        limit,   "-"};
}

std::optional<FfmpegReference> ffmpegReference(const std::string& clip, double durationSeconds,
                                               int processes) {
    FfmpegReference reference;
    reference.startupCpu = 1e9;
    for (int i = 0; i < 3; ++i) {
        const std::vector<double> cpu = runAllAtOnce({ffmpegRealTime(clip, "0")});
        if (cpu.front() < 0) {
            return std::nullopt;
        }
        reference.startupCpu = std::min(reference.startupCpu, cpu.front());
    }
    const long frames = std::lround(durationSeconds * 30);
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.3f", static_cast<double>(frames) / 30);
    const std::vector<std::vector<std::string>> commands(static_cast<std::size_t>(processes),
                                                         ffmpegRealTime(clip, limit));
    double decodeCpu = 0;
    for (const double cpu : runAllAtOnce(commands)) {
        if (cpu < 0) {
            return std::nullopt;
        }
        decodeCpu += cpu - reference.startupCpu;
        ++reference.processes;
    }
    reference.cpuPerFrame = decodeCpu / static_cast<double>(frames * reference.processes);
    return reference;
}

bool writeLoopClip(const sim::VideoLoop& loop, double durationSeconds, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::size_t copies = static_cast<std::size_t>(durationSeconds * 30) /
                                   std::max<std::size_t>(1, loop.frames.size()) +
                               2;
    for (std::size_t c = 0; c < copies; ++c) {
        for (const auto& frame : loop.frames) {
            out.write(reinterpret_cast<const char*>(frame.data.data()),
                      static_cast<std::streamsize>(frame.data.size()));
        }
    }
    out.close();
    return static_cast<bool>(out);
}

} // namespace kalder::bench
