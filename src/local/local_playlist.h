#pragma once

#include "local/backup_set_catalog.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kalder {

// What a play request asks for: from a start on (the timeline, a date without an end), one
// segment exactly (the event list), or a period (a date with an end). Times are RecorderTime.
struct LocalPlayRequest {
    enum class Kind { StartOnly, ExactSegment, StartAndEnd };
    Kind kind = Kind::StartOnly;
    std::uint32_t start = 0;
    std::uint32_t end = 0; // ExactSegment and StartAndEnd only
};

// The date panel's end that means "no end": 2037-12-31 23:59:59.
inline constexpr std::uint32_t kLocalNoEndTime = 0x7FE8177F;

// One segment of one set in the playlist.
struct PlaylistEntry {
    bool startFound = false; // the segment holds the requested start and its frame was found
    std::size_t segmentIndex = 0;
    std::size_t setIndex = 0; // the set's place in play order
    std::filesystem::path idxPath, vihPath, vidPath;
    std::uint32_t start = 0, requested = 0, end = 0; // RecorderTime
    // 0 for start-only and exact-segment requests; for periods 2 for the segment holding the
    // start, 3 for the one holding the end, 1 for those in between.
    int part = 0;
    std::uint64_t positionOffset = 0; // .vih offset of the frame found for the start (or end)
    std::uint64_t firstOffset = 0;    // .vih offset of the segment's first frame header
    std::uint64_t endOffset = 0;      // .vih offset just past the segment's last frame header
    std::uint32_t channels = 0;       // channels with video (the entry's two masks together)
    bool flag = false;
    bool joinedPrev = false, joinedNext = false;
    // Where the segment's time records lie in the .idx: the first (entry offset 32) and the end
    // of the records (the trailer, or the file's end for a set that was never closed).
    std::uint64_t timeRecordOffset = 0;
    std::uint64_t timeRecordsEnd = 0;

    // Where reading stops going forward: endOffset, or for a period the first frame at or
    // after its end (part 3, and a part-2 segment that holds the end as well).
    std::uint64_t stopOffset = 0;

    // The frames the entry plays lie in [readBegin(), stopOffset): backward play enters the
    // entry at stopOffset and ends at readBegin(); forward play enters at forwardStart().
    std::uint64_t readBegin() const { return part == 2 ? positionOffset : firstOffset; }
    std::uint64_t forwardStart() const { return part == 3 ? firstOffset : positionOffset; }
};

struct Playlist {
    std::vector<PlaylistEntry> entries;
    std::size_t current = 0; // the entry playback starts with
    bool empty() const { return current >= entries.size(); }
};

// Builds the playlist of a request over the sets in play order (discoverBackupSets with the
// data tag). A set whose .idx lacks the open magic, or whose files cannot be opened, is skipped;
// a segment whose time record or offsets point outside its files is left out.
Playlist buildPlaylist(const std::vector<BackupSetInfo>& sets, const LocalPlayRequest& request,
                       const BackupSetSource& source = BackupSetSource::fileSystem());

// The run of joined entries around `index`: earliest start and latest end, following the joins
// back and forth.
struct RunSpan {
    std::uint32_t start = 0, end = 0;
};
RunSpan runSpan(const Playlist& playlist, std::size_t index);

} // namespace kalder
