// kalder-cli listen and talk against kalder-recorder-sim and the machine's sound server: the
// simulator's tone played to the default sink and recorded from its monitor, a known WAV talked
// to the recorder and compared with what it kept, refusals, and no sound device.
#include "audio/mu_law.h"
#include "audio/wav_file.h"
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace kalder::test {
namespace {

// The strongest frequency (Goertzel, 5 Hz steps from 150 to 1,500 Hz) of 8 kHz samples.
double dominantFrequency(const std::vector<std::int16_t>& samples) {
    double best = 0;
    double bestPower = -1;
    for (double f = 150; f <= 1500; f += 5) {
        const double w = 2 * std::cos(2 * M_PI * f / 8000);
        double s1 = 0, s2 = 0;
        for (std::int16_t x : samples) {
            const double s0 = x + w * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - w * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

double rms(const std::vector<std::int16_t>& samples) {
    double sum = 0;
    for (std::int16_t x : samples)
        sum += double(x) * x;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

// Whether a sound server answers. The programs under test run with a HOME of their own, where
// the client library would not find the server: they are told its address and cookie.
bool soundServerRuns() {
    QProcess p;
    p.start("pactl", {"info"});
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Server String: ")) {
            QString server = line.mid(15).trimmed();
            if (server.startsWith('/'))
                server.prepend("unix:");
            ::setenv("PULSE_SERVER", server.toUtf8().constData(), 1);
        }
    }
    const char* home = std::getenv("HOME");
    if (home && std::filesystem::exists(std::filesystem::path(home) / ".config/pulse/cookie"))
        ::setenv("PULSE_COOKIE",
                 (std::filesystem::path(home) / ".config/pulse/cookie").string().c_str(), 1);
    return true;
}

std::filesystem::path folder() {
    const auto f = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-audio";
    std::filesystem::create_directories(f);
    return f;
}

class CliAudio : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        // Channel 1 carries the audio: a 300 Hz tone in syllable-like bursts.
        ASSERT_TRUE(s_sim->start({"--channels", "4", "--audio-channel", "1"}))
            << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    void SetUp() override {
        if (!soundServerRuns())
            GTEST_SKIP() << "no sound server";
    }
    static QStringList base() {
        return {"--port", QString::number(s_sim->port()), "--password", "1234", "--json"};
    }
    static SimProcess* s_sim;
};
SimProcess* CliAudio::s_sim = nullptr;

TEST_F(CliAudio, ListenPlaysTheChannelsToneToTheDefaultSink) {
    const auto wav = folder() / "listen.wav";
    std::filesystem::remove(wav);
    // The sink's monitor, as 8 kHz 16-bit mono.
    QProcess parec;
    parec.start("parec", {"--device=@DEFAULT_MONITOR@", "--format=s16le", "--rate=8000",
                          "--channels=1", "--raw", "--latency-msec=50"});
    ASSERT_TRUE(parec.waitForStarted());
    const CliRun run = runCli(base() << "listen"
                                     << "--seconds"
                                     << "4"
                                     << "--wav" << QString::fromStdString(wav.string()));
    parec.terminate();
    parec.waitForFinished();
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1) << run.lines.join('\n').toStdString();
    const QJsonObject audio = json(run.lines[0]);
    EXPECT_EQ(audio["event"].toString(), "audio");
    EXPECT_EQ(audio["channel"].toInt(), 1) << run.errors.toStdString();
    // Live sound: chunks of two elements (1,024 bytes); more than the four that start it.
    EXPECT_GT(audio["chunks"].toInt(), 4);
    EXPECT_EQ(audio["bytes"].toInt() % 512, 0);

    // The WAV holds exactly what the player handed over, and it is the tone.
    std::string error;
    const auto sound = readWavFile(wav.string(), error);
    ASSERT_TRUE(sound) << error;
    EXPECT_EQ(sound->sampleRate, 8000u);
    EXPECT_EQ(static_cast<int>(sound->samples.size()), audio["bytes"].toInt());
    EXPECT_NEAR(dominantFrequency(sound->samples), 300, 25);

    // What the sink played: the same tone.
    const QByteArray raw = parec.readAllStandardOutput();
    std::vector<std::int16_t> heard(static_cast<std::size_t>(raw.size()) / 2);
    std::memcpy(heard.data(), raw.data(), heard.size() * 2);
    ASSERT_GT(heard.size(), 8000u);
    ASSERT_GT(rms(heard), 300) << "the monitor heard silence";
    EXPECT_NEAR(dominantFrequency(heard), 300, 25);
}

TEST_F(CliAudio, ListeningToAnotherChannelPlaysNothing) {
    // Channel 2 alone: the sound of channel 1 still arrives (on channel 2's frames), but it is
    // heard only in the single view of channel 1.
    const CliRun run = runCli(base() << "listen"
                                     << "--channel"
                                     << "2"
                                     << "--seconds"
                                     << "2");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QJsonObject audio = json(run.lines.value(0));
    EXPECT_EQ(audio["channel"].toInt(), 2);
    EXPECT_EQ(audio["chunks"].toInt(), 0);
    EXPECT_EQ(audio["bytes"].toInt(), 0);
    EXPECT_EQ(runCli(base() << "listen"
                            << "--channel"
                            << "17")
                  .exitCode,
              2);
}

TEST_F(CliAudio, TalkSendsTheFileWholeAndInOrder) {
    // 1.3 s of a rising tone: 10,400 samples, 21 packets with the last one padded.
    std::vector<std::int16_t> samples(10400);
    double phase = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        phase += 2 * M_PI * (200 + 0.1 * i) / 8000;
        samples[i] = static_cast<std::int16_t>(9000 * std::sin(phase));
    }
    const auto wav = folder() / "talk.wav";
    std::string error;
    ASSERT_TRUE(writeWavFile(wav.string(), 8000, samples, error)) << error;
    ASSERT_EQ(s_sim->admin("talk-clear"), "ok");

    const CliRun run = runCli(base() << "talk"
                                     << "--wav" << QString::fromStdString(wav.string()));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1) << run.lines.join('\n').toStdString();
    const QJsonObject talk = json(run.lines[0]);
    EXPECT_EQ(talk["event"].toString(), "talk");
    EXPECT_EQ(talk["packets"].toInt(), 21);
    EXPECT_EQ(talk["refused"].toBool(), false);

    const auto dump = folder() / "talk.raw";
    ASSERT_EQ(s_sim->admin("talk-dump " + dump.string()), "ok");
    std::ifstream in(dump, std::ios::binary);
    const std::vector<char> kept((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    ASSERT_EQ(kept.size(), 21u * 512u);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::uint8_t expected = i < samples.size() ? linearToMuLaw(samples[i]) : 0xFF;
        ASSERT_EQ(static_cast<std::uint8_t>(kept[i]), expected) << "byte " << i;
    }
    // The client said it stopped; no packet broke the rules.
    EXPECT_EQ(s_sim->admin("talk-status"), "ok listening=0 packets=21 bytes=10752 bad=0 stops=1");
}

TEST_F(CliAudio, ARefusedTalkSendsNothing) {
    const auto wav = folder() / "refused.wav";
    std::string error;
    ASSERT_TRUE(writeWavFile(wav.string(), 8000, std::vector<std::int16_t>(4000, 100), error));
    ASSERT_EQ(s_sim->admin("talk-clear"), "ok");
    ASSERT_EQ(s_sim->admin("talk-refuse 55"), "ok");
    const CliRun run = runCli(base() << "talk"
                                     << "--wav" << QString::fromStdString(wav.string()));
    ASSERT_EQ(s_sim->admin("talk-refuse 0"), "ok");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 2) << run.lines.join('\n').toStdString();
    const QJsonObject note = json(run.lines[0]);
    EXPECT_EQ(note["category"].toInt(), 12);
    EXPECT_EQ(note["detail"].toInt(), 1);
    const QJsonObject talk = json(run.lines[1]);
    EXPECT_EQ(talk["packets"].toInt(), 0);
    EXPECT_EQ(talk["refused"].toBool(), true);
    EXPECT_EQ(s_sim->admin("talk-status"), "ok listening=0 packets=0 bytes=0 bad=0 stops=0");
}

TEST_F(CliAudio, TalkRefusesAFileThatIsNot8kHzMono) {
    const auto wav = folder() / "stereo.wav";
    std::string error;
    ASSERT_TRUE(writeWavFile(wav.string(), 44100, std::vector<std::int16_t>(100), error));
    const CliRun run = runCli(base() << "talk"
                                     << "--wav" << QString::fromStdString(wav.string()));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(runCli(base() << "talk").exitCode, 2);
}

TEST_F(CliAudio, WithoutASoundServerNothingIsRequestedOrPlayed) {
    const std::string server = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/kalder-test-socket", 1);
    const CliRun run = runCli(base() << "listen"
                                     << "--seconds"
                                     << "1");
    ::setenv("PULSE_SERVER", server.c_str(), 1);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("no sound output device"));
    const QJsonObject audio = json(run.lines.value(0));
    EXPECT_EQ(audio["chunks"].toInt(), 0);
    EXPECT_EQ(audio["bytes"].toInt(), 0);
    // The recorder was never asked for audio.
    EXPECT_EQ(s_sim->admin("clients").find("audio=1"), std::string::npos);
}

} // namespace
} // namespace kalder::test
