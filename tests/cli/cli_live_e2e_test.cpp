// kalder-cli live against a 4-channel kalder-recorder-sim: per-channel counts, the summary and
// the snapshot files.
#include "site/site_book.h"
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kalder::test {
namespace {

// The channel lines by 1-based channel, and the closing "live" line.
struct LiveReport {
    std::map<int, QJsonObject> channels;
    QJsonObject summary;
};

LiveReport report(const CliRun& run) {
    LiveReport r;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"].toString() == "channel")
            r.channels[o["channel"].toInt()] = o;
        else if (o["event"].toString() == "live")
            r.summary = o;
    }
    return r;
}

class CliLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start({"--channels", "4"})) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    static QStringList base() {
        return {"--port", QString::number(s_sim->port()), "--password", "1234", "--json"};
    }
    static std::filesystem::path freshFolder(const char* name) {
        const auto folder = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-live" / name;
        std::filesystem::remove_all(folder);
        return folder;
    }
    static SimProcess* s_sim;
};
SimProcess* CliLive::s_sim = nullptr;

TEST_F(CliLive, DecodesEveryChannelAndSavesItsLastPicture) {
    const auto folder = freshFolder("all");
    const CliRun run =
        runCli(base() << "live"
                      << "--seconds"
                      << "3"
                      << "--snapshot-dir" << QString::fromStdString(folder.string()));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const LiveReport r = report(run);
    ASSERT_EQ(r.channels.size(), 4u) << run.lines.join('\n').toStdString();
    qint64 frames = 0;
    qint64 decoded = 0;
    std::map<int, QImage> pictures;
    for (int channel = 1; channel <= 4; ++channel) {
        SCOPED_TRACE(channel);
        ASSERT_TRUE(r.channels.count(channel));
        const QJsonObject& c = r.channels.at(channel);
        EXPECT_GT(c["frames"].toInt(), 30);
        EXPECT_GE(c["key_frames"].toInt(), 1);
        // Frames before the channel's first key frame cannot be decoded; all others are.
        EXPECT_GT(c["decoded"].toInt(), 0);
        EXPECT_LE(c["decoded"].toInt(), c["frames"].toInt());
        EXPECT_GE(c["decoded"].toInt(), c["frames"].toInt() - 30);
        EXPECT_EQ(c["width"].toInt(), 704);
        EXPECT_EQ(c["height"].toInt(), 480);
        EXPECT_FALSE(c["video_loss"].toBool());
        EXPECT_FALSE(c["hidden"].toBool());
        EXPECT_FALSE(c["title"].toString().isEmpty());
        frames += c["frames"].toInt();
        decoded += c["decoded"].toInt();

        char name[16];
        std::snprintf(name, sizeof name, "ch%02d.png", channel);
        const QImage image(QString::fromStdString((folder / name).string()));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), 704);
        EXPECT_EQ(image.height(), 480);
        // A scene, not an empty picture: light and dark parts.
        int darkest = 255;
        int lightest = 0;
        for (int y = 0; y < image.height(); y += 7) {
            for (int x = 0; x < image.width(); x += 5) {
                const int grey = qGray(image.pixel(x, y));
                darkest = std::min(darkest, grey);
                lightest = std::max(lightest, grey);
            }
        }
        EXPECT_GT(lightest - darkest, 100);
        pictures[channel] = image;
    }
    EXPECT_NE(pictures[1], pictures[2]); // each channel shows its own scene
    EXPECT_EQ(r.summary["seconds"].toDouble(), 3);
    EXPECT_EQ(r.summary["frames"].toInteger(), frames);
    EXPECT_EQ(r.summary["decoded"].toInteger(), decoded);
    EXPECT_GT(r.summary["bytes"].toInteger(), frames * 40);
    EXPECT_FALSE(std::filesystem::exists(folder / "ch05.png"));
}

TEST_F(CliLive, ChannelsNarrowTheLiveRequest) {
    const CliRun run = runCli(base() << "live"
                                     << "--seconds"
                                     << "2"
                                     << "--channels"
                                     << "2,3");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const LiveReport r = report(run);
    ASSERT_TRUE(r.channels.count(2) && r.channels.count(3)) << run.lines.join('\n').toStdString();
    EXPECT_GT(r.channels.at(2)["decoded"].toInt(), 0);
    EXPECT_GT(r.channels.at(3)["decoded"].toInt(), 0);
    // Channels 1 and 4 stream only until the narrowed request arrives, if at all.
    for (const int other : {1, 4}) {
        if (r.channels.count(other)) {
            EXPECT_LT(r.channels.at(other)["frames"].toInt(),
                      r.channels.at(2)["frames"].toInt() / 2);
        }
    }
}

TEST_F(CliLive, AChannelWithVideoLossIsReportedWithoutFrames) {
    ASSERT_EQ(s_sim->admin("videoloss 4 1").rfind("ok", 0), 0u);
    const CliRun run = runCli(base() << "live"
                                     << "--seconds"
                                     << "1");
    s_sim->admin("videoloss 4 0");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const LiveReport r = report(run);
    ASSERT_TRUE(r.channels.count(4)) << run.lines.join('\n').toStdString();
    EXPECT_TRUE(r.channels.at(4)["video_loss"].toBool());
    EXPECT_EQ(r.channels.at(4)["decoded"].toInt(), 0);
    EXPECT_FALSE(r.channels.at(1)["video_loss"].toBool());
}

// Two recorders at once, each with its own channels, pictures and folder; a third that refuses
// the connection does not stop them, and its status is the run's.
TEST_F(CliLive, SeveralRecordersRunTogether) {
    SimProcess second;
    ASSERT_TRUE(second.start({"--channels", "4", "--title", "1=SECOND"})) << second.lastError();
    const QString first = "127.0.0.1:" + QString::number(s_sim->port());
    const QString other = "127.0.0.1:" + QString::number(second.port());
    const auto folder = freshFolder("several");
    const CliRun run =
        runCli({"--password", "1234", "--json", "live", "--seconds", "2", "--recorder", first,
                "--recorder", other, "--recorder", "127.0.0.1:1", "--snapshot-dir",
                QString::fromStdString(folder.string())});
    EXPECT_EQ(run.exitCode, 3) << run.errors.toStdString();
    std::map<QString, std::map<int, QJsonObject>> byRecorder;
    QJsonObject summary;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"].toString() == "channel")
            byRecorder[o["recorder"].toString()][o["channel"].toInt()] = o;
        else if (o["event"].toString() == "live")
            summary = o;
    }
    ASSERT_EQ(byRecorder.size(), 2u) << run.lines.join('\n').toStdString();
    qint64 frames = 0;
    for (const QString& recorder : {first, other}) {
        SCOPED_TRACE(recorder.toStdString());
        ASSERT_EQ(byRecorder[recorder].size(), 4u);
        for (const auto& [channel, line] : byRecorder[recorder]) {
            EXPECT_GT(line["decoded"].toInt(), 0) << channel;
            frames += line["frames"].toInt();
        }
        const std::filesystem::path pictures =
            folder / recorder.toStdString().replace(recorder.indexOf(':'), 1, "-");
        EXPECT_FALSE(QImage(QString::fromStdString((pictures / "ch01.png").string())).isNull());
    }
    EXPECT_EQ(byRecorder[first][1]["title"].toString(), "CH1");
    EXPECT_EQ(byRecorder[other][1]["title"].toString(), "SECOND");
    EXPECT_EQ(summary["recorders"].toInt(), 3);
    EXPECT_EQ(summary["frames"].toInteger(), frames);
}

// --site takes the recorders of a site from the desktop client's settings store, with each
// recorder's user id; a site it does not hold is a usage error that names it.
TEST_F(CliLive, SiteOfTheAddressBookRunsItsRecorders) {
    SimProcess second;
    ASSERT_TRUE(second.start({"--channels", "4", "--title", "1=SECOND"})) << second.lastError();
    const auto config = freshFolder("site-config");
    {
        // Where the client keeps its store for a user whose configuration folder is `config`.
        QSettings store(QString::fromStdString((config / "Tarsel" / "Kalder.conf").string()),
                        QSettings::IniFormat);
        SiteBook book(store);
        ASSERT_TRUE(book.add(Site{"North gate",
                                  {{"127.0.0.1", s_sim->port(), "admin"},
                                   {"localhost", second.port(), "admin"}}})
                        .ok());
        ASSERT_TRUE(book.save());
    }
    QProcessEnvironment env;
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
    // The global user is wrong: each recorder logs in with the site's user id.
    const CliRun run = runCli({"--user", "nobody", "--password", "1234", "--json", "live",
                               "--seconds", "2", "--site", "north GATE"},
                              {}, env);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    std::map<QString, int> decodedChannels;
    QJsonObject summary;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"].toString() == "channel" && o["decoded"].toInt() > 0)
            ++decodedChannels[o["recorder"].toString()];
        else if (o["event"].toString() == "live")
            summary = o;
    }
    EXPECT_EQ(decodedChannels["127.0.0.1:" + QString::number(s_sim->port())], 4);
    EXPECT_EQ(decodedChannels["localhost:" + QString::number(second.port())], 4);
    EXPECT_EQ(summary["recorders"].toInt(), 2);

    const CliRun unknown = runCli(base() + QStringList{"live", "--site", "South yard"}, {}, env);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.contains("South yard")) << unknown.errors.toStdString();
}

TEST_F(CliLive, BadArgumentsAreUsageErrors) {
    const QStringList cases[] = {
        {"live", "--seconds", "0"},
        {"live", "--seconds", "x"},
        {"live", "--channels", "0"},
        {"live", "--channels", "17"},
        {"live", "--channels", "1,,2"},
        {"live", "--frobnicate"},
        {"live", "--recorder", "127.0.0.1"},
        {"live", "--recorder", "127.0.0.1:0"},
        {"live", "--recorder", ":2000"},
        {"live", "--recorder", "127.0.0.1:70000"},
        {"live", "--site", ""},
        {"live", "--site", "A", "--recorder", "127.0.0.1:2000"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(runCli(base() + args).exitCode, 2);
    }
}

} // namespace
} // namespace kalder::test
