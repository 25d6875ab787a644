// kalder-cli probe as other tools run it: a separate process against kalder-recorder-sim.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace kalder::test {
namespace {

class CliProbe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start()) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    static QStringList base() { return {"--port", QString::number(s_sim->port())}; }
    static SimProcess* s_sim;
};
SimProcess* CliProbe::s_sim = nullptr;

TEST_F(CliProbe, JsonProbePrintsTheHelloEventAndSucceeds) {
    // Mixed-case credentials from the environment (the simulator's account is ADMIN / 1234).
    const CliRun run = runCli(base() << "--user"
                                     << "AdMiN"
                                     << "--json"
                                     << "probe",
                              "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    const QJsonObject hello = json(run.lines[0]);
    EXPECT_EQ(hello["event"].toString(), "hello");
    EXPECT_EQ(hello["product_number"].toInt(), 4);
    EXPECT_EQ(hello["channels"].toInt(), 16);
    EXPECT_EQ(hello["protocol_version"].toString().count('.'), 1);
    EXPECT_EQ(hello["mac"].toString().size(), 17);
    const QJsonArray firmware = hello["firmware"].toArray();
    ASSERT_FALSE(firmware.isEmpty());
    for (const auto& slot : firmware) {
        const int s = slot.toObject()["slot"].toInt();
        EXPECT_TRUE(s == 0 || (s >= 3 && s <= 6)) << s;
        EXPECT_GT(slot.toObject()["build_time"].toDouble(), 0);
    }
}

// The trace goes to standard error only: the JSON lines on standard output stay as they are.
TEST_F(CliProbe, TraceWritesTheExchangeToStandardError) {
    const CliRun run = runCli(base() << "--trace"
                                     << "--json"
                                     << "probe",
                              "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(json(run.lines[0])["event"].toString(), "hello");
    for (const char* line :
         {"kalder.net: -> HELLO (1)", "kalder.net: <- HELLO48_ACK (5)", "kalder.net: -> BYE48 (4)"})
        EXPECT_TRUE(run.errors.contains(QLatin1String(line))) << line << "\n"
                                                              << run.errors.toStdString();

    const CliRun quiet = runCli(base() << "--json"
                                       << "probe",
                                "1234");
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_FALSE(quiet.errors.contains(QLatin1String("kalder.net"))) << quiet.errors.toStdString();
}

TEST_F(CliProbe, ExitStatusesTellWhatHappened) {
    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
        int category, detail; // expected notification, -1 for none
    };
    const Case cases[] = {
        {"wrong password",
         base() << "--password"
                << "9999"
                << "--json"
                << "probe",
         4, 3, 1},
        {"usage", QStringList{"--port", "x", "probe"}, 2, -1, -1},
        {"unknown command", QStringList{"frobnicate"}, 2, -1, -1},
        {"name not resolved", QStringList{"--host", "no-such-host.invalid", "probe"}, 3, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.errors.toStdString();
        if (c.category >= 0) {
            ASSERT_FALSE(run.lines.isEmpty());
            const QJsonObject n = json(run.lines[0]);
            EXPECT_EQ(n["event"].toString(), "notification");
            EXPECT_EQ(n["category"].toInt(), c.category);
            EXPECT_EQ(n["detail"].toInt(), c.detail);
            EXPECT_FALSE(n["text"].toString().isEmpty());
        }
    }
}

TEST_F(CliProbe, RefusedConnectionExitsThree) {
    SimProcess gone;
    ASSERT_TRUE(gone.start()) << gone.lastError();
    const QString port = QString::number(gone.port());
    gone.stop();
    const CliRun run = runCli({"--port", port, "--json", "probe"});
    EXPECT_EQ(run.exitCode, 3);
    ASSERT_EQ(run.lines.size(), 1);
    const QJsonObject n = json(run.lines[0]);
    EXPECT_EQ(n["category"].toInt(), 1);
    EXPECT_EQ(n["detail"].toInt(), 1);
}

TEST_F(CliProbe, OtherProductFamiliesExitFive) {
    ASSERT_EQ(s_sim->admin("product 2"), "ok");
    const CliRun run = runCli(base() << "--password"
                                     << "1234"
                                     << "probe");
    ASSERT_EQ(s_sim->admin("product 4"), "ok");
    EXPECT_EQ(run.exitCode, 5) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("Not Kalder !"));
}

TEST_F(CliProbe, WithdrawnLoginExitsFour) {
    ASSERT_EQ(s_sim->admin("right 0 level 0"), "ok");
    const CliRun run = runCli(base() << "--password"
                                     << "1234"
                                     << "--json"
                                     << "probe");
    ASSERT_EQ(s_sim->admin("right 0 level 1"), "ok");
    EXPECT_EQ(run.exitCode, 4) << run.errors.toStdString();
    bool sawRefusal = false;
    for (const QString& line : run.lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "notification" && o["category"].toInt() == 15)
            sawRefusal = true;
    }
    EXPECT_TRUE(sawRefusal);
}

TEST(CliProbeLost, ConnectionClosedBeforeLoginExitsSix) {
    // A listener that takes the connection and the HELLO, then hangs up.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::thread peer([listener] {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        char hello[48];
        std::size_t got = 0;
        while (got < sizeof hello) {
            const ssize_t n = ::recv(fd, hello + got, sizeof hello - got, 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    const CliRun run = runCli({"--port", QString::number(ntohs(a.sin_port)), "--json", "probe"});
    peer.join();
    ::close(listener);
    EXPECT_EQ(run.exitCode, 6) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(json(run.lines[0])["category"].toInt(), 2);
}

} // namespace
} // namespace kalder::test
