// kalder-bench-decode: what the decode pipeline costs against plain libavcodec on the same clip.
//
//   kalder-bench-decode pipeline [--clip FILE] [--repeat N] [--rounds N]
//       one channel, as fast as it goes: ChannelDecoder (queue, thread, decoder module, picture
//       hand-off, no display) against a plain single-threaded libavcodec loop and against
//       `ffmpeg -threads 1 -f h264 -i FILE -f null -`, then the module with frame threads and
//       with the deblocking filter skipped (as small cells decode)
//   kalder-bench-decode live16 [--clip FILE] [--seconds S] [--rgb]
//       sixteen channels paced at 30 frames/s each, key frames spread over the interval:
//       frames skipped, process CPU time against the reference decode cost, peak RSS
//   kalder-bench-decode sim16 [--seconds S]
//       kalder-recorder-sim with 16 D1 channels and `kalder-cli --json live --seconds S` against
//       it: the client's CPU time against the reference decode cost of the pictures it decoded
//       (the simulator's own stream, decoded by the plain loop), its peak RSS; then sixteen
//       real-time `ffmpeg -re -threads 1 -framerate 30 -f h264 -i CLIP -f null -` decoders of
//       the same stream for the same seconds, and the client's CPU per decoded frame against
//       theirs (their start-up cost taken off)
//
// Without --clip a 704x480 clip is made with the ffmpeg command into the working folder.

#include "bench_clip.h"
#include "bench_process.h"
#include "ffmpeg_reference.h"
#include "null_picture_target.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "wire/frame_info.h"
#include "sim/media_source.h"
#include "sim/sim_config.h"
#include "sim/video_loop.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kalder;
using namespace kalder::bench;

// The decoder module called directly (its layouts included), frames per second.
double moduleLoop(const DecoderLibrary& library, const std::vector<AccessUnit>& units, int repeat,
                  std::uint32_t format, std::uint32_t threads, bool skipDeblocking = false) {
    const DecoderEntries entries = library.entries();
    std::array<std::uint32_t, kH264ContextWords> context{};
    context[kH264WordOne] = 1;
    context[kH264WordFormat] = format;
    context[kH264WordThreads] = threads;
    context[kH264WordSkipLoopFilter] = skipDeblocking ? 1 : 0;
    entries.init(context.data());
    std::vector<std::uint8_t> picture(kPictureBufferSize);
    long pictures = 0;
    const auto start = Clock::now();
    for (int r = 0; r < repeat; ++r) {
        for (const auto& unit : units) {
            pictures += entries.getOneFrame(
                            context.data(), reinterpret_cast<const std::uint8_t*>(unit.data.data()),
                            static_cast<int>(unit.data.size()), picture.data()) == kH264Picture;
        }
    }
    const double elapsed = seconds(Clock::now() - start);
    entries.uninit(context.data());
    return static_cast<double>(pictures) / elapsed;
}

// The whole pipeline on one channel; the producer queues eight frames at a time, so that the
// backlog rule never fires, and sleeps until the decode thread has taken them (polling the queue
// instead cost the producer thousands of wake-ups a second, counted against the pipeline).
// Frames per second of decoded pictures.
double pipelineLoop(const DecoderLibrary& library, const std::vector<AccessUnit>& units, int repeat,
                    bool planar, ChannelDecoderStats& stats, double* cpuFps = nullptr) {
    PictureStore pictures;
    NullTarget target(planar);
    DecodeHost host;
    ChannelDecoder decoder(0, StreamKind::Live, &library, pictures, target, host);
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    std::size_t queued = 0;
    for (int r = 0; r < repeat; ++r) {
        for (const auto& unit : units) {
            if (queued == 8) {
                decoder.waitUntilDrained();
                queued = 0;
            }
            decoder.enqueueFrame(record(0, unit));
            ++queued;
        }
    }
    const std::uint64_t total = static_cast<std::uint64_t>(units.size()) * repeat;
    while (decoder.stats().handled < total) {
        decoder.waitUntilDrained();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double elapsed = seconds(Clock::now() - start);
    stats = decoder.stats();
    if (cpuFps != nullptr) {
        *cpuFps = static_cast<double>(stats.decoded) / (cpuSeconds() - cpuStart);
    }
    return static_cast<double>(stats.decoded) / elapsed;
}

double ffmpegCommand(const std::string& clip, std::size_t frames) {
    const std::string command =
        "ffmpeg -loglevel error -threads 1 -f h264 -i '" + clip + "' -f null - 2>/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        return 0;
    }
    return static_cast<double>(frames) / seconds(Clock::now() - start);
}

int runPipeline(const DecoderLibrary& library, const std::string& clip,
                const std::vector<AccessUnit>& units, int repeat, int rounds) {
    // Rounds alternate reference and pipeline; the best of each is compared, so that other
    // load on the machine hurts both alike.
    double reference = 0, planar = 0, rgb = 0, command = 0;
    double referenceCpu = 0, planarCpu = 0, rgbCpu = 0;
    ChannelDecoderStats planarStats;
    ChannelDecoderStats rgbStats;
    std::vector<double> planarRatios;
    std::vector<double> rgbRatios;
    for (int round = 0; round < rounds; ++round) {
        double rc = 0, pc = 0, bc = 0;
        const double r = referenceLoop(units, repeat, 1, &rc);
        const double p = pipelineLoop(library, units, repeat, true, planarStats, &pc);
        const double b = pipelineLoop(library, units, repeat, false, rgbStats, &bc);
        planarRatios.push_back(pc / rc);
        rgbRatios.push_back(bc / rc);
        referenceCpu = std::max(referenceCpu, rc);
        planarCpu = std::max(planarCpu, pc);
        rgbCpu = std::max(rgbCpu, bc);
        const double c = ffmpegCommand(clip, units.size());
        std::printf("round %d: reference %.1f, pipeline planar %.1f, BGR %.1f, ffmpeg %.1f "
                    "frames/s\n",
                    round + 1, r, p, b, c);
        reference = std::max(reference, r);
        planar = std::max(planar, p);
        rgb = std::max(rgb, b);
        command = std::max(command, c);
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    std::printf("clip %s: %zu frames x %d, best of %d rounds\n", clip.c_str(), units.size(), repeat,
                rounds);
    std::printf("median of the rounds' CPU-second ratios: planar %.3f, BGR %.3f\n",
                median(planarRatios), median(rgbRatios));
    std::printf("reference libavcodec loop, 1 thread: %8.1f frames/s\n", reference);
    std::printf("reference ffmpeg -threads 1 command: %8.1f frames/s (process start included)\n",
                command);
    std::printf("pipeline, planar output:             %8.1f frames/s  ratio %.3f (decoded %llu, "
                "skipped %llu)\n",
                planar, planar / reference, static_cast<unsigned long long>(planarStats.decoded),
                static_cast<unsigned long long>(planarStats.backlogSkipped));
    std::printf("pipeline, BGR output:                %8.1f frames/s  ratio %.3f\n", rgb,
                rgb / reference);
    std::printf("per CPU second: reference %.1f, pipeline planar %.1f (ratio %.3f), BGR %.1f "
                "(ratio %.3f) frames\n",
                referenceCpu, planarCpu, planarCpu / referenceCpu, rgbCpu, rgbCpu / referenceCpu);
    if (command > 0) {
        std::printf("pipeline planar / ffmpeg command:              ratio %.3f\n",
                    planar / command);
    }
    for (const std::uint32_t threads : {1u, 2u}) {
        std::printf("module alone, planar, %u thread(s):  %8.1f frames/s\n", threads,
                    moduleLoop(library, units, repeat, kH264FormatPlanar, threads));
    }
    std::printf("reference loop, 2 frame threads:     %8.1f frames/s\n",
                referenceLoop(units, repeat, 2));
    // What a small cell saves: the deblocking filter skipped, rounds alternating with full
    // decoding; the best of each.
    double full = 0, skipped = 0;
    for (int round = 0; round < rounds; ++round) {
        full = std::max(full, moduleLoop(library, units, repeat, kH264FormatPlanar, 1));
        skipped = std::max(skipped, moduleLoop(library, units, repeat, kH264FormatPlanar, 1, true));
    }
    std::printf("module alone, deblocking skipped:    %8.1f frames/s  against %.1f in full: "
                "%.3f of the time a picture\n",
                skipped, full, full / skipped);
    return 0;
}

int runLive16(const DecoderLibrary& library, const std::vector<AccessUnit>& units,
              double durationSeconds, bool planar) {
    constexpr int kFps = 30;
    double reference = 0;
    referenceLoop(units, 1, 1, &reference);
    PictureStore pictures;
    NullTarget target(planar);
    DecodeHost host;
    std::vector<std::unique_ptr<ChannelDecoder>> decoders;
    for (unsigned c = 0; c < kChannelCount; ++c) {
        decoders.push_back(std::make_unique<ChannelDecoder>(c, StreamKind::Live, &library, pictures,
                                                            target, host));
    }
    // Each channel's loop starts at another point, so key frames are spread over the interval;
    // a channel starts at its loop's next key frame.
    std::array<std::size_t, kChannelCount> position{};
    for (unsigned c = 0; c < kChannelCount; ++c) {
        position[c] = (c * units.size() / kChannelCount) % units.size();
    }
    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    const auto period = std::chrono::microseconds(1000000 / kFps);
    const long ticks = static_cast<long>(durationSeconds * kFps);
    for (long tick = 0; tick < ticks; ++tick) {
        std::this_thread::sleep_until(start + tick * period);
        for (unsigned c = 0; c < kChannelCount; ++c) {
            decoders[c]->enqueueFrame(record(c, units[position[c]]));
            position[c] = (position[c] + 1) % units.size();
        }
    }
    for (auto& decoder : decoders) {
        while (decoder->queuedFrames() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double wall = seconds(Clock::now() - start);
    const double cpu = cpuSeconds() - cpuBefore;
    std::uint64_t enqueued = 0, decoded = 0, skipped = 0, waiting = 0;
    for (auto& decoder : decoders) {
        decoder->stop();
        const auto stats = decoder->stats();
        enqueued += stats.enqueued;
        decoded += stats.decoded;
        skipped += stats.backlogSkipped;
        waiting += stats.waitingDropped;
    }
    const double referenceCpu = static_cast<double>(decoded) / reference;
    std::printf("16 channels x %d frames/s for %.1f s, %s output\n", kFps, wall,
                planar ? "planar" : "BGR");
    std::printf("frames queued %llu, decoded %llu, backlog skips %llu, dropped before the first "
                "key frame %llu\n",
                static_cast<unsigned long long>(enqueued), static_cast<unsigned long long>(decoded),
                static_cast<unsigned long long>(skipped), static_cast<unsigned long long>(waiting));
    std::printf("process CPU %.2f s = %.1f %% of the 2-core machine; reference decode cost of "
                "the same pictures %.2f s; ratio %.3f\n",
                cpu, 100.0 * cpu / wall / 2, referenceCpu, cpu / referenceCpu);
    std::printf("peak RSS %ld KB\n", peakRssKb());
    return skipped == 0 ? 0 : 1;
}

int runSim16(double durationSeconds) {
    const std::string folder = DecoderLibrary::programFolder().string();
    const std::string cache = "bench-sim-cache";
    // The stream of the simulator's first channel, for the reference decode cost.
    const sim::SimConfig config;
    bool fromCache = false;
    std::string error;
    const auto loop = sim::obtainVideoLoop(sim::loopParamsFor(config, 0), cache, fromCache, error);
    if (!loop) {
        std::fprintf(stderr, "cannot encode the simulator's loop: %s\n", error.c_str());
        return 1;
    }
    std::vector<AccessUnit> units;
    for (const auto& frame : loop->frames) {
        units.push_back({frame.data, frame.key});
    }
    double reference = 0;
    referenceLoop(units, 20, 1, &reference);
    // The same stream as a clip for ffmpeg, long enough for the run without looping.
    const std::string clip = "bench-sim-channel0.h264";
    if (!writeLoopClip(*loop, durationSeconds, clip)) {
        std::fprintf(stderr, "cannot write %s\n", clip.c_str());
        return 1;
    }

    int simOutput = -1;
    const pid_t sim = spawnWithOutput(
        {folder + "/kalder-recorder-sim", "--port", "0", "--cache-dir", cache}, simOutput);
    if (sim < 0) {
        std::fprintf(stderr, "cannot start kalder-recorder-sim\n");
        return 1;
    }
    const std::string port = readLine(simOutput);
    ::setenv("KALDER_PASSWORD", "1234", 1);
    char secondsArg[32];
    std::snprintf(secondsArg, sizeof secondsArg, "%g", durationSeconds);
    const CliRun cli =
        runCli({folder + "/kalder-cli", "--port", port, "--json", "live", "--seconds", secondsArg});
    const std::string& report = cli.report;
    const double wall = cli.wall;
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    ::close(simOutput);
    if (!cli.ok) {
        std::fprintf(stderr, "kalder-cli live failed\n%s", report.c_str());
        return 1;
    }
    // The closing line: {"event":"live",...,"frames":N,"decoded":N,...}
    const double frames = number(report, "{\"event\":\"live\"", "frames");
    const double decoded = number(report, "{\"event\":\"live\"", "decoded");
    const double cpu = cli.cpu;
    const double referenceCpu = decoded / reference;
    std::printf("simulator stream: reference libavcodec loop %.1f frames per CPU second\n",
                reference);
    std::printf("kalder-cli live, 16 channels, %s s (%.1f s with connect and disconnect): "
                "%.0f frames received, %.0f decoded\n",
                secondsArg, wall, frames, decoded);
    std::printf("client CPU %.2f s = %.1f %% of the 2-core machine; reference decode cost %.2f s; "
                "ratio %.3f\n",
                cpu, 100.0 * cpu / wall / 2, referenceCpu, cpu / referenceCpu);
    std::printf("client peak RSS %ld KB\n", cli.peakRssKb);

    const std::optional<FfmpegReference> ffmpeg =
        ffmpegReference(clip, durationSeconds, kChannelCount);
    if (!ffmpeg || decoded <= 0) {
        std::fprintf(stderr, "the ffmpeg reference could not be run\n");
        return 1;
    }
    const double clientPerFrame = cpu / decoded;
    std::printf("%d x ffmpeg -re -threads 1 -framerate 30 -f h264 -i %s -f null -, %s s: "
                "%.2f ms CPU per frame (start-up %.3f s per process taken off)\n",
                ffmpeg->processes, clip.c_str(), secondsArg, 1000 * ffmpeg->cpuPerFrame,
                ffmpeg->startupCpu);
    std::printf("client %.2f ms CPU per decoded frame; ratio to ffmpeg %.3f\n",
                1000 * clientPerFrame, clientPerFrame / ffmpeg->cpuPerFrame);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "pipeline";
    std::string clip;
    int repeat = 1;
    int rounds = 3;
    double durationSeconds = 10;
    bool planar = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--clip" && i + 1 < argc) {
            clip = argv[++i];
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            durationSeconds = std::atof(argv[++i]);
        } else if (arg == "--rgb") {
            planar = false;
        } else {
            std::fprintf(stderr,
                         "usage: %s pipeline|live16|sim16 [--clip FILE] [--repeat N] [--rounds N] "
                         "[--seconds S] [--rgb]\n",
                         argv[0]);
            return 2;
        }
    }
    if (mode == "sim16") {
        return runSim16(durationSeconds);
    }
    clip = clipOrDefault(clip);
    if (clip.empty()) {
        return 1;
    }
    const auto library = DecoderLibrary::openFromProgramFolder();
    if (!library) {
        std::fprintf(stderr, "H264_D1.so not found beside the program\n");
        return 1;
    }
    const auto units = splitAccessUnits(clip);
    if (units.empty()) {
        std::fprintf(stderr, "no frames in %s\n", clip.c_str());
        return 1;
    }
    if (mode == "live16") {
        return runLive16(*library, units, durationSeconds, planar);
    }
    return runPipeline(*library, clip, units, repeat, rounds);
}
