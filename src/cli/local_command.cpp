// local list: the backup sets of a download folder in play order. local play: local playback of
// those sets from a start (and to an end) through the decode pipeline, paced, then a report per
#include "cli/run_seconds.h"
// channel as live view gives it.
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/counting_decoders.h"
#include "decode/decoder_init_error_event.h"
#include "decode/decoder_library.h"
#include "files/local_log.h"
#include "local/backup_set_catalog.h"
#include "local/local_player.h"
#include "local/local_playlist.h"
#include "wire/recorder_time.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace kalder::cli {

namespace {

constexpr auto kEndPoll = std::chrono::milliseconds(20);
// The no-data alert.
constexpr Notification kNoData{4, 0};

struct LocalArgs {
    std::filesystem::path dir;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    bool haveFrom = false, haveTo = false;
    double seconds = 0; // 0: until the data ends
    int speed = 1;
    std::string snapshotDir;
};

bool parseArgs(const std::vector<std::string>& args, bool play, LocalArgs& out,
               std::string& error) {
    out.dir = localLogSettings().dataFolder / "Download";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--dir" && hasValue) {
            out.dir = args[++i];
        } else if (play && (arg == "--from" || arg == "--to") && hasValue) {
            const bool from = arg == "--from";
            if (!parseOperatorTime(args[++i], from ? out.from : out.to)) {
                error = arg + " wants \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD\"";
                return false;
            }
            (from ? out.haveFrom : out.haveTo) = true;
        } else if (play && arg == "--seconds" && hasValue) {
            char* rest = nullptr;
            out.seconds = std::strtod(args[++i].c_str(), &rest);
            if (*rest != '\0' || !(out.seconds > 0) || out.seconds > kLongestRunSeconds) {
                error = "--seconds wants a number of seconds above 0";
                return false;
            }
        } else if (play && arg == "--speed" && hasValue) {
            const std::string& text = args[++i];
            static const char* const speeds[] = {"1", "2", "3", "4", "-2", "-3", "-4"};
            bool known = false;
            for (const char* s : speeds)
                known = known || text == s;
            if (!known) {
                error = "--speed wants 1, 2, 3, 4, -2, -3 or -4";
                return false;
            }
            out.speed = std::atoi(text.c_str());
        } else if (play && arg == "--snapshot-dir" && hasValue) {
            out.snapshotDir = args[++i];
        } else {
            error = "local: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (play && !out.haveFrom) {
        error = "local play: --from is required";
        return false;
    }
    if (out.haveTo && out.to <= out.from) {
        error = "local play: --to must lie after --from";
        return false;
    }
    return true;
}

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string linkJson(std::uint32_t link) {
    return link ? jsonString(hexText(link)) : "null";
}

int runList(const LocalArgs& args, CliOutput& output) {
    for (const BackupSetInfo& set : discoverBackupSets(args.dir, SetTagSource::Index)) {
        const SetSummary& s = set.summary;
        if (output.json()) {
            output.line("{\"event\":\"set\",\"id\":" + jsonString(hexText(set.id)) +
                        ",\"start\":" + jsonString(formatRecorderTime(s.earliestStart)) +
                        ",\"end\":" + jsonString(formatRecorderTime(s.latestEnd)) +
                        ",\"segments\":" + std::to_string(s.segmentCount) +
                        ",\"continues\":" + linkJson(set.continuationLink) +
                        ",\"continued_by\":" + linkJson(set.nextSetLink) + "}");
        } else {
            output.line(
                "set " + hexText(set.id) + ": " + formatRecorderTime(s.earliestStart) + " to " +
                formatRecorderTime(s.latestEnd) + ", " + std::to_string(s.segmentCount) +
                " segments" +
                (set.continuationLink ? ", continues " + hexText(set.continuationLink)
                                      : std::string()) +
                (set.nextSetLink ? ", continued by " + hexText(set.nextSetLink) : std::string()));
        }
    }
    return kExitOk;
}

// Decoder start failures are printed once the run is over (the player thread must not write).
class LocalDecodeHost final : public DecodeHost {
public:
    void decoderInitFailed(unsigned) override { m_initFailed = true; }
    bool initFailed() const { return m_initFailed.load(); }

private:
    std::atomic<bool> m_initFailed{false};
};

int runPlayLocal(const LocalArgs& args, CliOutput& output) {
    if (!prepareSnapshotFolder(output, args.snapshotDir))
        return kExitUsage;
    LocalPlayRequest request;
    request.start = args.from;
    if (args.haveTo) {
        request.kind = LocalPlayRequest::Kind::StartAndEnd;
        request.end = args.to;
    }
    const Playlist playlist =
        buildPlaylist(discoverBackupSets(args.dir, SetTagSource::Data), request);
    std::uint32_t announced = 0;
    for (std::size_t i = playlist.current; i < playlist.entries.size(); ++i)
        announced |= playlist.entries[i].channels;

    const std::unique_ptr<DecoderLibrary> library = openDecoderLibrary(output);
    PictureStore pictures;
    CliPictureTarget target;
    LocalDecodeHost host;
    CountingFactory factory(StreamKind::LocalPlayback, library.get(), pictures, target, host);
    LocalPlayerCounters counters;
    if (playlist.empty()) {
        output.notification(kNoData);
    } else {
        std::atomic<bool> over{false};
        LocalPlayerEvents events;
        events.paused = [&over] { over = true; };
        events.ended = [&over] { over = true; };
        LocalPlayer player(playlist, factory, std::move(events));
        player.start(args.speed);
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(std::llround(args.seconds * 1000));
        while (!over.load() && (args.seconds == 0 || std::chrono::steady_clock::now() < deadline))
            std::this_thread::sleep_for(kEndPoll);
        player.stop();
        counters = player.counters();
    }
    if (host.initFailed())
        output.error(kDecoderInitErrorText);

    int status = kExitOk;
    std::uint64_t frames = 0, decoded = 0;
    for (unsigned c = 0; c < kChannelCount; ++c) {
        const ChannelCounts& counts = factory.counts(c);
        if (!((announced >> c) & 1u) && counts.frames == 0)
            continue;
        const ChannelPicture picture = takePicture(pictures, c);
        frames += counts.frames;
        decoded += counts.decoded;
        if (const int failed = reportPlayedChannel(output, c, counts, picture, args.snapshotDir,
                                                   ",\"video_loss\":false,\"hidden\":false"))
            status = failed;
    }
    const bool shown = counters.shownFrames > 0;
    auto timeJson = [shown](std::uint32_t t) {
        return shown ? jsonString(formatRecorderTime(t)) : std::string("null");
    };
    if (output.json()) {
        output.line("{\"event\":\"local_play\",\"frames\":" + std::to_string(frames) +
                    ",\"decoded\":" + std::to_string(decoded) +
                    ",\"first\":" + timeJson(counters.firstTime) +
                    ",\"last\":" + timeJson(counters.lastTime) + "}");
    } else {
        output.line("local play: " + std::to_string(frames) + " frames, " +
                    std::to_string(decoded) + " decoded" +
                    (shown ? ", " + formatRecorderTime(counters.firstTime) + " to " +
                                 formatRecorderTime(counters.lastTime)
                           : std::string()));
    }
    return status;
}

} // namespace

int runLocal(const CliOptions& options, CliOutput& output) {
    const std::vector<std::string>& args = options.commandArgs;
    const bool list = !args.empty() && args[0] == "list";
    const bool play = !args.empty() && args[0] == "play";
    if (!list && !play) {
        output.error("local: list or play");
        return kExitUsage;
    }
    LocalArgs parsed;
    std::string error;
    if (!parseArgs(args, play, parsed, error)) {
        output.error(error);
        return kExitUsage;
    }
    return list ? runList(parsed, output) : runPlayLocal(parsed, output);
}

} // namespace kalder::cli
