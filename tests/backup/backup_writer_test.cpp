// The backup writer against expectations worked out by hand from the set format: one set with
// several segments, chained sets over the rollover and the segment limit, a full disk, a failed
// creation, two writers in one second and a stop in the middle. Every set left behind must be
// readable whole.
#include "backup/backup_writer.h"

#include "files/backup_set_records.h"
#include "wire/frame_info.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <unistd.h>

namespace kalder {
namespace {

namespace fs = std::filesystem;
constexpr std::uint32_t kNow = 0x5f000000;

BackupItem frame(unsigned channel, std::uint32_t time, std::uint32_t key, std::uint32_t video,
                 std::uint32_t audio = 0, std::array<std::uint8_t, 4> params = {}) {
    BackupItem item;
    item.channel = channel;
    item.videoLength = video;
    item.audioLength = audio;
    item.bytes.resize(kBackupFrameOverhead + video + audio);
    BackupFrameHeader header;
    header.frameTime = time;
    header.segmentKey = key;
    header.params = params;
    encodeBackupFrameHeader(header, item.bytes);
    item.bytes[16] = std::byte{0xA5}; // a recorder byte the writer must keep
    FrameInfoBlock block;
    block.channel = std::uint8_t(channel);
    block.videoLength = video;
    block.audioLength = audio;
    block.totalLength = kFrameInfoBlockSize + video + audio;
    const auto encoded = encodeFrameInfoBlock(block);
    std::copy(encoded.begin(), encoded.end(), item.bytes.begin() + kBackupFrameHeaderSize);
    for (std::size_t i = kBackupFrameOverhead; i < item.bytes.size(); ++i)
        item.bytes[i] = std::byte(i * 7 + time);
    return item;
}

BackupItem done() {
    BackupItem item;
    item.kind = BackupItem::Kind::Done;
    return item;
}

std::vector<std::byte> contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> chars{std::istreambuf_iterator<char>(in), {}};
    return {reinterpret_cast<std::byte*>(chars.data()),
            reinterpret_cast<std::byte*>(chars.data()) + chars.size()};
}

// A set read back the way a player reads it, after checking that it is whole: header and trailer
// in every file, every frame's data where its header says, the summary and time records pointing
// at real frames, and the counters adding up to the video bytes.
struct SetContents {
    FileHeader header;
    FileTrailer idxTrailer, vihTrailer;
    SetSummary summary;
    std::vector<SegmentEntry> entries;
    std::vector<BackupFrameHeader> frames;
    std::vector<std::uint32_t> times; // TimeRecord offsets
    std::vector<std::byte> idx, vih, vid;
};

SetContents readWholeSet(const fs::path& folder, const std::string& name) {
    SetContents s;
    s.idx = contents(folder / (name + ".idx"));
    s.vih = contents(folder / (name + ".vih"));
    s.vid = contents(folder / (name + ".vid"));
    const auto tail = [](const std::vector<std::byte>& f) { return std::span(f).last(64); };
    EXPECT_GE(s.idx.size(), kTimeRecordsOffset + 64);
    EXPECT_GE(s.vih.size(), 128u);
    EXPECT_GE(s.vid.size(), 128u);
    if (::testing::Test::HasFailure())
        return s;
    s.header = *decodeFileHeader(s.idx);
    EXPECT_EQ(s.header.magic, kSetOpenMagic);
    EXPECT_EQ(decodeFileHeader(s.vih), s.header);
    EXPECT_EQ(decodeFileHeader(s.vid), s.header);
    s.idxTrailer = *decodeFileTrailer(tail(s.idx));
    s.vihTrailer = *decodeFileTrailer(tail(s.vih));
    EXPECT_EQ(s.idxTrailer.magic, kSetCloseMagic);
    EXPECT_EQ(s.vihTrailer.magic, kSetCloseMagic);
    EXPECT_EQ(decodeFileTrailer(tail(s.vid)), s.vihTrailer);

    EXPECT_EQ((s.vih.size() - 128) % kBackupFrameHeaderSize, 0u);
    std::uint64_t vidAt = kFirstFrameOffset;
    std::array<std::uint64_t, 16> videoBytes{};
    for (std::size_t at = 64; at + 64 < s.vih.size(); at += kBackupFrameHeaderSize) {
        s.frames.push_back(*decodeBackupFrameHeader(std::span(s.vih).subspan(at)));
        EXPECT_EQ(s.frames.back().vidOffset, vidAt);
        const auto block = decodeFrameInfoBlock(std::span(s.vid).subspan(vidAt));
        if (!block || block->frameMagic != kFrameMagic) {
            ADD_FAILURE() << "no frame block at .vid offset " << vidAt;
            return s;
        }
        if (block->videoLength > 0)
            videoBytes[block->channel] += block->totalLength;
        vidAt += block->totalLength;
    }
    EXPECT_EQ(vidAt + 64, s.vid.size());
    EXPECT_EQ(s.vihTrailer.lastHeaderOffset, s.frames.empty() ? 0 : s.vih.size() - 64 - 192);

    for (std::size_t at = kTimeRecordsOffset; at + 64 < s.idx.size(); at += kTimeRecordSize) {
        s.times.push_back(decodeTimeRecord(std::span(s.idx).subspan(at))->frameHeaderOffset);
        EXPECT_EQ((s.times.back() - 64) % 192, 0u);
        EXPECT_LT(s.times.back(), s.vih.size() - 64);
    }
    s.summary = *decodeSetSummary(std::span(s.idx).subspan(kSetSummaryOffset));
    EXPECT_LE(s.summary.segmentCount, kMaxSetSegments);
    for (std::size_t n = 0; n < kMaxSetSegments; ++n) {
        const auto slot = std::span(s.idx).subspan(segmentSlotOffset(n), kSegmentEntrySize);
        if (n >= s.summary.segmentCount) {
            EXPECT_TRUE(
                std::all_of(slot.begin(), slot.end(), [](auto b) { return b == std::byte{0}; }))
                << "slot " << n << " beyond the count is not zero";
            continue;
        }
        s.entries.push_back(*decodeSegmentEntry(slot));
        const auto& e = s.entries.back();
        EXPECT_EQ(e.magic, kSegmentEntryMagic);
        const std::size_t record = (e.firstTimeRecordOffset - kTimeRecordsOffset) / 8;
        EXPECT_LT(record, s.times.size());
        if (record < s.times.size()) {
            EXPECT_EQ(s.frames[(s.times[record] - 64) / 192].frameTime, e.start);
        }
        for (unsigned ch = 0; ch < 16; ++ch)
            videoBytes[ch] -= e.channelBytes[ch];
    }
    EXPECT_EQ(videoBytes, (std::array<std::uint64_t, 16>{})) << "counters do not add up";
    return s;
}

class BackupWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("kalder-backup-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()) /
                   "Download";
        fs::remove_all(m_folder.parent_path());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_folder.parent_path(), ec);
    }
    // Writes the items with a writer of these limits (the clock fixed at kNow) until it ends.
    BackupWriteResult transfer(std::vector<BackupItem> items, BackupWriterLimits limits = {}) {
        if (!limits.now)
            limits.now = [] { return kNow; };
        std::promise<BackupWriteResult> ended;
        int endings = 0;
        BackupWriter writer(m_folder,
                            {{},
                             [&](const BackupWriteResult& r) {
                                 ++endings;
                                 ended.set_value(r);
                             }},
                            limits);
        for (auto& item : items)
            writer.push(std::move(item));
        auto future = ended.get_future();
        EXPECT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        writer.stop();
        EXPECT_EQ(endings, 1);
        EXPECT_TRUE(writer.ended());
        return writer.result();
    }
    fs::path m_folder;
};

TEST_F(BackupWriterTest, OneSetWithSeveralSegmentsMatchesTheFormat) {
    std::vector<BackupItem> items;
    items.push_back(frame(0, 1000, 1, 100, 0, {0, 0, 2, 0}));
    items.push_back(frame(1, 1000, 1, 50, 10, {0, 0, 2, 0}));
    BackupItem wrongLength = frame(1, 1000, 1, 50);
    wrongLength.videoLength = 51;
    items.push_back(std::move(wrongLength));
    items.push_back(frame(0, 1001, 1, 100, 0, {0, 0, 5, 0})); // byte 50 changes on channel 0
    items.push_back(frame(2, 1001, 1, 0, 20, {0, 0, 7, 0}));  // audio only: counted nowhere
    items.push_back(frame(1, 1001, 2, 60, 0, {0x11, 0x12, 3, 0x14})); // a segment inside 1001
    items.push_back(frame(1, 1001, 2, 60, 0, {0, 0, 3, 0}));
    items.push_back(frame(3, 1002, 3, 70, 0, {0x21, 0x22, 9, 0x24}));
    items.push_back(frame(3, 1003, 3, 70, 0, {0x31, 0x32, 9, 0x34}));
    items.push_back(frame(3, 1003, 3, kBackupFrameMaxBytes)); // too large: dropped
    std::vector<std::vector<std::byte>> sent;
    for (const auto& item : items)
        if (item.bytes.size() == item.videoLength + item.audioLength + 232 &&
            item.bytes.size() <= kBackupFrameMaxBytes)
            sent.push_back(item.bytes);
    items.push_back(done());

    const auto result = transfer(std::move(items));
    EXPECT_EQ(result.end, BackupWriteResult::End::Done);
    ASSERT_EQ(result.sets, std::vector<std::string>{"5f000000"});
    EXPECT_EQ(result.frames, 8u);
    EXPECT_EQ(result.dropped, 2u);
    EXPECT_EQ(result.bytes, 8 * 232u + 100 + 60 + 100 + 20 + 60 + 60 + 70 + 70);

    const auto s = readWholeSet(m_folder, "5f000000");
    ASSERT_FALSE(::testing::Test::HasFailure());
    EXPECT_EQ(s.header.continuationLink, 0u);
    EXPECT_EQ(s.idxTrailer.nextSetLink, 0u);
    ASSERT_EQ(s.frames.size(), 8u);
    std::uint64_t vidAt = 64;
    for (std::size_t i = 0; i < 8; ++i) {
        // Offsets 32 and 44 are the writer's; every other byte is as the recorder sent it.
        EXPECT_EQ(s.frames[i].previousHeaderOffset, i == 0 ? 64 : 64 + 192 * (i - 1)) << i;
        auto header = sent[i];
        patchFrameHeaderOffsets(header, s.frames[i].previousHeaderOffset, std::uint32_t(vidAt));
        EXPECT_TRUE(std::equal(header.begin(), header.begin() + 192, s.vih.begin() + 64 + 192 * i));
        EXPECT_TRUE(std::equal(sent[i].begin() + 192, sent[i].end(), s.vid.begin() + vidAt));
        vidAt += sent[i].size() - 192;
    }
    // A record per new second, and one for the segment that began inside second 1001.
    EXPECT_EQ(s.times, (std::vector<std::uint32_t>{64, 64 + 192 * 2, 64 + 192 * 4, 64 + 192 * 6,
                                                   64 + 192 * 7}));

    EXPECT_EQ(s.summary, (SetSummary{kBackupTag, kSetSummaryMagic, 1000, 1003, 3}));
    ASSERT_EQ(s.entries.size(), 3u);
    SegmentEntry first;
    first.start = 1000;
    first.end = 1001; // closed by the first frame of the next segment
    first.firstTimeRecordOffset = kTimeRecordsOffset;
    first.channelMask = first.channelMaskCopy = 0b11;
    first.params = {0x11, 0x12, 2, 0x14};
    first.changeMask = 0b1;
    first.lastChangedParam = 5;
    first.channelBytes[0] = 140 + 140;
    first.channelBytes[1] = 100;
    EXPECT_EQ(s.entries[0], first);
    SegmentEntry second;
    second.start = 1001;
    second.end = 1002;
    second.firstTimeRecordOffset = kTimeRecordsOffset + 16;
    second.channelMask = second.channelMaskCopy = 0b10;
    second.params = {0x21, 0x22, 3, 0x24};
    second.lastChangedParam = 3;
    second.channelBytes[1] = 200;
    EXPECT_EQ(s.entries[1], second);
    SegmentEntry third;
    third.start = 1002;
    third.end = 1003; // closed by the set's last frame
    third.firstTimeRecordOffset = kTimeRecordsOffset + 24;
    third.channelMask = third.channelMaskCopy = 0b1000;
    third.params = {0x31, 0x32, 9, 0x34};
    third.lastChangedParam = 9;
    third.channelBytes[3] = 220;
    EXPECT_EQ(s.entries[2], third);
}

// Chained sets: the closing set's .idx trailer and the next set's header carry one non-zero link,
// and the first frame of a later set points back into the previous set's .vih.
void expectChain(const std::vector<SetContents>& sets) {
    EXPECT_EQ(sets.front().header.continuationLink, 0u);
    EXPECT_EQ(sets.back().idxTrailer.nextSetLink, 0u);
    for (std::size_t i = 1; i < sets.size(); ++i) {
        EXPECT_NE(sets[i].header.continuationLink, 0u);
        EXPECT_EQ(sets[i - 1].idxTrailer.nextSetLink, sets[i].header.continuationLink);
        ASSERT_FALSE(sets[i].frames.empty());
        EXPECT_EQ(sets[i].frames.front().previousHeaderOffset,
                  sets[i - 1].vihTrailer.lastHeaderOffset);
    }
}

TEST_F(BackupWriterTest, RolloverAndSegmentLimitChainSets) {
    BackupWriterLimits rollover;
    rollover.rolloverBytes = 1000; // 632 bytes a frame: every second frame passes it
    std::vector<BackupItem> items;
    for (std::uint32_t i = 0; i < 5; ++i)
        items.push_back(frame(i % 2, 2000 + i, 7, 400));
    items.push_back(done());
    auto result = transfer(std::move(items), rollover);
    EXPECT_EQ(result.end, BackupWriteResult::End::Done);
    // Same second, so the names step to the next free value.
    ASSERT_EQ(result.sets, (std::vector<std::string>{"5f000000", "5f000001", "5f000002"}));
    std::vector<SetContents> sets;
    for (const auto& name : result.sets)
        sets.push_back(readWholeSet(m_folder, name));
    ASSERT_FALSE(::testing::Test::HasFailure());
    expectChain(sets);
    EXPECT_EQ(sets[0].frames.size() + sets[1].frames.size() + sets[2].frames.size(), 5u);
    EXPECT_EQ(sets[0].entries.at(0).start, 2000u);
    EXPECT_EQ(sets[0].entries.at(0).end, 2001u); // closed by the set's last frame
    EXPECT_EQ(sets[1].entries.at(0).start, 2002u);

    fs::remove_all(m_folder);
    BackupWriterLimits segments;
    segments.maxSegments = 2;
    items.clear();
    for (std::uint32_t key = 1; key <= 5; ++key)
        items.push_back(frame(0, 3000 + key, key, 10));
    items.push_back(done());
    result = transfer(std::move(items), segments);
    ASSERT_EQ(result.sets.size(), 3u);
    sets.clear();
    for (const auto& name : result.sets)
        sets.push_back(readWholeSet(m_folder, name));
    ASSERT_FALSE(::testing::Test::HasFailure());
    expectChain(sets);
    EXPECT_EQ(sets[0].summary.segmentCount, 2u);
    EXPECT_EQ(sets[1].summary.segmentCount, 2u);
    EXPECT_EQ(sets[2].summary.segmentCount, 1u);
    EXPECT_EQ(sets[0].entries.at(1).end, 3003u); // closed by the next segment's first frame
    EXPECT_EQ(sets[1].entries.at(0).start, 3003u);
}

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(BackupWriterTest, FullDiskEndsWithAWholeSet) {
    std::vector<BackupItem> items;
    for (std::uint32_t i = 0; i < 40; ++i)
        items.push_back(frame(0, 4000 + i / 3, i / 10, 10000));
    items.push_back(done());
    BackupWriteResult result;
    {
        FileSizeLimit limit(300000); // room for 29 frames of 10,040 bytes in the .vid
        result = transfer(std::move(items));
    }
    EXPECT_EQ(result.end, BackupWriteResult::End::FileError);
    EXPECT_NE(result.error.find(".vid"), std::string::npos) << result.error;
    EXPECT_EQ(result.frames, 29u);
    ASSERT_EQ(result.sets.size(), 1u);
    const auto s = readWholeSet(m_folder, result.sets[0]);
    EXPECT_EQ(s.frames.size(), 29u);
    EXPECT_EQ(s.summary.segmentCount, 3u);
    EXPECT_EQ(s.summary.latestEnd, s.frames.back().frameTime);
}

TEST_F(BackupWriterTest, NamesAreNeverReusedAndCreationFailureIsReported) {
    // A second writer in the same second, and a stray file of a third name.
    fs::create_directories(m_folder);
    std::ofstream(m_folder / "5f000002.vid") << "not ours";
    for (const char* expected : {"5f000000", "5f000001", "5f000003"}) {
        const auto result = transfer({frame(0, 1, 1, 10), done()});
        EXPECT_EQ(result.sets, std::vector<std::string>{expected});
    }
    EXPECT_EQ(contents(m_folder / "5f000002.vid").size(), 8u);

    m_folder = m_folder / "5f000000.idx" / "sub"; // under a file: the folder cannot be made
    const auto failed = transfer({frame(0, 1, 1, 10), done()});
    EXPECT_EQ(failed.end, BackupWriteResult::End::FileError);
    EXPECT_TRUE(failed.sets.empty());
    EXPECT_FALSE(failed.error.empty());
    m_folder = m_folder.parent_path().parent_path();
}

TEST_F(BackupWriterTest, StopInTheMiddleLeavesAClosedSet) {
    std::promise<void> fifth;
    int progressed = 0;
    BackupWriterLimits limits;
    limits.now = [] { return kNow; };
    BackupWriter writer(m_folder,
                        {[&](std::uint64_t) {
                             if (++progressed == 5)
                                 fifth.set_value();
                         },
                         {}},
                        limits);
    for (std::uint32_t i = 0; i < 500; ++i)
        writer.push(frame(i % 16, 5000 + i / 30, i / 100, 2000));
    ASSERT_EQ(fifth.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    writer.stop();
    ASSERT_TRUE(writer.ended());
    const auto result = writer.result();
    EXPECT_EQ(result.end, BackupWriteResult::End::Stopped);
    EXPECT_GE(result.frames, 5u);
    writer.push(frame(0, 1, 1, 10)); // after the end: dropped
    EXPECT_EQ(writer.result().frames, result.frames);
    const auto s = readWholeSet(m_folder, "5f000000");
    EXPECT_EQ(s.frames.size(), result.frames);
    EXPECT_EQ(s.idxTrailer.nextSetLink, 0u);
}

} // namespace
} // namespace kalder
