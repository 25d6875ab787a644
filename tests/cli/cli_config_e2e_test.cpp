// kalder-cli config get|put|show against kalder-recorder-sim: read the record, change a field,
// write it back, read it again.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QFile>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace kalder::test {
namespace {

QString tempFile(const char* name) {
    const auto dir = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-config";
    std::filesystem::create_directories(dir);
    const auto file = dir / name;
    std::filesystem::remove(file);
    return QString::fromStdString(file.string());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The value of field `name` element `index` in `config show --json` output.
QJsonValue fieldValue(const QStringList& lines, const QString& name, int index) {
    for (const QString& line : lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "config_field" && o["name"] == name && o["index"] == index)
            return o["value"];
    }
    return {};
}

class CliConfig : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start()) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    static QStringList base(const char* user = "admin", const char* password = "1234") {
        return {"--port", QString::number(s_sim->port()), "--user", user, "--password", password,
                "--json"};
    }
    static SimProcess* s_sim;
};
SimProcess* CliConfig::s_sim = nullptr;

TEST_F(CliConfig, GetChangePutAndGetAgain) {
    const QString file = tempFile("record.bin");
    CliRun run = runCli(base() << "config"
                               << "get"
                               << "--out" << file);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    const QJsonObject got = json(run.lines[0]);
    EXPECT_EQ(got["event"].toString(), "config");
    EXPECT_EQ(got["bytes"].toInt(), 8180);
    EXPECT_TRUE(got["crc_ok"].toBool());
    EXPECT_EQ(got["record_version"].toString(), "5.0");
    QByteArray bytes = readAll(file);
    ASSERT_EQ(bytes.size(), 8180);

    run = runCli({"--json", "config", "show", file});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(fieldValue(run.lines, "camera_title", 2).toString(), "CH3");
    EXPECT_EQ(fieldValue(run.lines, "account_name", 1).toString(), "USER");
    EXPECT_EQ(fieldValue(run.lines, "rec_time_2", 0).toInt(), 120);

    // Channel 3's title and USER's remote-setup right, changed in the file; the old CRC stays:
    // put seals the record afresh.
    bytes.replace(4 + 88 + 64, 5, QByteArray("Gate\0", 5));
    bytes[4 + 5624 + 8 + 1] = 1;
    ASSERT_TRUE(writeAll(file, bytes));
    run = runCli(base() << "config"
                        << "put" << file);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_FALSE(run.lines.isEmpty());
    const QJsonObject saved = json(run.lines.last());
    EXPECT_EQ(saved["category"].toInt(), 10);
    EXPECT_EQ(saved["detail"].toInt(), 0);

    // USER may now read the record, and sees the new title.
    run = runCli(base("user", "1111") << "config"
                                      << "show"
                                      << "--recorder");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(fieldValue(run.lines, "camera_title", 2).toString(), "Gate");
    EXPECT_EQ(fieldValue(run.lines, "camera_title", 3).toString(), "CH4");
    EXPECT_EQ(fieldValue(run.lines, "right", 9).toInt(), 1);

    // The factory record again for the other tests.
    bytes.replace(4 + 88 + 64, 4, QByteArray("CH3\0", 4));
    bytes[4 + 5624 + 8 + 1] = 0;
    ASSERT_TRUE(writeAll(file, bytes));
    ASSERT_EQ(runCli(base() << "config"
                            << "put" << file)
                  .exitCode,
              0);
}

TEST_F(CliConfig, RefusalsAndIntegrityFailures) {
    // No remote-setup right: the recorder refuses the fetch.
    const QString file = tempFile("refused.bin");
    CliRun run = runCli(base("user", "1111") << "config"
                                             << "get"
                                             << "--out" << file);
    EXPECT_EQ(run.exitCode, 4);
    ASSERT_FALSE(run.lines.isEmpty());
    EXPECT_EQ(json(run.lines[0])["category"].toInt(), 6);
    EXPECT_FALSE(QFile::exists(file));

    // A damaged transfer: notification (9,0), exit 8, and no file that a later put could seal.
    ASSERT_EQ(s_sim->admin("config-crc bad"), "ok");
    run = runCli(base() << "config"
                        << "get"
                        << "--out" << file);
    ASSERT_EQ(s_sim->admin("config-crc good"), "ok");
    EXPECT_EQ(run.exitCode, 8) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 2);
    EXPECT_EQ(json(run.lines[0])["category"].toInt(), 9);
    EXPECT_FALSE(json(run.lines[1])["crc_ok"].toBool());
    EXPECT_FALSE(QFile::exists(file));

    // The recorder refuses the update: its notification, exit 4.
    ASSERT_EQ(runCli(base() << "config"
                            << "get"
                            << "--out" << file)
                  .exitCode,
              0);
    ASSERT_EQ(s_sim->admin("config-nack 51"), "ok");
    run = runCli(base() << "config"
                        << "put" << file);
    ASSERT_EQ(s_sim->admin("config-nack 0"), "ok");
    EXPECT_EQ(run.exitCode, 4);
    ASSERT_FALSE(run.lines.isEmpty());
    const QJsonObject refused = json(run.lines.last());
    EXPECT_EQ(refused["category"].toInt(), 7);
    EXPECT_EQ(refused["detail"].toInt(), 2);

    // A file of a length the recorder does not use: refused with 1 → (7,0).
    QByteArray bytes = readAll(file);
    bytes.chop(1);
    const QString shortFile = tempFile("short.bin");
    ASSERT_TRUE(writeAll(shortFile, bytes));
    run = runCli(base() << "config"
                        << "put" << shortFile);
    EXPECT_EQ(run.exitCode, 4);

    // A file whose CRC does not match shows its fields but fails the check.
    bytes = readAll(file);
    bytes[100] = static_cast<char>(bytes[100] ^ 1);
    ASSERT_TRUE(writeAll(shortFile, bytes));
    run = runCli({"--json", "config", "show", shortFile});
    EXPECT_EQ(run.exitCode, 8);
    EXPECT_GT(run.lines.size(), 1000);

    EXPECT_EQ(runCli({"config", "get"}).exitCode, 2);
    EXPECT_EQ(runCli({"config", "frobnicate"}).exitCode, 2);
}

// Older formats and records longer than the working copy come and go at their own length.
// A recorder that never answers the fetch or the update: the command ends as a lost
// connection and names the answer it waited for.
TEST_F(CliConfig, AnUnansweredFetchOrUpdateEndsAndSaysWhatItWaitedFor) {
    QProcessEnvironment shortWait;
    shortWait.insert("KALDER_CLI_REPLY_TIMEOUT_MS", "3000");
    const QString file = tempFile("unanswered.bin");
    ASSERT_EQ(runCli(base() << "config"
                            << "get"
                            << "--out" << file)
                  .exitCode,
              0);

    ASSERT_EQ(s_sim->admin("mute DB_INFO_REQ"), "ok");
    CliRun run = runCli(base() << "config"
                               << "show"
                               << "--recorder",
                        {}, shortWait);
    ASSERT_EQ(s_sim->admin("mute DB_INFO_REQ off"), "ok");
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_TRUE(run.errors.contains("the answer to DB_INFO_REQ")) << run.errors.toStdString();

    ASSERT_EQ(s_sim->admin("mute DB_UPDATE_REQ"), "ok");
    run = runCli(base() << "config"
                        << "put" << file,
                 {}, shortWait);
    ASSERT_EQ(s_sim->admin("mute DB_UPDATE_REQ off"), "ok");
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_TRUE(run.errors.contains("the answer to DB_UPDATE_REQ")) << run.errors.toStdString();
}

TEST(CliConfigFormats, OlderVersionAndLongerRecord) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--record-version", "4.6", "--record-length", "9000"}))
        << sim.lastError();
    const QStringList base = {"--port", QString::number(sim.port()), "--password", "1234",
                              "--json"};
    const QString file = tempFile("long.bin");
    CliRun run = runCli(QStringList(base) << "config"
                                          << "get"
                                          << "--out" << file);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QJsonObject got = json(run.lines[0]);
    EXPECT_EQ(got["bytes"].toInt(), 9004);
    EXPECT_EQ(got["record_version"].toString(), "4.6");
    run = runCli(QStringList(base) << "config"
                                   << "put" << file);
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
}

// Elements of field `name` that `config show --json` lists, in order.
std::vector<int> shownIndexes(const QStringList& lines, const QString& name) {
    std::vector<int> indexes;
    for (const QString& line : lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "config_field" && o["name"] == name)
            indexes.push_back(o["index"].toInt());
    }
    return indexes;
}

// A record that ends inside an array shows the elements it holds of it, and nothing past its
// end: 6768 bytes end after eight of the sixteen notify_a_channel bytes, 700 bytes after twelve
// of profile_b_rate's.
TEST(CliConfigFormats, ShortRecordShowsTheElementsOfTheArrayItEndsIn) {
    const struct {
        const char* length;
        const char* field;
        int held;
        const char* after; // the next field, not held at all
    } cases[] = {{"6768", "notify_a_channel", 8, nullptr},
                 {"700", "profile_b_rate", 12, "profile_b_audio"}};
    for (const auto& c : cases) {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--record-length", c.length})) << sim.lastError();
        const QString file = tempFile("partial.bin");
        CliRun run = runCli({"--port", QString::number(sim.port()), "--password", "1234", "--json",
                             "config", "get", "--out", file});
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
        run = runCli({"--json", "config", "show", file});
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
        std::vector<int> expected(static_cast<std::size_t>(c.held));
        for (int i = 0; i < c.held; ++i)
            expected[static_cast<std::size_t>(i)] = i;
        EXPECT_EQ(shownIndexes(run.lines, c.field), expected) << c.length;
        if (c.after) {
            EXPECT_TRUE(shownIndexes(run.lines, c.after).empty()) << c.length;
        }
        // The plain output keeps its "name[i] = value" lines for the same elements.
        run = runCli({"config", "show", file});
        ASSERT_EQ(run.exitCode, 0);
        const QString last = QStringLiteral("%1[%2] = ").arg(c.field).arg(c.held - 1);
        const QString past = QStringLiteral("%1[%2] = ").arg(c.field).arg(c.held);
        EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(), [&](const QString& l) {
            return l.startsWith(last);
        })) << c.length;
        EXPECT_FALSE(std::any_of(run.lines.begin(), run.lines.end(), [&](const QString& l) {
            return l.startsWith(past);
        })) << c.length;
    }
}

} // namespace
} // namespace kalder::test
