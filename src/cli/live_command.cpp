// live: connect, log in, receive live video for a while, decode every streamed channel through
// the decode pipeline, disconnect in the normal order, then report per channel and optionally
// save each channel's last picture as a PNG file. With --recorder, several recorders at once,
// each with a session, decoders and pictures of its own, in one event loop; --site NAME takes
// those recorders from a site of the desktop client's address book.
#include "cli/cli_command.h"
#include "cli/cli_session.h"
#include "cli/counting_decoders.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_library.h"
#include "decode/picture_layout.h"
#include "cli/run_seconds.h"
#include "site/site_book.h"

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QTimer>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kalder::cli {

namespace {

struct LiveArgs {
    double seconds = kDefaultRunSeconds;
    std::uint16_t mask = 0xFFFF;
    std::string snapshotDir;
    bool reconnect = false;
    // --recorder HOST:PORT, in the order given: the recorders of the run (empty: the global
    // --host and --port).
    struct Recorder {
        std::string host;
        std::uint16_t port = 0;
        std::string user; // a site's user id for this recorder; empty: the global --user
    };
    std::vector<Recorder> recorders;
    // --site NAME: the recorders of that site instead (they cannot be mixed with --recorder).
    std::string site;
};

// HOST:PORT, split at the last colon; the port 1-65535.
bool parseRecorder(const std::string& text, LiveArgs::Recorder& recorder) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    char* rest = nullptr;
    const std::string portText = text.substr(colon + 1);
    const long port = std::strtol(portText.c_str(), &rest, 10);
    if (*rest != '\0' || port < 1 || port > 65535)
        return false;
    recorder.host = text.substr(0, colon);
    recorder.port = static_cast<std::uint16_t>(port);
    return true;
}

// "all" or a comma list of channels 1-16.
bool parseChannels(const std::string& text, std::uint16_t& mask) {
    if (text == "all") {
        mask = 0xFFFF;
        return true;
    }
    mask = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        char* rest = nullptr;
        const long channel = std::strtol(item.c_str(), &rest, 10);
        if (item.empty() || *rest != '\0' || channel < 1 || channel > 16)
            return false;
        mask = static_cast<std::uint16_t>(mask | (1u << (channel - 1)));
        start = end + 1;
    }
    return mask != 0;
}

bool parseLiveArgs(const std::vector<std::string>& args, LiveArgs& live, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--seconds" && hasValue) {
            char* rest = nullptr;
            live.seconds = std::strtod(args[++i].c_str(), &rest);
            if (*rest != '\0' || !(live.seconds > 0) || live.seconds > kLongestRunSeconds) {
                error = "--seconds wants a number of seconds above 0";
                return false;
            }
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannels(args[++i], live.mask)) {
                error = "--channels wants \"all\" or a comma list of channels 1-16";
                return false;
            }
        } else if (arg == "--snapshot-dir" && hasValue) {
            live.snapshotDir = args[++i];
        } else if (arg == "--reconnect") {
            live.reconnect = true;
        } else if (arg == "--recorder" && hasValue) {
            LiveArgs::Recorder recorder;
            if (!parseRecorder(args[++i], recorder)) {
                error = "--recorder wants HOST:PORT (a port 1-65535)";
                return false;
            }
            live.recorders.push_back(recorder);
        } else if (arg == "--site" && hasValue) {
            live.site = args[++i];
            if (live.site.empty()) {
                error = "--site wants the name of a site";
                return false;
            }
        } else {
            error = "live: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (!live.site.empty() && !live.recorders.empty()) {
        error = "live: --site and --recorder do not go together";
        return false;
    }
    return true;
}

// The recorders of the site `live.site` from the desktop client's settings store (the same
// per-user store, so a site made in the client runs here as it is). The password is the global
// one for every recorder: sites keep none. False, with the reason, for a site the store does not
// hold or one that breaks the site rules (changed by hand).
bool takeSiteRecorders(LiveArgs& live, std::string& error) {
    QSettings store(QStringLiteral("Tarsel"), QStringLiteral("Kalder"));
    SiteBook book(store);
    book.load();
    const auto index = book.find(live.site);
    if (!index) {
        error = "live: no site named '" + live.site + "' in the address book (" +
                store.fileName().toStdString() + ")";
        return false;
    }
    const Site& site = book.sites()[*index];
    std::vector<std::string> others;
    for (const Site& other : book.sites()) {
        if (&other != &site)
            others.push_back(other.name);
    }
    if (const SiteCheck check = checkSite(site, others); !check.ok()) {
        error = "live: site '" + site.name + "' cannot be connected" +
                (check.recorder >= 0
                     ? " (its recorder " + std::to_string(check.recorder + 1) + " is not valid)"
                     : "") +
                "; correct it in the client's Sites window";
        return false;
    }
    for (const SiteRecorder& r : site.recorders)
        live.recorders.push_back({r.address, static_cast<std::uint16_t>(r.port), r.userId});
    return true;
}

// What the decode threads ask of the front end. `session` is set before the session starts and
// outlives every decoder (the session dismantles them in its disconnect order).
class CliDecodeHost final : public DecodeHost {
public:
    explicit CliDecodeHost(CliOutput& output) : m_initNotice(output) {}

    void setSession(RecorderSession* session) { m_session = session; }

    // Decode threads.
    LiveVisibility liveVisibility(unsigned channel) override {
        if (m_session == nullptr)
            return {};
        return {m_session->live().liveOn(), m_session->status().channelHidden(channel)};
    }
    void decoderInitFailed(unsigned) override { m_initNotice.post(); }

private:
    DecoderInitNotice m_initNotice;
    RecorderSession* m_session = nullptr;
};

// What the recorder said about its channels, taken on the GUI thread.
struct ChannelFacts {
    std::uint16_t announced = 0;
    std::uint16_t videoLoss = 0;
    std::array<bool, kChannelCount> hidden{};
    std::array<std::string, kChannelCount> titles;
};

class Live : public CliSession {
public:
    Live(const CliOptions& options, CliOutput& output, const LiveArgs& args,
         CountingFactory& factory, CliDecodeHost& host)
        : CliSession(options, output), m_args(args), m_factory(factory), m_host(host) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { timeUp(); });
        if (args.reconnect)
            enableReconnect();
    }

    const ChannelFacts& facts() const { return m_facts; }

protected:
    void configureSession(RecorderSession& session) override {
        session.live().setFrameConsumerFactory(&m_factory);
        m_host.setSession(&session);
        // A new session after a lost connection asks for all channels again.
        m_requested = false;
    }

    void onLoggedIn() override {
        // The run's time counts from the first login and goes on through reconnects.
        if (!m_timerStarted)
            m_timer.start(static_cast<int>(std::lround(m_args.seconds * 1000)));
        m_timerStarted = true;
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        if (message.message() != WindowMessage::LiveChannels)
            return;
        m_facts.announced = static_cast<std::uint16_t>(message.wParam());
        m_facts.videoLoss = static_cast<std::uint16_t>(message.lParam());
        if (m_args.mask != 0xFFFF && !m_requested)
            requestChannels();
    }

private:
    // The session asks for all channels at login; narrow the request once live view is on.
    void requestChannels() {
        if (m_requested)
            return;
        if (!connected())
            return; // the next session's channel announcement asks again
        if (!session().live().liveOn()) {
            QTimer::singleShot(10, this, [this] { requestChannels(); });
            return;
        }
        m_requested = true;
        session().live().requestChannels(m_args.mask);
    }

    void timeUp() {
        m_facts.titles = session().status().channelTitles();
        for (unsigned c = 0; c < kChannelCount; ++c)
            m_facts.hidden[c] = session().status().channelHidden(c);
        m_facts.videoLoss = session().live().videoLossMask();
        // A reconnecting run whose time ends during an outage ends as a lost connection.
        finish(connected() ? kExitOk : kExitConnectionLost);
    }

    const LiveArgs& m_args;
    CountingFactory& m_factory;
    CliDecodeHost& m_host;
    QTimer m_timer;
    bool m_timerStarted = false;
    bool m_requested = false;
    ChannelFacts m_facts;
};

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// One recorder of the run: its options (the global ones with its address), its decoders and
// pictures, and its session. Destroyed session first: the session dismantles the decoders.
struct LiveRecorder {
    LiveRecorder(const CliOptions& global, CliOutput& output, const DecoderLibrary* library,
                 std::string label)
        : options(global), label(std::move(label)), host(output),
          factory(StreamKind::Live, library, pictures, target, host) {}

    CliOptions options;
    std::string label; // "HOST:PORT" as given, empty for the single recorder of --host/--port
    PictureStore pictures;
    CliPictureTarget target;
    CliDecodeHost host;
    CountingFactory factory;
    ChannelFacts facts;
    int status = kExitOk;
    std::unique_ptr<Live> live;
};

struct LiveTotals {
    std::uint64_t frames = 0, decoded = 0, bytes = 0;
};

// The channel lines of one recorder, and its pictures saved into `snapshotDir`. Returns the
// usage status when a picture cannot be written, else 0.
int reportLiveChannels(CliOutput& output, const LiveRecorder& recorder,
                       const std::string& snapshotDir, LiveTotals& totals) {
    int status = kExitOk;
    const ChannelFacts& facts = recorder.facts;
    for (unsigned c = 0; c < kChannelCount; ++c) {
        const ChannelCounts& counts = recorder.factory.counts(c);
        const bool announced = (facts.announced >> c) & 1u;
        if (!announced && counts.frames == 0)
            continue;
        const ChannelPicture picture = takePicture(recorder.pictures, c);
        totals.frames += counts.frames;
        totals.decoded += counts.decoded;
        totals.bytes += counts.bytes;
        const int width = picture.decoded ? picture.size.width : 0;
        const int height = picture.decoded ? picture.size.height : 0;
        const bool lost = (facts.videoLoss >> c) & 1u;
        if (output.json()) {
            output.line(
                "{\"event\":\"channel\",\"channel\":" + std::to_string(c + 1) +
                ",\"frames\":" + std::to_string(counts.frames) +
                ",\"key_frames\":" + std::to_string(counts.keyFrames) +
                ",\"decoded\":" + std::to_string(counts.decoded) +
                ",\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
                ",\"video_loss\":" + boolText(lost) + ",\"hidden\":" + boolText(facts.hidden[c]) +
                ",\"title\":" + jsonString(facts.titles[c]) +
                (recorder.label.empty() ? "" : ",\"recorder\":" + jsonString(recorder.label)) +
                "}");
        } else {
            output.line((recorder.label.empty() ? "" : recorder.label + " ") + "channel " +
                        std::to_string(c + 1) + ": " + std::to_string(counts.frames) + " frames (" +
                        std::to_string(counts.keyFrames) + " key), " +
                        std::to_string(counts.decoded) + " decoded, " + std::to_string(width) +
                        "x" + std::to_string(height) + (lost ? ", video loss" : "") +
                        (facts.hidden[c] ? ", hidden" : "") + ", title \"" + facts.titles[c] +
                        "\"");
        }
        if (const int written = saveChannelPicture(output, snapshotDir, c, picture))
            status = written;
    }
    return status;
}

// The summary line; `recorders` (several recorders) adds their number.
void printLiveSummary(CliOutput& output, const LiveArgs& args, const LiveTotals& totals,
                      std::size_t recorders) {
    if (output.json()) {
        output.line("{\"event\":\"live\",\"seconds\":" + secondsText(args.seconds) +
                    ",\"frames\":" + std::to_string(totals.frames) + ",\"decoded\":" +
                    std::to_string(totals.decoded) + ",\"bytes\":" + std::to_string(totals.bytes) +
                    (recorders > 0 ? ",\"recorders\":" + std::to_string(recorders) : "") + "}");
    } else {
        output.line("live: " + secondsText(args.seconds) + " s, " + std::to_string(totals.frames) +
                    " frames, " + std::to_string(totals.decoded) + " decoded, " +
                    std::to_string(totals.bytes) + " bytes" +
                    (recorders > 0 ? ", " + std::to_string(recorders) + " recorders" : ""));
    }
}

// Runs every recorder's session in one event loop until each has finished. The run's status is
// that of the first recorder, in the order given, that did not end well (0 when all did).
void runLiveRecorders(std::vector<std::unique_ptr<LiveRecorder>>& recorders, CliOutput& output,
                      const LiveArgs& args) {
    std::size_t running = 0;
    for (auto& recorder : recorders) {
        recorder->live = std::make_unique<Live>(recorder->options, output, args, recorder->factory,
                                                recorder->host);
        LiveRecorder* entry = recorder.get();
        const auto finished = [entry, &running](int status) {
            entry->status = status;
            entry->facts = entry->live->facts();
            if (--running == 0)
                QCoreApplication::exit(0);
        };
        ++running;
        if (!recorder->live->startInLoop(finished, recorder->status))
            --running;
    }
    if (running > 0)
        QCoreApplication::exec();
    for (auto& recorder : recorders)
        recorder->live.reset(); // every session and with it every decoder has ended here
}

} // namespace

int runLive(const CliOptions& options, CliOutput& output) {
    LiveArgs args;
    std::string error;
    if (!parseLiveArgs(options.commandArgs, args, error) ||
        (!args.site.empty() && !takeSiteRecorders(args, error))) {
        output.error(error);
        return kExitUsage;
    }
    if (!prepareSnapshotFolder(output, args.snapshotDir))
        return kExitUsage;

    const std::unique_ptr<DecoderLibrary> library = openDecoderLibrary(output);
    if (args.recorders.empty()) {
        LiveRecorder single(options, output, library.get(), {});
        {
            Live live(single.options, output, args, single.factory, single.host);
            single.status = live.run();
            single.facts = live.facts();
        } // the session and with it every decoder has ended here
        if (single.status != kExitOk)
            return single.status;
        LiveTotals totals;
        const int status = reportLiveChannels(output, single, args.snapshotDir, totals);
        printLiveSummary(output, args, totals, 0);
        return status;
    }

    std::vector<std::unique_ptr<LiveRecorder>> recorders;
    for (const LiveArgs::Recorder& given : args.recorders) {
        const std::string label = given.host + ":" + std::to_string(given.port);
        auto recorder = std::make_unique<LiveRecorder>(options, output, library.get(), label);
        recorder->options.host = given.host;
        recorder->options.port = given.port;
        if (!given.user.empty())
            recorder->options.user = given.user;
        recorders.push_back(std::move(recorder));
    }
    runLiveRecorders(recorders, output, args);
    // Several recorders write their pictures into a folder each: "HOST-PORT" in the given one.
    LiveTotals totals;
    int status = kExitOk;
    for (const auto& recorder : recorders) {
        if (recorder->status != kExitOk) {
            if (status == kExitOk)
                status = recorder->status;
            continue;
        }
        std::string folder;
        if (!args.snapshotDir.empty()) {
            const std::filesystem::path path =
                std::filesystem::path(args.snapshotDir) /
                (recorder->options.host + "-" + std::to_string(recorder->options.port));
            if (!prepareSnapshotFolder(output, path.string())) {
                status = status == kExitOk ? kExitUsage : status;
                continue;
            }
            folder = path.string();
        }
        const int written = reportLiveChannels(output, *recorder, folder, totals);
        if (status == kExitOk)
            status = written;
    }
    printLiveSummary(output, args, totals, recorders.size());
    return status;
}

} // namespace kalder::cli
