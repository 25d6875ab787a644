// kalder-cli play against a 4-channel kalder-recorder-sim: the period to its end, a run cut by
// --seconds, a refused request and the usage errors.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_disk.h"
#include "tests/sim/sim_process.h"

#include "wire/recorder_time.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

namespace kalder::test {
namespace {

struct PlayReport {
    std::map<int, QJsonObject> channels;
    QJsonObject summary;
    std::vector<QJsonObject> notifications;
};

PlayReport report(const CliRun& run) {
    PlayReport r;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        const QString event = o["event"].toString();
        if (event == "channel")
            r.channels[o["channel"].toInt()] = o;
        else if (event == "play")
            r.summary = o;
        else if (event == "notification")
            r.notifications.push_back(o);
    }
    return r;
}

// The recorder's wall clock is this machine's local time.
QString wallClock(const QDateTime& t) {
    return t.toString("yyyy-MM-dd hh:mm:ss");
}

// A recorder time on the command line and in the output.
QString recorderTime(std::uint32_t time) {
    return QString::fromStdString(formatRecorderTime(time));
}

// A moment from which the simulator's four channels all recorded for `seconds`.
std::uint32_t recordedStart(std::uint32_t seconds) {
    return test::recordedStart(simDisk(4), 4, seconds);
}

class CliPlay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start(withSimDisk({"--channels", "4"}))) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    static QStringList base() {
        return {"--port", QString::number(s_sim->port()), "--password", "1234", "--json"};
    }
    static SimProcess* s_sim;
};
SimProcess* CliPlay::s_sim = nullptr;

TEST_F(CliPlay, PlaysThePeriodToItsEndAndDecodesEveryChannel) {
    ASSERT_EQ(s_sim->admin("title 2 Gate"), "ok");
    const std::uint32_t from = recordedStart(3), to = from + 2;
    const CliRun run =
        runCli(base() << "play"
                      << "--from" << recorderTime(from) << "--to" << recorderTime(to));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const PlayReport r = report(run);
    ASSERT_EQ(r.channels.size(), 4u) << run.lines.join('\n').toStdString();
    qint64 frames = 0;
    for (const auto& [channel, c] : r.channels) {
        SCOPED_TRACE(channel);
        // Three seconds at 30 frames a second, from the key frame before the start.
        EXPECT_GE(c["frames"].toInt(), 80);
        EXPECT_GE(c["key_frames"].toInt(), 3);
        EXPECT_GT(c["decoded"].toInt(), 0);
        EXPECT_EQ(c["width"].toInt(), 704);
        EXPECT_EQ(c["height"].toInt(), 480);
        frames += c["frames"].toInt();
    }
    EXPECT_EQ(r.channels.at(2)["title"].toString(), "Gate");
    EXPECT_TRUE(r.summary["done"].toBool());
    EXPECT_EQ(r.summary["frames"].toInteger(), frames);
    const auto first = parseCivilTime(r.summary["first"].toString().toStdString());
    const auto last = parseCivilTime(r.summary["last"].toString().toStdString());
    ASSERT_TRUE(first && last) << run.lines.join('\n').toStdString();
    // Times in the output read as the times entered (both are the recorder's wall clock); the
    // first frames are the key frames before the start.
    EXPECT_LE(std::abs(encodeCivilTime(*first) - std::int64_t(from)), 1);
    EXPECT_EQ(encodeCivilTime(*last), std::int64_t(to));
}

TEST_F(CliPlay, SecondsEndARunWithoutEnd) {
    const CliRun run = runCli(base() << "play"
                                     << "--from" << recorderTime(recordedStart(10)) << "--channels"
                                     << "3"
                                     << "--seconds"
                                     << "1.5");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const PlayReport r = report(run);
    ASSERT_EQ(r.channels.size(), 1u) << run.lines.join('\n').toStdString();
    EXPECT_GT(r.channels.at(3)["frames"].toInt(), 0); // how many depends on the machine's load
    EXPECT_FALSE(r.summary["done"].toBool());
}

TEST_F(CliPlay, RefusedRequestPrintsItsNotificationAndExitsRefused) {
    const QDateTime future = QDateTime::currentDateTime().addSecs(3600);
    const CliRun run =
        runCli(base() << "play"
                      << "--from" << wallClock(future)); // nothing recorded in the future
    EXPECT_EQ(run.exitCode, 4) << run.errors.toStdString();
    const PlayReport r = report(run);
    ASSERT_EQ(r.notifications.size(), 1u) << run.lines.join('\n').toStdString();
    EXPECT_EQ(r.notifications[0]["category"].toInt(), 4);
    EXPECT_EQ(r.notifications[0]["detail"].toInt(), 0);
    EXPECT_TRUE(r.channels.empty());
}

TEST_F(CliPlay, UsageErrors) {
    for (const QStringList& args :
         {QStringList{"play"}, QStringList{"play", "--from", "2026-02-30"},
          QStringList{"play", "--from", "2026-01-02", "--to", "2026-01-01"},
          QStringList{"play", "--from", "2026-01-02", "--kind", "300"},
          QStringList{"play", "--from", "2026-01-02", "--channels", "17"}}) {
        const CliRun run = runCli(base() << args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace kalder::test
