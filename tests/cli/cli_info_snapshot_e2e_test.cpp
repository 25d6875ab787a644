// kalder-cli status, sysinfo and snapshot against kalder-recorder-sim: the rows of the
// information views from a reply in pieces, the recorder's refusal, and real snapshot files in
// the three formats read back.
#include "decode/image_files.h"
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace kalder::test {
namespace {

namespace fs = std::filesystem;

QStringList base(const SimProcess& sim) {
    return {"--port", QString::number(sim.port()), "--password", "1234", "--json"};
}

std::vector<QJsonObject> events(const CliRun& run, const QString& kind) {
    std::vector<QJsonObject> out;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"].toString() == kind)
            out.push_back(o);
    }
    return out;
}

fs::path freshFolder(const char* name) {
    const auto folder = fs::path(KALDER_TEST_CACHE_DIR) / "cli-snapshot" / name;
    fs::remove_all(folder);
    return folder;
}

TEST(CliInfo, StatusRowsFromAReplyInPieces) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4", "--set", "status.piece_bytes=5", "--set",
                           "status.disk_size_mb=1572864", "--set", "status.disk_free_mb=1023"}))
        << sim.lastError();
    const CliRun run = runCli(QStringList{base(sim)} << "status");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const auto rows = events(run, "status_row");
    // Three sizes, a gap, four channels, a gap and two rows for each of the two present disks.
    ASSERT_EQ(rows.size(), 3u + 1u + 4u + 1u + 4u);
    EXPECT_EQ(rows[0]["value"].toString(), "  1.50 TByte");
    EXPECT_EQ(rows[1]["value"].toString(), "  1.50 TByte"); // 1535 whole GB of the difference
    EXPECT_EQ(rows[2]["value"].toString(), " 1023 MByte");
    EXPECT_EQ(rows[3]["label"].toString(), "");
    EXPECT_TRUE(rows[4]["label"].toString().endsWith(" 01"));
    EXPECT_FALSE(rows[4]["value"].toString().isEmpty());
    EXPECT_TRUE(rows[9]["label"].toString().endsWith("1"));
    EXPECT_TRUE(rows[9]["value"].toString().contains("38"));
}

TEST(CliInfo, SixteenByteStatusHasNoDiskRowsAndARefusalEndsWithItsNotification) {
    SimProcess shortSim;
    ASSERT_TRUE(shortSim.start(
        {"--channels", "8", "--set", "status.details=0", "--set", "status.system_info=1"}))
        << shortSim.lastError();
    const CliRun run = runCli(QStringList{base(shortSim)} << "status");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(events(run, "status_row").size(), 3u + 1u + 8u);

    SimProcess refusing;
    ASSERT_TRUE(refusing.start({"--channels", "4", "--set", "status.refuse=83"}))
        << refusing.lastError();
    const CliRun refused = runCli(QStringList{base(refusing)} << "status");
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_TRUE(events(refused, "status_row").empty());
    const auto notes = events(refused, "notification");
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back()["category"].toInt(), 4);
    EXPECT_EQ(notes.back()["detail"].toInt(), 0);
}

TEST(CliInfo, SysinfoShowsTheConnectionAndTheGreeting) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4", "--mac", "00:1c:4b:aa:bb:0c"})) << sim.lastError();
    const CliRun run = runCli(QStringList{base(sim)} << "sysinfo");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const auto rows = events(run, "sysinfo_row");
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0]["value"].toString(), "127.0.0.1");
    EXPECT_EQ(rows[1]["value"].toString(), QString::number(sim.port()));
    EXPECT_EQ(rows[3]["value"].toString(), "00:1C:4B:AA:BB:0C");
    EXPECT_TRUE(rows[5].contains("name"));
    EXPECT_TRUE(QRegularExpression("^\\d{4}  \\d{4}  \\d{4}$")
                    .match(rows[5]["value"].toString())
                    .hasMatch())
        << rows[5]["value"].toString().toStdString();
}

TEST(CliSnapshot, SavesEachChannelInEachFormat) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    for (const char* format : {"jpg", "bmp", "tif"}) {
        const fs::path folder = freshFolder(format);
        const CliRun run =
            runCli(QStringList{base(sim)} << "snapshot"
                                          << "--dir" << QString::fromStdString(folder.string())
                                          << "--channels"
                                          << "1,3"
                                          << "--format" << format);
        ASSERT_EQ(run.exitCode, 0) << format << run.errors.toStdString();
        const auto shots = events(run, "snapshot");
        ASSERT_EQ(shots.size(), 2u) << format;
        std::set<int> channels;
        for (const QJsonObject& shot : shots) {
            const int channel = shot["channel"].toInt();
            channels.insert(channel);
            const fs::path file = shot["file"].toString().toStdString();
            EXPECT_EQ(file.parent_path(), folder);
            const QString pattern =
                QString("^\\d{14}_00%1\\.%2$").arg(channel, 2, 10, QChar('0')).arg(format);
            EXPECT_TRUE(QRegularExpression(pattern)
                            .match(QString::fromStdString(file.filename().string()))
                            .hasMatch())
                << file;
            const auto image = readImageFile(file);
            ASSERT_TRUE(image) << file;
            EXPECT_EQ(image->width, 800);
            EXPECT_EQ(image->height, 600);
            // The stamp: cyan pixels in its row band, none far above it.
            int cyan = 0;
            for (int y = 569; y < 590; ++y)
                for (int x = 295; x < 800; ++x) {
                    const std::uint8_t* p = image->at(x, y);
                    cyan += p[0] < 60 && p[1] > 200 && p[2] > 200;
                }
            EXPECT_GT(cyan, 100) << file;
        }
        EXPECT_EQ(channels, (std::set<int>{1, 3}));
    }
}

TEST(CliSnapshot, AFolderThatTakesNoFilesEndsWithExitSeven) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    const fs::path folder = freshFolder("blocked");
    fs::create_directories(folder);
    const fs::path notAFolder = folder / "file";
    std::ofstream(notAFolder) << "x";
    const CliRun run =
        runCli(QStringList{base(sim)} << "snapshot"
                                      << "--dir" << QString::fromStdString(notAFolder.string())
                                      << "--channels"
                                      << "2");
    EXPECT_EQ(run.exitCode, 7) << run.errors.toStdString();
    EXPECT_TRUE(events(run, "snapshot").empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

} // namespace
} // namespace kalder::test
