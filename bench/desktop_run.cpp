#include "desktop_run.h"

#include "bench_clip.h"
#include "bench_process.h"
#include "decode/decoder_library.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

namespace kalder::bench {

namespace {

// User and system CPU seconds of a running process, from /proc; negative when unknown.
double processCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        if (n == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long processStatusKb(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return 0;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// One line the desktop client's video window writes (KALDER_VIDEO_STATS).
struct GuiStats {
    double cpuSeconds = 0;
    long rssKb = 0;
    long peakRssKb = 0;
    std::uint64_t received = 0;
    std::uint64_t shown = 0;
    std::uint64_t paints = 0;
    double paintSeconds = 0;
    std::map<int, std::uint64_t> delays; // 1-ms step -> pictures
};

std::optional<GuiStats> readGuiStats(const std::string& file) {
    std::ifstream in(file);
    std::string tag, word;
    long long monotonic = 0, cpu = 0, paintNs = 0;
    GuiStats stats;
    if (!(in >> tag >> monotonic >> cpu >> stats.rssKb >> stats.peakRssKb >> stats.received >>
          stats.shown >> stats.paints >> paintNs >> word) ||
        tag != "kalder-video-stats" || word != "delays")
        return std::nullopt;
    stats.cpuSeconds = static_cast<double>(cpu) / 1e9;
    stats.paintSeconds = static_cast<double>(paintNs) / 1e9;
    while (in >> word) {
        const std::size_t colon = word.find(':');
        if (colon != std::string::npos)
            stats.delays[std::atoi(word.c_str())] +=
                std::strtoull(word.c_str() + colon + 1, nullptr, 10);
    }
    return stats;
}

// The statistics file is rewritten once a second: wait for the next version.
std::optional<GuiStats> nextGuiStats(const std::string& file, double timeoutSeconds) {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto before = fs::last_write_time(file, error);
    const auto end = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (Clock::now() < end) {
        std::error_code e;
        const auto now = fs::last_write_time(file, e);
        if (!e && (error || now != before))
            return readGuiStats(file);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

// The delay of the pictures at quantile `q` (0..1), in ms (upper end of its 1-ms step).
double delayQuantile(const std::map<int, std::uint64_t>& steps, double q) {
    std::uint64_t total = 0;
    for (const auto& [step, n] : steps)
        total += n;
    if (total == 0)
        return 0;
    const auto wanted = static_cast<std::uint64_t>(q * static_cast<double>(total - 1));
    std::uint64_t seen = 0;
    for (const auto& [step, n] : steps) {
        seen += n;
        if (seen > wanted)
            return step + 1;
    }
    return steps.rbegin()->first + 1;
}

struct PathResult {
    std::string path;
    double wall = 0;
    double guiCpu = 0, cliCpu = 0, cliRunCpu = 0, cliDecoded = 0, cliFrames = 0;
    double guiPerFrameMs = 0, cliPerFrameMs = 0;
    double ratio = 0;
    double shownPerReceived = 0;
    double receivedPerSecond = 0;
    double paintsPerSecond = 0, paintMs = 0;
    double medianMs = 0, p99Ms = 0;
    long guiRssKb = 0, guiPeakKb = 0, cliRssKb = 0;
    std::string cliSummary;
};

// The desktop client on `path` and kalder-cli live, both connected to the simulator at `port`
// at once: after the warm-up, each one's CPU over the same seconds.
std::optional<PathResult> runPath(const std::string& folder, const std::string& port,
                                  const std::string& path, const DesktopRunOptions& options) {
    namespace fs = std::filesystem;
    const fs::path home = fs::absolute("bench-desktop-" + path);
    std::error_code error;
    fs::create_directories(home / ".config" / "Tarsel", error);
    {
        std::ofstream settings(home / ".config" / "Tarsel" / "Kalder.conf", std::ios::trunc);
        settings << "[LocalSetup]\nDrawMode\\DrawMode=" << (path == "rgb" ? 1 : 0) << "\n";
    }
    const std::string statsFile = (home / "video-stats.txt").string();
    fs::remove(statsFile, error);
    std::map<std::string, std::string> guiEnvironment{
        {"HOME", home.string()},
        {"XDG_CONFIG_HOME", (home / ".config").string()},
        {"KALDER_PASSWORD", "1234"},
        {"KALDER_VIDEO_STATS", statsFile}};
    if (path == "planar-sw")
        guiEnvironment["KALDER_NO_OPENGL"] = "1";

    char cliSeconds[32];
    std::snprintf(cliSeconds, sizeof cliSeconds, "%.0f",
                  options.warmUpSeconds + options.seconds + 3);
    int cliOutput = -1;
    const pid_t cli = spawnProcess(
        {folder + "/kalder-cli", "--port", port, "--json", "live", "--seconds", cliSeconds},
        &cliOutput, {.environment = {{"KALDER_PASSWORD", "1234"}}, .quiet = true});
    const pid_t gui =
        spawnProcess({folder + "/kalder", "--connect", "127.0.0.1:" + port, "--user", "ADMIN"},
                     nullptr, {.environment = guiEnvironment, .quiet = true});
    if (cli < 0 || gui < 0) {
        std::fprintf(stderr, "cannot start kalder-cli or kalder\n");
        if (cli > 0)
            ::kill(cli, SIGTERM);
        if (gui > 0)
            ::kill(gui, SIGTERM);
        return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(options.warmUpSeconds));
    const std::optional<GuiStats> first = nextGuiStats(statsFile, 3);
    const double cliFirst = processCpu(cli);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds - 0.5));
    const std::optional<GuiStats> last = nextGuiStats(statsFile, 3);
    const double cliLast = processCpu(cli);
    const double wall = seconds(Clock::now() - start);
    PathResult result;
    result.path = path;
    result.cliRssKb = processStatusKb(cli, "VmRSS");
    ::kill(gui, SIGTERM);
    ::waitpid(gui, nullptr, 0);
    const std::string report = readAll(cliOutput);
    ::close(cliOutput);
    int status = 0;
    rusage usage{};
    ::wait4(cli, &status, 0, &usage);
    if (!first || !last) {
        std::fprintf(stderr, "%s: the desktop client wrote no statistics (no display?)\n",
                     path.c_str());
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || cliFirst < 0 || cliLast < 0) {
        std::fprintf(stderr, "%s: kalder-cli live failed\n%s", path.c_str(), report.c_str());
        return std::nullopt;
    }
    const std::size_t summary = report.rfind("{\"event\":\"live\"");
    if (summary != std::string::npos)
        result.cliSummary = report.substr(summary, report.find('\n', summary) - summary);

    result.wall = wall;
    result.guiCpu = last->cpuSeconds - first->cpuSeconds;
    result.cliCpu = cliLast - cliFirst;
    result.cliDecoded = number(report, "{\"event\":\"live\"", "decoded");
    result.cliFrames = number(report, "{\"event\":\"live\"", "frames");
    result.cliRunCpu = cpuOf(usage);
    const double received = static_cast<double>(last->received - first->received);
    const double shown = static_cast<double>(last->shown - first->shown);
    // The command's figure is its whole run's CPU over the pictures it decoded (its start-up
    // is light); the desktop client's, the measured seconds' CPU over the pictures its video
    // window received in them, so that its start-up and connect are left out.
    result.guiPerFrameMs = received > 0 ? 1000 * result.guiCpu / received : 0;
    result.cliPerFrameMs = result.cliDecoded > 0 ? 1000 * result.cliRunCpu / result.cliDecoded : 0;
    result.ratio = result.cliPerFrameMs > 0 ? result.guiPerFrameMs / result.cliPerFrameMs : 0;
    result.shownPerReceived = received > 0 ? shown / received : 0;
    result.receivedPerSecond = received / wall;
    const double paints = static_cast<double>(last->paints - first->paints);
    result.paintsPerSecond = paints / wall;
    result.paintMs = paints > 0 ? 1000 * (last->paintSeconds - first->paintSeconds) / paints : 0;
    std::map<int, std::uint64_t> delays = last->delays;
    for (const auto& [step, n] : first->delays)
        delays[step] -= n;
    result.medianMs = delayQuantile(delays, 0.5);
    result.p99Ms = delayQuantile(delays, 0.99);
    result.guiRssKb = last->rssKb;
    result.guiPeakKb = last->peakRssKb;
    return result;
}

void print(const PathResult& r) {
    std::printf("  %-9s kalder %.3f ms CPU per frame (%.1f %% of the 2-core machine), kalder-cli "
                "live %.3f ms (%.1f %%): ratio %.3f\n",
                r.path.c_str(), r.guiPerFrameMs, 100 * r.guiCpu / r.wall / 2, r.cliPerFrameMs,
                100 * r.cliCpu / r.wall / 2, r.ratio);
    std::printf("            received %.1f/s, shown/received %.3f, paints %.1f/s of %.2f ms, "
                "arrival to end of paint median %.0f ms, 99th percentile %.0f ms\n",
                r.receivedPerSecond, r.shownPerReceived, r.paintsPerSecond, r.paintMs, r.medianMs,
                r.p99Ms);
    std::printf(
        "            kalder-cli live: %.0f frames received, %.0f decoded in %.1f s of CPU\n",
        r.cliFrames, r.cliDecoded, r.cliRunCpu);
    std::printf("            RSS kalder %.1f MB (peak %.1f MB), kalder-cli %.1f MB\n",
                r.guiRssKb / 1024.0, r.guiPeakKb / 1024.0, r.cliRssKb / 1024.0);
}

} // namespace

int runDesktopAgainstSimulator(const DesktopRunOptions& options) {
    const std::string folder = DecoderLibrary::programFolder().string();
    int simOutput = -1;
    const pid_t sim = spawnProcess(
        {folder + "/kalder-recorder-sim", "--port", "0", "--cache-dir", "bench-sim-cache"},
        &simOutput, {.environment = {}, .quiet = true});
    if (sim < 0) {
        std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
        return 1;
    }
    const std::string port = readLine(simOutput);
    std::printf("kalder-recorder-sim on port %s: 16 channels, 704x480, 30 frames/s\n",
                port.c_str());
    std::printf(
        "each path: kalder --connect (16-cell live view) and kalder-cli --json live at once; "
        "%.0f s warm-up, then %.0f s measured; load average %s\n",
        options.warmUpSeconds, options.seconds, loadAverage().c_str());
    std::map<std::string, std::vector<PathResult>> results;
    bool failed = false;
    for (int round = 0; round < options.rounds && !failed; ++round) {
        for (const std::string& path : options.paths) {
            const std::optional<PathResult> result = runPath(folder, port, path, options);
            if (!result) {
                failed = true;
                break;
            }
            std::printf("round %d (load average %s):\n", round + 1, loadAverage().c_str());
            print(*result);
            std::fflush(stdout);
            results[path].push_back(*result);
        }
    }
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    ::close(simOutput);
    if (failed)
        return 1;
    std::printf(
        "median of %d rounds, CPU per frame kalder / kalder-cli live (goal at most 1.25):\n",
        options.rounds);
    for (const std::string& path : options.paths) {
        std::vector<double> ratios;
        for (const PathResult& r : results[path])
            ratios.push_back(r.ratio);
        std::sort(ratios.begin(), ratios.end());
        std::printf("  %-9s %.3f\n", path.c_str(), ratios[ratios.size() / 2]);
    }
    return 0;
}

} // namespace kalder::bench
