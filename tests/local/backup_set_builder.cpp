#include "backup_set_builder.h"

#include "wire/frame_info.h"

#include <algorithm>
#include <fstream>

namespace kalder::test {

namespace {

void put(std::vector<std::byte>& file, std::uint64_t offset, std::span<const std::byte> bytes) {
    if (file.size() < offset + bytes.size())
        file.resize(offset + bytes.size());
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

template <typename Record, typename Encode>
std::vector<std::byte> encoded(const Record& record, std::size_t size, Encode encode) {
    std::vector<std::byte> bytes(size);
    encode(record, bytes);
    return bytes;
}

void save(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

BackupSetFiles writeBackupSet(const std::filesystem::path& folder, std::uint32_t base,
                              const std::vector<SetFrame>& frames, SetLinks links) {
    std::filesystem::create_directories(folder);
    std::vector<std::byte> idx(kTimeRecordsOffset), vih, vid;
    FileHeader header;
    header.continuationLink = links.continuation;
    const auto headerBytes = encoded(header, kFileHeaderSize, encodeFileHeader);
    put(idx, 0, headerBytes);
    put(vih, 0, headerBytes);
    put(vid, 0, headerBytes);

    std::vector<SegmentEntry> segments;
    std::uint64_t recordsEnd = kTimeRecordsOffset;
    std::uint32_t lastSecond = 0;
    std::uint32_t previousHeader = kFirstFrameOffset;
    bool open = false;
    std::uint32_t key = 0;
    for (const SetFrame& f : frames) {
        if (!open || f.segmentKey != key) {
            if (open)
                segments.back().end = f.time;
            SegmentEntry entry;
            entry.start = f.time;
            entry.firstTimeRecordOffset = static_cast<std::uint32_t>(recordsEnd);
            entry.params[2] = f.kind;
            entry.lastChangedParam = f.kind;
            segments.push_back(entry);
            open = true;
            key = f.segmentKey;
        }
        SegmentEntry& segment = segments.back();
        segment.channelMask |= 1u << f.channel;
        segment.channelMaskCopy = segment.channelMask;
        segment.end = f.time;

        FrameInfoBlock block;
        block.channel = static_cast<std::uint8_t>(f.channel);
        block.resolutionCode = 0; // 352 x 240
        const std::uint32_t videoBytes =
            f.video.empty() ? f.videoBytes : static_cast<std::uint32_t>(f.video.size());
        block.videoLength = videoBytes;
        block.totalLength = videoBytes + 40;
        block.infoWord = f.time;
        block.infoHalf = f.ms;
        block.frameType = f.key ? kFrameTypeKey : 0;
        const std::uint64_t headerOffset = vih.size();
        BackupFrameHeader frameHeader;
        frameHeader.frameTime = f.time;
        frameHeader.segmentKey = f.segmentKey;
        frameHeader.previousHeaderOffset = previousHeader;
        frameHeader.vidOffset = static_cast<std::uint32_t>(vid.size());
        frameHeader.params[2] = f.kind;
        put(vih, vih.size(), encoded(frameHeader, kBackupFrameHeaderSize, encodeBackupFrameHeader));
        const auto blockBytes = encodeFrameInfoBlock(block);
        put(vid, vid.size(), blockBytes);
        if (f.video.empty())
            vid.resize(vid.size() + videoBytes, std::byte{0x5A});
        else
            vid.insert(vid.end(), f.video.begin(), f.video.end());
        previousHeader = static_cast<std::uint32_t>(headerOffset);
        if (f.time != lastSecond) {
            TimeRecord record{static_cast<std::uint32_t>(headerOffset)};
            put(idx, recordsEnd, encoded(record, kTimeRecordSize, encodeTimeRecord));
            recordsEnd += kTimeRecordSize;
            lastSecond = f.time;
        }
    }
    SetSummary summary;
    summary.segmentCount = static_cast<std::uint32_t>(segments.size());
    for (std::size_t n = 0; n < segments.size(); ++n) {
        put(idx, segmentSlotOffset(n), encoded(segments[n], kSegmentEntrySize, encodeSegmentEntry));
        summary.earliestStart =
            n == 0 ? segments[n].start : std::min(summary.earliestStart, segments[n].start);
        summary.latestEnd = std::max(summary.latestEnd, segments[n].end);
    }
    put(idx, kSetSummaryOffset, encoded(summary, kSetSummarySize, encodeSetSummary));
    FileTrailer trailer;
    trailer.nextSetLink = links.next;
    idx.resize(recordsEnd);
    put(idx, idx.size(), encoded(trailer, kFileTrailerSize, encodeFileTrailer));
    trailer.nextSetLink = 0;
    trailer.lastHeaderOffset = previousHeader;
    const auto dataTrailer = encoded(trailer, kFileTrailerSize, encodeFileTrailer);
    put(vih, vih.size(), dataTrailer);
    put(vid, vid.size(), dataTrailer);

    const BackupSetFiles files = backupSetFiles(folder, base);
    save(files.idx, idx);
    save(files.vih, vih);
    save(files.vid, vid);
    return files;
}

std::vector<SetFrame> steadyFrames(std::uint32_t start, int seconds, int perSecond,
                                   const std::vector<unsigned>& channels, int keyEvery,
                                   std::uint32_t segmentKey) {
    std::vector<SetFrame> frames;
    std::vector<int> count(16, 0);
    for (int s = 0; s < seconds; ++s) {
        for (int i = 0; i < perSecond; ++i) {
            for (unsigned c : channels) {
                SetFrame f;
                f.channel = c;
                f.time = start + static_cast<std::uint32_t>(s);
                f.ms = static_cast<std::uint16_t>(i * 1000 / perSecond);
                f.key = count[c]++ % keyEvery == 0;
                f.segmentKey = segmentKey;
                frames.push_back(f);
            }
        }
    }
    return frames;
}

void truncateFile(const std::filesystem::path& file, std::uintmax_t size) {
    std::filesystem::resize_file(file, size);
}

} // namespace kalder::test
