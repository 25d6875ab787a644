// play: connect, log in, ask the recorder to play back a period, receive and decode it through
// the decode pipeline with the credit scheme and normal-speed pacing for a while or until the
#include "cli/run_seconds.h"
// period ends, stop it (RPLAY_STOP), disconnect, then report per channel and optionally save each
// channel's last picture as a PNG file.
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/counting_decoders.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "decode/picture_layout.h"
#include "wire/playback_records.h"
#include "wire/recorder_time.h"

#include <QString>
#include <QTimer>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace kalder::cli {

namespace {

// How often the run looks whether the period has ended.
constexpr int kDonePollMs = 50;

struct PlayArgs {
    std::uint32_t from = 0;
    std::uint32_t to = 0; // 0: no end
    bool haveFrom = false;
    std::optional<std::uint16_t> mask; // default: every channel of the recorder
    std::uint8_t kind = kPlayKindAll;
    double seconds = kDefaultRunSeconds;
    std::string snapshotDir;
};

bool parsePlayArgs(const std::vector<std::string>& args, PlayArgs& play, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--from" && hasValue) {
            if (!parseOperatorTime(args[++i], play.from)) {
                error = "--from wants \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD\"";
                return false;
            }
            play.haveFrom = true;
        } else if (arg == "--to" && hasValue) {
            if (!parseOperatorTime(args[++i], play.to)) {
                error = "--to wants \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD\"";
                return false;
            }
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannelList(args[++i], play.mask)) {
                error = "--channels wants \"all\" or a comma list of channels 1-16";
                return false;
            }
        } else if (arg == "--kind" && hasValue) {
            const std::string& text = args[++i];
            char* rest = nullptr;
            const long kind = std::strtol(text.c_str(), &rest, 0);
            if (text.empty() || *rest != '\0' || kind < 0 || kind > 255) {
                error = "--kind wants a number 0-255";
                return false;
            }
            play.kind = static_cast<std::uint8_t>(kind);
        } else if (arg == "--seconds" && hasValue) {
            char* rest = nullptr;
            play.seconds = std::strtod(args[++i].c_str(), &rest);
            if (*rest != '\0' || !(play.seconds > 0) || play.seconds > kLongestRunSeconds) {
                error = "--seconds wants a number of seconds above 0";
                return false;
            }
        } else if (arg == "--snapshot-dir" && hasValue) {
            play.snapshotDir = args[++i];
        } else {
            error = "play: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (!play.haveFrom) {
        error = "play: --from is required";
        return false;
    }
    if (play.to != 0 && play.to < play.from) {
        error = "play: --to lies before --from";
        return false;
    }
    return true;
}

class CliPlaybackDecodeHost final : public DecodeHost {
public:
    explicit CliPlaybackDecodeHost(CliOutput& output) : m_initNotice(output) {}
    void decoderInitFailed(unsigned) override { m_initNotice.post(); }

private:
    DecoderInitNotice m_initNotice;
};

// What the run learnt, taken on the GUI thread before the session goes.
struct PlayOutcome {
    std::uint16_t requested = 0;
    PlaybackCounters counters;
};

class Play : public CliSession {
public:
    Play(const CliOptions& options, CliOutput& output, const PlayArgs& args,
         CountingFactory& factory, CliPlaybackDecodeHost& host)
        : CliSession(options, output), m_args(args), m_factory(factory), m_host(host) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { end(); });
        QObject::connect(&m_donePoll, &QTimer::timeout, this, [this] {
            if (session().playback().counters().done)
                end();
        });
    }

    const PlayOutcome& outcome() const { return m_outcome; }

protected:
    void configureSession(RecorderSession& session) override {
        session.playback().setFrameConsumerFactory(&m_factory);
    }

    void onLoggedIn() override {
        const unsigned count = session().channelNum();
        const std::uint16_t all =
            count >= 16 ? 0xFFFF : static_cast<std::uint16_t>((1u << count) - 1);
        m_outcome.requested = m_args.mask ? static_cast<std::uint16_t>(*m_args.mask & all) : all;
        if (!session().playback().requestPlayback(m_args.from, m_args.to, m_outcome.requested,
                                                  m_args.kind)) {
            output().error("play: the request could not be sent");
            finish(kExitConnectionLost);
            return;
        }
        m_timer.start(static_cast<int>(std::lround(m_args.seconds * 1000)));
        m_donePoll.start(kDonePollMs);
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        // The recorder refused the request: its notification is printed already.
        if (message.message() == WindowMessage::PlaybackRefused)
            finishWith(kExitRefused);
    }

private:
    void end() { finishWith(kExitOk); }

    void finishWith(int status) {
        if (m_ended)
            return;
        m_ended = true;
        m_timer.stop();
        m_donePoll.stop();
        // RPLAY_STOP, then every decoder drains and goes, before the farewell.
        session().playback().stop();
        m_outcome.counters = session().playback().counters();
        finish(status);
    }

    const PlayArgs& m_args;
    CountingFactory& m_factory;
    CliPlaybackDecodeHost& m_host;
    QTimer m_timer;
    QTimer m_donePoll;
    bool m_ended = false;
    PlayOutcome m_outcome;
};

std::string timeJson(bool have, std::uint32_t time) {
    return have ? jsonString(formatRecorderTime(time)) : "null";
}

} // namespace

int runPlay(const CliOptions& options, CliOutput& output) {
    PlayArgs args;
    std::string error;
    if (!parsePlayArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    if (!prepareSnapshotFolder(output, args.snapshotDir))
        return kExitUsage;

    const std::unique_ptr<DecoderLibrary> library = openDecoderLibrary(output);
    PictureStore pictures;
    CliPictureTarget target;
    CliPlaybackDecodeHost host(output);
    CountingFactory factory(StreamKind::RemotePlayback, library.get(), pictures, target, host);
    PlayOutcome outcome;
    int status;
    {
        Play play(options, output, args, factory, host);
        status = play.run();
        outcome = play.outcome();
    } // the session and with it every decoder has ended here
    if (status != kExitOk)
        return status;

    std::uint64_t frames = 0, decoded = 0;
    for (unsigned c = 0; c < kChannelCount; ++c) {
        const ChannelCounts& counts = factory.counts(c);
        const bool requested = (outcome.requested >> c) & 1u;
        if (!requested && counts.frames == 0)
            continue;
        const ChannelPicture picture = takePicture(pictures, c);
        frames += counts.frames;
        decoded += counts.decoded;
        if (const int failed = reportPlayedChannel(output, c, counts, picture, args.snapshotDir))
            status = failed;
    }
    const PlaybackCounters& counters = outcome.counters;
    const bool shown = counters.shownFrames > 0;
    if (output.json()) {
        output.line("{\"event\":\"play\",\"frames\":" + std::to_string(frames) + ",\"decoded\":" +
                    std::to_string(decoded) + ",\"first\":" + timeJson(shown, counters.firstTime) +
                    ",\"last\":" + timeJson(shown, counters.lastTime) +
                    ",\"done\":" + boolText(counters.done) + "}");
    } else {
        output.line("play: " + std::to_string(frames) + " frames, " + std::to_string(decoded) +
                    " decoded" +
                    (shown ? ", " + formatRecorderTime(counters.firstTime) + " to " +
                                 formatRecorderTime(counters.lastTime)
                           : std::string()) +
                    (counters.done ? ", end of the period" : ""));
    }
    return status;
}

} // namespace kalder::cli
