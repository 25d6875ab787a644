// kalder-bench-export [--minutes M] [--burn-seconds S] [--rounds N] [--clip FILE]: export of
// one channel's hour.
//
// Stores M minutes (default 60) of one D1 channel at 30 frames/s through the backup writer (the
// clip looped from its first key frame) and writes the same access units as an H.264
// elementary stream. Then, in rounds that alternate, the reference
//     ffmpeg -f h264 -framerate 30 -i STREAM -c copy -f mp4 FILE
// and the export engine (runExport, stream copy to MP4 with the time track and the manifest, as
// `kalder-cli export` runs it) of the whole span: frames per second of wall time for each, the
// best of the rounds and the median of the rounds' ratios (goal: export at least 0.9 of
// ffmpeg's speed). Last the burn-in export of the first S seconds (default 60): its pace
// against real time and its CPU.
#include "backup/backup_writer.h"
#include "bench/bench_clip.h"
#include "export/export_job.h"
#include "files/backup_set_records.h"
#include "wire/frame_info.h"

#include <QGuiApplication>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kExportBenchStart = 1714557600; // 2024-05-01 10:00:00
constexpr int kExportBenchFps = 30;

kalder::BackupItem exportBenchItem(int index, const kalder::bench::AccessUnit& unit) {
    kalder::BackupFrameHeader header;
    header.frameTime = kExportBenchStart + static_cast<std::uint32_t>(index / kExportBenchFps);
    header.segmentKey = 1;
    kalder::FrameInfoBlock block;
    block.channel = 0;
    block.resolutionCode = 1; // 704 x 480
    block.videoLength = static_cast<std::uint32_t>(unit.data.size());
    block.totalLength = block.videoLength + 40;
    block.infoWord = header.frameTime;
    block.infoHalf =
        static_cast<std::uint16_t>((index % kExportBenchFps) * (1000 / kExportBenchFps));
    block.frameType = unit.key ? kalder::kFrameTypeKey : 0;
    kalder::BackupItem out;
    out.channel = 0;
    out.videoLength = block.videoLength;
    out.bytes.resize(kalder::kBackupFrameHeaderSize);
    kalder::encodeBackupFrameHeader(header, out.bytes);
    const auto b = kalder::encodeFrameInfoBlock(block);
    out.bytes.insert(out.bytes.end(), b.begin(), b.end());
    out.bytes.insert(out.bytes.end(), unit.data.begin(), unit.data.end());
    return out;
}

struct ExportBenchRun {
    double wall = 0, cpu = 0;
    std::uint64_t frames = 0;
    bool ok = false;
};

ExportBenchRun exportOnce(const std::filesystem::path& sets, const std::filesystem::path& out,
                          std::uint32_t seconds, bool burnIn) {
    std::filesystem::remove_all(out);
    kalder::ExportRequest request;
    request.setsFolder = sets;
    request.outFolder = out;
    request.from = kExportBenchStart;
    request.to = kExportBenchStart + seconds - 1;
    request.channelMask = 1;
    request.burnIn = burnIn;
    const std::atomic<bool> stop{false};
    ExportBenchRun run;
    const double cpu = kalder::bench::cpuSeconds();
    const auto start = kalder::bench::Clock::now();
    const kalder::ExportResult result = kalder::runExport(request, stop, {});
    run.wall = kalder::bench::seconds(kalder::bench::Clock::now() - start);
    run.cpu = kalder::bench::cpuSeconds() - cpu;
    run.ok = result.end == kalder::ExportResult::End::Done && result.files.size() == 1;
    if (!result.files.empty())
        run.frames = result.files.front().frames;
    if (!run.ok)
        std::fprintf(stderr, "export failed: %s\n", result.error.c_str());
    return run;
}

double ffmpegOnce(const std::string& stream, const std::filesystem::path& out) {
    std::filesystem::remove(out);
    const std::string command = "ffmpeg -loglevel error -y -f h264 -framerate 30 -i '" + stream +
                                "' -c copy -f mp4 '" + out.string() + "'";
    const auto start = kalder::bench::Clock::now();
    const int status = std::system(command.c_str());
    const double wall = kalder::bench::seconds(kalder::bench::Clock::now() - start);
    return status == 0 ? wall : -1;
}

} // namespace

int main(int argc, char** argv) {
    int minutes = 60, burnSeconds = 60, rounds = 3;
    std::string clip;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--minutes")
            minutes = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--burn-seconds")
            burnSeconds = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--clip")
            clip = argv[i + 1];
    }
    // Burn-in paints text, which needs a QGuiApplication; no window opens.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const std::vector<kalder::bench::AccessUnit> units =
        kalder::bench::splitAccessUnits(kalder::bench::clipOrDefault(clip));
    if (units.empty() || !units.front().key) {
        std::fprintf(stderr, "no clip, or it does not start with a key frame\n");
        return 1;
    }
    const std::filesystem::path here = std::filesystem::current_path();
    const std::filesystem::path sets = here / "export-bench-sets";
    const std::string stream = (here / "export-bench-hour.h264").string();
    std::filesystem::remove_all(sets);

    // The hour: the same access units into the set and into the elementary stream.
    const int frames = minutes * 60 * kExportBenchFps;
    {
        std::ofstream es(stream, std::ios::binary | std::ios::trunc);
        kalder::BackupWriter writer(sets, {});
        for (int i = 0; i < frames; ++i) {
            const kalder::bench::AccessUnit& unit = units[std::size_t(i) % units.size()];
            es.write(reinterpret_cast<const char*>(unit.data.data()),
                     std::streamsize(unit.data.size()));
            writer.push(exportBenchItem(i, unit)); // waits while much is queued
        }
        kalder::BackupItem done;
        done.kind = kalder::BackupItem::Kind::Done;
        writer.push(std::move(done));
        writer.waitUntilDrained();
        while (!writer.ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!es) {
            std::fprintf(stderr, "cannot write %s\n", stream.c_str());
            return 1;
        }
    }
    std::printf("recording: 1 channel, %d min, %d frames, %.0f MB of H.264\n", minutes, frames,
                double(std::filesystem::file_size(stream)) / 1e6);

    std::vector<double> ratios;
    double bestExport = 0, bestFfmpeg = 0;
    for (int r = 0; r < rounds; ++r) {
        const double ffmpeg = ffmpegOnce(stream, here / "export-bench-ffmpeg.mp4");
        const ExportBenchRun run =
            exportOnce(sets, here / "export-bench-out", std::uint32_t(minutes * 60), false);
        if (ffmpeg <= 0 || !run.ok) {
            std::fprintf(stderr, "round %d failed\n", r + 1);
            return 1;
        }
        const double ffmpegFps = frames / ffmpeg, exportFps = double(run.frames) / run.wall;
        bestFfmpeg = std::max(bestFfmpeg, ffmpegFps);
        bestExport = std::max(bestExport, exportFps);
        ratios.push_back(exportFps / ffmpegFps);
        std::printf(
            "round %d: ffmpeg -c copy %.2f s (%.0f frames/s), export %.2f s (%.0f frames/s, "
            "%llu frames, cpu %.2f s): ratio %.2f\n",
            r + 1, ffmpeg, ffmpegFps, run.wall, exportFps,
            static_cast<unsigned long long>(run.frames), run.cpu, ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("stream copy: best export %.0f frames/s against best ffmpeg %.0f frames/s: ratio "
                "%.2f; median of the rounds' ratios %.2f (goal: at least 0.90)\n",
                bestExport, bestFfmpeg, bestExport / bestFfmpeg, ratios[ratios.size() / 2]);

    const int burn = std::min(burnSeconds, minutes * 60);
    const ExportBenchRun burned =
        exportOnce(sets, here / "export-bench-burn", std::uint32_t(burn), true);
    if (!burned.ok)
        return 1;
    std::printf("burn-in: %d s of recording (%llu frames) in %.2f s: %.2f times real time, "
                "%.0f frames/s; cpu %.2f s (%.2f ms per frame)\n",
                burn, static_cast<unsigned long long>(burned.frames), burned.wall,
                burn / burned.wall, double(burned.frames) / burned.wall, burned.cpu,
                1000.0 * burned.cpu / double(std::max<std::uint64_t>(1, burned.frames)));

    std::filesystem::remove_all(sets);
    std::filesystem::remove_all(here / "export-bench-out");
    std::filesystem::remove_all(here / "export-bench-burn");
    std::filesystem::remove(here / "export-bench-ffmpeg.mp4");
    std::filesystem::remove(stream);
    return 0;
}
