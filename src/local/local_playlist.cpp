#include "local/local_playlist.h"

#include "local/backup_set_file.h"

#include <algorithm>
#include <array>

namespace kalder {

namespace {

// The usable region of a set's files.
struct SetBounds {
    std::uint64_t recordsEnd = 0; // end of the .idx time records
    std::uint64_t headersEnd = 0; // end of the last whole .vih frame header
};

bool hasTrailer(const BackupSetFile& file) {
    std::array<std::byte, kFileTrailerSize> bytes{};
    if (file.size() < kFileHeaderSize + kFileTrailerSize ||
        !file.read(file.size() - kFileTrailerSize, bytes))
        return false;
    const std::optional<FileTrailer> trailer = decodeFileTrailer(bytes);
    return trailer && trailer->magic == kSetCloseMagic;
}

SetBounds setBounds(const BackupSetFile& idx, const BackupSetFile& vih) {
    SetBounds bounds;
    bounds.recordsEnd = hasTrailer(idx) ? idx.size() - kFileTrailerSize : idx.size();
    if (hasTrailer(vih)) {
        bounds.headersEnd = vih.size() - kFileTrailerSize;
    } else if (vih.size() >= kFirstFrameOffset) {
        // A .vih cut short (the program ended, the disc is damaged): its whole headers only.
        const std::uint64_t whole = (vih.size() - kFirstFrameOffset) / kBackupFrameHeaderSize;
        bounds.headersEnd = kFirstFrameOffset + whole * kBackupFrameHeaderSize;
    }
    return bounds;
}

std::optional<std::uint32_t> readTimeRecord(const BackupSetFile& idx, const SetBounds& bounds,
                                            std::uint64_t offset) {
    std::array<std::byte, kTimeRecordSize> bytes{};
    if (offset < kTimeRecordsOffset || offset > bounds.recordsEnd ||
        bounds.recordsEnd - offset < kTimeRecordSize || !idx.read(offset, bytes))
        return std::nullopt;
    const std::optional<TimeRecord> record = decodeTimeRecord(bytes);
    if (!record)
        return std::nullopt;
    return record->frameHeaderOffset;
}

// The first frame of the entry at or after `time`, through the time records from the entry's
// first one; the last frame the records reach inside the entry when none is that late.
struct Found {
    std::uint64_t offset = 0;
    std::uint32_t time = 0;
    bool found = false;
};
Found findFrame(const BackupSetFile& idx, const BackupSetFile& vih, const SetBounds& bounds,
                const PlaylistEntry& entry, std::uint32_t time) {
    Found result{entry.firstOffset, entry.start, false};
    for (std::uint64_t at = entry.timeRecordOffset;; at += kTimeRecordSize) {
        const std::optional<std::uint32_t> offset = readTimeRecord(idx, bounds, at);
        if (!offset || *offset < entry.firstOffset || *offset >= entry.endOffset)
            break;
        const std::optional<std::uint32_t> frameTime = readFrameTime(vih, *offset);
        if (!frameTime)
            break;
        result.offset = *offset;
        result.time = *frameTime;
        if (*frameTime >= time) {
            result.found = true;
            break;
        }
    }
    return result;
}

} // namespace

Playlist buildPlaylist(const std::vector<BackupSetInfo>& sets, const LocalPlayRequest& request,
                       const BackupSetSource& source) {
    using Kind = LocalPlayRequest::Kind;
    Playlist playlist;
    bool startSearched = false;
    for (std::size_t si = 0; si < sets.size(); ++si) {
        const BackupSetInfo& set = sets[si];
        if (!set.openMagicValid)
            continue;
        const std::optional<BackupSetFile> idx = source.open(set.idx);
        const std::optional<BackupSetFile> vih = source.open(set.vih);
        const std::optional<BackupSetFile> vid = source.open(set.vid);
        if (!idx || !vih || !vid)
            continue;
        const SetBounds bounds = setBounds(*idx, *vih);
        const std::vector<SegmentEntry> segments = readSegmentEntries(set, source);

        // Each segment's first frame from its first time record; a segment whose record or
        // frame lies outside the files is left out.
        std::vector<PlaylistEntry> setEntries;
        for (std::size_t k = 0; k < segments.size(); ++k) {
            const SegmentEntry& segment = segments[k];
            const std::optional<std::uint32_t> first =
                readTimeRecord(*idx, bounds, segment.firstTimeRecordOffset);
            if (!first || *first < kFirstFrameOffset ||
                std::uint64_t(*first) + kBackupFrameHeaderSize > bounds.headersEnd)
                continue;
            PlaylistEntry entry;
            entry.segmentIndex = k;
            entry.setIndex = si;
            entry.idxPath = set.idx;
            entry.vihPath = set.vih;
            entry.vidPath = set.vid;
            entry.start = entry.requested = segment.start;
            entry.end = segment.end;
            entry.firstOffset = entry.positionOffset = *first;
            entry.channels = segment.channelMask & segment.channelMaskCopy;
            entry.flag = (segment.flag & 1u) != 0;
            entry.timeRecordOffset = segment.firstTimeRecordOffset;
            entry.timeRecordsEnd = bounds.recordsEnd;
            setEntries.push_back(std::move(entry));
        }
        for (std::size_t k = 0; k < setEntries.size(); ++k) {
            PlaylistEntry& entry = setEntries[k];
            entry.endOffset =
                k + 1 < setEntries.size() ? setEntries[k + 1].firstOffset : bounds.headersEnd;
            // Out of order offsets (a damaged index): the segment plays nothing.
            entry.endOffset = std::max(entry.endOffset, entry.firstOffset);
            entry.stopOffset = entry.endOffset;
            entry.joinedPrev = k == 0 && set.joinedPrev;
            entry.joinedNext = k + 1 == setEntries.size() && set.joinedNext;
        }

        for (PlaylistEntry& entry : setEntries) {
            const bool holdsStart = entry.start <= request.start && request.start <= entry.end;
            switch (request.kind) {
            case Kind::StartOnly:
                break;
            case Kind::ExactSegment:
                if (entry.start != request.start || entry.end != request.end)
                    continue;
                break;
            case Kind::StartAndEnd:
                if (!(entry.start < request.end && request.start < entry.end))
                    continue;
                break;
            }
            const bool searchStart =
                request.kind == Kind::StartAndEnd ? holdsStart : holdsStart && !startSearched;
            if (searchStart) {
                startSearched = true;
                const Found found = findFrame(*idx, *vih, bounds, entry, request.start);
                entry.positionOffset = found.offset;
                entry.requested = found.found ? found.time : entry.start;
                entry.startFound = found.found;
            }
            if (request.kind == Kind::StartAndEnd) {
                const bool holdsEnd = entry.start <= request.end && request.end <= entry.end;
                entry.part = holdsStart ? 2 : holdsEnd ? 3 : 1;
                if (holdsEnd) {
                    // Reading stops at the first frame at or after the end; when no frame is
                    // that late, the segment plays to its end.
                    const Found found = findFrame(*idx, *vih, bounds, entry, request.end);
                    if (found.found)
                        entry.stopOffset = std::max(found.offset, entry.readBegin());
                    if (entry.part == 3)
                        entry.positionOffset = found.found ? found.offset : entry.endOffset;
                }
            }
            playlist.entries.push_back(std::move(entry));
        }
    }

    // Joins hold only between neighbours that are both in the list.
    auto& entries = playlist.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool nextJoined = i + 1 < entries.size() && entries[i].joinedNext &&
                                entries[i + 1].joinedPrev &&
                                entries[i + 1].setIndex == entries[i].setIndex + 1;
        entries[i].joinedNext = nextJoined;
        if (i + 1 < entries.size() && !nextJoined)
            entries[i + 1].joinedPrev = false;
    }
    if (!entries.empty()) {
        entries.front().joinedPrev = false;
        entries.back().joinedNext = false;
    }

    while (playlist.current < entries.size() && entries[playlist.current].start < request.start &&
           entries[playlist.current].end < request.start)
        ++playlist.current;
    return playlist;
}

RunSpan runSpan(const Playlist& playlist, std::size_t index) {
    const auto& entries = playlist.entries;
    if (index >= entries.size())
        return {};
    RunSpan span{entries[index].start, entries[index].end};
    for (std::size_t i = index; i > 0 && entries[i].joinedPrev; --i)
        span.start = std::min(span.start, entries[i - 1].start);
    for (std::size_t i = index; i + 1 < entries.size() && entries[i].joinedNext; ++i)
        span.end = std::max(span.end, entries[i + 1].end);
    return span;
}

} // namespace kalder
