// kalder-cli local list and local play over sets that the backup writer stored: the chained
// sets of one transfer are listed in order, and playback hands every written frame of each
// channel to its decoder.
#include "backup/backup_writer.h"
#include "cli_runner.h"
#include "files/backup_set_records.h"
#include "test_clip.h"
#include "wire/frame_info.h"
#include "wire/recorder_time.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <map>

namespace kalder {
namespace {

using test::json;
using test::runCli;

constexpr std::uint32_t kStart = 1714557600; // 2024-05-01 10:00:00

BackupItem frameItem(unsigned channel, std::uint32_t time, std::uint16_t ms,
                     const test::EncodedFrame& video, std::uint32_t segmentKey) {
    BackupFrameHeader header;
    header.frameTime = time;
    header.segmentKey = segmentKey;
    header.titlePresent = 1;
    header.title = "Gate " + std::to_string(channel + 1);
    FrameInfoBlock block;
    block.channel = static_cast<std::uint8_t>(channel);
    block.resolutionCode = 0; // 352 x 240
    block.videoLength = static_cast<std::uint32_t>(video.data.size());
    block.totalLength = block.videoLength + 40;
    block.infoWord = time;
    block.infoHalf = ms;
    block.frameType = video.key ? kFrameTypeKey : 0;
    BackupItem item;
    item.channel = channel;
    item.videoLength = block.videoLength;
    item.bytes.resize(kBackupFrameHeaderSize);
    encodeBackupFrameHeader(header, item.bytes);
    const auto blockBytes = encodeFrameInfoBlock(block);
    item.bytes.insert(item.bytes.end(), blockBytes.begin(), blockBytes.end());
    item.bytes.insert(item.bytes.end(), video.data.begin(), video.data.end());
    return item;
}

TEST(CliLocalE2e, WrittenSetsAreListedAndPlayedBackWhole) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("cli_local_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);

    test::ClipParams params;
    params.frames = 20;
    params.keyInterval = 10;
    const std::vector<test::EncodedFrame> clip = test::encodeClip(params);
    ASSERT_EQ(clip.size(), 20u);

    // Two seconds of channels 1 and 3 at ten frames a second, two recorded segments; a small
    // rollover size splits the transfer into chained sets.
    std::map<unsigned, int> written;
    std::uint64_t clipBytes = 0;
    for (const auto& f : clip)
        clipBytes += f.data.size() + 232;
    BackupWriterLimits limits;
    limits.rolloverBytes = clipBytes; // about half the transfer
    std::uint32_t name = 0x6630a000;
    limits.now = [&name] { return name++; };
    BackupWriteResult result;
    {
        BackupWriter writer(dir, {}, limits);
        for (int i = 0; i < 20; ++i) {
            for (unsigned channel : {0u, 2u}) {
                const std::uint32_t time = kStart + static_cast<std::uint32_t>(i / 10);
                writer.push(frameItem(channel, time, static_cast<std::uint16_t>((i % 10) * 100),
                                      clip[static_cast<std::size_t>(i)], i < 14 ? 1 : 2));
                ++written[channel];
            }
        }
        BackupItem done;
        done.kind = BackupItem::Kind::Done;
        writer.push(std::move(done));
        writer.waitUntilDrained();
        while (!writer.ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        result = writer.result();
    }
    ASSERT_EQ(result.sets.size(), 2u);

    const auto list = runCli({"--json", "local", "list", "--dir", QString::fromStdString(dir)});
    ASSERT_EQ(list.exitCode, 0) << list.errors.toStdString();
    ASSERT_EQ(list.lines.size(), 2);
    const QJsonObject first = json(list.lines[0]);
    const QJsonObject second = json(list.lines[1]);
    EXPECT_EQ(first["event"].toString(), "set");
    EXPECT_EQ(first["id"].toString().toStdString(), result.sets[0]);
    EXPECT_EQ(second["id"].toString().toStdString(), result.sets[1]);
    EXPECT_EQ(first["start"].toString(), QString::fromStdString(formatRecorderTime(kStart)));
    EXPECT_TRUE(first["continues"].isNull());
    EXPECT_FALSE(first["continued_by"].isNull());
    EXPECT_EQ(first["continued_by"], second["continues"]);
    EXPECT_TRUE(second["continued_by"].isNull());

    const auto play = runCli({"--json", "local", "play", "--dir", QString::fromStdString(dir),
                              "--from", QString::fromStdString(formatRecorderTime(kStart))});
    ASSERT_EQ(play.exitCode, 0) << play.errors.toStdString();
    std::map<unsigned, int> played;
    QJsonObject summary;
    for (const QString& line : play.lines) {
        const QJsonObject o = json(line);
        if (o["event"] == "channel") {
            played[static_cast<unsigned>(o["channel"].toInt() - 1)] = o["frames"].toInt();
            EXPECT_GT(o["decoded"].toInt(), 0);
            EXPECT_EQ(o["width"].toInt(), 352);
            EXPECT_EQ(o["title"].toString(), QStringLiteral("Gate %1").arg(o["channel"].toInt()));
        } else if (o["event"] == "local_play") {
            summary = o;
        }
    }
    EXPECT_EQ(played, written);
    EXPECT_EQ(summary["frames"].toInt(), 40);
    EXPECT_EQ(summary["first"].toString(), QString::fromStdString(formatRecorderTime(kStart)));
    EXPECT_EQ(summary["last"].toString(), QString::fromStdString(formatRecorderTime(kStart + 1)));

    // A start after the data: the no-data notification and nothing played.
    const auto none = runCli({"--json", "local", "play", "--dir", QString::fromStdString(dir),
                              "--from", QString::fromStdString(formatRecorderTime(kStart + 3600))});
    EXPECT_EQ(none.exitCode, 0);
    ASSERT_FALSE(none.lines.isEmpty());
    EXPECT_EQ(json(none.lines[0])["event"].toString(), "notification");
    EXPECT_EQ(json(none.lines.back())["frames"].toInt(), 0);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kalder
