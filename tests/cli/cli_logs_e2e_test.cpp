// kalder-cli logs against kalder-recorder-sim: the contract's lines, the kinds, refusals.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace kalder::test {
namespace {

QStringList base(const SimProcess& sim) {
    return {"--port", QString::number(sim.port()), "--json"};
}

std::vector<QJsonObject> objects(const CliRun& run) {
    std::vector<QJsonObject> out;
    for (const QString& line : run.lines)
        out.push_back(json(line));
    return out;
}

// One simulator with the archive flag on and short fragments, so that the reply arrives cut
// in odd places (1,001 bytes is no multiple of a record).
class CliLogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(
            s_sim->start({"--set", "recorder.flags=1", "--set", "recorder.log_fragment=1001"}))
            << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    static SimProcess* s_sim;
};
SimProcess* CliLogs::s_sim = nullptr;

TEST_F(CliLogs, AllListsNewestFirstWithTheFiveColumns) {
    const CliRun run = runCli(base(*s_sim) << "logs", "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const auto rows = objects(run);
    ASSERT_GT(rows.size(), 2000u);
    const QRegularExpression seq("^\\d{5}$");
    const QRegularExpression time("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$");
    int previous = 100000;
    for (const QJsonObject& row : rows) {
        EXPECT_EQ(row.keys(),
                  (QStringList{"description", "details", "event", "seq", "source", "time"}));
        EXPECT_EQ(row["event"].toString(), "log");
        EXPECT_TRUE(seq.match(row["seq"].toString()).hasMatch())
            << row["seq"].toString().toStdString();
        EXPECT_TRUE(time.match(row["time"].toString()).hasMatch());
        const int n = row["seq"].toString().toInt();
        EXPECT_LT(n, previous);
        previous = n;
        // The simulator's damaged entries (no kind bit) are listed nowhere; neither are the
        // archive entries in All when the archive flag is set, for the first account.
        EXPECT_FALSE(row["description"].toString().isEmpty()) << n;
        EXPECT_NE(row["details"].toString(), "damaged entry");
        EXPECT_NE(row["details"].toString(), "Archive");
    }
}

TEST_F(CliLogs, KindsFilterTheList) {
    const CliRun events = runCli(base(*s_sim) << "logs"
                                              << "--kind"
                                              << "event",
                                 "1234");
    ASSERT_EQ(events.exitCode, 0) << events.errors.toStdString();
    const auto eventRows = objects(events);
    ASSERT_FALSE(eventRows.empty());
    const QRegularExpression channels("^(\\d{2} )+$");
    QSet<QString> descriptions;
    for (const QJsonObject& row : eventRows) {
        descriptions.insert(row["description"].toString());
        EXPECT_TRUE(channels.match(row["details"].toString()).hasMatch())
            << row["details"].toString().toStdString();
    }
    EXPECT_EQ(descriptions.size(), 5);

    const CliRun archive = runCli(base(*s_sim) << "logs"
                                               << "--kind=archive",
                                  "1234");
    ASSERT_EQ(archive.exitCode, 0);
    ASSERT_FALSE(archive.lines.isEmpty());
    for (const QJsonObject& row : objects(archive))
        EXPECT_EQ(row["details"].toString(), "Archive");

    // The archive list is for the first account only.
    const CliRun other = runCli(base(*s_sim) << "--user"
                                             << "user"
                                             << "logs"
                                             << "--kind"
                                             << "archive",
                                "1111");
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_TRUE(other.lines.isEmpty());

    const CliRun bad = runCli(base(*s_sim) << "logs"
                                           << "--kind"
                                           << "events",
                              "1234");
    EXPECT_EQ(bad.exitCode, 2);
}

TEST(CliLogsRecorder, RefusalShortRecordsAndUnknownSize) {
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--set", "recorder.log_refusal=83"})) << sim.lastError();
        const CliRun run = runCli(base(sim) << "logs", "1234");
        EXPECT_EQ(run.exitCode, 4);
        ASSERT_EQ(run.lines.size(), 1);
        const QJsonObject n = json(run.lines[0]);
        EXPECT_EQ(n["event"].toString(), "notification");
        EXPECT_EQ(n["category"].toInt(), 4);
        EXPECT_EQ(n["detail"].toInt(), 0);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start(
            {"--set", "recorder.log_record_size=184", "--set", "recorder.log_records=100"}))
            << sim.lastError();
        const CliRun run = runCli(base(sim) << "logs"
                                            << "--kind"
                                            << "operation",
                                  "1234");
        ASSERT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.lines.isEmpty());
        const CliRun all = runCli(base(sim) << "logs", "1234");
        EXPECT_EQ(objects(all).front()["seq"].toString(), "00100");
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--set", "recorder.log_record_size=100"})) << sim.lastError();
        const CliRun run = runCli(base(sim) << "logs", "1234");
        EXPECT_EQ(run.exitCode, 8);
        EXPECT_TRUE(run.lines.isEmpty());
    }
}

} // namespace
} // namespace kalder::test
