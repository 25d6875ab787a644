// kalder-recorder-sim: a recorder of our own for tests, benchmarks and the demo.

#include "sim/live_loop_follower.h"
#include "sim/media_source.h"
#include "sim/recorder_model.h"
#include "sim/sim_config.h"
#include "net/trace.h"
#include "sim/sim_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) {
    g_stop = true;
}

std::string rightsSummary(const kalder::sim::AccountSettings& account) {
    std::string text;
    for (std::size_t i = 0; i < account.rights.size(); ++i) {
        if (!account.rights[i])
            continue;
        if (!text.empty())
            text += ",";
        text += kalder::sim::rightName(i);
    }
    return text.empty() ? "none" : text;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kalder::sim;
    SimConfig config = defaultConfig();
    bool showHelp = false;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--version") {
            std::puts("kalder-recorder-sim " KALDER_VERSION); // the project's version, from CMake
            return 0;
        }
    }
    if (auto error = parseCommandLine(config, args, showHelp)) {
        std::fprintf(stderr, "kalder-recorder-sim: %s\n", error->c_str());
        return 2;
    }
    if (showHelp) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    // The simulator has no Qt: its protocol trace goes straight to standard error under the
    // same category name the client uses.
    if (config.trace) {
        kalder::setTraceSink([](std::string_view text) {
            while (!text.empty() && text.back() == '\n')
                text.remove_suffix(1);
            std::fprintf(stderr, "kalder.net: %.*s\n", int(text.size()), text.data());
        });
    }

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The media come first: the port line tells a test that the recorder is ready.
    const auto started = std::chrono::steady_clock::now();
    MediaSource media;
    std::string error;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (!media.build(config, threads, error)) {
        std::fprintf(stderr, "kalder-recorder-sim: cannot prepare video: %s\n", error.c_str());
        return 1;
    }
    const double prepareSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    RecorderModel model(config);
    // Live streams follow accepted recording settings (size, rate); loops built off-line.
    LiveLoopFollower liveLoops(model, media, effectiveCacheDir(config), config.verbose);
    SimServer server(config, model, media);
    if (!server.listen(error)) {
        std::fprintf(stderr, "kalder-recorder-sim: cannot listen: %s\n", error.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    if (server.adminPort())
        std::printf("admin %u\n", static_cast<unsigned>(*server.adminPort()));
    if (server.timeServer())
        std::printf("time %u\n", static_cast<unsigned>(server.timeServer()->port()));
    const ChannelSettings& first = config.channels[0];
    const FrameSize size = frameSizeFor(first.resolution, config.pal);
    std::printf("kalder-recorder-sim listening on %s:%u: %u channels %s, %ux%u at %u fps, "
                "%u kbit/s (video ready in %.1f s: %u loops from cache, %u encoded in %s)\n",
                config.bindAddress.c_str(), static_cast<unsigned>(server.port()),
                config.channelCount, config.pal ? "PAL" : "NTSC", size.width, size.height,
                framesPerSecondOf(config, 0), first.bitrateKbps, prepareSeconds,
                media.loopsFromCache(), media.loopsEncoded(), effectiveCacheDir(config).c_str());
    for (std::size_t i = 0; i < kAccountCount; ++i) {
        const AccountSettings& a = config.accounts[i];
        if (a.name.empty())
            continue;
        std::printf("login %zu: %s / %s (level %u; %s)\n", i, a.name.c_str(), a.password.c_str(),
                    static_cast<unsigned>(a.level), rightsSummary(a).c_str());
    }
    std::fflush(stdout);

    server.run(g_stop);
    return 0;
}
