// talk: connect, open the talk channel, and send a WAV file's sound through the talk sender at
// its own pace (one 2,048-byte packet every 100 ms), then close the talk channel.
#include "cli/run_seconds.h"
#include "audio/mu_law.h"
#include "audio/sound_device.h"
#include "audio/talk_sender.h"
#include "audio/wav_file.h"
#include "cli/cli_command.h"
#include "cli/cli_session.h"

#include <QTimer>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace kalder::cli {

namespace {

// How often the packet list is topped up and the end looked for.
constexpr int kTopUpMs = 50;

struct TalkArgs {
    std::string wav;
    double seconds = 0; // 0: until the whole file is sent
};

bool parseTalkArgs(const std::vector<std::string>& args, TalkArgs& talk, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--wav" && hasValue) {
            talk.wav = args[++i];
        } else if (arg == "--seconds" && hasValue) {
            char* rest = nullptr;
            talk.seconds = std::strtod(args[++i].c_str(), &rest);
            if (*rest != '\0' || !(talk.seconds > 0) || talk.seconds > kLongestRunSeconds) {
                error = "--seconds wants a number of seconds above 0";
                return false;
            }
        } else {
            error = "talk: unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (talk.wav.empty()) {
        error = "talk: --wav FILE is required";
        return false;
    }
    return true;
}

using Element = std::array<std::byte, SoundInput::kCaptureBytes>;

// The file's sound as capture buffers of 512 mu-law bytes; the last one padded with silence.
std::vector<Element> elementsOf(const WavSound& sound) {
    std::vector<Element> elements((sound.samples.size() + Element{}.size() - 1) / Element{}.size());
    for (auto& e : elements)
        e.fill(std::byte{0xFF});
    for (std::size_t i = 0; i < sound.samples.size(); ++i)
        elements[i / Element{}.size()][i % Element{}.size()] =
            std::byte{linearToMuLaw(sound.samples[i])};
    return elements;
}

class Talk : public CliSession {
public:
    Talk(const CliOptions& options, CliOutput& output, const TalkArgs& args,
         std::vector<Element> elements)
        : CliSession(options, output), m_args(args), m_elements(std::move(elements)) {
        m_limit.setSingleShot(true);
        QObject::connect(&m_limit, &QTimer::timeout, this, [this] { end(); });
        QObject::connect(&m_topUp, &QTimer::timeout, this, [this] { topUp(); });
    }

    std::uint64_t packets() const { return m_packets; }
    bool refused() const { return m_refused; }

protected:
    void configureSession(RecorderSession& session) override {
        // The file stands in for the microphone.
        session.talk().setSoundDeviceAvailable(true);
    }

    void onLoggedIn() override {
        if (m_args.seconds > 0)
            m_limit.start(static_cast<int>(std::lround(m_args.seconds * 1000)));
        session().talk().toggleTalk();
        awaitReply("A_LISTEN_ACK or A_LISTEN_NACK, the answer to A_LISTEN_REQ");
    }

    void onWindowMessage(const WindowMessageEvent& message) override {
        switch (message.message()) {
        case WindowMessage::ListenAccepted: {
            replyArrived();
            if (m_sender)
                return;
            RecorderSession* s = &session();
            auto sender = std::make_unique<TalkSender>(
                [s](const TalkPacket& packet) { s->talk().sendPacket(packet); });
            m_sender = sender.get();
            session().talk().adoptSender(std::move(sender));
            topUp();
            m_topUp.start(kTopUpMs);
            return;
        }
        case WindowMessage::ListenEnded:
            m_sender = nullptr;
            session().talk().dropSender();
            return;
        case WindowMessage::TalkRefused:
            replyArrived();
            m_refused = true;
            end();
            return;
        default:
            return;
        }
    }

private:
    // Hands the file to the sender without ever letting its list overflow, and ends once every
    // packet has left.
    void topUp() {
        if (!m_sender)
            return;
        while (m_next < m_elements.size() && m_sender->waitingPackets() < TalkSender::kMaxPackets)
            m_sender->addCaptured(m_elements[m_next++]);
        if (m_next == m_elements.size() && m_sender->packetsSent() >= m_elements.size())
            end();
    }

    void end() {
        m_topUp.stop();
        if (m_sender) {
            m_packets = m_sender->packetsSent();
            m_sender = nullptr;
            session().talk().stopTalk();
        }
        finish(kExitOk);
    }

    const TalkArgs& m_args;
    const std::vector<Element> m_elements;
    std::size_t m_next = 0;
    TalkSender* m_sender = nullptr; // owned by the session's talk slot while set
    QTimer m_limit;
    QTimer m_topUp;
    std::uint64_t m_packets = 0;
    bool m_refused = false;
};

} // namespace

int runTalk(const CliOptions& options, CliOutput& output) {
    TalkArgs args;
    std::string error;
    if (!parseTalkArgs(options.commandArgs, args, error)) {
        output.error(error);
        return kExitUsage;
    }
    const std::optional<WavSound> sound = readWavFile(args.wav, error);
    if (!sound) {
        output.error(args.wav + ": " + error);
        return kExitUsage;
    }
    if (sound->sampleRate != kAudioSampleRate || sound->channels != 1) {
        output.error(args.wav + ": 8 kHz mono sound is wanted");
        return kExitUsage;
    }
    std::uint64_t packets = 0;
    bool refused = false;
    int status;
    {
        Talk talk(options, output, args, elementsOf(*sound));
        status = talk.run();
        packets = talk.packets();
        refused = talk.refused();
    }
    if (status != kExitOk)
        return status;
    if (output.json()) {
        output.line("{\"event\":\"talk\",\"packets\":" + std::to_string(packets) +
                    ",\"refused\":" + (refused ? "true" : "false") + "}");
    } else {
        output.line("talk: " + std::to_string(packets) + " packets" +
                    (refused ? ", refused by the recorder" : ""));
    }
    return status;
}

} // namespace kalder::cli
