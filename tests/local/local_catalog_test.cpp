// Set discovery and ordering, and the playlists of the three kinds of request.
#include "backup_set_builder.h"
#include "local/backup_set_catalog.h"
#include "local/local_frame_reader.h"
#include "local/local_playlist.h"
#include "local/local_search_model.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kalder {
namespace {

using test::SetFrame;
using test::steadyFrames;
using test::writeBackupSet;

class LocalCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("local_catalog_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

std::vector<std::uint32_t> ids(const std::vector<BackupSetInfo>& sets) {
    std::vector<std::uint32_t> out;
    for (const auto& s : sets)
        out.push_back(s.id);
    return out;
}

// A transfer split by the rollover stays together even when an unrelated set started between
// its two halves; damaged and foreign sets are left out, and an unclosed set's last bytes are
// not taken for a link.
TEST_F(LocalCatalogTest, RolledOverSetsStayAdjacentAndInvalidSetsAreSkipped) {
    writeBackupSet(m_dir, 0xa1, steadyFrames(1000, 2, 2, {0}, 2));
    writeBackupSet(m_dir, 0xb1, steadyFrames(2000, 2, 2, {0, 1}, 2), {0, 0x77});
    writeBackupSet(m_dir, 0xc1, steadyFrames(3000, 2, 2, {2}, 2));
    writeBackupSet(m_dir, 0xb2, steadyFrames(5000, 2, 2, {0, 1}, 2), {0x77, 0});
    // Another program's file with the .idx name.
    std::ofstream(m_dir / "d1.idx") << std::string(400, 'x');
    // A set whose .idx is cut inside its summary.
    const auto cut = writeBackupSet(m_dir, 0xe1, steadyFrames(500, 1, 1, {0}, 1));
    test::truncateFile(cut.idx, 100);

    const auto sets = discoverBackupSets(m_dir, SetTagSource::Index);
    EXPECT_EQ(ids(sets), (std::vector<std::uint32_t>{0xa1, 0xb1, 0xb2, 0xc1}));
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_FALSE(sets[0].joinedNext);
    EXPECT_TRUE(sets[1].joinedNext);
    EXPECT_TRUE(sets[2].joinedPrev);
    EXPECT_FALSE(sets[2].joinedNext);
    EXPECT_FALSE(sets[3].joinedPrev);
    EXPECT_EQ(sets[1].summary.earliestStart, 2000u);
    EXPECT_EQ(sets[1].summary.latestEnd, 2001u);

    // The play request reads the tag from the .vid: a set whose .vid is gone is not offered.
    std::filesystem::remove(m_dir / "c1.vid");
    EXPECT_EQ(ids(discoverBackupSets(m_dir, SetTagSource::Data)),
              (std::vector<std::uint32_t>{0xa1, 0xb1, 0xb2}));
}

TEST_F(LocalCatalogTest, ChainedLinksDoNotLoopWhenDamaged) {
    std::vector<BackupSetInfo> sets(3);
    for (std::uint32_t i = 0; i < 3; ++i) {
        sets[i].id = i + 1;
        sets[i].summary.earliestStart = 100 * (i + 1);
    }
    // 1 -> 3 and 3 -> 1: a loop of links that only damage makes.
    sets[0].nextSetLink = 9;
    sets[2].continuationLink = 9;
    sets[2].nextSetLink = 8;
    sets[0].continuationLink = 8;
    orderBackupSets(sets);
    EXPECT_EQ(ids(sets), (std::vector<std::uint32_t>{1, 3, 2}));
    EXPECT_TRUE(sets[0].joinedNext);
    EXPECT_TRUE(sets[1].joinedPrev);
    EXPECT_FALSE(sets[1].joinedNext);
}

// Three segments (keys 1, 2, 3), 10 s each, two channels at 2 frames a second.
std::vector<SetFrame> threeSegments(std::uint32_t start) {
    std::vector<SetFrame> frames;
    for (std::uint32_t k = 0; k < 3; ++k) {
        auto part = steadyFrames(start + 10 * k, 10, 2, {0, 1}, 4, k + 1);
        frames.insert(frames.end(), part.begin(), part.end());
    }
    return frames;
}

TEST_F(LocalCatalogTest, PlaylistsOfTheThreeRequestKinds) {
    writeBackupSet(m_dir, 0x10, threeSegments(10000));
    const auto sets = discoverBackupSets(m_dir, SetTagSource::Data);
    // Frame headers: 4 a second (2 channels x 2), 192 bytes each, from 64.
    auto headerAt = [](std::uint32_t secondsIn) { return 64 + 4 * 192 * std::uint64_t(secondsIn); };

    struct Case {
        const char* name;
        LocalPlayRequest request;
        std::size_t entries;
        std::size_t current;
        std::vector<int> parts;
        std::uint64_t position; // of the current entry
        std::uint64_t stop;     // of the last entry
    };
    using K = LocalPlayRequest::Kind;
    const Case cases[] = {
        // A start inside the second segment starts at that second's first frame; the entries
        // before it are passed over.
        {"start only", {K::StartOnly, 10013, 0}, 3, 1, {0, 0, 0}, headerAt(13), headerAt(30)},
        // A start before any recording plays from the first frame.
        {"start before", {K::StartOnly, 5000, 0}, 3, 0, {0, 0, 0}, headerAt(0), headerAt(30)},
        {"exact segment", {K::ExactSegment, 10020, 10029}, 1, 0, {0}, headerAt(20), headerAt(30)},
        {"exact mismatch", {K::ExactSegment, 10020, 10028}, 0, 0, {}, 0, 0},
        // A period over the three: 2 for the start's segment, 3 for the end's, 1 between.
        {"period", {K::StartAndEnd, 10005, 10025}, 3, 0, {2, 1, 3}, headerAt(5), headerAt(25)},
        // A period inside one segment stops at its end's frame.
        {"period inside", {K::StartAndEnd, 10002, 10004}, 1, 0, {2}, headerAt(2), headerAt(4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Playlist p = buildPlaylist(sets, c.request);
        ASSERT_EQ(p.entries.size(), c.entries);
        if (c.entries == 0) {
            EXPECT_TRUE(p.empty());
            continue;
        }
        EXPECT_EQ(p.current, c.current);
        std::vector<int> parts;
        for (const auto& e : p.entries)
            parts.push_back(e.part);
        EXPECT_EQ(parts, c.parts);
        const PlaylistEntry& cur = p.entries[p.current];
        EXPECT_EQ(cur.part == 3 ? cur.firstOffset : cur.positionOffset, c.position);
        EXPECT_EQ(p.entries.back().stopOffset, c.stop);
        EXPECT_EQ(cur.channels, 0x3u);
    }
    // The found start is the first frame of the requested second.
    const Playlist p = buildPlaylist(sets, {K::StartOnly, 10013, 0});
    EXPECT_TRUE(p.entries[1].startFound);
    EXPECT_EQ(p.entries[1].requested, 10013u);
    EXPECT_EQ(p.entries[1].firstOffset, headerAt(10));
    EXPECT_EQ(p.entries[0].endOffset, headerAt(10));
}

TEST_F(LocalCatalogTest, PlaylistJoinsOnlyRolledOverNeighbours) {
    writeBackupSet(m_dir, 0x21, steadyFrames(100, 3, 2, {0}, 2), {0, 0x55});
    writeBackupSet(m_dir, 0x22, steadyFrames(103, 3, 2, {0}, 2), {0x55, 0});
    writeBackupSet(m_dir, 0x23, steadyFrames(200, 3, 2, {0}, 2));
    const Playlist p = buildPlaylist(discoverBackupSets(m_dir, SetTagSource::Data), {{}, 101, 0});
    ASSERT_EQ(p.entries.size(), 3u);
    EXPECT_TRUE(p.entries[0].joinedNext);
    EXPECT_TRUE(p.entries[1].joinedPrev);
    EXPECT_FALSE(p.entries[1].joinedNext);
    const RunSpan span = runSpan(p, 1);
    EXPECT_EQ(span.start, 100u);
    EXPECT_EQ(span.end, 105u);
    EXPECT_EQ(runSpan(p, 2).start, 200u);
}

// Offsets in a damaged index never send a read past a file's end: the segments whose time
// record or first frame lie outside are left out, a truncated .vih ends the last segment at its
// last whole header.
TEST_F(LocalCatalogTest, TruncatedFilesGiveShorterPlaylistsNotCrashes) {
    const auto files = writeBackupSet(m_dir, 0x30, threeSegments(10000));
    test::truncateFile(files.vih, 64 + 4 * 192 * 15 + 100); // inside segment 2
    Playlist p = buildPlaylist(discoverBackupSets(m_dir, SetTagSource::Data), {{}, 10000, 0});
    ASSERT_EQ(p.entries.size(), 2u);
    EXPECT_EQ(p.entries[1].endOffset, 64u + 4 * 192 * 15);

    test::truncateFile(files.idx, kTimeRecordsOffset + 8 * 12);
    p = buildPlaylist(discoverBackupSets(m_dir, SetTagSource::Data), {{}, 10000, 0});
    EXPECT_EQ(p.entries.size(), 2u);
    test::truncateFile(files.idx, 1000);
    p = buildPlaylist(discoverBackupSets(m_dir, SetTagSource::Data), {{}, 10000, 0});
    EXPECT_TRUE(p.empty());
}

// The same folder read from memory gives the same sets and playlist; the player's reading step
// takes the frames the set holds, skips a frame cut off by the data file's end, stops at the
// index's end, and seeks through the time records (an untrusted record falls back to the
// entry's first header).
TEST_F(LocalCatalogTest, MemorySourceAndThePlayersReadingStep) {
    const auto files = writeBackupSet(m_dir, 0x10, threeSegments(10000));
    MemoryBackupSetSource memory;
    for (const auto& f : {files.idx, files.vih, files.vid}) {
        std::ifstream in(f, std::ios::binary);
        std::vector<char> chars((std::istreambuf_iterator<char>(in)), {});
        auto& bytes = memory.files[f].bytes;
        for (char c : chars)
            bytes.push_back(std::byte(static_cast<unsigned char>(c)));
    }
    // The index as a sparse file: its head, then zeros, then the time records at their place.
    const std::vector<std::byte>& dense = memory.files[files.idx].bytes;
    const std::size_t headEnd = segmentSlotOffset(3);
    const BackupSetFile sparse =
        BackupSetFile::fromBytes(std::span(dense).first(headEnd),
                                 std::span(dense).subspan(kTimeRecordsOffset), kTimeRecordsOffset);
    ASSERT_EQ(sparse.size(), dense.size());
    for (std::uint64_t at :
         {std::uint64_t(0), headEnd - 8, kTimeRecordsOffset - 8, dense.size() - 16}) {
        std::array<std::byte, 16> a{}, b{};
        ASSERT_TRUE(sparse.read(at, a));
        ASSERT_TRUE(BackupSetFile::fromBytes(dense).read(at, b));
        EXPECT_EQ(a, b) << at;
    }
    std::array<std::byte, 16> pastEnd{};
    EXPECT_FALSE(sparse.read(dense.size() - 8, pastEnd));

    const auto sets = discoverBackupSets(m_dir, SetTagSource::Data);
    const auto memorySets = discoverBackupSets(m_dir, SetTagSource::Data, memory);
    EXPECT_EQ(ids(memorySets), ids(sets));
    const LocalPlayRequest request{{}, 10000, 0};
    const Playlist fromFiles = buildPlaylist(sets, request);
    const Playlist p = buildPlaylist(memorySets, request, memory);
    ASSERT_EQ(p.entries.size(), 3u);
    ASSERT_EQ(fromFiles.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(p.entries[i].firstOffset, fromFiles.entries[i].firstOffset);
        EXPECT_EQ(p.entries[i].stopOffset, fromFiles.entries[i].stopOffset);
        EXPECT_EQ(p.entries[i].end, fromFiles.entries[i].end);
    }

    const PlaylistEntry& e = p.entries[0];
    std::vector<std::byte>& vidBytes = memory.files[files.vid].bytes;
    vidBytes.resize(vidBytes.size() - kFileTrailerSize - 10); // into the last frame
    const auto idx = memory.open(files.idx), vih = memory.open(files.vih),
               vid = memory.open(files.vid);
    std::vector<std::byte> buffer(kFrameAssemblySize);
    int usable = 0;
    for (std::uint64_t at = e.readBegin(); at < e.stopOffset; at += kBackupFrameHeaderSize) {
        const LocalFrame frame = readLocalFrame(*vih, *vid, at, 0, buffer.size());
        ASSERT_EQ(frame.status, LocalFrame::Status::Usable);
        EXPECT_EQ(frame.descriptor.channel, usable % 2);
        EXPECT_TRUE(readLocalFrameBytes(*vid, frame, buffer));
        ++usable;
    }
    EXPECT_EQ(usable, 4 * 10);
    const std::uint64_t last = vih->size() - kFileTrailerSize - kBackupFrameHeaderSize;
    EXPECT_EQ(readLocalFrame(*vih, *vid, last, 0, buffer.size()).status,
              LocalFrame::Status::Damaged);
    EXPECT_EQ(readLocalFrame(*vih, *vid, last, 0, 16).status, LocalFrame::Status::Damaged);
    EXPECT_EQ(readLocalFrame(*vih, *vid, vih->size() - 100, 0, buffer.size()).status,
              LocalFrame::Status::NoHeader);

    EXPECT_EQ(localSeekPosition(*idx, *vih, e, 10004), 64u + 4 * 192 * 4);
    EXPECT_EQ(localSeekPosition(*idx, *vih, e, 9000), e.readBegin());
    EXPECT_EQ(localSeekPosition(*idx, *vih, e, 10050), e.stopOffset);
    // A time record pointing off the header grid: the walk starts at the entry's first header.
    std::vector<std::byte>& idxBytes = memory.files[files.idx].bytes;
    idxBytes[e.timeRecordOffset + 4 * kTimeRecordSize] ^= std::byte{1};
    const auto damagedIdx = memory.open(files.idx);
    EXPECT_EQ(localSeekPosition(*damagedIdx, *vih, e, 10004), 64u + 4 * 192 * 4);
}

} // namespace
} // namespace kalder

namespace kalder {
namespace {

// The calendar's rules over segment entries: the kind and the upper channel bits from the
// change mask, the days a segment covers (also across a year's end), the event types.
TEST(LocalSearchModel, DaysKindsAndEvents) {
    struct Case {
        std::uint8_t byte50, byte60;
        std::uint16_t changeMask;
        std::uint8_t kinds;
        std::uint16_t upper;
    };
    const Case cases[] = {
        {2, 0, 0, 1u << 2, 0},           // no change: byte 50, no upper bits
        {2, 0, 0x0005, 1u << 2, 0x0005}, // changed, byte 50 set: the change mask
        {0, 2, 0x0005, 1u << 2, 0xFFFA}, // byte 50 zero: byte 60 and the complement
        {9, 0, 0, 0, 0},                 // a kind the timeline has no colour for
    };
    for (const Case& c : cases) {
        SegmentEntry e;
        e.params[2] = c.byte50;
        e.lastChangedParam = c.byte60;
        e.changeMask = c.changeMask;
        e.channelMask = 0x0003;
        const DaySegment s = localDaySegment(e);
        EXPECT_EQ(s.kinds, c.kinds);
        EXPECT_EQ(s.motionContinuous, c.upper);
        EXPECT_EQ(s.channels, 0x0003);
    }

    LocalSearchData data;
    data.sets.resize(2);
    data.sets[0].summary.earliestStart = 2000000000;
    data.sets[1].summary.earliestStart = 1000000000;
    SegmentEntry newYear; // 2023-12-31 23:00 to 2024-01-01 01:00, motion
    newYear.start = 1704063600;
    newYear.end = 1704070800;
    newYear.params[2] = 2;
    SegmentEntry early; // 2001-09-09, alarm
    early.start = 1000000000;
    early.end = 1000000100;
    early.params[2] = 1;
    data.segments = {{newYear}, {early}};
    const LocalYear y2023 = buildLocalYear(data, 2023);
    const LocalYear y2024 = buildLocalYear(data, 2024);
    EXPECT_TRUE(y2023.availability.dayRecorded(12, 31));
    EXPECT_TRUE(y2024.availability.dayRecorded(1, 1));
    EXPECT_FALSE(y2024.availability.dayRecorded(1, 2));
    EXPECT_EQ(y2024.kindMasks.at({1, 1}), 1u << 2);
    ASSERT_EQ(y2024.segments.at({1, 1}).size(), 1u);
    EXPECT_EQ(localYears(data).size(), 3u); // 2001, 2023, 2024
    // Events by the sets' earliest start.
    const std::vector<EventEntry> events = localEvents(data);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, 1);
    EXPECT_EQ(events[1].start, 1704063600u);
}

// The date panel's request: an end row at 2037-12-31 23:59:59, missing, unencodable or not after
// the start plays from the start on; any other end plays the period.
TEST(LocalSearchModel, DateTimePanelRequests) {
    using Kind = LocalPlayRequest::Kind;
    constexpr std::uint32_t start = 1714557600; // 2024-05-01 10:00:00
    const CivilTime noEnd{2037, 12, 31, 23, 59, 59};
    const CivilTime later{2024, 5, 1, 11, 0, 0};
    struct Case {
        std::optional<CivilTime> endRow;
        std::optional<std::uint32_t> encoded;
        Kind kind;
        std::uint32_t end;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, Kind::StartOnly, 0},
        {noEnd, kLocalNoEndTime, Kind::StartOnly, 0},
        {noEnd, kLocalNoEndTime + 3600, Kind::StartOnly, 0}, // shifted by a summer hour
        {later, std::nullopt, Kind::StartOnly, 0},
        {later, start, Kind::StartOnly, 0},
        {later, start - 60, Kind::StartOnly, 0},
        {later, start + 3600, Kind::StartAndEnd, start + 3600},
    };
    for (const Case& c : cases) {
        const LocalPlayRequest r = dateTimePlayRequest(start, c.endRow, c.encoded);
        EXPECT_EQ(r.kind, c.kind) << (c.encoded ? *c.encoded : 0);
        EXPECT_EQ(r.start, start);
        EXPECT_EQ(r.end, c.end);
    }
}

// The rights message's tabs and the calendar's kind marks.
TEST(LocalSearchModel, RightsTabsAndKindMarks) {
    using Tabs = std::array<bool, 3>;
    EXPECT_EQ(localTabsForRights(0), (Tabs{true, true, true}));
    EXPECT_EQ(localTabsForRights(1), (Tabs{false, false, false}));
    EXPECT_EQ(localTabsForRights(2), (Tabs{true, true, true}));
    EXPECT_EQ(localTabsForRights(3), std::nullopt);

    EXPECT_EQ(dayKindMarks(0), std::vector<int>{});
    EXPECT_EQ(dayKindMarks(1u << 2), std::vector<int>{2});
    EXPECT_EQ(dayKindMarks((1u << 1) | (1u << 4) | 1u), (std::vector<int>{0, 1, 4}));
    // Kinds past 5 (byte 50 up to 31) are counted in the mask but have no mark.
    EXPECT_EQ(dayKindMarks((1u << 6) | (1u << 31) | (1u << 5)), std::vector<int>{5});
}

} // namespace
} // namespace kalder
