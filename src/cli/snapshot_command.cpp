// snapshot: live view until each asked channel has delivered its next picture, saved through
// the snapshot saver (800 x 600 with the frame time stamped, JPEG, BMP or TIFF) into a folder.
#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "decode/snapshot_saver.h"

#include <QTimer>

#include <cerrno>
#include <filesystem>
#include <string>

namespace kalder::cli {

namespace {

// A channel that does not deliver a picture within this time ends the command.
constexpr int kLongestWaitMs = 30000;
constexpr int kPollMs = 100;
// A picture that could not be written whole (full disk, a folder that takes no files).
constexpr int kExitNotSaved = 7;

struct SnapshotArgs {
    std::string dir;
    std::uint16_t mask = 0xFFFF;
    ImageFormat format = ImageFormat::Jpeg;
};

bool parseSnapshotChannels(const std::string& text, std::uint16_t& mask) {
    if (text == "all") {
        mask = 0xFFFF;
        return true;
    }
    mask = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        if (item.empty() || item.size() > 2 ||
            item.find_first_not_of("0123456789") != std::string::npos)
            return false;
        int channel = 0;
        for (char c : item)
            channel = channel * 10 + (c - '0');
        if (channel < 1 || channel > 16)
            return false;
        mask = static_cast<std::uint16_t>(mask | (1u << (channel - 1)));
        start = comma + 1;
    }
    return mask != 0;
}

bool parseArgs(const std::vector<std::string>& args, SnapshotArgs& out, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--dir" && hasValue) {
            out.dir = args[++i];
        } else if (arg == "--channels" && hasValue) {
            if (!parseSnapshotChannels(args[++i], out.mask)) {
                error = "--channels wants \"all\" or a comma list of channels 1-16";
                return false;
            }
        } else if (arg == "--format" && hasValue) {
            const std::string& f = args[++i];
            if (f == "jpg")
                out.format = ImageFormat::Jpeg;
            else if (f == "bmp")
                out.format = ImageFormat::Bmp;
            else if (f == "tif")
                out.format = ImageFormat::Tiff;
            else {
                error = "--format wants jpg, bmp or tif";
                return false;
            }
        } else {
            error = "unknown snapshot argument '" + arg + "'";
            return false;
        }
    }
    if (out.dir.empty()) {
        error = "snapshot needs --dir DIR";
        return false;
    }
    return true;
}

// Planar pictures, as the accelerated video window draws them.
class PlanarTarget final : public PictureTarget {
public:
    bool isAccelerated() const override { return true; }
};

// What the decode threads ask: visibility from the session, the snapshot requests and savers
// of the board. The session is set before it starts and outlives every decoder.
class SnapshotHost final : public DecodeHost {
public:
    explicit SnapshotHost(SnapshotBoard& board) : m_board(board) {}
    void setSession(RecorderSession* session) { m_session = session; }

    LiveVisibility liveVisibility(unsigned channel) override {
        if (m_session == nullptr)
            return {};
        return {m_session->live().liveOn(), m_session->status().channelHidden(channel)};
    }
    bool takeSnapshotRequest(unsigned channel) override { return m_board.takeRequest(channel); }
    void saveSnapshot(const PictureView& picture, std::string_view timeText) override {
        m_board.start(picture, timeText);
    }

private:
    SnapshotBoard& m_board;
    RecorderSession* m_session = nullptr;
};

class DecoderFactory final : public FrameConsumerFactory {
public:
    DecoderFactory(const DecoderLibrary* library, PictureStore& pictures, PictureTarget& target,
                   DecodeHost& host)
        : m_library(library), m_pictures(pictures), m_target(target), m_host(host) {}
    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override {
        if (channel >= kChannelCount)
            return nullptr;
        return std::make_unique<ChannelDecoder>(channel, StreamKind::Live, m_library, m_pictures,
                                                m_target, m_host);
    }

private:
    const DecoderLibrary* m_library;
    PictureStore& m_pictures;
    PictureTarget& m_target;
    DecodeHost& m_host;
};

class Snapshot : public CliSession {
public:
    Snapshot(const CliOptions& options, CliOutput& output, const SnapshotArgs& args,
             DecoderFactory& factory, SnapshotHost& host, SnapshotBoard& board)
        : CliSession(options, output), m_args(args), m_factory(factory), m_host(host),
          m_board(board) {
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
    }

    int failures() const { return m_failures; }

protected:
    void configureSession(RecorderSession& session) override {
        session.live().setFrameConsumerFactory(&m_factory);
        m_host.setSession(&session);
    }

    // The session asks for live video at the login; the recorder answers with the channels.
    void onLoggedIn() override {
        if (!m_started)
            awaitReply("LIVE_CHANNEL_INFO, the answer to LIVE_REQ");
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::LiveChannels || m_started)
            return;
        // The channels asked for that stream and show a picture; the others would never
        // deliver one.
        const auto streaming = static_cast<std::uint16_t>(message.wParam());
        const auto lost = static_cast<std::uint16_t>(message.lParam());
        m_wanted = static_cast<std::uint16_t>(m_args.mask & streaming & ~lost);
        m_started = true;
        replyArrived();
        if (m_wanted == 0) {
            output().error("none of the channels asked for shows live video");
            finish(kExitOk);
            return;
        }
        m_board.request(m_wanted);
        m_poll.start(kPollMs);
    }

private:
    void poll() {
        for (const SnapshotResult& result : m_board.collectFinished()) {
            m_done = static_cast<std::uint16_t>(m_done | (1u << result.channel));
            if (!result.saved) {
                ++m_failures;
                output().error("channel " + std::to_string(result.channel + 1) +
                               ": not saved: " + result.error);
                continue;
            }
            const std::string file = result.file.string();
            if (output().json())
                output().line(
                    "{\"event\":\"snapshot\",\"channel\":" + std::to_string(result.channel + 1) +
                    ",\"file\":" + jsonString(file) + "}");
            else
                output().line("channel " + std::to_string(result.channel + 1) + ": " + file);
        }
        if ((m_done & m_wanted) == m_wanted) {
            m_poll.stop();
            finish(m_failures == 0 ? kExitOk : kExitNotSaved);
            return;
        }
        m_waitedMs += kPollMs;
        if (m_waitedMs >= kLongestWaitMs) {
            m_poll.stop();
            output().error("no picture arrived from some of the channels");
            finish(kExitConnectionLost);
        }
    }

    const SnapshotArgs& m_args;
    DecoderFactory& m_factory;
    SnapshotHost& m_host;
    SnapshotBoard& m_board;
    QTimer m_poll;
    bool m_started = false;
    std::uint16_t m_wanted = 0;
    std::uint16_t m_done = 0;
    int m_waitedMs = 0;
    int m_failures = 0;
};

} // namespace

int runSnapshot(const CliOptions& options, CliOutput& output) {
    SnapshotArgs args;
    std::string error;
    if (!parseArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    const std::unique_ptr<DecoderLibrary> library = DecoderLibrary::openFromProgramFolder();
    if (!library) {
        output.error(std::string(DecoderLibrary::kFileName) +
                     " not found beside the program: nothing can be decoded");
        return kExitUsage;
    }
    PictureStore pictures;
    PlanarTarget target;
    SnapshotBoard board;
    board.setTarget(args.dir, args.format);
    SnapshotHost host(board);
    DecoderFactory factory(library.get(), pictures, target, host);
    Snapshot snapshot(options, output, args, factory, host, board);
    return snapshot.run();
}

} // namespace kalder::cli
