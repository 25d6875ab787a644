// kalder-cli backup against kalder-recorder-sim's recorded disk: the sets on disk read back with
// the set records, Stop by SIGINT, the recorder's failure and refusals, the free-space rule.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include "files/backup_set_records.h"
#include "files/data_file.h"
#include "sim/media_source.h"
#include "sim/recorded_disk.h"
#include "wire/frame_info.h"
#include "wire/recorder_time.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

namespace kalder::test {
namespace {

// 2024-01-03 15:00:00, seed 4: the disk the search tests use.
constexpr std::uint32_t kDiskEnd = 1704294000;
constexpr unsigned kChannels = 4;

struct BackupReport {
    QJsonObject size;
    QJsonObject done;
    int progressLines = 0;
    std::vector<QJsonObject> notifications;
};

BackupReport report(const QStringList& lines) {
    BackupReport r;
    for (const QString& line : lines) {
        const QJsonObject o = json(line);
        const QString event = o["event"].toString();
        if (event == "backup_size")
            r.size = o;
        else if (event == "backup_done")
            r.done = o;
        else if (event == "backup_progress")
            ++r.progressLines;
        else if (event == "notification")
            r.notifications.push_back(o);
    }
    return r;
}

// The simulator's "backup-status" as numbers; "channels" as channel 1-16 -> frames.
struct SimBackupStatus {
    std::map<std::string, std::uint64_t> values;
    std::array<std::uint64_t, 16> channels{};
};

SimBackupStatus parseStatus(const std::string& reply) {
    SimBackupStatus s;
    std::istringstream in(reply);
    std::string word;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (key == "channels") {
            std::istringstream list(value);
            std::string item;
            for (std::size_t c = 0; c < 16 && std::getline(list, item, ','); ++c)
                s.channels[c] = std::stoull(item);
        } else {
            s.values[key] = std::stoull(value);
        }
    }
    return s;
}

// A set read back whole with the set records, as the local player reads it.
struct SetContents {
    bool readable = false;
    std::array<std::optional<FileHeader>, 3> headers;
    std::array<std::optional<FileTrailer>, 3> trailers;
    std::optional<SetSummary> summary;
    std::vector<SegmentEntry> segments;
    std::vector<BackupFrameHeader> frames;
    std::array<std::uint64_t, 16> framesPerChannel{};
    // Frames stored with an audio section, and those whose sound is not the recorder's signal
    // of that moment.
    std::array<std::uint64_t, 16> audioFramesPerChannel{};
    std::uint64_t wrongSound = 0;
};

// The 512 samples the simulator's audio channel `channel` recorded with its frame at `ms` (30
// frames a second): the element that begins within the frame.
std::array<std::uint8_t, sim::kAudioElementBytes> recordedSound(unsigned channel,
                                                                std::uint64_t ms) {
    const std::uint64_t frame = (ms * 30 + 999) / 1000;
    const std::uint64_t firstSample = frame * sim::kAudioSampleRate / 30;
    const std::uint64_t element =
        (firstSample + sim::kAudioElementBytes - 1) / sim::kAudioElementBytes;
    std::array<std::uint8_t, sim::kAudioElementBytes> out;
    sim::MediaSource::fillAudioElement(channel, element * sim::kAudioElementBytes, out);
    return out;
}

SetContents readSet(const std::filesystem::path& folder, const std::string& base) {
    SetContents set;
    const std::uint32_t value = static_cast<std::uint32_t>(std::stoul(base, nullptr, 16));
    const BackupSetFiles names = backupSetFiles(folder, value);
    std::array<std::vector<std::byte>, 3> files;
    const std::array<std::filesystem::path, 3> paths{names.idx, names.vih, names.vid};
    for (std::size_t i = 0; i < 3; ++i) {
        auto bytes = readDataFile(paths[i], std::size_t(1) << 30);
        if (!bytes || bytes->size() < kFileHeaderSize + kFileTrailerSize)
            return set;
        files[i] = std::move(*bytes);
        const std::span<const std::byte> all(files[i]);
        set.headers[i] = decodeFileHeader(all);
        set.trailers[i] = decodeFileTrailer(all.last(kFileTrailerSize));
    }
    const std::span<const std::byte> idx(files[0]), vih(files[1]), vid(files[2]);
    set.summary = decodeSetSummary(idx.subspan(kSetSummaryOffset));
    if (!set.summary || set.summary->segmentCount > kMaxSetSegments)
        return set;
    for (std::size_t n = 0; n < set.summary->segmentCount; ++n)
        if (const auto entry = decodeSegmentEntry(idx.subspan(segmentSlotOffset(n))))
            set.segments.push_back(*entry);
    for (std::size_t at = kFirstFrameOffset;
         at + kBackupFrameHeaderSize + kFileTrailerSize <= vih.size();
         at += kBackupFrameHeaderSize) {
        const auto header = decodeBackupFrameHeader(vih.subspan(at));
        if (!header || header->vidOffset >= vid.size())
            return set;
        const auto block = decodeFrameInfoBlock(vid.subspan(header->vidOffset));
        if (!block)
            return set;
        set.frames.push_back(*header);
        const unsigned channel = block->channel & 0x0F;
        ++set.framesPerChannel[channel];
        if (block->audioLength > 0) {
            // The element the client plays: the last 512 bytes of the audio section.
            const std::uint64_t element = header->vidOffset + kFrameInfoBlockSize +
                                          block->videoLength + block->audioLength -
                                          sim::kAudioElementBytes;
            if (block->audioLength < sim::kAudioElementBytes ||
                element + sim::kAudioElementBytes > vid.size())
                return set;
            ++set.audioFramesPerChannel[channel];
            const auto expected =
                recordedSound(channel, std::uint64_t(block->infoWord) * 1000 + block->infoHalf);
            set.wrongSound +=
                std::memcmp(vid.data() + element, expected.data(), expected.size()) != 0;
        }
    }
    set.readable = true;
    return set;
}

// Every file of the set ends with its trailer, and the trailers agree.
void expectClosedWhole(const SetContents& set) {
    ASSERT_TRUE(set.readable);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(set.headers[i] && set.trailers[i]);
        EXPECT_EQ(set.headers[i]->magic, kSetOpenMagic);
        EXPECT_EQ(set.trailers[i]->magic, kSetCloseMagic);
        EXPECT_EQ(set.headers[i]->continuationLink, 0u);
    }
    EXPECT_EQ(set.trailers[0]->nextSetLink, 0u);
    ASSERT_TRUE(set.summary);
    EXPECT_EQ(set.summary->magic, kSetSummaryMagic);
    EXPECT_EQ(set.summary->segmentCount, set.segments.size());
    ASSERT_FALSE(set.frames.empty());
    EXPECT_EQ(set.frames.front().previousHeaderOffset, kFirstFrameOffset);
    EXPECT_EQ(set.trailers[1]->lastHeaderOffset,
              kFirstFrameOffset + (set.frames.size() - 1) * kBackupFrameHeaderSize);
}

class CliBackup : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start({"--channels", std::to_string(kChannels), "--resolution", "CIF",
                                  "--disk-end", std::to_string(kDiskEnd), "--disk-seed", "4"}))
            << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }
    void SetUp() override {
        m_dir = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-backup" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override {
        EXPECT_EQ(s_sim->admin("backup-rate 0"), "ok");
        EXPECT_EQ(s_sim->admin("backup-size 0"), "ok");
        EXPECT_EQ(s_sim->admin("audio-channel 1"), "ok");
    }
    QStringList args(std::uint32_t from, std::uint32_t to, std::uint16_t mask) const {
        QStringList channels;
        for (unsigned c = 0; c < 16; ++c)
            if ((mask >> c) & 1u)
                channels << QString::number(c + 1);
        return {"--port",     QString::number(s_sim->port()),
                "--json",     "backup",
                "--from",     QString::fromStdString(formatRecorderTime(from)),
                "--to",       QString::fromStdString(formatRecorderTime(to)),
                "--channels", channels.join(','),
                "--dir",      QString::fromStdString(m_dir.string())};
    }
    static SimBackupStatus simStatus() { return parseStatus(s_sim->admin("backup-status")); }
    // Two recorded periods one after the other that share channels, and those channels.
    static std::tuple<sim::DiskPeriod, sim::DiskPeriod, std::uint16_t> adjacentPeriods() {
        sim::DiskLayout layout;
        layout.end = kDiskEnd;
        layout.seed = 4;
        layout.channelCount = kChannels;
        const sim::RecordedDisk disk(layout);
        const auto& periods = disk.periods();
        for (std::size_t i = periods.size() - 1; i > 0; --i) {
            const auto mask =
                static_cast<std::uint16_t>(periods[i - 1].channels & periods[i].channels & 0x000F);
            if (mask && periods[i].start - periods[i - 1].end >= 3)
                return {periods[i - 1], periods[i], mask};
        }
        ADD_FAILURE() << "no two periods with a gap and shared channels";
        return {};
    }
    // Starts kalder-cli as runCli does, for a run the test interrupts.
    void startCli(QProcess& p, const QStringList& arguments) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const auto home = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-home";
        std::filesystem::create_directories(home);
        env.insert("HOME", QString::fromStdString(home.string()));
        env.insert("KALDER_PASSWORD", "1234");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KALDER_PROGRAM_DIR "/kalder-cli"), arguments);
    }
    // Reads standard output until a progress line came; the lines so far go to `lines`.
    static bool waitForProgress(QProcess& p, QStringList& lines) {
        for (int i = 0; i < 600; ++i) {
            p.waitForReadyRead(100);
            while (p.canReadLine()) {
                lines << QString::fromUtf8(p.readLine()).trimmed();
                if (lines.back().contains("backup_progress"))
                    return true;
            }
            if (p.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    static CliRun finishRun(QProcess& p, QStringList lines) {
        CliRun run;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return run;
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        lines << QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        run.lines = lines;
        run.errors = QString::fromUtf8(p.readAllStandardError());
        return run;
    }

    std::filesystem::path m_dir;
    static SimProcess* s_sim;
};
SimProcess* CliBackup::s_sim = nullptr;

TEST_F(CliBackup, BacksUpAPeriodAcrossTwoRecordingsIntoOneClosedSet) {
    const auto [first, second, mask] = adjacentPeriods();
    const std::uint32_t from = first.end - 2, to = second.start + 2;
    // The recorder's audio on the lowest channel backed up.
    const unsigned audioChannel = static_cast<unsigned>(std::countr_zero(mask));
    ASSERT_EQ(s_sim->admin("audio-channel " + std::to_string(audioChannel + 1)), "ok");
    const CliRun run = runCli(args(from, to, mask), "1234");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString() << run.lines.join('\n').toStdString();
    const BackupReport r = report(run.lines);
    const SimBackupStatus sent = simStatus();

    // The size is the recorder's, and what came is what it announced.
    EXPECT_EQ(std::uint64_t(r.size["kbytes"].toInteger()), sent.values.at("kbytes"));
    EXPECT_EQ(r.done["result"].toString(), "done");
    EXPECT_EQ(std::uint64_t(r.done["frames"].toInteger()), sent.values.at("frames"));
    EXPECT_EQ(std::uint64_t(r.done["bytes"].toInteger()), sent.values.at("bytes"));
    EXPECT_EQ((sent.values.at("bytes") + 1023) / 1024, sent.values.at("kbytes"));
    ASSERT_EQ(r.done["sets"].toArray().size(), 1) << run.lines.join('\n').toStdString();

    const SetContents set = readSet(m_dir, r.done["sets"].toArray()[0].toString().toStdString());
    expectClosedWhole(set);
    // Three seconds of each recording per chosen channel, as the simulator sent them. The
    // recorder's audio channel stored its sound with its frames: 8000 samples a second in
    // 512-sample elements, each the signal of its moment.
    for (unsigned c = 0; c < 16; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(set.framesPerChannel[c], sent.channels[c]);
        EXPECT_EQ(set.framesPerChannel[c], ((mask >> c) & 1u) ? 2u * 3u * 30u : 0u);
        if (c == audioChannel)
            EXPECT_NEAR(double(set.audioFramesPerChannel[c]), 2 * 3 * 8000.0 / 512, 2);
        else
            EXPECT_EQ(set.audioFramesPerChannel[c], 0u);
    }
    EXPECT_EQ(set.wrongSound, 0u);
    // The segment key changes between the recordings: two segments within the period.
    ASSERT_EQ(set.segments.size(), 2u);
    EXPECT_EQ(set.segments[0].start, from);
    EXPECT_EQ(set.segments[1].start, second.start);
    EXPECT_EQ(set.summary->earliestStart, from);
    EXPECT_EQ(set.summary->latestEnd, to);
    EXPECT_EQ(set.segments[0].channelMask, mask);

    // Without the recorder: the set replays through the decoders, every frame the simulator
    // sent per channel, across both recordings.
    const CliRun play =
        runCli({"--json", "local", "play", "--dir", QString::fromStdString(m_dir.string()),
                "--from", QString::fromStdString(formatRecorderTime(from))});
    ASSERT_EQ(play.exitCode, 0) << play.errors.toStdString();
    std::array<std::uint64_t, 16> played{};
    std::uint64_t summaryFrames = 0;
    for (const QString& line : play.lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "channel") {
            const int channel = o["channel"].toInt() - 1;
            ASSERT_TRUE(channel >= 0 && channel < 16);
            played[static_cast<std::size_t>(channel)] = std::uint64_t(o["frames"].toInteger());
            EXPECT_GT(o["decoded"].toInt(), 0);
        } else if (o["event"] == "local_play") {
            summaryFrames = std::uint64_t(o["frames"].toInteger());
        }
    }
    for (unsigned c = 0; c < 16; ++c)
        EXPECT_EQ(played[c], sent.channels[c]) << "channel " << c + 1;
    EXPECT_EQ(summaryFrames, sent.values.at("frames"));
}

TEST_F(CliBackup, SigintStopsTheTransferAndClosesTheSetWhole) {
    const auto [first, second, mask] = adjacentPeriods();
    ASSERT_EQ(s_sim->admin("backup-rate 400"), "ok");
    const std::uint64_t offsBefore = simStatus().values["offs"];
    QProcess p;
    startCli(p, args(first.start, first.end, mask));
    QStringList lines;
    ASSERT_TRUE(waitForProgress(p, lines)) << lines.join('\n').toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    const CliRun run = finishRun(p, lines);
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString() << run.lines.join('\n').toStdString();
    const BackupReport r = report(run.lines);
    EXPECT_EQ(r.done["result"].toString(), "stopped");
    EXPECT_GT(simStatus().values["offs"], offsBefore); // TRANS_OFF_REQ reached the recorder
    ASSERT_EQ(r.done["sets"].toArray().size(), 1);
    const SetContents set = readSet(m_dir, r.done["sets"].toArray()[0].toString().toStdString());
    expectClosedWhole(set);
    EXPECT_EQ(set.frames.size(), std::size_t(r.done["frames"].toInteger()));
    EXPECT_LT(std::uint64_t(r.done["bytes"].toInteger()),
              std::uint64_t(r.size["kbytes"].toInteger()) * 1024);
}

TEST_F(CliBackup, RecorderFailureEndsTheTransferWithItsAlert) {
    const auto [first, second, mask] = adjacentPeriods();
    ASSERT_EQ(s_sim->admin("backup-rate 400"), "ok");
    QProcess p;
    startCli(p, args(first.start, first.end, mask));
    QStringList lines;
    ASSERT_TRUE(waitForProgress(p, lines)) << lines.join('\n').toStdString();
    EXPECT_EQ(s_sim->admin("backup-fail 53"), "ok 1");
    const CliRun run = finishRun(p, lines);
    EXPECT_EQ(run.exitCode, 4) << run.errors.toStdString();
    const BackupReport r = report(run.lines);
    EXPECT_EQ(r.done["result"].toString(), "failed");
    ASSERT_EQ(r.notifications.size(), 1u) << run.lines.join('\n').toStdString();
    EXPECT_EQ(r.notifications[0]["category"].toInt(), 6);
    EXPECT_EQ(r.notifications[0]["detail"].toInt(), 4);
    ASSERT_EQ(r.done["sets"].toArray().size(), 1);
    expectClosedWhole(readSet(m_dir, r.done["sets"].toArray()[0].toString().toStdString()));
}

TEST_F(CliBackup, RefusalsAndTheFreeSpaceRuleEndBeforeAnyFile) {
    const auto [first, second, mask] = adjacentPeriods();
    {
        // Nearly 4 TB: fewer than 100 MB would stay free.
        ASSERT_EQ(s_sim->admin("backup-size 4000000000"), "ok");
        const CliRun run = runCli(args(first.start, first.end, mask), "1234");
        EXPECT_EQ(run.exitCode, 7) << run.errors.toStdString();
        const BackupReport r = report(run.lines);
        EXPECT_EQ(r.size["text"].toString(), "3814 GByte");
        ASSERT_EQ(r.notifications.size(), 1u) << run.lines.join('\n').toStdString();
        EXPECT_EQ(r.notifications[0]["category"].toInt(), 13);
        EXPECT_EQ(r.notifications[0]["detail"].toInt(), 0);
        EXPECT_TRUE(r.done.isEmpty());
        ASSERT_EQ(s_sim->admin("backup-size 0"), "ok");
    }
    {
        ASSERT_EQ(s_sim->admin("backup-nack 87 2048 1024"), "ok");
        const CliRun run = runCli(args(first.start, first.end, mask), "1234");
        EXPECT_EQ(run.exitCode, 4) << run.errors.toStdString();
        const BackupReport r = report(run.lines);
        ASSERT_EQ(r.notifications.size(), 1u) << run.lines.join('\n').toStdString();
        EXPECT_EQ(r.notifications[0]["category"].toInt(), 6);
        EXPECT_EQ(r.notifications[0]["detail"].toInt(), 5);
        EXPECT_TRUE(r.size.isEmpty());
    }
    {
        // A gap of the disk holds nothing: size 0, no transfer.
        const CliRun run = runCli(args(first.end + 1, second.start - 1, mask), "1234");
        EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
        const BackupReport r = report(run.lines);
        EXPECT_EQ(r.size["kbytes"].toInt(), 0);
        EXPECT_EQ(r.size["text"].toString(), "0 KByte");
        EXPECT_TRUE(r.done.isEmpty());
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir));
}

TEST_F(CliBackup, UsageErrors) {
    for (const QStringList& command :
         {QStringList{"backup"}, QStringList{"backup", "--from", "2024-01-02"},
          QStringList{"backup", "--from", "2024-01-02", "--to", "2024-01-01"},
          QStringList{"backup", "--from", "2024-01-01", "--to", "2024-01-02", "--kind", "300"},
          QStringList{"backup", "--from", "2024-01-01", "--to", "2024-01-02", "--channels", "0"}}) {
        const CliRun run =
            runCli(QStringList{"--port", QString::number(s_sim->port())} << command, "1234");
        EXPECT_EQ(run.exitCode, 2) << command.join(' ').toStdString();
    }
}

} // namespace
} // namespace kalder::test
