// kalder-cli record, time, ptz and firmware against kalder-recorder-sim, checked through the
// simulator's device log.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kalder::test {
namespace {

namespace fs = std::filesystem;

class CliDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        // Slot 0's name carries the 11 characters a boot image repeats; account 2 may drive
        // cameras but is not account 0.
        ASSERT_TRUE(s_sim->start({"--channels", "4", "--set", "firmware0.name=Boot-2.1.0 r7",
                                  "--account", "2=OPER:2222:2:ptz,login"}))
            << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    void SetUp() override {
        for (const char* knob :
             {"fw-update-nack 0", "fw-data-fail 0", "fw-update-fail 0", "ptz-camera 3 1",
              "device-log-clear", "record on", "mute DVR_TIME_REQ off", "mute REC_ON_REQ off",
              "mute PTZ_CHANNEL_REQ off", "mute RIGHT_CHANGE off", "mute REC_STATUS off"})
            ASSERT_EQ(s_sim->admin(knob), "ok") << knob;
    }
    static QStringList base(const char* user = "admin") {
        return {"--port", QString::number(s_sim->port()), "--user", user, "--json"};
    }
    // The device log's lines.
    static std::vector<std::string> deviceLog() {
        const std::string reply = s_sim->admin("device-log");
        std::vector<std::string> lines;
        std::size_t at = reply.find('|');
        while (at != std::string::npos) {
            const std::size_t next = reply.find('|', at + 1);
            lines.push_back(reply.substr(at + 1, next == std::string::npos ? next : next - at - 1));
            at = next;
        }
        return lines;
    }
    static SimProcess* s_sim;
};
SimProcess* CliDevice::s_sim = nullptr;

TEST_F(CliDevice, RecordOnAndOffWithTheRightAndThePassword) {
    CliRun run = runCli(base() << "record"
                               << "off",
                        "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(json(run.lines[0])["event"].toString(), "recording");
    EXPECT_FALSE(json(run.lines[0])["on"].toBool());

    run = runCli(base() << "record"
                        << "on",
                 "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(json(run.lines.value(0))["on"].toBool());

    // The user without the stop-recording right: (15,0), nothing sent, still recording.
    run = runCli(base("user") << "record"
                              << "off",
                 "1111");
    EXPECT_EQ(run.exitCode, 4);
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(json(run.lines[0])["category"].toInt(), 15);

    run = runCli(base() << "record"
                        << "on",
                 "1234");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(json(run.lines.value(0))["on"].toBool()); // the refused stop changed nothing
}

TEST_F(CliDevice, TimeReadsTheRecorderClock) {
    ASSERT_EQ(s_sim->admin("time 1167992430"), "ok");
    const CliRun run = runCli(base() << "time", "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    const QString time = json(run.lines[0])["time"].toString();
    // The clock runs on between the two commands.
    EXPECT_TRUE(time.startsWith("2007-01-05 10:20:3")) << time.toStdString();
    EXPECT_EQ(json(run.lines[0])["event"].toString(), "recorder_time");
}

TEST_F(CliDevice, PtzSendsWhatThePanelAndKeypadSend) {
    CliRun run = runCli(base() << "ptz"
                               << "--channel"
                               << "2"
                               << "--mode"
                               << "zoom"
                               << "--move"
                               << "up"
                               << "--ms"
                               << "50",
                        "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(json(run.lines[0])["event"].toString(), "ptz");
    EXPECT_TRUE(json(run.lines[0])["available"].toBool());

    run = runCli(base() << "ptz"
                        << "--channel"
                        << "2"
                        << "--preset"
                        << "call"
                        << "--number"
                        << "999",
                 "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    run = runCli(base() << "ptz"
                        << "--channel"
                        << "1"
                        << "--preset"
                        << "tour"
                        << "--number"
                        << "4",
                 "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const std::vector<std::string> expected = {"ptz-channel 1 mode 1 available 1",
                                               "ptz-move 4 0 ch 1",
                                               "ptz-stop ch 1",
                                               "ptz-channel 1 mode 0 available 1",
                                               "ptz-move 9 999 ch 1",
                                               "ptz-channel 0 mode 0 available 1",
                                               "ptz-move 17 4 ch 0"};
    EXPECT_EQ(deviceLog(), expected);
}

TEST_F(CliDevice, PtzRefusalsSendNothing) {
    ASSERT_EQ(s_sim->admin("ptz-camera 3 0"), "ok");
    CliRun run = runCli(base() << "ptz"
                               << "--channel"
                               << "3"
                               << "--move"
                               << "left",
                        "1234");
    EXPECT_EQ(run.exitCode, 4);
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_FALSE(json(run.lines[0])["available"].toBool());

    // No PTZ right: (15,0) before any PTZ message.
    run = runCli(base("user") << "ptz"
                              << "--channel"
                              << "1"
                              << "--move"
                              << "left",
                 "1111");
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(json(run.lines.value(0))["category"].toInt(), 15);
    // Storing a preset is for account 0 only; recalling is for anyone with the PTZ right.
    run = runCli(base("oper") << "ptz"
                              << "--channel"
                              << "1"
                              << "--preset"
                              << "set"
                              << "--number"
                              << "5",
                 "2222");
    EXPECT_EQ(run.exitCode, 4);
    const std::vector<std::string> expected = {"ptz-channel 2 mode 0 available 0",
                                               "ptz-channel 0 mode 0 available 1"};
    EXPECT_EQ(deviceLog(), expected);

    // Usage: tours run 1-4, presets need a number, one command at a time.
    for (const QStringList& args :
         {QStringList{"--channel", "1", "--preset", "tour", "--number", "5"},
          QStringList{"--channel", "1", "--preset", "call"},
          QStringList{"--channel", "1", "--move", "up", "--preset", "call", "--number", "1"},
          QStringList{"--channel", "17", "--move", "up"}})
        EXPECT_EQ(runCli(base() << "ptz" << args, "1234").exitCode, 2)
            << args.join(' ').toStdString();
}

// A recorder that leaves a request unanswered, or keeps back a record that follows the login:
// the command ends as a lost connection (6) and names what it waited for.
TEST_F(CliDevice, EveryWaitForTheRecorderEndsAndNamesWhatItWaitedFor) {
    QProcessEnvironment shortWait;
    shortWait.insert("KALDER_CLI_REPLY_TIMEOUT_MS", "3000");
    const QStringList record = QStringList{"record", "on"};
    const QStringList ptz = QStringList{"ptz", "--channel", "1", "--move", "up", "--ms", "0"};

    // Record and PTZ act on what the recorder sends after the login, not on the clock's
    // answer.
    ASSERT_EQ(s_sim->admin("mute DVR_TIME_REQ"), "ok");
    CliRun run = runCli(base() << "time", "1234", shortWait);
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_TRUE(run.errors.contains("DVR_TIME_ACK, the answer to DVR_TIME_REQ"))
        << run.errors.toStdString();
    run = runCli(base() << record, "1234", shortWait);
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    run = runCli(base() << ptz, "1234", shortWait);
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(s_sim->admin("mute DVR_TIME_REQ off"), "ok");

    const struct {
        const char* muted;
        QStringList args;
        const char* named;
    } cases[] = {
        {"REC_ON_REQ", record, "REC_ON_ACK or REC_ON_NACK, the answer to REC_ON_REQ"},
        {"PTZ_CHANNEL_REQ", ptz, "PTZ_CHANNEL_ACK, the answer to PTZ_CHANNEL_REQ"},
        {"RIGHT_CHANGE", ptz, "RIGHT_CHANGE (the user's rights), which follow the login"},
        {"RIGHT_CHANGE", record, "RIGHT_CHANGE (the user's rights)"},
        {"REC_STATUS", record, "REC_STATUS (the recording state), which follow the login"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.muted) + ": " + c.args.join(' ').toStdString());
        ASSERT_EQ(s_sim->admin(std::string("mute ") + c.muted), "ok");
        run = runCli(base() << c.args, "1234", shortWait);
        EXPECT_EQ(run.exitCode, 6);
        EXPECT_TRUE(run.errors.contains(c.named)) << run.errors.toStdString();
        // Nothing of the command went out.
        EXPECT_TRUE(run.lines.isEmpty()) << run.lines.join('\n').toStdString();
        ASSERT_EQ(s_sim->admin(std::string("mute ") + c.muted + " off"), "ok");
    }
    // The one PTZ command that ran is the one whose answer came; the others sent nothing to
    // the recorder's devices.
    const std::vector<std::string> log = deviceLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "ptz-channel 0 mode 0 available 1");
    EXPECT_EQ(s_sim->admin("mute NO_SUCH_MESSAGE"), "error unknown message 'NO_SUCH_MESSAGE'");
}

class CliFirmware : public CliDevice {
protected:
    void SetUp() override {
        CliDevice::SetUp();
        // A folder of each test's own: ctest runs the tests of this fixture at once.
        m_dir = fs::path(KALDER_TEST_CACHE_DIR) / "cli-firmware" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        // The simulator's components: app (slot 3) and front (slot 5) built in June 2024.
        writeComponent("app-new.bin", "app", 1800000000u, 20001);
        writeComponent("app-old.bin", "app", 1750000000u, 100);
        writeComponent("front.bin", "front", 1700000000u, 100); // older than the recorder's
        std::string boot = "\x7f\x01\x02VBoot-2.1.0 r7 (Mar 01 2026 - 10:00:00)";
        boot.resize(8000, '\0');
        write("boot.bin", std::vector<char>(boot.begin(), boot.end()));
    }
    void writeComponent(const std::string& file, const std::string& name, std::uint32_t time,
                        std::size_t size) {
        std::vector<char> bytes(size, 'x');
        std::memset(bytes.data(), 0, 64);
        for (int i = 0; i < 4; ++i)
            bytes[8 + i] = static_cast<char>(time >> (24 - 8 * i));
        std::memcpy(bytes.data() + 32, name.data(), name.size());
        write(file, bytes);
    }
    void write(const std::string& file, const std::vector<char>& bytes) {
        std::ofstream(m_dir / file, std::ios::binary).write(bytes.data(), bytes.size());
    }
    QStringList firmware(bool yes) {
        QStringList args = base() << "firmware"
                                  << "--dir" << QString::fromStdString(m_dir.string());
        if (yes)
            args << "--yes";
        return args;
    }
    fs::path m_dir;
};

TEST_F(CliFirmware, ScanListsTheNewerFilesInRowOrder) {
    const CliRun run = runCli(firmware(false), "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 2) << run.lines.join('\n').toStdString();
    const QJsonObject boot = json(run.lines[0]);
    EXPECT_EQ(boot["event"].toString(), "firmware_candidate");
    EXPECT_EQ(boot["row"].toInt(), 0);
    EXPECT_EQ(boot["slot"].toInt(), 0);
    EXPECT_GT(boot["build_time"].toDouble(), 1772000000.0); // March 2026
    const QJsonObject app = json(run.lines[1]);
    EXPECT_EQ(app["row"].toInt(), 1);
    EXPECT_EQ(app["slot"].toInt(), 3);
    EXPECT_EQ(app["name"].toString(), "app");
    EXPECT_EQ(app["build_time"].toDouble(), 1800000000.0);
    EXPECT_TRUE(app["path"].toString().endsWith("app-new.bin"));
    EXPECT_TRUE(deviceLog().empty()); // nothing uploaded without --yes

    // Not account 0: (15,0), no scan.
    const CliRun user = runCli(base("user") << "firmware"
                                            << "--dir" << QString::fromStdString(m_dir.string()),
                               "1111");
    EXPECT_EQ(user.exitCode, 4);
    EXPECT_EQ(json(user.lines.value(0))["category"].toInt(), 15);
}

TEST_F(CliFirmware, UploadsEveryCandidateInChunks) {
    const CliRun run = runCli(firmware(true), "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 4);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject result = json(run.lines[2 + i]);
        EXPECT_EQ(result["event"].toString(), "firmware_result");
        EXPECT_EQ(result["row"].toInt(), i);
        EXPECT_EQ(result["result"].toString(), "done");
        EXPECT_EQ(result["code"].toInt(), 0);
    }
    const std::vector<std::string> log = deviceLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].rfind("fw-request slot 0 time ", 0), 0u) << log[0];
    EXPECT_EQ(log[1].rfind("fw-data slot 0 bytes 8000 messages 1 ", 0), 0u) << log[1];
    EXPECT_EQ(log[2], "fw-request slot 3 time 1800000000 name app");
    EXPECT_EQ(log[3].rfind("fw-data slot 3 bytes 20001 messages 3 ", 0), 0u) << log[3];
    for (int i : {1, 3}) {
        EXPECT_NE(log[i].find("flags ok"), std::string::npos) << log[i];
        EXPECT_NE(log[i].find(" done"), std::string::npos) << log[i];
    }
}

TEST_F(CliFirmware, EachNegativeReplyEndsItsRowAndTheNextGoesOn) {
    struct Case {
        const char* knob;
        const char* result;
        int code;
    };
    const Case cases[] = {{"fw-update-nack 17", "refused", 17},
                          {"fw-data-fail 5", "failed", 5},
                          {"fw-update-fail 9", "failed", 9}};
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(s_sim->admin(c.knob), "ok");
        const CliRun run = runCli(firmware(true), "1234");
        EXPECT_EQ(run.exitCode, 4) << c.knob;
        ASSERT_EQ(run.lines.size(), 4) << c.knob;
        for (int i = 0; i < 2; ++i) {
            const QJsonObject result = json(run.lines[2 + i]);
            EXPECT_EQ(result["row"].toInt(), i);
            EXPECT_EQ(result["result"].toString(), c.result) << c.knob;
            EXPECT_EQ(result["code"].toInt(), c.code) << c.knob;
        }
    }
}

} // namespace
} // namespace kalder::test
