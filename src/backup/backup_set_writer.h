#pragma once

#include "backup/backup_writer.h"
#include "files/backup_set_records.h"
#include "files/data_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalder {

// The file work of one backup transfer, run by the writer thread alone: the open set, its
// segment bookkeeping and the chaining of sets.
//
// Every file keeps 64 bytes beyond its last whole record (zeros while the set is open: a set
// that was never closed has no close magic there). Those bytes are already on the disk, so when
// a write fails (a full disk) the files are cut back to the last whole frame plus those 64 bytes
// and the trailer is written over them: closing never needs more room than the set already holds.
class BackupSetWriter {
public:
    enum class Outcome { Written, Dropped, Failed };

    BackupSetWriter(std::filesystem::path folder, const BackupWriterLimits& limits);

    // Opens the first set of the transfer (continuation link 0).
    bool start();
    // Appends one frame item; Failed ends the transfer (error() says why).
    Outcome write(BackupItem& item);
    // Closes the open set with next-set link 0. False when the set could not be closed whole.
    bool finish();

    const std::vector<std::string>& sets() const { return m_sets; }
    std::uint64_t frames() const { return m_frames; }
    std::uint64_t bytes() const { return m_bytes; }
    std::uint64_t dropped() const { return m_dropped; }
    const std::string& error() const { return m_error; }

private:
    struct Segment {
        bool open = false;
        std::uint32_t key = 0;
        std::uint32_t start = 0;
        std::uint32_t firstTimeRecord = 0;
        std::uint8_t firstParam = 0;
        std::uint8_t lastParam = 0;
        std::uint32_t videoMask = 0;
        std::uint16_t changeMask = 0;
        std::array<std::uint32_t, 16> counters{};
        bool haveSecond = false;
        std::uint32_t lastSecond = 0;
    };
    struct OpenSet {
        std::uint32_t base = 0;
        BackupSetFiles names;
        std::optional<DataFile> idx, vih, vid;
        std::uint64_t vihEnd = kFirstFrameOffset; // ends of the whole records written
        std::uint64_t vidEnd = kFirstFrameOffset;
        std::uint64_t timeEnd = kTimeRecordsOffset;
        std::uint64_t bytes = 0; // frame bytes in this set
        std::size_t segmentCount = 0;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> spans; // start, end of each entry
        std::uint32_t lastHeaderOffset = 0;                         // 0: no frame yet
    };

    // A chained set carries its rollover link in its header; the first set carries 0.
    std::optional<OpenSet> createSet(bool chained);
    bool closeSet(OpenSet& set, std::uint32_t nextLink, std::span<const std::byte> closingHeader);
    // Closes the open set and continues in a chained one; false when the transfer must end.
    bool chain(std::span<const std::byte> closingHeader);
    bool writeEntry(OpenSet& set, std::span<const std::byte> closingHeader);
    void openSegment(std::span<const std::byte> header);
    bool fail(const std::string& what, const std::filesystem::path& file, int error);

    const std::filesystem::path m_folder;
    const std::uint64_t m_rolloverBytes;
    const std::size_t m_maxSegments;
    const std::function<std::uint32_t()> m_now;

    std::optional<OpenSet> m_set;
    Segment m_segment;
    std::uint32_t m_previousHeader = kFirstFrameOffset;
    std::array<std::byte, kBackupFrameHeaderSize> m_lastHeader{}; // of the last whole frame
    std::vector<std::string> m_sets;
    std::uint64_t m_frames = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_dropped = 0;
    std::string m_error;
};

} // namespace kalder
