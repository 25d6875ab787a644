// kalder-cli search years, search day and events against kalder-recorder-sim's recorded disk.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include "sim/recorded_disk.h"
#include "wire/recorder_time.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <set>

namespace kalder::test {
namespace {

// 2024-01-03 15:00:00: the thirty days reach back into 2023.
constexpr std::uint32_t kDiskEnd = 1704294000;
constexpr unsigned kChannels = 8;

class CliSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start({"--channels", std::to_string(kChannels), "--disk-end",
                                  std::to_string(kDiskEnd), "--disk-seed", "4", "--search-fragment",
                                  "100"}))
            << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    void TearDown() override { EXPECT_EQ(s_sim->admin("search-fault all off"), "ok"); }
    static CliRun run(const QStringList& command) {
        return runCli(QStringList{"--port", QString::number(s_sim->port()), "--json"} << command,
                      "1234");
    }
    // The same disk the simulator built.
    static sim::RecordedDisk disk() {
        sim::DiskLayout layout;
        layout.end = kDiskEnd;
        layout.seed = 4;
        layout.channelCount = kChannels;
        return sim::RecordedDisk(layout);
    }
    static SimProcess* s_sim;
};
SimProcess* CliSearch::s_sim = nullptr;

TEST_F(CliSearch, YearsListTheRecordedDaysAndEachDayItsSegments) {
    const CliRun years = run({"search", "years"});
    ASSERT_EQ(years.exitCode, 0) << years.errors.toStdString();
    ASSERT_EQ(years.lines.size(), 2);
    EXPECT_EQ(json(years.lines[0])["year"].toInt(), 2023);
    const QJsonObject y2024 = json(years.lines[1]);
    EXPECT_EQ(y2024["event"].toString(), "year");
    EXPECT_EQ(y2024["year"].toInt(), 2024);
    std::set<QString> listed;
    for (const auto& line : years.lines)
        for (const auto& day : json(line)["days"].toArray())
            listed.insert(day.toString());
    EXPECT_TRUE(listed.count("2024-01-03"));

    const sim::RecordedDisk expected = disk();
    const auto segments = expected.daySegments(2024, 1, 2);
    ASSERT_TRUE(listed.count("2024-01-02"));
    const CliRun day = run({"search", "day", "--date", "2024-01-02"});
    ASSERT_EQ(day.exitCode, 0) << day.errors.toStdString();
    ASSERT_EQ(day.lines.size(), static_cast<qsizetype>(segments.size()));
    for (qsizetype i = 0; i < day.lines.size(); ++i) {
        const QJsonObject s = json(day.lines[i]);
        EXPECT_EQ(s["event"].toString(), "segment");
        EXPECT_EQ(s["start"].toString().toStdString(), formatRecorderTime(segments[i].start));
        EXPECT_EQ(s["end"].toString().toStdString(), formatRecorderTime(segments[i].end));
        std::uint32_t mask = 0;
        for (const auto& c : s["channels"].toArray()) {
            EXPECT_GE(c.toInt(), 1);
            EXPECT_LE(c.toInt(), int(kChannels));
            mask |= 1u << (c.toInt() - 1);
        }
        EXPECT_EQ(mask, segments[i].channels);
        std::uint32_t kinds = 0;
        for (const auto& k : s["kinds"].toArray())
            kinds |= 1u << k.toInt();
        EXPECT_EQ(kinds, segments[i].kinds);
        EXPECT_TRUE(s["motion_continuous"].isArray());
    }
}

TEST_F(CliSearch, ADayWithoutRecordingsTellsNoDataAndSucceeds) {
    const CliRun day = run({"search", "day", "--date", "2019-06-01"});
    EXPECT_EQ(day.exitCode, 0);
    ASSERT_EQ(day.lines.size(), 1);
    const QJsonObject n = json(day.lines[0]);
    EXPECT_EQ(n["event"].toString(), "notification");
    EXPECT_EQ(n["category"].toInt(), 4);
    EXPECT_EQ(n["detail"].toInt(), 0);
}

TEST_F(CliSearch, EventsListEveryEventWithItsTypeName) {
    const CliRun events = run({"events"});
    ASSERT_EQ(events.exitCode, 0) << events.errors.toStdString();
    const auto expected = disk().events();
    ASSERT_EQ(events.lines.size(), static_cast<qsizetype>(expected.size()));
    std::set<QString> types;
    for (const auto& line : events.lines) {
        const QJsonObject e = json(line);
        EXPECT_EQ(e["event"].toString(), "recorder_event");
        types.insert(e["type"].toString());
        EXPECT_LE(e["start"].toString(), e["end"].toString());
        EXPECT_FALSE(e["channels"].toArray().isEmpty());
    }
    EXPECT_EQ(types, (std::set<QString>{"alarm", "motion", "audio"}));
}

// The recorder's refusals and broken replies, through the simulator's knob.
TEST_F(CliSearch, RefusalsAndBrokenReplies) {
    ASSERT_EQ(s_sim->admin("search-fault month 83"), "ok");
    CliRun r = run({"search", "years"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines.isEmpty()) << r.lines.join('\n').toStdString();

    ASSERT_EQ(s_sim->admin("search-fault day 53"), "ok");
    r = run({"search", "day", "--date", "2024-01-02"});
    EXPECT_EQ(r.exitCode, 4);
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_EQ(json(r.lines[0])["category"].toInt(), 6);
    EXPECT_EQ(json(r.lines[0])["detail"].toInt(), 4);

    ASSERT_EQ(s_sim->admin("search-fault event oversize"), "ok");
    r = run({"events"});
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_TRUE(r.lines.isEmpty());

    ASSERT_EQ(s_sim->admin("search-fault event empty"), "ok");
    r = run({"events"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines.isEmpty());
}

TEST_F(CliSearch, UsageErrors) {
    EXPECT_EQ(run({"search", "day", "--date", "2024-02-30"}).exitCode, 2);
    EXPECT_EQ(run({"search", "day", "--date", "2024-01-02 10:00:00"}).exitCode, 2);
    EXPECT_EQ(run({"search", "months"}).exitCode, 2);
    EXPECT_EQ(run({"events", "--all"}).exitCode, 2);
}

} // namespace
} // namespace kalder::test
