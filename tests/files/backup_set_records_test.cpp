// The backup set's records: byte placement of every field, round trips, short input and names.
#include "files/backup_set_records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace kalder {
namespace {

std::uint32_t le32(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) | std::to_integer<std::uint32_t>(b[at + 1]) << 8 |
           std::to_integer<std::uint32_t>(b[at + 2]) << 16 |
           std::to_integer<std::uint32_t>(b[at + 3]) << 24;
}

bool allZero(std::span<const std::byte> b, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (b[i] != std::byte{0})
            return false;
    return true;
}

TEST(BackupSetRecords, FieldsSitAtTheirOffsetsAndRoundTrip) {
    std::array<std::byte, 256> out{};

    FileHeader header;
    header.continuationLink = 0x5f000001;
    ASSERT_TRUE(encodeFileHeader(header, out));
    EXPECT_EQ(std::memcmp(out.data(), "kaldrvid\0\0\0\0\0\0\0\0", 16), 0);
    EXPECT_EQ(le32(out, 16), 0x20070516u);
    EXPECT_EQ(le32(out, 32), 0x5f000001u);
    EXPECT_TRUE(allZero(out, 20, 32) && allZero(out, 36, 64));
    EXPECT_EQ(decodeFileHeader(out), header);

    FileTrailer trailer{kBackupTag, kSetCloseMagic, 7, 0x1234};
    out.fill(std::byte{0xEE});
    ASSERT_TRUE(encodeFileTrailer(trailer, out));
    EXPECT_EQ(le32(out, 16), 0x19720505u);
    EXPECT_EQ(le32(out, 32), 7u);
    EXPECT_EQ(le32(out, 36), 0x1234u);
    EXPECT_TRUE(allZero(out, 40, 64));
    EXPECT_EQ(out[64], std::byte{0xEE}); // nothing past the record
    EXPECT_EQ(decodeFileTrailer(out), trailer);

    SetSummary summary{kBackupTag, kSetSummaryMagic, 100, 200, 3};
    ASSERT_TRUE(encodeSetSummary(summary, out));
    EXPECT_EQ(le32(out, 16), 0xCAFECAFEu);
    EXPECT_EQ(le32(out, 24), 100u);
    EXPECT_EQ(le32(out, 28), 200u);
    EXPECT_EQ(le32(out, 32), 3u);
    EXPECT_TRUE(allZero(out, 36, 128));
    EXPECT_EQ(decodeSetSummary(out), summary);

    SegmentEntry entry;
    entry.start = 10;
    entry.end = 20;
    entry.firstTimeRecordOffset = 262336;
    entry.channelMask = entry.channelMaskCopy = 0x8001;
    entry.params = {1, 2, 3, 4};
    entry.changeMask = 0x8000;
    entry.lastChangedParam = 9;
    entry.channelBytes[0] = 11;
    entry.channelBytes[15] = 0xFFFFFFFF;
    ASSERT_TRUE(encodeSegmentEntry(entry, out));
    EXPECT_EQ(le32(out, 16), 0xBC987302u);
    EXPECT_EQ(le32(out, 32), 262336u);
    EXPECT_EQ(le32(out, 40), 1u);
    EXPECT_EQ(le32(out, 44), 0x8001u);
    EXPECT_EQ(out[50], std::byte{3});
    EXPECT_EQ(out[54], std::byte{0x00});
    EXPECT_EQ(out[55], std::byte{0x80});
    EXPECT_EQ(out[60], std::byte{9});
    EXPECT_EQ(le32(out, 80), 11u);
    EXPECT_EQ(le32(out, 140), 0xFFFFFFFFu);
    EXPECT_TRUE(allZero(out, 144, 256) && allZero(out, 61, 80) && allZero(out, 52, 54));
    EXPECT_EQ(decodeSegmentEntry(out), entry);

    BackupFrameHeader frame;
    frame.titlePresent = 1;
    frame.frameTime = 0x5f5e1000;
    frame.previousHeaderOffset = 64;
    frame.segmentKey = 42;
    frame.vidOffset = 96;
    frame.params = {5, 6, 7, 8};
    frame.title = "Gate";
    std::array<std::byte, 192> raw{};
    ASSERT_TRUE(encodeBackupFrameHeader(frame, raw));
    EXPECT_EQ(le32(raw, 24), 0x5f5e1000u);
    EXPECT_EQ(le32(raw, 40), 42u);
    EXPECT_EQ(raw[50], std::byte{7});
    EXPECT_EQ(std::memcmp(raw.data() + 96, "Gate", 5), 0);
    EXPECT_EQ(decodeBackupFrameHeader(raw), frame);
    // The writer replaces only the two offsets and keeps the recorder's other bytes.
    raw[16] = std::byte{0x77};
    ASSERT_TRUE(patchFrameHeaderOffsets(raw, 1000, 2000));
    EXPECT_EQ(le32(raw, 32), 1000u);
    EXPECT_EQ(le32(raw, 44), 2000u);
    EXPECT_EQ(raw[16], std::byte{0x77});
    EXPECT_EQ(le32(raw, 40), 42u);
}

TEST(BackupSetRecords, ShortBuffersAreRefused) {
    std::vector<std::byte> small(63);
    EXPECT_FALSE(encodeFileHeader({}, small));
    EXPECT_FALSE(decodeFileHeader(small));
    EXPECT_FALSE(decodeFileTrailer(small));
    EXPECT_FALSE(decodeSetSummary(std::span(small).first(0)));
    std::vector<std::byte> entry(255);
    EXPECT_FALSE(encodeSegmentEntry({}, entry));
    EXPECT_FALSE(decodeSegmentEntry(entry));
    EXPECT_FALSE(decodeTimeRecord(std::span(small).first(7)));
    std::vector<std::byte> header(191);
    EXPECT_FALSE(decodeBackupFrameHeader(header));
    EXPECT_FALSE(patchFrameHeaderOffsets(header, 1, 2));
}

TEST(BackupSetRecords, TagCheckIgnoresCaseAndReadsFiveCharacters) {
    auto tag = [](const char* text) {
        std::array<std::byte, 16> b{};
        std::memcpy(b.data(), text, std::strlen(text));
        return b;
    };
    EXPECT_TRUE(backupTagValid(tag("kaldrvid")));
    EXPECT_TRUE(backupTagValid(tag("KALDRxyz")));
    EXPECT_FALSE(backupTagValid(tag("kaldx")));
    const auto whole = tag("kaldrvid");
    EXPECT_FALSE(backupTagValid(std::span(whole).first(4)));
}

TEST(BackupSetRecords, NamesAreLowerCaseHexOfTheBase) {
    EXPECT_EQ(backupBaseName(0x5F5E100A), "5f5e100a");
    EXPECT_EQ(backupBaseName(0xABC), "abc");
    const auto files = backupSetFiles("dl", 0x6571c2de);
    EXPECT_EQ(files.idx, std::filesystem::path("dl/6571c2de.idx"));
    EXPECT_EQ(files.vih, std::filesystem::path("dl/6571c2de.vih"));
    EXPECT_EQ(files.vid, std::filesystem::path("dl/6571c2de.vid"));
    EXPECT_EQ(backupSetId("6571C2DE.idx"), 0x6571c2deu);
    EXPECT_EQ(backupSetId("6571c2de9.idx"), 0x6571c2deu); // eight characters at most
    EXPECT_EQ(backupSetId("abc.idx"), 0xabcu);
    EXPECT_FALSE(backupSetId("x.idx"));
}

} // namespace
} // namespace kalder
