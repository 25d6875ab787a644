// kalder-bench-local [--seconds S] [--clip FILE]: local playback at speed 4 of a 16-channel set.
//
// Stores S seconds (default 60) of sixteen D1 channels at 30 frames/s through the backup writer
// (each channel's loop of the clip started at another point, so key frames are spread), then
// plays the set with the local player at speed 4 through real channel decoders into a picture
// store. Speed 4 shows every third key frame of each channel and paces sixteen times faster than
// the recording: the run reports the key frames shown per second against that asked rate, the
// playback's CPU (share of the machine, CPU per shown frame) against a plain libavcodec decode of
// the same key frames measured in the same run.
#include "backup/backup_writer.h"
#include "bench/bench_clip.h"
#include "bench/null_picture_target.h"
#include "decode/channel_decoder_factory.h"
#include "decode/decoder_library.h"
#include "files/backup_set_records.h"
#include "local/backup_set_catalog.h"
#include "local/local_player.h"
#include "local/local_playlist.h"
#include "wire/frame_info.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

using namespace kalder;
using namespace kalder::bench;

namespace {

constexpr std::uint32_t kStart = 1714557600; // 2024-05-01 10:00:00
constexpr int kFps = 30;
constexpr unsigned kChannels = 16;

BackupItem item(unsigned channel, int index, const AccessUnit& unit) {
    BackupFrameHeader header;
    header.frameTime = kStart + static_cast<std::uint32_t>(index / kFps);
    header.segmentKey = 1;
    FrameInfoBlock block;
    block.channel = static_cast<std::uint8_t>(channel);
    block.resolutionCode = 1; // 704 x 480
    block.videoLength = static_cast<std::uint32_t>(unit.data.size());
    block.totalLength = block.videoLength + 40;
    block.infoWord = header.frameTime;
    block.infoHalf = static_cast<std::uint16_t>((index % kFps) * (1000 / kFps));
    block.frameType = unit.key ? kFrameTypeKey : 0;
    BackupItem out;
    out.channel = channel;
    out.videoLength = block.videoLength;
    out.bytes.resize(kBackupFrameHeaderSize);
    encodeBackupFrameHeader(header, out.bytes);
    const auto b = encodeFrameInfoBlock(block);
    out.bytes.insert(out.bytes.end(), b.begin(), b.end());
    out.bytes.insert(out.bytes.end(), unit.data.begin(), unit.data.end());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    int spanSeconds = 60;
    std::string clip;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--seconds")
            spanSeconds = std::max(3, std::atoi(argv[i + 1]));
        else if (std::string(argv[i]) == "--clip")
            clip = argv[i + 1];
    }
    const std::vector<AccessUnit> units = splitAccessUnits(clipOrDefault(clip));
    if (units.empty()) {
        std::fprintf(stderr, "no clip\n");
        return 1;
    }
    const std::filesystem::path folder = std::filesystem::current_path() / "local-bench-sets";
    std::filesystem::remove_all(folder);

    // The set: per channel, the key frames it holds.
    std::array<std::uint64_t, kChannels> keys{};
    {
        BackupWriter writer(folder, {});
        for (int i = 0; i < spanSeconds * kFps; ++i)
            for (unsigned c = 0; c < kChannels; ++c) {
                const AccessUnit& unit = units[(i + c * 2) % units.size()];
                // A channel starts at its first key frame.
                if (i == 0 && !unit.key)
                    continue;
                keys[c] += unit.key ? 1 : 0;
                writer.push(item(c, i, unit));
            }
        BackupItem done;
        done.kind = BackupItem::Kind::Done;
        writer.push(std::move(done));
        writer.waitUntilDrained();
        while (!writer.ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // Reference: libavcodec alone on the key frames of the clip.
    std::vector<AccessUnit> keyUnits;
    for (const AccessUnit& u : units)
        if (u.key)
            keyUnits.push_back(u);
    double refCpuFps = 0;
    referenceLoop(keyUnits, 20, 1, &refCpuFps);

    const std::unique_ptr<DecoderLibrary> library = DecoderLibrary::openFromProgramFolder();
    if (!library)
        std::fprintf(stderr, "warning: %s not found, nothing is decoded\n",
                     DecoderLibrary::kFileName);
    PictureStore pictures;
    NullTarget target(true);
    DecodeHost host;
    ChannelDecoderFactory factory(StreamKind::LocalPlayback, library.get(), pictures, target, host);
    Playlist playlist = buildPlaylist(discoverBackupSets(folder, SetTagSource::Data),
                                      {LocalPlayRequest::Kind::StartOnly, kStart, 0});
    std::atomic<bool> over{false};
    LocalPlayerEvents events;
    events.paused = [&over] { over = true; };
    events.ended = [&over] { over = true; };
    // The pace is judged from the first frame shown to the last (decoder start-up left out).
    std::atomic<std::int64_t> firstShownNs{0}, lastShownNs{0};
    events.clock = [&](std::uint32_t) {
        const std::int64_t now = Clock::now().time_since_epoch().count();
        std::int64_t none = 0;
        firstShownNs.compare_exchange_strong(none, now);
        lastShownNs = now;
    };
    LocalPlayer player(std::move(playlist), factory, std::move(events));
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    player.start(4);
    while (!over.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double wall = seconds(Clock::now() - start);
    player.stop(); // drains the decoders
    const double cpu = cpuSeconds() - cpuStart;
    const LocalPlayerCounters counters = player.counters();

    std::uint64_t asked = 0;
    for (unsigned c = 0; c < kChannels; ++c)
        asked += (keys[c] + 2) / 3;
    // Frame times are whole seconds here: the span shown, at sixteen times the recording's pace.
    const double spanWall = static_cast<double>(counters.lastTime - counters.firstTime) / 16.0;
    const double shownWall = seconds(Clock::duration(lastShownNs.load() - firstShownNs.load()));
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("set: %u channels, %d s, %d frames/s; key frames per channel %llu\n", kChannels,
                spanSeconds, kFps, static_cast<unsigned long long>(keys[0]));
    std::printf("speed 4: shown %llu key frames (asked: every third, %llu), skipped %llu\n",
                static_cast<unsigned long long>(counters.shownFrames),
                static_cast<unsigned long long>(asked),
                static_cast<unsigned long long>(counters.skippedFrames));
    std::printf("pace: first to last shown frame %.2f s against span / 16 = %.2f s: ratio %.2f "
                "(whole run with decoder start-up %.2f s)\n",
                shownWall, spanWall, spanWall > 0 ? shownWall / spanWall : 0.0, wall);
    std::printf("rate: %.1f shown/s against %.1f asked\n",
                shownWall > 0 ? counters.shownFrames / shownWall : 0.0,
                spanWall > 0 ? asked / spanWall : 0.0);
    std::printf("cpu: %.2f s = %.1f %% of one core, %.1f %% of the machine (%ld cores)\n", cpu,
                100.0 * cpu / wall, 100.0 * cpu / wall / double(cores), cores);
    if (counters.shownFrames > 0 && refCpuFps > 0)
        std::printf("cpu per shown frame %.2f ms against %.2f ms for libavcodec alone on a key "
                    "frame: ratio %.2f\n",
                    1000.0 * cpu / counters.shownFrames, 1000.0 / refCpuFps,
                    (cpu / counters.shownFrames) * refCpuFps);
    std::filesystem::remove_all(folder);
    return 0;
}
