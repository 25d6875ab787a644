// kalder-bench-playback [--seconds S]: remote playback against live view in the same run.
//
// Starts kalder-recorder-sim (16 channels, D1, 30 frames/s) and runs, one after the other,
//   kalder-cli --json live --seconds S
//   kalder-cli --json play --from T --to T+S-1      (S seconds the disk recorded on every channel)
// and prints each one's CPU per decoded frame and their ratio (goal: playback within 10 % of
// live), then the pacing of playback: the recorded span shown against the wall-clock time the
// play run took (connect and disconnect included, measured by the live run's overhead).
#include "decode/decoder_library.h"
#include "sim/recorded_disk.h"
#include "wire/recorder_time.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// 2024-01-03 15:00:00, seed 4: a fixed recorded disk, so that every run plays the same period.
constexpr std::uint32_t kDiskEnd = 1704294000;
constexpr unsigned kDiskSeed = 4;

pid_t spawnWithOutput(const std::vector<std::string>& args, int& output) {
    int ends[2];
    if (::pipe(ends) != 0)
        return -1;
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (rc != 0) {
        ::close(ends[0]);
        return -1;
    }
    output = ends[0];
    return pid;
}

std::string readLine(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

std::string readAll(int fd) {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return all;
}

double cpuOf(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    bool ok = false;
    std::string report;
    double cpu = 0;
    double wall = 0;
};

Run runCli(const std::vector<std::string>& args) {
    Run run;
    int output = -1;
    const auto start = Clock::now();
    const pid_t pid = spawnWithOutput(args, output);
    if (pid < 0)
        return run;
    run.report = readAll(output);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = cpuOf(usage);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// A number of the closing line that starts with `closing`.
double number(const std::string& report, const char* closing, const char* key) {
    const std::size_t line = report.rfind(closing);
    if (line == std::string::npos)
        return 0;
    const std::size_t at = report.find(std::string("\"") + key + "\":", line);
    return at == std::string::npos ? 0 : std::atof(report.c_str() + at + std::strlen(key) + 3);
}

std::string text(const std::string& report, const char* closing, const char* key) {
    const std::size_t line = report.rfind(closing);
    if (line == std::string::npos)
        return {};
    const std::size_t at = report.find(std::string("\"") + key + "\":\"", line);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + std::strlen(key) + 4;
    return report.substr(begin, report.find('"', begin) - begin);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    if (seconds < 2)
        seconds = 2;
    const std::string folder = kalder::DecoderLibrary::programFolder().string();
    int simOutput = -1;
    const pid_t sim = spawnWithOutput(
        {folder + "/kalder-recorder-sim", "--port", "0", "--cache-dir", "bench-sim-cache",
         "--disk-end", std::to_string(kDiskEnd), "--disk-seed", std::to_string(kDiskSeed)},
        simOutput);
    if (sim < 0) {
        std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
        return 1;
    }
    const std::string port = readLine(simOutput);
    ::setenv("KALDER_PASSWORD", "1234", 1);
    char secondsArg[32];
    std::snprintf(secondsArg, sizeof secondsArg, "%g", seconds);

    const Run live =
        runCli({folder + "/kalder-cli", "--port", port, "--json", "live", "--seconds", secondsArg});
    // The period: S seconds that all sixteen channels recorded, the latest such of the disk.
    kalder::sim::DiskLayout layout;
    layout.end = kDiskEnd;
    layout.seed = kDiskSeed;
    const kalder::sim::RecordedDisk disk(layout);
    std::uint32_t from = 0;
    for (auto it = disk.periods().rbegin(); it != disk.periods().rend() && !from; ++it)
        if (it->channels == 0xFFFF && it->end - it->start >= seconds + 10)
            from = it->start + 5;
    if (!from) {
        std::fprintf(stderr, "the disk holds no %g s of every channel\n", seconds);
        ::kill(sim, SIGTERM);
        ::waitpid(sim, nullptr, 0);
        return 1;
    }
    const std::string fromText = kalder::formatRecorderTime(from);
    const std::string toText =
        kalder::formatRecorderTime(from + static_cast<std::uint32_t>(seconds) - 1);
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", seconds * 2 + 30);
    const Run play = runCli({folder + "/kalder-cli", "--port", port, "--json", "play", "--from",
                             fromText, "--to", toText, "--seconds", limit});
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    ::close(simOutput);
    if (!live.ok || !play.ok) {
        std::fprintf(stderr, "a kalder-cli run failed\n%s\n%s\n", live.report.c_str(),
                     play.report.c_str());
        return 1;
    }
    const double liveDecoded = number(live.report, "{\"event\":\"live\"", "decoded");
    const double playDecoded = number(play.report, "{\"event\":\"play\"", "decoded");
    if (liveDecoded <= 0 || playDecoded <= 0) {
        std::fprintf(stderr, "nothing decoded\n");
        return 1;
    }
    const double livePerFrame = live.cpu / liveDecoded;
    const double playPerFrame = play.cpu / playDecoded;
    std::printf("live, 16 channels, %s s: %.0f decoded, CPU %.2f s, %.3f ms per frame\n",
                secondsArg, liveDecoded, live.cpu, 1000 * livePerFrame);
    std::printf("play, 16 channels, %s s period: %.0f decoded, CPU %.2f s, %.3f ms per frame\n",
                secondsArg, playDecoded, play.cpu, 1000 * playPerFrame);
    std::printf("playback CPU per decoded frame / live: %.3f (goal: at most 1.10)\n",
                playPerFrame / livePerFrame);

    const auto first = kalder::parseCivilTime(text(play.report, "{\"event\":\"play\"", "first"));
    const auto last = kalder::parseCivilTime(text(play.report, "{\"event\":\"play\"", "last"));
    if (first && last) {
        // Recorder times carry no zone: broken down and put together by the UTC rules.
        auto toSeconds = [](const kalder::CivilTime& t) {
            std::tm tm{};
            tm.tm_year = t.year - 1900;
            tm.tm_mon = t.month - 1;
            tm.tm_mday = t.day;
            tm.tm_hour = t.hour;
            tm.tm_min = t.minute;
            tm.tm_sec = t.second;
            return static_cast<double>(::timegm(&tm));
        };
        const double span = toSeconds(*last) - toSeconds(*first) + 1;
        // The live run's wall time less its seconds is the cost of connecting and leaving.
        const double overhead = live.wall - seconds;
        const double played = play.wall - overhead;
        std::printf("pacing: %.0f s of recording shown in %.2f s of wall clock (%.2f s of connect "
                    "and disconnect taken off); error %.2f s, %.2f %%\n",
                    span, played, overhead, played - span, 100 * (played - span) / span);
    }
    return 0;
}
