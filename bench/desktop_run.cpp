#include "desktop_run.h"

#include "bench_clip.h"
#include "bench_process.h"
#include "ffmpeg_reference.h"
#include "x_window_control.h"
#include "sim/sim_config.h"
#include "sim/video_loop.h"
#include "sim/media_source.h"
#include "decode/decoder_library.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

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

// The desktop client's figures over one measured stretch.
struct Stretch {
    double wall = 0;
    double cpu = 0;
    double received = 0;
    double shown = 0;
    long rssKb = 0, peakRssKb = 0; // at the stretch's end
    double cpuPerShownMs() const { return shown > 0 ? 1000 * cpu / shown : 0; }
    double share() const { return wall > 0 ? 100 * cpu / wall / 2 : 0; }
};

std::optional<Stretch> measureStretch(const std::string& statsFile, double seconds) {
    const std::optional<GuiStats> first = nextGuiStats(statsFile, 3);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds - 0.5));
    const std::optional<GuiStats> last = nextGuiStats(statsFile, 3);
    if (!first || !last)
        return std::nullopt;
    Stretch s;
    s.wall = bench::seconds(Clock::now() - start);
    s.cpu = last->cpuSeconds - first->cpuSeconds;
    s.received = static_cast<double>(last->received - first->received);
    s.shown = static_cast<double>(last->shown - first->shown);
    s.rssKb = last->rssKb;
    s.peakRssKb = last->peakRssKb;
    return s;
}

// One run of the desktop client: the 16-cell layout, then (with `all`) the first cell zoomed to
// the whole video area, the main window minimized, and covered by another window.
struct ClientRun {
    Stretch sixteen, one, minimized, covered;
    int movingCells = -1; // of the 16 cells, after the 16-cell stretch (SixteenAndCells)
};

// The main window's video area.
constexpr int kVideoLeft = 53;
constexpr int kVideoTop = 72;
constexpr int kVideoWidth = 815;
constexpr int kVideoHeight = 548;
// The top-left cell's centre in the main window.
constexpr int kFirstCellX = kVideoLeft + kVideoWidth / 8;
constexpr int kFirstCellY = kVideoTop + kVideoHeight / 8;

// How many cells of the 16-cell layout change between two grabs of the video area half a
// second apart: the simulator's scene moves all over the picture, while an empty cell or one
// whose pictures stopped stays as it is. -1 when the window's pixels cannot be read. The second
// grab is written to `picture` (PPM), to be looked at.
int countMovingCells(XWindowControl& window, const std::string& picture) {
    const std::vector<std::uint32_t> before =
        window.grab(kVideoLeft, kVideoTop, kVideoWidth, kVideoHeight);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::vector<std::uint32_t> after =
        window.grab(kVideoLeft, kVideoTop, kVideoWidth, kVideoHeight);
    if (before.empty() || after.size() != before.size())
        return -1;
    std::ofstream ppm(picture, std::ios::binary | std::ios::trunc);
    ppm << "P6\n" << kVideoWidth << ' ' << kVideoHeight << "\n255\n";
    for (const std::uint32_t pixel : after) {
        const char rgb[3] = {static_cast<char>(pixel >> 16), static_cast<char>(pixel >> 8),
                             static_cast<char>(pixel)};
        ppm.write(rgb, 3);
    }
    int moving = 0;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int left = column * kVideoWidth / 4, right = (column + 1) * kVideoWidth / 4;
            const int top = row * kVideoHeight / 4, bottom = (row + 1) * kVideoHeight / 4;
            long changed = 0;
            for (int y = top; y < bottom; ++y) {
                for (int x = left; x < right; ++x) {
                    const std::size_t at = static_cast<std::size_t>(y) * kVideoWidth + x;
                    // The colour bits only: the pad byte of a 24-bit visual is undefined.
                    changed += ((before[at] ^ after[at]) & 0xFFFFFFu) != 0 ? 1 : 0;
                }
            }
            // The overlays' lines and the cell borders stay; the picture under them moves.
            if (changed * 4 > long{right - left} * (bottom - top))
                ++moving;
        }
    }
    return moving;
}

// Which stretches runClient measures after the 16 cells; SixteenAndCells counts the moving
// cells after them.
enum class Stretches { SixteenOnly, SixteenAndCells, All, OneCellOnly };

// The desktop client connected to the recorders at `ports` (one: a recorder; several: a site).
std::optional<ClientRun> runClient(const std::string& folder, const std::vector<std::string>& ports,
                                   const std::string& path, bool fasterSmallCells,
                                   Stretches stretches, const DesktopRunOptions& options) {
    namespace fs = std::filesystem;
    const fs::path home = fs::absolute("bench-desktop-" + path);
    std::error_code error;
    fs::create_directories(home / ".config" / "Tarsel", error);
    {
        std::ofstream settings(home / ".config" / "Tarsel" / "Kalder.conf", std::ios::trunc);
        settings << "[LocalSetup]\nDrawMode\\DrawMode=" << (path == "rgb" ? 1 : 0)
                 << "\n[LocalSetupEx]\nFasterSmallCells\\FasterSmallCells="
                 << (fasterSmallCells ? 1 : 0) << "\n";
    }
    const std::string statsFile = (home / "video-stats.txt").string();
    fs::remove(statsFile, error);
    std::map<std::string, std::string> environment{{"HOME", home.string()},
                                                   {"XDG_CONFIG_HOME", (home / ".config").string()},
                                                   {"KALDER_PASSWORD", "1234"},
                                                   {"KALDER_VIDEO_STATS", statsFile}};
    if (path == "planar-sw")
        environment["KALDER_NO_OPENGL"] = "1";
    std::vector<std::string> arguments{folder + "/kalder"};
    for (const std::string& port : ports) {
        arguments.push_back("--connect");
        arguments.push_back("127.0.0.1:" + port);
    }
    arguments.push_back("--user");
    arguments.push_back("ADMIN");
    const pid_t gui = spawnProcess(arguments, nullptr, {.environment = environment, .quiet = true});
    if (gui < 0)
        return std::nullopt;
    const auto end = [&](const char* why) -> std::optional<ClientRun> {
        if (why != nullptr)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), why);
        ::kill(gui, SIGTERM);
        ::waitpid(gui, nullptr, 0);
        return std::nullopt;
    };
    std::this_thread::sleep_for(std::chrono::duration<double>(options.warmUpSeconds));
    ClientRun run;
    if (stretches == Stretches::OneCellOnly) {
        const auto window = XWindowControl::find(gui);
        if (!window)
            return end("the desktop client's window is not on the display");
        window->doubleClick(kFirstCellX, kFirstCellY);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const auto one = measureStretch(statsFile, options.seconds);
        if (!one)
            return end("the desktop client wrote no statistics (no display?)");
        run.one = *one;
        end(nullptr);
        return run;
    }
    const auto sixteen = measureStretch(statsFile, options.seconds);
    if (!sixteen)
        return end("the desktop client wrote no statistics (no display?)");
    run.sixteen = *sixteen;
    if (stretches == Stretches::SixteenAndCells) {
        const auto window = XWindowControl::find(gui);
        if (!window)
            return end("the desktop client's window is not on the display");
        run.movingCells = countMovingCells(
            *window, (home / (ports.size() > 1 ? "site.ppm" : "one.ppm")).string());
    }
    if (stretches == Stretches::All) {
        const auto window = XWindowControl::find(gui);
        if (!window)
            return end("the desktop client's window is not on the display");
        // Zoomed: its next key frame decodes fully, the live request asks for one channel.
        window->doubleClick(kFirstCellX, kFirstCellY);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const auto one = measureStretch(statsFile, options.seconds);
        window->doubleClick(kFirstCellX, kFirstCellY);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        window->minimize();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const auto minimized = measureStretch(statsFile, options.seconds);
        window->restore();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        window->cover();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const auto covered = measureStretch(statsFile, options.seconds);
        window->uncover();
        if (!one || !minimized || !covered)
            return end("the desktop client stopped writing statistics");
        run.one = *one;
        run.minimized = *minimized;
        run.covered = *covered;
    }
    end(nullptr);
    return run;
}

double medianOf(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The desktop client against real-time ffmpeg decoders of the simulator's own stream.
int runAgainstFfmpeg(const std::string& folder, const DesktopRunOptions& options) {
    const std::string cache = "bench-sim-cache";
    sim::SimConfig config;
    config.encoderPreset = options.preset;
    bool fromCache = false;
    std::string error;
    const auto loop = sim::obtainVideoLoop(sim::loopParamsFor(config, 0), cache, fromCache, error);
    const std::string clip = "bench-sim-channel0-" + options.preset + ".h264";
    if (!loop || !writeLoopClip(*loop, options.seconds + 2, clip)) {
        std::fprintf(stderr, "cannot make the simulator's stream: %s\n", error.c_str());
        return 1;
    }
    int simOutput = -1;
    const pid_t sim = spawnProcess({folder + "/kalder-recorder-sim", "--port", "0", "--cache-dir",
                                    cache, "--encoder-preset", options.preset},
                                   &simOutput, {.environment = {}, .quiet = true});
    if (sim < 0) {
        std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
        return 1;
    }
    const std::string port = readLine(simOutput);
    std::printf("kalder-recorder-sim --encoder-preset %s on port %s: 16 channels, 704x480, 30 "
                "frames/s; %.0f s warm-up, %.0f s per measured stretch; load average %s\n",
                options.preset.c_str(), port.c_str(), options.warmUpSeconds, options.seconds,
                loadAverage().c_str());
    struct Figures {
        std::vector<double> sixteen, one, minimized, covered;
    };
    std::map<std::string, Figures> figures; // "path before" / "path after"
    bool failed = false;
    if (options.oneCellOnly) {
        std::map<std::string, std::vector<double>> ratios;
        for (int round = 0; round < options.rounds && !failed; ++round) {
            const auto single = ffmpegReference(clip, options.seconds, 1);
            if (!single) {
                std::fprintf(stderr, "the ffmpeg reference could not be run\n");
                failed = true;
                break;
            }
            std::printf("round %d (load average %s): ffmpeg x1 %.3f ms CPU per frame\n", round + 1,
                        loadAverage().c_str(), 1000 * single->cpuPerFrame);
            for (const std::string& path : options.paths) {
                const auto run =
                    runClient(folder, {port}, path, true, Stretches::OneCellOnly, options);
                if (!run) {
                    failed = true;
                    break;
                }
                const Stretch& o = run->one;
                ratios[path].push_back(o.cpuPerShownMs() / (1000 * single->cpuPerFrame));
                std::printf("  %-9s 1 cell: %.3f ms CPU per shown picture (%.1f %%), shown "
                            "%.1f/s; ratio to one ffmpeg %.3f\n",
                            path.c_str(), o.cpuPerShownMs(), o.share(), o.shown / o.wall,
                            ratios[path].back());
                std::fflush(stdout);
            }
        }
        ::kill(sim, SIGTERM);
        ::waitpid(sim, nullptr, 0);
        ::close(simOutput);
        if (failed)
            return 1;
        std::printf("medians of %d rounds (goal: 1 cell at most 1.1 x one ffmpeg):\n",
                    options.rounds);
        for (const std::string& path : options.paths)
            std::printf("  %-9s 1 cell %.3f\n", path.c_str(), medianOf(ratios[path]));
        return 0;
    }
    for (int round = 0; round < options.rounds && !failed; ++round) {
        const auto sixteen = ffmpegReference(clip, options.seconds, 16);
        const auto single = ffmpegReference(clip, options.seconds, 1);
        if (!sixteen || !single) {
            std::fprintf(stderr, "the ffmpeg reference could not be run\n");
            failed = true;
            break;
        }
        std::printf("round %d (load average %s): ffmpeg x16 %.3f ms CPU per frame, x1 %.3f ms "
                    "(start-up %.3f s per process taken off)\n",
                    round + 1, loadAverage().c_str(), 1000 * sixteen->cpuPerFrame,
                    1000 * single->cpuPerFrame, sixteen->startupCpu);
        for (const std::string& path : options.paths) {
            for (const bool faster : {false, true}) {
                const auto run =
                    runClient(folder, {port}, path, faster,
                              faster ? Stretches::All : Stretches::SixteenOnly, options);
                if (!run) {
                    failed = true;
                    break;
                }
                Figures& f = figures[path + (faster ? " after" : " before")];
                const Stretch& s = run->sixteen;
                f.sixteen.push_back(s.cpuPerShownMs() / (1000 * sixteen->cpuPerFrame));
                std::printf("  %-9s %-6s 16 cells: %.3f ms CPU per shown picture (%.1f %% of the "
                            "2-core machine), shown %.1f/s of %.1f received; ratio to ffmpeg "
                            "x16 %.3f\n",
                            path.c_str(), faster ? "after" : "before", s.cpuPerShownMs(), s.share(),
                            s.shown / s.wall, s.received / s.wall, f.sixteen.back());
                if (faster) {
                    const Stretch& o = run->one;
                    const Stretch& m = run->minimized;
                    f.one.push_back(o.cpuPerShownMs() / (1000 * single->cpuPerFrame));
                    f.minimized.push_back((m.cpu / m.wall) / (s.cpu / s.wall));
                    const Stretch& c = run->covered;
                    f.covered.push_back((c.cpu / c.wall) / (s.cpu / s.wall));
                    std::printf("                   1 cell:   %.3f ms CPU per shown picture "
                                "(%.1f %%), shown %.1f/s; ratio to one ffmpeg %.3f\n",
                                o.cpuPerShownMs(), o.share(), o.shown / o.wall, f.one.back());
                    std::printf("                   minimized: %.1f %% of the machine, shown "
                                "%.1f/s; CPU per second against the 16 cells shown %.3f\n",
                                m.share(), m.shown / m.wall, f.minimized.back());
                    std::printf("                   covered:   %.1f %% of the machine, shown "
                                "%.1f/s; CPU per second against the 16 cells shown %.3f\n",
                                c.share(), c.shown / c.wall, f.covered.back());
                }
                std::fflush(stdout);
            }
            if (failed)
                break;
        }
    }
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    ::close(simOutput);
    if (failed)
        return 1;
    std::printf("medians of %d rounds (goals: 16 cells at most 0.85 x ffmpeg x16, 1 cell at most "
                "1.1 x one ffmpeg, minimized at most 0.15 x the 16 cells shown):\n",
                options.rounds);
    for (const std::string& path : options.paths) {
        const Figures& before = figures[path + " before"];
        const Figures& after = figures[path + " after"];
        std::printf("  %-9s 16 cells before %.3f, after %.3f; 1 cell %.3f; minimized %.3f; "
                    "covered %.3f\n",
                    path.c_str(), medianOf(before.sixteen), medianOf(after.sixteen),
                    medianOf(after.one), medianOf(after.minimized), medianOf(after.covered));
    }
    return 0;
}

// A simulator started for the site mode, its port read from its first line.
struct SiteSimulator {
    pid_t pid = -1;
    int output = -1;
    std::string port;
};

void stopSimulators(std::vector<SiteSimulator>& simulators) {
    for (SiteSimulator& sim : simulators) {
        ::kill(sim.pid, SIGTERM);
        ::waitpid(sim.pid, nullptr, 0);
        ::close(sim.output);
    }
    simulators.clear();
}

// The desktop client on a site of four recorders of four channels each, in its 16-cell layout,
// against the same client on one recorder of sixteen channels in the same run: its CPU per
// shown picture and its RSS, site against reference, round by round.
int runSite(const std::string& folder, const DesktopRunOptions& options) {
    constexpr int kSiteRecorders = 4;
    std::vector<SiteSimulator> simulators; // [0] the reference, then the site's recorders
    for (int i = 0; i <= kSiteRecorders; ++i) {
        SiteSimulator sim;
        // One after the other: the first encodes the loops the others then find in the cache.
        sim.pid = spawnProcess({folder + "/kalder-recorder-sim", "--port", "0", "--channels",
                                i == 0 ? "16" : "4", "--cache-dir", "bench-sim-cache",
                                "--encoder-preset", options.preset},
                               &sim.output, {.environment = {}, .quiet = true});
        if (sim.pid > 0)
            sim.port = readLine(sim.output);
        if (sim.pid > 0)
            simulators.push_back(sim);
        if (sim.pid < 0 || sim.port.empty()) {
            std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
            stopSimulators(simulators);
            return 1;
        }
    }
    const std::vector<std::string> reference{simulators[0].port};
    std::vector<std::string> site;
    for (int i = 1; i <= kSiteRecorders; ++i)
        site.push_back(simulators[static_cast<std::size_t>(i)].port);
    std::printf("kalder-recorder-sim --encoder-preset %s (704x480, 30 frames/s): the reference "
                "one recorder of 16 channels on port %s, the site four of 4 channels on ports "
                "%s %s %s %s; %.0f s warm-up, %.0f s measured; load average %s\n",
                options.preset.c_str(), reference[0].c_str(), site[0].c_str(), site[1].c_str(),
                site[2].c_str(), site[3].c_str(), options.warmUpSeconds, options.seconds,
                loadAverage().c_str());
    struct SiteFigures {
        std::vector<double> referenceMs, siteMs, referenceRss, siteRss, referencePeak, sitePeak;
        std::vector<double> cpu, rss, peak; // site / reference, per round
    };
    // Per path: the rounds whose site run showed the site, and every round.
    std::map<std::string, SiteFigures> figures, allFigures;
    // Each channel hands the window 30 pictures a second: the channels whose pictures the
    // window received, whichever recorder they came from.
    const auto channelsOf = [](const Stretch& s) {
        return static_cast<int>(std::lround(s.received / s.wall / 30));
    };
    const auto describe = [&](const char* side, const std::string& path, const ClientRun& run) {
        const Stretch& s = run.sixteen;
        std::printf("  %-9s %-9s 16 cells: %.3f ms CPU per shown picture (%.1f %% of the 2-core "
                    "machine), shown %.1f/s of %.1f received; RSS %.1f MB (peak %.1f MB)\n",
                    path.c_str(), side, s.cpuPerShownMs(), s.share(), s.shown / s.wall,
                    s.received / s.wall, s.rssKb / 1024.0, s.peakRssKb / 1024.0);
        std::printf("  %-9s %-9s pictures of %d channels received; ", "", "", channelsOf(s));
        if (run.movingCells < 0)
            std::printf("the window's pixels not read\n");
        else
            std::printf("%d of the 4 x 4 cells moving\n", run.movingCells);
    };
    bool failed = false;
    for (int round = 0; round < options.rounds && !failed; ++round) {
        std::printf("round %d (load average %s):\n", round + 1, loadAverage().c_str());
        for (const std::string& path : options.paths) {
            const auto one =
                runClient(folder, reference, path, true, Stretches::SixteenAndCells, options);
            const auto several =
                one ? runClient(folder, site, path, true, Stretches::SixteenAndCells, options)
                    : std::nullopt;
            if (!one || !several) {
                failed = true;
                break;
            }
            describe("reference", path, *one);
            describe("site", path, *several);
            const Stretch& r = one->sixteen;
            const Stretch& s = several->sixteen;
            const bool shownWhole = channelsOf(s) >= 16 && several->movingCells == 16;
            for (SiteFigures* f : {&allFigures[path], shownWhole ? &figures[path] : nullptr}) {
                if (f == nullptr)
                    continue;
                f->referenceMs.push_back(r.cpuPerShownMs());
                f->siteMs.push_back(s.cpuPerShownMs());
                f->referenceRss.push_back(r.rssKb / 1024.0);
                f->siteRss.push_back(s.rssKb / 1024.0);
                f->referencePeak.push_back(r.peakRssKb / 1024.0);
                f->sitePeak.push_back(s.peakRssKb / 1024.0);
                f->cpu.push_back(r.cpuPerShownMs() > 0 ? s.cpuPerShownMs() / r.cpuPerShownMs() : 0);
                f->rss.push_back(r.rssKb > 0 ? static_cast<double>(s.rssKb) / r.rssKb : 0);
                f->peak.push_back(r.peakRssKb > 0 ? static_cast<double>(s.peakRssKb) / r.peakRssKb
                                                  : 0);
            }
            const SiteFigures& f = allFigures[path];
            std::printf("  %-9s site / reference: CPU per shown picture %.3f, RSS %.3f, peak RSS "
                        "%.3f\n",
                        path.c_str(), f.cpu.back(), f.rss.back(), f.peak.back());
            if (!shownWhole)
                std::printf("  %-9s the site's window did not show 16 channels in 16 moving "
                            "cells: the ratios are not the site's, the medians leave them out\n",
                            path.c_str());
            std::fflush(stdout);
        }
    }
    stopSimulators(simulators);
    if (failed)
        return 1;
    std::printf("medians of the rounds (goals: site / reference CPU per shown picture at most "
                "1.10, RSS at most 1.20):\n");
    for (const std::string& path : options.paths) {
        const std::size_t whole = figures[path].cpu.size();
        if (whole == 0)
            std::printf("  %-9s no round showed the site's 16 channels: the medians of all %d "
                        "rounds, which are not the site's\n",
                        path.c_str(), options.rounds);
        else
            std::printf("  %-9s %zu of %d rounds showed the site's 16 channels\n", path.c_str(),
                        whole, options.rounds);
        const SiteFigures& f = whole > 0 ? figures[path] : allFigures[path];
        std::printf("  %-9s reference %.3f ms, RSS %.1f MB (peak %.1f MB); site %.3f ms, RSS %.1f "
                    "MB (peak %.1f MB)\n",
                    path.c_str(), medianOf(f.referenceMs), medianOf(f.referenceRss),
                    medianOf(f.referencePeak), medianOf(f.siteMs), medianOf(f.siteRss),
                    medianOf(f.sitePeak));
        std::printf("  %-9s site / reference: CPU per shown picture %.3f, RSS %.3f, peak RSS "
                    "%.3f\n",
                    path.c_str(), medianOf(f.cpu), medianOf(f.rss), medianOf(f.peak));
    }
    return 0;
}

} // namespace

int runDesktopAgainstSimulator(const DesktopRunOptions& options) {
    const std::string folder = DecoderLibrary::programFolder().string();
    if (options.site)
        return runSite(folder, options);
    if (!options.againstCli)
        return runAgainstFfmpeg(folder, options);
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
