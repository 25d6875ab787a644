#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kalder {

// The records of a backup set: three files with one base name, an index (.idx) of segments and
// seconds, a header file (.vih) with the 192-byte recording header of every frame, and a data
// file (.vid) with the frame data. Every integer is little-endian. Plain C++, no Qt; every decode
// is bounds-checked and returns nothing when its bytes are not all there. Magic values and tags
// are returned as read: the caller decides what a wrong one means.

// The tag that opens the header and trailer of all three files and every record of the .idx:
// "kaldrvid" and zero bytes to 16. Readers compare only its first five characters, ignoring case.
inline constexpr char kBackupTag[] = "kaldrvid";
inline constexpr std::size_t kBackupTagSize = 16;
inline constexpr std::size_t kBackupTagCheckedChars = 5;

inline constexpr std::uint32_t kSetOpenMagic = 0x20070516;      // FileHeader
inline constexpr std::uint32_t kSetCloseMagic = 0x19720505;     // FileTrailer
inline constexpr std::uint32_t kSetSummaryMagic = 0xCAFECAFE;   // SetSummary
inline constexpr std::uint32_t kSegmentEntryMagic = 0xBC987302; // SegmentEntry

inline constexpr std::size_t kFileHeaderSize = 64;
inline constexpr std::size_t kFileTrailerSize = 64;
inline constexpr std::size_t kSetSummarySize = 128;
inline constexpr std::size_t kSegmentEntrySize = 256;
inline constexpr std::size_t kTimeRecordSize = 8;
inline constexpr std::size_t kBackupFrameHeaderSize = 192;
inline constexpr std::size_t kBackupTitleSize = 32;
// A set's index holds at most this many segment entries.
inline constexpr std::size_t kMaxSetSegments = 1024;

// Places in the .idx: the summary after the file header, the segment slots after it, then the
// time records (the index is preallocated up to there), then the trailer.
inline constexpr std::uint64_t kSetSummaryOffset = 64;
inline constexpr std::uint64_t kSegmentSlotsOffset = 192;
inline constexpr std::uint64_t kTimeRecordsOffset = 262336; // 192 + 1,024 x 256
// The first frame header in the .vih, and the first frame's data in the .vid, follow the header.
inline constexpr std::uint64_t kFirstFrameOffset = 64;

// A set is closed and a chained one opened when its frame bytes pass 650 x 1,048,576.
inline constexpr std::uint64_t kSetRolloverBytes = 681574400;
// Largest frame item (header, block, video and audio) the writer accepts: 720 x 576 x 3.
inline constexpr std::size_t kBackupFrameMaxBytes = 1244160;
// A frame item carries its 192-byte header and 40-byte frame information block before the video.
inline constexpr std::size_t kBackupFrameOverhead = 232;

// Offset of segment slot n (0-1,023) in the .idx.
constexpr std::uint64_t segmentSlotOffset(std::size_t n) {
    return kSegmentSlotsOffset + std::uint64_t(n) * kSegmentEntrySize;
}

// True when the first five characters of a tag field are those of "kaldrvid", ignoring case.
bool backupTagValid(std::span<const std::byte> tagField);

// The first 64 bytes of all three files, written when the set is opened.
struct FileHeader {
    std::string tag = kBackupTag;
    std::uint32_t magic = kSetOpenMagic; // offset 16
    // Offset 32: 0 for the first set of a transfer; for a set opened because the previous one
    // was closed by the rollover rule, the link value of that rollover.
    std::uint32_t continuationLink = 0;

    bool operator==(const FileHeader&) const = default;
};

// The last 64 bytes of all three files, written when the set is closed.
struct FileTrailer {
    std::string tag = kBackupTag;
    std::uint32_t magic = kSetCloseMagic; // offset 16
    // Offset 32, .idx only: 0 when the transfer ended, the link value when a rollover closed it.
    std::uint32_t nextSetLink = 0;
    // Offset 36, .vih and .vid only: the .vih offset of the last frame header written in this
    // set; 0 when the set holds no frame.
    std::uint32_t lastHeaderOffset = 0;

    bool operator==(const FileTrailer&) const = default;
};

// 128 bytes at .idx offset 64; zero until the set is closed.
struct SetSummary {
    std::string tag = kBackupTag;
    std::uint32_t magic = kSetSummaryMagic; // offset 16
    std::uint32_t earliestStart = 0;        // offset 24, RecorderTime
    std::uint32_t latestEnd = 0;            // offset 28, RecorderTime
    std::uint32_t segmentCount = 0;         // offset 32

    bool operator==(const SetSummary&) const = default;
};

// 256 bytes per segment (a run of frames with one segment key), slot n at 192 + 256n.
struct SegmentEntry {
    std::string tag = kBackupTag;
    std::uint32_t magic = kSegmentEntryMagic; // offset 16
    std::uint32_t start = 0;                  // offset 24: frame time of the first frame
    std::uint32_t end = 0;                    // offset 28: frame time of the closing frame
    std::uint32_t firstTimeRecordOffset = 0;  // offset 32: .idx offset of the first TimeRecord
    std::uint32_t channelMask = 0;            // offset 36: channels with video (bit n = ch n+1)
    std::uint32_t flag = 1;                   // offset 40
    std::uint32_t channelMaskCopy = 0;        // offset 44: the same mask again
    // Offsets 48-51: bytes 48, 49 and 51 of the closing frame's header, byte 50 of the first's.
    std::array<std::uint8_t, 4> params{};
    std::uint16_t changeMask = 0;      // offset 54: channels whose byte 50 differed from the first
    std::uint8_t lastChangedParam = 0; // offset 60: the last differing byte 50 (else the first)
    // Offset 80: per channel, the low 32 bits of the .vid bytes of its video frames.
    std::array<std::uint32_t, 16> channelBytes{};

    bool operator==(const SegmentEntry&) const = default;
};

// 8 bytes per new second, from .idx offset 262,336: the .vih offset of the second's first frame
// header, then four zero bytes.
struct TimeRecord {
    std::uint32_t frameHeaderOffset = 0;

    bool operator==(const TimeRecord&) const = default;
};

// The fields of the 192-byte recording header that a set's writer and player use. The writer
// keeps the recorder's bytes and replaces only offsets 32 and 44 (patchFrameHeaderOffsets);
// encode writes zeros where this struct keeps nothing.
struct BackupFrameHeader {
    std::string tag = kBackupTag;
    std::uint32_t titlePresent = 0;         // offset 20: non-zero when offset 96 holds the title
    std::uint32_t frameTime = 0;            // offset 24, RecorderTime
    std::uint32_t previousHeaderOffset = 0; // offset 32: .vih offset of the header before
    std::uint32_t segmentKey = 0;           // offset 40: a change starts a new segment
    std::uint32_t vidOffset = 0;            // offset 44: .vid offset of this frame's data
    std::array<std::uint8_t, 4> params{};   // offset 48: the four recording-parameter bytes
    std::string title;                      // offset 96, 32 bytes zero-padded

    bool operator==(const BackupFrameHeader&) const = default;
};

// Field offsets inside the recording header that the writer reads or replaces in place.
inline constexpr std::size_t kFrameHeaderTimeOffset = 24;
inline constexpr std::size_t kFrameHeaderPreviousOffset = 32;
inline constexpr std::size_t kFrameHeaderSegmentKeyOffset = 40;
inline constexpr std::size_t kFrameHeaderVidOffset = 44;
inline constexpr std::size_t kFrameHeaderParamsOffset = 48;

// Each encode writes its record's whole size at the start of `out`; false (nothing written) when
// `out` is smaller. Each decode reads the record from the start of `bytes`.
bool encodeFileHeader(const FileHeader& header, std::span<std::byte> out);
std::optional<FileHeader> decodeFileHeader(std::span<const std::byte> bytes);
bool encodeFileTrailer(const FileTrailer& trailer, std::span<std::byte> out);
std::optional<FileTrailer> decodeFileTrailer(std::span<const std::byte> bytes);
bool encodeSetSummary(const SetSummary& summary, std::span<std::byte> out);
std::optional<SetSummary> decodeSetSummary(std::span<const std::byte> bytes);
bool encodeSegmentEntry(const SegmentEntry& entry, std::span<std::byte> out);
std::optional<SegmentEntry> decodeSegmentEntry(std::span<const std::byte> bytes);
bool encodeTimeRecord(const TimeRecord& record, std::span<std::byte> out);
std::optional<TimeRecord> decodeTimeRecord(std::span<const std::byte> bytes);
bool encodeBackupFrameHeader(const BackupFrameHeader& header, std::span<std::byte> out);
std::optional<BackupFrameHeader> decodeBackupFrameHeader(std::span<const std::byte> bytes);

// Writes the previous-header offset (32) and the .vid offset (44) into a recording header in
// place; false when fewer than 192 bytes are given.
bool patchFrameHeaderOffsets(std::span<std::byte> header, std::uint32_t previousHeaderOffset,
                             std::uint32_t vidOffset);

// The three files of a set whose base value is `base`: "<hex>.idx", ".vih" and ".vid" in
// `folder`, the base printed as lower-case hexadecimal without padding.
struct BackupSetFiles {
    std::filesystem::path idx;
    std::filesystem::path vih;
    std::filesystem::path vid;
};
std::string backupBaseName(std::uint32_t base);
BackupSetFiles backupSetFiles(const std::filesystem::path& folder, std::uint32_t base);
// The set id of a file name: its first eight characters read as hexadecimal (fewer when the
// name's hexadecimal digits end before). Nothing when the name does not start with a digit.
std::optional<std::uint32_t> backupSetId(std::string_view fileName);

} // namespace kalder
