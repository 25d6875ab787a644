// kalder-cli live against a simulator that misbehaves while the client streams: a flood of huge
// key frames and pictures larger than any recorder sends. The client must keep its memory
// bounded and go on decoding the channel's normal pictures.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"
#include "tests/support/wait_until.h"

#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace kalder::test {
namespace {

// Under AddressSanitizer freed memory waits in a quarantine, so resident sizes say little.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSizesMeanSomething = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSizesMeanSomething = false;
#else
constexpr bool kSizesMeanSomething = true;
#endif
#else
constexpr bool kSizesMeanSomething = true;
#endif

// kalder-cli started in the background, so that the simulator can misbehave while it streams.
class BackgroundCli {
public:
    explicit BackgroundCli(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const auto home = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-home";
        std::filesystem::create_directories(home);
        env.insert("HOME", QString::fromStdString(home.string()));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(KALDER_PROGRAM_DIR "/kalder-cli"), args);
    }
    // Waits for the end, reading the program's peak resident size while it runs.
    CliRun finish() {
        CliRun run;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!m_process.waitForFinished(50)) {
            if (m_process.state() == QProcess::NotRunning)
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                m_process.kill();
                m_process.waitForFinished();
                return run;
            }
            m_peakMegabytes = std::max(m_peakMegabytes, peakMegabytesOf(m_process.processId()));
        }
        run.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        run.lines =
            QString::fromUtf8(m_process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        run.errors = QString::fromUtf8(m_process.readAllStandardError());
        return run;
    }

    long peakMegabytes() const { return m_peakMegabytes; }

private:
    // VmHWM of /proc/PID/status: the peak resident size so far.
    static long peakMegabytesOf(qint64 pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::atol(line.c_str() + 6) / 1024;
        return 0;
    }

    QProcess m_process;
    long m_peakMegabytes = 0;
};

std::map<int, QJsonObject> channelLines(const CliRun& run) {
    std::map<int, QJsonObject> channels;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"].toString() == "channel")
            channels[o["channel"].toInt()] = o;
    }
    return channels;
}

class CliHostileRecorder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.start({"--channels", "4"})) << m_sim.lastError(); }
    QStringList live(int seconds) const {
        return {"--port",    QString::number(m_sim.port()), "--password", "1234", "--json", "live",
                "--seconds", QString::number(seconds)};
    }
    // Waits until the client streams live video, then sends `command` to it.
    std::string whenStreaming(const std::string& command) {
        waitUntil(
            [&] {
                const std::string clients = m_sim.admin("clients");
                const auto at = clients.find("live=0x");
                return at != std::string::npos &&
                       std::strtoul(clients.c_str() + at + 7, nullptr, 16) != 0;
            },
            std::chrono::seconds(30));
        return m_sim.admin(command);
    }
    // The client's peak size over the same run with a well-behaved recorder.
    long normalPeakMegabytes(int seconds) {
        BackgroundCli cli(live(seconds));
        whenStreaming("ping");
        const CliRun run = cli.finish();
        EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
        return cli.peakMegabytes();
    }
    SimProcess m_sim;
};

TEST_F(CliHostileRecorder, AKeyFrameFloodKeepsMemoryBoundedAndDecodingGoesOn) {
    const long normal = normalPeakMegabytes(4);
    BackgroundCli cli(live(6));
    EXPECT_EQ(whenStreaming("keyframe-flood 1 4 700000"), "ok 1");
    const CliRun run = cli.finish();
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const auto channels = channelLines(run);
    ASSERT_TRUE(channels.count(1) && channels.count(2)) << run.lines.join('\n').toStdString();
    // The flood's frames were taken from the socket, and the other channels went on.
    EXPECT_GT(channels.at(1)["key_frames"].toInt(), 30);
    EXPECT_GT(channels.at(1)["decoded"].toInt(), 0);
    EXPECT_GT(channels.at(2)["decoded"].toInt(), 0);
    // Queues without a bound grow by the flood's rate less the decoder's; bounded ones hold at
    // most 4 MiB a channel. (On a machine where the decoder keeps up with the flood, both pass:
    // the decoder's own tests hold the bound itself.)
    if (kSizesMeanSomething) {
        EXPECT_LT(cli.peakMegabytes(), normal + 300) << "normal peak " << normal << " MB";
    }
}

TEST_F(CliHostileRecorder, PicturesLargerThanARecorderSendsAreRefusedAndTheNextOnesShown) {
    const long normal = normalPeakMegabytes(4);
    BackgroundCli cli(live(4));
    EXPECT_EQ(whenStreaming("huge-picture 1 3 8192 4320"), "ok 1");
    const CliRun run = cli.finish();
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const auto channels = channelLines(run);
    ASSERT_TRUE(channels.count(1)) << run.lines.join('\n').toStdString();
    const QJsonObject& c = channels.at(1);
    // The channel keeps its usual size, and its key frames after the huge ones decode.
    EXPECT_EQ(c["width"].toInt(), 704);
    EXPECT_EQ(c["height"].toInt(), 480);
    EXPECT_GT(c["decoded"].toInt(), 20);
    EXPECT_LE(c["decoded"].toInt(), c["frames"].toInt() - 3);
    // Decoding the three pictures before refusing them cost about 150 MB more.
    if (kSizesMeanSomething) {
        EXPECT_LT(cli.peakMegabytes(), normal + 60) << "normal peak " << normal << " MB";
    }
}

} // namespace
} // namespace kalder::test
