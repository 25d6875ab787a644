// listen: connect, turn the recorder's audio on for live view of one channel, play it through the
// audio player to the default sink for a while, then report what the player handed to the sound
#include "cli/run_seconds.h"
// server (and with --wav keep it as a 16-bit WAV file).
#include "audio/audio_player_factory.h"
#include "audio/mixer_control.h"
#include "audio/mu_law.h"
#include "audio/wav_file.h"
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace kalder::cli {

namespace {

// How often the command looks again for the recorder's audio channel and live view.
constexpr int kRetryMs = 20;

struct ListenArgs {
    int channel = -1; // 0-based; -1: the recorder's audio channel
    double seconds = kDefaultRunSeconds;
    std::string wav;
};

bool parseListenArgs(const std::vector<std::string>& args, ListenArgs& listen, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        char* rest = nullptr;
        if (arg == "--channel" && hasValue) {
            const long channel = std::strtol(args[++i].c_str(), &rest, 10);
            if (args[i].empty() || *rest != '\0' || channel < 1 || channel > 16) {
                error = "--channel wants a channel 1-16";
                return false;
            }
            listen.channel = static_cast<int>(channel - 1);
        } else if (arg == "--seconds" && hasValue) {
            listen.seconds = std::strtod(args[++i].c_str(), &rest);
            if (*rest != '\0' || !(listen.seconds > 0) || listen.seconds > kLongestRunSeconds) {
                error = "--seconds wants a number of seconds above 0";
                return false;
            }
        } else if (arg == "--wav" && hasValue) {
            listen.wav = args[++i];
        } else {
            error = "listen: unexpected argument '" + arg + "'";
            return false;
        }
    }
    return true;
}

// The sound as handed to the server, decoded to 16-bit samples (output thread appends).
class WavTap {
public:
    void add(std::span<const std::byte> bytes) {
        std::lock_guard lock(m_mutex);
        for (std::byte b : bytes)
            m_samples.push_back(muLawToLinear(std::to_integer<std::uint8_t>(b)));
    }
    std::vector<std::int16_t> take() {
        std::lock_guard lock(m_mutex);
        return std::move(m_samples);
    }

private:
    std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
};

class Listen : public CliSession {
public:
    Listen(const CliOptions& options, CliOutput& output, const ListenArgs& args,
           AudioPlayerFactory& factory)
        : CliSession(options, output), m_args(args), m_factory(factory) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { finish(kExitOk); });
    }

    int channel() const { return m_channel; }

protected:
    void configureSession(RecorderSession& session) override {
        session.live().setAudioConsumerFactory(&m_factory);
        session.live().setSoundDeviceAvailable(true);
    }

    void onLoggedIn() override {
        m_timer.start(static_cast<int>(std::lround(m_args.seconds * 1000)));
        switchAudioOn();
    }

private:
    // Once live view runs and the channel is known: the single view of that channel, the live
    // request narrowed to it, and the recorder's audio on.
    void switchAudioOn() {
        if (m_channel < 0) {
            if (m_args.channel >= 0) {
                m_channel = m_args.channel;
            } else if (const auto config = session().status().channelConfig()) {
                m_channel = config->audioChannel < 16 ? config->audioChannel : 0;
            }
        }
        if (m_channel < 0 || !session().live().liveOn()) {
            QTimer::singleShot(kRetryMs, this, [this] { switchAudioOn(); });
            return;
        }
        session().live().setSingleViewChannel(m_channel);
        session().live().requestChannels(static_cast<std::uint16_t>(1u << m_channel));
        session().live().setAudio(true);
    }

    const ListenArgs& m_args;
    AudioPlayerFactory& m_factory;
    QTimer m_timer;
    int m_channel = -1;
};

} // namespace

int runListen(const CliOptions& options, CliOutput& output) {
    ListenArgs args;
    std::string error;
    if (!parseListenArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    AudioPlayerFactory factory;
    WavTap tap;
    if (!args.wav.empty())
        factory.setTap([&tap](std::span<const std::byte> buffer, bool) { tap.add(buffer); });
    const bool device = detectSoundOutput();
    int status = kExitOk;
    int channel = args.channel;
    if (device) {
        Listen listen(options, output, args, factory);
        status = listen.run();
        channel = listen.channel();
    } else {
        // Without a sound output no audio request is sent: nothing is played.
        output.error("no sound output device: nothing is played");
    }
    if (status != kExitOk)
        return status;
    const AudioPlayerCounts& counts = factory.counts();
    if (!args.wav.empty()) {
        const std::vector<std::int16_t> samples = tap.take();
        if (!writeWavFile(args.wav, kAudioSampleRate, samples, error)) {
            output.error(error);
            status = kExitUsage;
        }
    }
    const std::string shown = std::to_string(channel >= 0 ? channel + 1 : 0);
    if (output.json()) {
        output.line("{\"event\":\"audio\",\"channel\":" + shown + ",\"chunks\":" +
                    std::to_string(counts.chunks) + ",\"bytes\":" + std::to_string(counts.bytes) +
                    ",\"underruns\":" + std::to_string(counts.underruns) + "}");
    } else {
        output.line("audio of channel " + shown + ": " + std::to_string(counts.chunks) +
                    " chunks, " + std::to_string(counts.bytes) + " bytes, " +
                    std::to_string(counts.underruns) + " underruns");
    }
    return status;
}

} // namespace kalder::cli
