#include "files/backup_set_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace kalder {

namespace {

// The tag keeps at least one terminating zero inside its 16 bytes.
void writeTag(ByteWriter& w, const std::string& tag) {
    w.writeText(std::string_view(tag).substr(0, kBackupTagSize - 1), kBackupTagSize);
}

// The four recording-parameter bytes, as they lie.
void readParams(ByteReader& r, std::array<std::uint8_t, 4>& params) {
    const std::span<const std::byte> bytes = r.readBytes(params.size());
    if (!bytes.empty())
        std::memcpy(params.data(), bytes.data(), params.size());
}

} // namespace

bool backupTagValid(std::span<const std::byte> tagField) {
    if (tagField.size() < kBackupTagCheckedChars)
        return false;
    for (std::size_t i = 0; i < kBackupTagCheckedChars; ++i) {
        const int c = std::to_integer<unsigned char>(tagField[i]);
        if (std::tolower(c) != kBackupTag[i])
            return false;
    }
    return true;
}

bool encodeFileHeader(const FileHeader& header, std::span<std::byte> out) {
    if (out.size() < kFileHeaderSize)
        return false;
    ByteWriter w(out.first(kFileHeaderSize));
    writeTag(w, header.tag);
    w.writeLe32(header.magic);
    w.writeZeros(12);
    w.writeLe32(header.continuationLink);
    w.writeZeros(28);
    return w.ok();
}

std::optional<FileHeader> decodeFileHeader(std::span<const std::byte> bytes) {
    if (bytes.size() < kFileHeaderSize)
        return std::nullopt;
    ByteReader r(bytes.first(kFileHeaderSize));
    FileHeader header;
    header.tag = r.readText(kBackupTagSize);
    header.magic = r.readLe32();
    r.seek(32);
    header.continuationLink = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return header;
}

bool encodeFileTrailer(const FileTrailer& trailer, std::span<std::byte> out) {
    if (out.size() < kFileTrailerSize)
        return false;
    ByteWriter w(out.first(kFileTrailerSize));
    writeTag(w, trailer.tag);
    w.writeLe32(trailer.magic);
    w.writeZeros(12);
    w.writeLe32(trailer.nextSetLink);
    w.writeLe32(trailer.lastHeaderOffset);
    w.writeZeros(24);
    return w.ok();
}

std::optional<FileTrailer> decodeFileTrailer(std::span<const std::byte> bytes) {
    if (bytes.size() < kFileTrailerSize)
        return std::nullopt;
    ByteReader r(bytes.first(kFileTrailerSize));
    FileTrailer trailer;
    trailer.tag = r.readText(kBackupTagSize);
    trailer.magic = r.readLe32();
    r.seek(32);
    trailer.nextSetLink = r.readLe32();
    trailer.lastHeaderOffset = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return trailer;
}

bool encodeSetSummary(const SetSummary& summary, std::span<std::byte> out) {
    if (out.size() < kSetSummarySize)
        return false;
    ByteWriter w(out.first(kSetSummarySize));
    writeTag(w, summary.tag);
    w.writeLe32(summary.magic);
    w.writeZeros(4);
    w.writeLe32(summary.earliestStart);
    w.writeLe32(summary.latestEnd);
    w.writeLe32(summary.segmentCount);
    w.writeZeros(92);
    return w.ok();
}

std::optional<SetSummary> decodeSetSummary(std::span<const std::byte> bytes) {
    if (bytes.size() < kSetSummarySize)
        return std::nullopt;
    ByteReader r(bytes.first(kSetSummarySize));
    SetSummary summary;
    summary.tag = r.readText(kBackupTagSize);
    summary.magic = r.readLe32();
    r.skip(4);
    summary.earliestStart = r.readLe32();
    summary.latestEnd = r.readLe32();
    summary.segmentCount = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return summary;
}

bool encodeSegmentEntry(const SegmentEntry& entry, std::span<std::byte> out) {
    if (out.size() < kSegmentEntrySize)
        return false;
    ByteWriter w(out.first(kSegmentEntrySize));
    writeTag(w, entry.tag);
    w.writeLe32(entry.magic);
    w.writeZeros(4);
    w.writeLe32(entry.start);
    w.writeLe32(entry.end);
    w.writeLe32(entry.firstTimeRecordOffset);
    w.writeLe32(entry.channelMask);
    w.writeLe32(entry.flag);
    w.writeLe32(entry.channelMaskCopy);
    w.writeBytes(std::as_bytes(std::span(entry.params)));
    w.writeZeros(2);
    w.writeLe16(entry.changeMask);
    w.writeZeros(4);
    w.writeU8(entry.lastChangedParam);
    w.writeZeros(19);
    for (std::uint32_t count : entry.channelBytes)
        w.writeLe32(count);
    w.writeZeros(112);
    return w.ok();
}

std::optional<SegmentEntry> decodeSegmentEntry(std::span<const std::byte> bytes) {
    if (bytes.size() < kSegmentEntrySize)
        return std::nullopt;
    ByteReader r(bytes.first(kSegmentEntrySize));
    SegmentEntry entry;
    entry.tag = r.readText(kBackupTagSize);
    entry.magic = r.readLe32();
    r.skip(4);
    entry.start = r.readLe32();
    entry.end = r.readLe32();
    entry.firstTimeRecordOffset = r.readLe32();
    entry.channelMask = r.readLe32();
    entry.flag = r.readLe32();
    entry.channelMaskCopy = r.readLe32();
    readParams(r, entry.params);
    r.skip(2);
    entry.changeMask = r.readLe16();
    r.skip(4);
    entry.lastChangedParam = r.readU8();
    r.seek(80);
    for (std::uint32_t& count : entry.channelBytes)
        count = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return entry;
}

bool encodeTimeRecord(const TimeRecord& record, std::span<std::byte> out) {
    if (out.size() < kTimeRecordSize)
        return false;
    ByteWriter w(out.first(kTimeRecordSize));
    w.writeLe32(record.frameHeaderOffset);
    w.writeZeros(4);
    return w.ok();
}

std::optional<TimeRecord> decodeTimeRecord(std::span<const std::byte> bytes) {
    if (bytes.size() < kTimeRecordSize)
        return std::nullopt;
    ByteReader r(bytes.first(kTimeRecordSize));
    TimeRecord record;
    record.frameHeaderOffset = r.readLe32();
    if (!r.ok())
        return std::nullopt;
    return record;
}

bool encodeBackupFrameHeader(const BackupFrameHeader& header, std::span<std::byte> out) {
    if (out.size() < kBackupFrameHeaderSize)
        return false;
    ByteWriter w(out.first(kBackupFrameHeaderSize));
    writeTag(w, header.tag);
    w.writeZeros(4);
    w.writeLe32(header.titlePresent);
    w.writeLe32(header.frameTime);
    w.writeZeros(4);
    w.writeLe32(header.previousHeaderOffset);
    w.writeZeros(4);
    w.writeLe32(header.segmentKey);
    w.writeLe32(header.vidOffset);
    w.writeBytes(std::as_bytes(std::span(header.params)));
    w.writeZeros(44);
    w.writeText(header.title, kBackupTitleSize);
    w.writeZeros(64);
    return w.ok();
}

std::optional<BackupFrameHeader> decodeBackupFrameHeader(std::span<const std::byte> bytes) {
    if (bytes.size() < kBackupFrameHeaderSize)
        return std::nullopt;
    ByteReader r(bytes.first(kBackupFrameHeaderSize));
    BackupFrameHeader header;
    header.tag = r.readText(kBackupTagSize);
    r.skip(4);
    header.titlePresent = r.readLe32();
    header.frameTime = r.readLe32();
    r.skip(4);
    header.previousHeaderOffset = r.readLe32();
    r.skip(4);
    header.segmentKey = r.readLe32();
    header.vidOffset = r.readLe32();
    readParams(r, header.params);
    r.seek(96);
    header.title = r.readText(kBackupTitleSize);
    if (!r.ok())
        return std::nullopt;
    return header;
}

bool patchFrameHeaderOffsets(std::span<std::byte> header, std::uint32_t previousHeaderOffset,
                             std::uint32_t vidOffset) {
    if (header.size() < kBackupFrameHeaderSize)
        return false;
    ByteWriter w(header.first(kBackupFrameHeaderSize));
    w.seek(kFrameHeaderPreviousOffset);
    w.writeLe32(previousHeaderOffset);
    w.seek(kFrameHeaderVidOffset);
    w.writeLe32(vidOffset);
    return w.ok();
}

std::string backupBaseName(std::uint32_t base) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(base));
    return text;
}

BackupSetFiles backupSetFiles(const std::filesystem::path& folder, std::uint32_t base) {
    const std::string name = backupBaseName(base);
    return {folder / (name + ".idx"), folder / (name + ".vih"), folder / (name + ".vid")};
}

std::optional<std::uint32_t> backupSetId(std::string_view fileName) {
    std::uint32_t id = 0;
    std::size_t digits = 0;
    for (char c : fileName.substr(0, 8)) {
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                  : -1;
        if (v < 0)
            break;
        id = id * 16 + std::uint32_t(v);
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return id;
}

} // namespace kalder
