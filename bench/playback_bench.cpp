// kalder-bench-playback [--seconds S]: remote playback against live view in the same run.
//
// Starts kalder-recorder-sim (16 channels, D1, 30 frames/s) and runs, one after the other,
//   kalder-cli --json live --seconds S
//   kalder-cli --json play --from T --to T+S-1      (S seconds the disk recorded on every channel)
// and prints each one's CPU per decoded frame and their ratio (goal: playback within 10 % of
// live), then the pacing of playback: the recorded span shown against the wall-clock time the
// play run took (connect and disconnect included, measured by the live run's overhead).
#include "bench_process.h"
#include "decode/decoder_library.h"
#include "sim/recorded_disk.h"
#include "wire/recorder_time.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kalder::bench;

// 2024-01-03 15:00:00, seed 4: a fixed recorded disk, so that every run plays the same period.
constexpr std::uint32_t kDiskEnd = 1704294000;
constexpr unsigned kDiskSeed = 4;

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

    const CliRun live =
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
    const CliRun play = runCli({folder + "/kalder-cli", "--port", port, "--json", "play", "--from",
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
