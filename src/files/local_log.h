#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// Kinds of the local operation log; the event bit within a kind is given by the caller.
inline constexpr std::uint32_t kLogKindProgram = 0x1, kLogKindLogon = 0x2, kLogKindLocalPlay = 0x4,
                               kLogKindSetupImage = 0x8;

// Events within the kinds.
inline constexpr std::uint32_t kLogEventProgramStart = 0x1, kLogEventProgramExit = 0x2;
inline constexpr std::uint32_t kLogEventLogon = 0x1, kLogEventLogoff = 0x2,
                               kLogEventLogonFailed = 0x4;
inline constexpr std::uint32_t kLogEventLocalPlayStart = 0x1, kLogEventLocalPlayEnd = 0x2;
inline constexpr std::uint32_t kLogEventSetupSaved = 0x1, kLogEventSnapshotSaved = 0x2;

// The ring file: an 8-byte header (wrapped, nextIndex) and 2,500 slots of 184 bytes.
inline constexpr std::size_t kLocalLogSlotCount = 2500;
inline constexpr std::size_t kLocalLogRecordSize = 184;
inline constexpr std::size_t kLocalLogHeaderSize = 8;
inline constexpr std::size_t kLocalLogMaxFileSize =
    kLocalLogHeaderSize + kLocalLogSlotCount * kLocalLogRecordSize; // 460,008
inline constexpr std::size_t kLocalLogAddressWidth = 128;
inline constexpr std::size_t kLocalLogUserIdWidth = 32;

struct LocalLogSettings {
    std::filesystem::path dataFolder;
    bool removableMode = false;
    std::int32_t timeZoneOffsetSeconds = 0;
};

// One slot of the ring, little-endian on disk.
struct LocalLogRecord {
    std::uint32_t slot = 0;
    std::uint32_t recordSize = kLocalLogRecordSize;
    std::uint32_t kind = 0;
    std::uint32_t event = 0;
    std::uint32_t time = 0; // seconds since 1970 in the client's time zone
    std::string address;    // logon entries only; at most 128 bytes are kept
    std::string userId;     // logon entries only; at most 32 bytes are kept
};

struct LocalLogHeader {
    std::uint32_t wrapped = 0;
    std::uint32_t nextIndex = 0;
};

using LocalLogRecordBytes = std::array<std::byte, kLocalLogRecordSize>;
using LocalLogHeaderBytes = std::array<std::byte, kLocalLogHeaderSize>;

LocalLogRecordBytes encodeLocalLogRecord(const LocalLogRecord& record);
std::optional<LocalLogRecord> decodeLocalLogRecord(std::span<const std::byte> bytes);
LocalLogHeaderBytes encodeLocalLogHeader(const LocalLogHeader& header);
std::optional<LocalLogHeader> decodeLocalLogHeader(std::span<const std::byte> bytes);

// Where the next entry goes in a ring file of `fileSize` bytes whose first bytes are
// `headerBytes`: the header's next index, or slot 0 when the header is missing, damaged or names a
// slot past the file's end (wrapped when the file is already full size).
LocalLogHeader localLogRingPosition(std::span<const std::byte> headerBytes, std::uint64_t fileSize);

// The two writes of one append at `position`: the record (its slot field set) at its slot's
// offset, then the advanced header at offset 0.
struct LocalLogAppend {
    LocalLogRecordBytes record{};
    std::uint64_t recordOffset = 0;
    LocalLogHeaderBytes header{};
};
LocalLogAppend planLocalLogAppend(const LocalLogHeader& position, LocalLogRecord record);

// Replaces the settings used by localLog. Thread-safe; the default is $HOME/H264, not
// removable, offset 0.
void configureLocalLog(const LocalLogSettings& settings);
LocalLogSettings localLogSettings();

// <dataFolder>/Log/Kalder.log
std::filesystem::path localLogFilePath(const std::filesystem::path& dataFolder);

// Appends one entry to the ring file of the configured data folder, at once, on the caller's
// thread. Writes nothing in removable mode. Failures are silent: an entry that cannot be written
// (folder not creatable, file held by another writer) is dropped.
void localLog(std::uint32_t kind, std::uint32_t event, std::string_view userId = {},
              std::string_view address = {});

// The ring write itself, for an explicit file: creates the folder, takes the file exclusively,
// writes `record` into the next slot (its slot field is set here) and advances the header.
// True when the entry was written.
// The file is never reached through a symbolic link and must be a regular file; a write or close
// that fails gives false.
bool appendLocalLogRecord(const std::filesystem::path& file, LocalLogRecord record);

// Every entry of the ring file, oldest first (after a wrap, the slots from the next index on come
// first). Nothing when the file cannot be read; an empty or cut file gives what it holds.
std::optional<std::vector<LocalLogRecord>> readLocalLog(const std::filesystem::path& file);
// The same from the file's bytes (bytes past the full ring's size are ignored).
std::vector<LocalLogRecord> parseLocalLog(std::span<const std::byte> bytes);

} // namespace kalder
