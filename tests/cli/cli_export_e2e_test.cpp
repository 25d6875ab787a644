// kalder-cli export against kalder-recorder-sim: a period of several channels with sound backed
// up, exported to MP4 from the sets and to MKV straight from the recorder, and every file
// checked with ffprobe and ffmpeg: it decodes without an error, holds every frame the recorder
// sent from the first key frame on, lasts the period, and its time track shows the recorder's
// time. The manifest passes verification and fails it once a byte has changed. A set cut short
// exports what is whole and says what was left out.
#include "tests/cli/cli_runner.h"
#include "tests/sim/sim_process.h"

#include "export/export_request.h"
#include "files/backup_set_records.h"
#include "local/backup_set_catalog.h"
#include "local/local_frame_reader.h"
#include "sim/recorded_disk.h"
#include "wire/recorder_time.h"

#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace kalder::test {
namespace {

constexpr std::uint32_t kExportDiskEnd = 1704294000; // 2024-01-03 15:00:00
constexpr unsigned kExportChannels = 4;
constexpr double kFrameMs = 1000.0 / 30;

struct ToolRun {
    int exitCode = -1;
    QByteArray bytes; // standard output
    QString out, err;
};

ToolRun runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.bytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.bytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The luma of the top-left corner of a file's first picture, where burn-in writes: bright
// pixels (the text) and dark ones (its outline and box).
struct CornerLight {
    int bright = 0, dark = 0;
};
CornerLight cornerLight(const QString& file) {
    const ToolRun r = runTool("ffmpeg", {"-v", "error", "-i", file, "-frames:v", "1", "-vf",
                                         "crop=96:12:8:8,format=gray", "-f", "rawvideo", "-"});
    CornerLight light;
    EXPECT_EQ(r.bytes.size(), 96 * 12) << file.toStdString();
    for (const char c : r.bytes)
        if (static_cast<unsigned char>(c) > 200)
            ++light.bright;
        else if (static_cast<unsigned char>(c) < 50)
            ++light.dark;
    return light;
}

// What the downloaded sets hold per channel: frames, those before the first key frame, and the
// time of the first key frame in milliseconds.
struct SetChannel {
    std::uint64_t frames = 0, lead = 0;
    std::int64_t firstKeyMs = -1;
};
std::array<SetChannel, 16> readSets(const std::filesystem::path& dir) {
    std::array<SetChannel, 16> channels;
    for (const BackupSetInfo& set : discoverBackupSets(dir, SetTagSource::Data)) {
        const auto vih = BackupSetFile::open(set.vih);
        const auto vid = BackupSetFile::open(set.vid);
        if (!vih || !vid)
            continue;
        for (std::uint64_t at = kFirstFrameOffset;; at += kBackupFrameHeaderSize) {
            const LocalFrame f = readLocalFrame(*vih, *vid, at, 0, kBackupFrameMaxBytes);
            if (f.status != LocalFrame::Status::Usable)
                break;
            SetChannel& c = channels[f.descriptor.channel];
            const std::int64_t ms =
                std::int64_t(f.descriptor.infoWord) * 1000 + f.descriptor.infoHalf;
            ++c.frames;
            if (c.firstKeyMs < 0 && f.descriptor.keyFrame())
                c.firstKeyMs = ms;
            if (c.firstKeyMs < 0)
                ++c.lead;
        }
    }
    return channels;
}

std::array<std::uint64_t, 16> simChannels(SimProcess& sim) {
    std::array<std::uint64_t, 16> out{};
    std::istringstream in(sim.admin("backup-status"));
    std::string word;
    while (in >> word)
        if (word.rfind("channels=", 0) == 0) {
            std::istringstream list(word.substr(9));
            std::string item;
            for (std::size_t c = 0; c < 16 && std::getline(list, item, ','); ++c)
                out[c] = std::stoull(item);
        }
    return out;
}

// The export's lines by event; export_file lines by channel.
struct ExportLines {
    QJsonObject done;
    std::map<int, QJsonObject> files;
};
ExportLines exportLines(const QStringList& lines) {
    ExportLines r;
    for (const QString& line : lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "export_done")
            r.done = o;
        else if (o["event"] == "export_file")
            r.files[o["channel"].toInt()] = o;
    }
    return r;
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            m_sim.start({"--channels", std::to_string(kExportChannels), "--resolution", "CIF",
                         "--disk-end", std::to_string(kExportDiskEnd), "--disk-seed", "4"}))
            << m_sim.lastError();
        // A folder of each test's own: ctest runs the tests of this fixture at once.
        m_dir = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-export" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(m_dir);
        // A recorded period of at least two of the channels, long enough for seven seconds
        // inside it.
        sim::DiskLayout layout;
        layout.end = kExportDiskEnd;
        layout.seed = 4;
        layout.channelCount = kExportChannels;
        const sim::RecordedDisk disk(layout);
        for (auto it = disk.periods().rbegin(); it != disk.periods().rend(); ++it)
            if (std::popcount(unsigned(it->channels & 0x000F)) >= 2 && it->end - it->start > 30) {
                m_mask = it->channels & 0x000F;
                m_from = it->start + 10;
                m_to = m_from + 6;
                break;
            }
        ASSERT_NE(m_mask, 0u);
        // The sound on the lowest channel exported.
        m_audioChannel = unsigned(std::countr_zero(m_mask));
        ASSERT_EQ(m_sim.admin("audio-channel " + std::to_string(m_audioChannel + 1)), "ok");
    }
    QStringList period() const {
        QStringList channels;
        for (unsigned c = 0; c < 16; ++c)
            if ((m_mask >> c) & 1u)
                channels << QString::number(c + 1);
        return {"--from",     QString::fromStdString(formatRecorderTime(m_from)),
                "--to",       QString::fromStdString(formatRecorderTime(m_to)),
                "--channels", channels.join(',')};
    }
    QStringList global() const {
        return {"--port", QString::number(m_sim.port()), "--json", "--user", "ADMIN"};
    }

    // Every check of one exported file against the frames of its channel.
    void checkFile(const QString& file, unsigned channel, const SetChannel& set, std::uint64_t sent,
                   bool mp4) {
        SCOPED_TRACE(file.toStdString());
        const ToolRun decode = runTool("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"});
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_TRUE(decode.err.trimmed().isEmpty()) << decode.err.toStdString();

        const ToolRun probe =
            runTool("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                                "stream=codec_type,codec_name,nb_read_frames,duration", "-of",
                                "csv=p=0", file});
        ASSERT_EQ(probe.exitCode, 0) << probe.err.toStdString();
        std::map<QString, QStringList> streams; // codec type -> name, duration, frames
        for (const QString& line : probe.out.split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(',');
            ASSERT_EQ(f.size(), 4) << line.toStdString();
            streams[f[1]] = {f[0], f[2], f[3]};
        }
        ASSERT_TRUE(streams.count("video"));
        EXPECT_EQ(streams["video"][0], "h264");
        // Every frame the recorder sent from the first key frame on.
        EXPECT_EQ(streams["video"][2].toULongLong() + set.lead, sent);
        // The period, less the lead, within one frame interval.
        const double periodMs = (m_to + 1.0 - m_from) * 1000;
        const double leadMs = double(set.firstKeyMs) - double(m_from) * 1000;
        // Matroska keeps no duration per track: the file's is the video's there.
        double durationMs = streams["video"][1].toDouble() * 1000;
        if (!mp4) {
            const ToolRun format = runTool("ffprobe", {"-v", "error", "-show_entries",
                                                       "format=duration", "-of", "csv=p=0", file});
            durationMs = format.out.trimmed().toDouble() * 1000;
        }
        EXPECT_LE(std::abs(durationMs - periodMs), kFrameMs + leadMs + 1);
        EXPECT_EQ(streams["subtitle"].value(0), mp4 ? "mov_text" : "subrip");
        if (channel == m_audioChannel)
            EXPECT_EQ(streams["audio"].value(0), mp4 ? "aac" : "pcm_mulaw");
        else
            EXPECT_FALSE(streams.count("audio"));

        // The time track: one cue a second from the first key frame's second, the recorder's.
        const ToolRun cues =
            runTool("ffmpeg", {"-v", "error", "-i", file, "-map", "0:s", "-f", "srt", "-"});
        ASSERT_EQ(cues.exitCode, 0) << cues.err.toStdString();
        const std::uint32_t firstSecond = std::uint32_t(set.firstKeyMs / 1000);
        for (std::uint32_t s = firstSecond; s <= m_to; ++s)
            EXPECT_TRUE(cues.out.contains(QString::fromStdString(formatRecorderTime(s))))
                << formatRecorderTime(s) << "\n"
                << cues.out.toStdString();
        EXPECT_FALSE(cues.out.contains(QString::fromStdString(formatRecorderTime(m_to + 1))));
    }

    // The period backed up into m_dir/sets.
    QString backUp() {
        const QString sets = QString::fromStdString((m_dir / "sets").string());
        const CliRun backup = runCli(
            global() + QStringList{"backup"} + period() + QStringList{"--dir", sets}, "1234");
        EXPECT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
        return sets;
    }

    SimProcess m_sim;
    std::filesystem::path m_dir;
    std::uint16_t m_mask = 0;
    std::uint32_t m_from = 0, m_to = 0;
    unsigned m_audioChannel = 0;
};

TEST_F(CliExport, ExportsABackedUpPeriodThatPlaysAndVerifies) {
    const QString sets = backUp();
    ASSERT_FALSE(HasFailure());
    const std::array<std::uint64_t, 16> sent = simChannels(m_sim);
    const std::array<SetChannel, 16> stored = readSets(m_dir / "sets");

    // MP4 from the downloaded sets.
    const QString mp4 = QString::fromStdString((m_dir / "mp4").string());
    const CliRun run = runCli(QStringList{"--json", "export"} + period() +
                              QStringList{"--format", "mp4", "--dir", sets, "--out", mp4});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const ExportLines lines = exportLines(run.lines);
    EXPECT_EQ(lines.done["result"], "done");
    ASSERT_EQ(lines.done["files"].toInt(), std::popcount(unsigned(m_mask)));
    for (unsigned c = 0; c < 16; ++c) {
        if (!((m_mask >> c) & 1u))
            continue;
        ASSERT_TRUE(lines.files.count(int(c + 1))) << c;
        const QJsonObject& f = lines.files.at(int(c + 1));
        EXPECT_EQ(f["file"].toString(),
                  mp4 + "/" +
                      QString::fromStdString(exportFileName(m_from, c + 1, ExportFormat::Mp4)));
        EXPECT_EQ(f["last"].toString().toStdString(), formatRecorderTime(m_to));
        checkFile(f["file"].toString(), c, stored[c], sent[c], true);
    }

    // The manifest holds, and names the file whose byte changed.
    const CliRun verified = runCli({"--json", "export", "verify", mp4});
    EXPECT_EQ(verified.exitCode, 0) << verified.errors.toStdString();
    EXPECT_EQ(verified.lines.size(), std::popcount(unsigned(m_mask)));
    const QString changed = lines.files.begin()->second["file"].toString();
    {
        std::fstream f(changed.toStdString(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(5000);
        const char byte = char(f.get() ^ 0x01);
        f.seekp(5000);
        f.put(byte);
    }
    const CliRun tampered = runCli({"--json", "export", "verify", mp4});
    EXPECT_EQ(tampered.exitCode, 8);
    for (const QString& line : tampered.lines) {
        const QJsonObject o = json(line);
        EXPECT_EQ(o["ok"].toBool(), !changed.endsWith(o["file"].toString())) << line.toStdString();
    }

    // MKV straight from the recorder, the sets never shown.
    const QString mkv = QString::fromStdString((m_dir / "mkv").string());
    const CliRun direct = runCli(global() + QStringList{"export"} + period() +
                                     QStringList{"--format", "mkv", "--recorder", "--out", mkv},
                                 "1234");
    ASSERT_EQ(direct.exitCode, 0) << direct.errors.toStdString();
    const ExportLines mkvLines = exportLines(direct.lines);
    EXPECT_EQ(mkvLines.done["files"].toInt(), std::popcount(unsigned(m_mask)));
    for (const auto& [channel, f] : mkvLines.files)
        checkFile(f["file"].toString(), unsigned(channel - 1), stored[channel - 1],
                  sent[channel - 1], false);
    EXPECT_EQ(runCli({"--json", "export", "verify", mkv}).exitCode, 0);
    for (const auto& entry : std::filesystem::directory_iterator(m_dir / "mkv"))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST_F(CliExport, BurnInReencodesEveryFrameAndKeepsTheTimes) {
    const QString sets = backUp();
    ASSERT_FALSE(HasFailure());
    const std::array<std::uint64_t, 16> sent = simChannels(m_sim);
    const std::array<SetChannel, 16> stored = readSets(m_dir / "sets");
    const QString out = QString::fromStdString((m_dir / "burn").string());
    const CliRun run =
        runCli(QStringList{"--json", "export"} + period() +
               QStringList{"--format", "mp4", "--burn-in", "--dir", sets, "--out", out});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const ExportLines lines = exportLines(run.lines);
    EXPECT_EQ(lines.done["result"], "done");
    ASSERT_EQ(lines.done["files"].toInt(), std::popcount(unsigned(m_mask)));
    for (const auto& [channel, f] : lines.files)
        checkFile(f["file"].toString(), unsigned(channel - 1), stored[channel - 1],
                  sent[channel - 1], true);
    EXPECT_EQ(runCli({"--json", "export", "verify", out}).exitCode, 0);

    // The time is in the picture: white text on a dark box where the copied picture has none.
    const QString copy = QString::fromStdString((m_dir / "copy").string());
    const CliRun copied = runCli(QStringList{"--json", "export"} + period() +
                                 QStringList{"--format", "mp4", "--dir", sets, "--out", copy});
    ASSERT_EQ(copied.exitCode, 0) << copied.errors.toStdString();
    for (const auto& [channel, f] : exportLines(copied.lines).files) {
        const CornerLight plain = cornerLight(f["file"].toString());
        const CornerLight burned = cornerLight(lines.files.at(channel)["file"].toString());
        EXPECT_GT(burned.bright, plain.bright + 40) << channel;
        EXPECT_GT(burned.dark, plain.dark + 40) << channel;
    }
}

TEST_F(CliExport, ASetCutShortExportsWhatIsWholeAndSaysWhatIsLeftOut) {
    const QString sets = backUp();
    ASSERT_FALSE(HasFailure());
    const std::array<SetChannel, 16> whole = readSets(m_dir / "sets");
    // The frame data ends halfway, the headers stay: the later frames point past its end.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir / "sets"))
        if (entry.path().extension() == ".vid")
            std::filesystem::resize_file(entry.path(), entry.file_size() / 2);

    const QString out = QString::fromStdString((m_dir / "cut").string());
    const CliRun run = runCli(QStringList{"--json", "export"} + period() +
                              QStringList{"--format", "mp4", "--dir", sets, "--out", out});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const ExportLines lines = exportLines(run.lines);
    EXPECT_EQ(lines.done["result"], "done");
    EXPECT_EQ(lines.done["files"].toInt(), std::popcount(unsigned(m_mask)));
    // What was left out, with its time, once for the stretch and not once a frame.
    const QStringList leftOut = run.errors.split('\n', Qt::SkipEmptyParts).filter("left out");
    ASSERT_FALSE(leftOut.isEmpty()) << run.errors.toStdString();
    EXPECT_LE(leftOut.size(), 2 * std::popcount(unsigned(m_mask))) << run.errors.toStdString();
    EXPECT_TRUE(
        leftOut.front().contains(QString::fromStdString(formatRecorderTime(m_from).substr(0, 10))))
        << leftOut.front().toStdString();
    for (const auto& [channel, f] : lines.files) {
        const QString file = f["file"].toString();
        SCOPED_TRACE(file.toStdString());
        const ToolRun decode = runTool("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"});
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_TRUE(decode.err.trimmed().isEmpty()) << decode.err.toStdString();
        EXPECT_GT(f["frames"].toInt(), 0);
        EXPECT_LT(std::uint64_t(f["frames"].toInt()),
                  whole[channel - 1].frames - whole[channel - 1].lead);
    }
    EXPECT_EQ(runCli({"--json", "export", "verify", out}).exitCode, 0);
}

} // namespace
} // namespace kalder::test
