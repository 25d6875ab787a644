#include "local/local_frame_reader.h"

#include "wire/channel_count.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kalder {

namespace {

std::optional<BackupFrameHeader> readHeader(const BackupSetFile& vih, std::uint64_t offset) {
    std::array<std::byte, kBackupFrameHeaderSize> bytes{};
    if (!vih.read(offset, bytes))
        return std::nullopt;
    return decodeBackupFrameHeader(bytes);
}

} // namespace

LocalFrame readLocalFrame(const BackupSetFile& vih, const BackupSetFile& vid, std::uint64_t at,
                          std::uint32_t restarts, std::size_t bufferSize) {
    LocalFrame frame;
    const std::optional<BackupFrameHeader> header = readHeader(vih, at);
    if (!header)
        return frame;
    frame.header = *header;
    frame.status = LocalFrame::Status::Damaged;

    std::array<std::byte, kFrameInfoBlockSize> blockBytes{};
    std::optional<FrameInfoBlock> block;
    if (vid.read(header->vidOffset, blockBytes))
        block = decodeFrameInfoBlock(blockBytes);
    if (!block)
        return frame;
    const std::uint64_t frameBytes =
        std::uint64_t(kFrameInfoBlockSize) + block->videoLength + block->audioLength;
    const FrameDescriptor d = makeFrameDescriptor(*block, restarts);
    if (!d.usable() || d.channel >= kChannelCount || frameBytes > bufferSize ||
        !vid.holds(header->vidOffset, frameBytes))
        return frame;
    frame.status = LocalFrame::Status::Usable;
    frame.descriptor = d;
    frame.frameBytes = frameBytes;
    return frame;
}

bool readLocalFrameBytes(const BackupSetFile& vid, const LocalFrame& frame,
                         std::span<std::byte> buffer) {
    return frame.status == LocalFrame::Status::Usable && frame.frameBytes <= buffer.size() &&
           vid.read(frame.header.vidOffset, buffer.first(frame.frameBytes));
}

std::uint64_t localSeekPosition(const BackupSetFile& idx, const BackupSetFile& vih,
                                const PlaylistEntry& e, std::uint32_t target) {
    // The record of the target second, clamped to the entry's records.
    std::uint64_t second = target > e.start ? target - e.start : 0;
    if (e.timeRecordsEnd < e.timeRecordOffset + kTimeRecordSize)
        second = 0;
    else
        second = std::min<std::uint64_t>(
            second, (e.timeRecordsEnd - e.timeRecordOffset) / kTimeRecordSize - 1);
    std::uint64_t pos = e.readBegin();
    std::array<std::byte, kTimeRecordSize> bytes{};
    if (idx.read(e.timeRecordOffset + second * kTimeRecordSize, bytes)) {
        if (const std::optional<TimeRecord> record = decodeTimeRecord(bytes))
            pos = record->frameHeaderOffset;
    }
    // A record outside the entry or off the header grid is not trusted.
    if (pos < e.readBegin() || pos >= e.stopOffset ||
        (pos - kFirstFrameOffset) % kBackupFrameHeaderSize != 0)
        pos = e.readBegin();
    while (pos + kBackupFrameHeaderSize <= e.stopOffset) {
        const std::optional<std::uint32_t> frameTime = readFrameTime(vih, pos);
        if (!frameTime || *frameTime >= target)
            break;
        pos += kBackupFrameHeaderSize;
    }
    return pos;
}

} // namespace kalder
