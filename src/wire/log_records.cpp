#include "wire/log_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kalder {

namespace {

// The field of `width` bytes at `offset`, or nothing when it does not lie wholly in `record`.
std::span<const std::byte> field(std::span<const std::byte> record, std::size_t offset,
                                 std::size_t width) {
    if (offset > record.size() || width > record.size() - offset)
        return {};
    return record.subspan(offset, width);
}

std::uint32_t be32At(std::span<const std::byte> record, std::size_t offset) {
    const auto bytes = field(record, offset, 4);
    if (bytes.empty())
        return 0;
    ByteReader r(bytes);
    return r.readBe32();
}

std::string textAt(std::span<const std::byte> record, std::size_t offset, std::size_t width) {
    const auto bytes = field(record, offset, width);
    if (bytes.empty())
        return {};
    ByteReader r(bytes);
    return r.readText(width);
}

template <std::size_t N>
void copyAt(std::span<const std::byte> record, std::size_t offset, std::size_t width,
            std::array<std::uint8_t, N>& out) {
    const auto bytes = field(record, offset, std::min(width, N));
    if (!bytes.empty())
        std::memcpy(out.data(), bytes.data(), bytes.size());
}

} // namespace

int lowestBit(std::uint32_t bits) {
    return bits == 0 ? -1 : std::countr_zero(bits);
}

LogRecord decodeLogRecord(std::span<const std::byte> bytes) {
    LogRecord r;
    r.sequence = be32At(bytes, 0);
    r.size = be32At(bytes, 4);
    r.kindBits = be32At(bytes, 8);
    r.subKindBits = be32At(bytes, 12);
    r.time = be32At(bytes, 16);
    r.channelValue = be32At(bytes, 20);
    r.source = textAt(bytes, 152, kLogSourceWidth);
    if (bytes.size() == kLogRecordShortSize) {
        r.text = textAt(bytes, 24, kLogTextWidth);
        return r;
    }
    r.text = textAt(bytes, 24, kLogShortTextWidth);
    copyAt(bytes, 88, kLogValueBlockWire, r.oldValue);
    copyAt(bytes, 120, kLogValueBlockWire, r.newValue);
    copyAt(bytes, 184, kLogExtraSize, r.extra);
    r.archiveStart = be32At(bytes, 192);
    r.archiveEnd = be32At(bytes, 196);
    return r;
}

std::vector<std::byte> encodeLogRecord(const LogRecord& record, std::size_t size) {
    const bool shortLayout = size == kLogRecordShortSize;
    std::vector<std::byte> out(shortLayout ? kLogRecordShortSize : kLogRecordLongSize);
    ByteWriter w(out);
    w.writeBe32(record.sequence);
    w.writeBe32(record.size);
    w.writeBe32(record.kindBits);
    w.writeBe32(record.subKindBits);
    w.writeBe32(record.time);
    w.writeBe32(record.channelValue);
    if (shortLayout) {
        w.writeText(record.text, kLogTextWidth);
        w.writeText(record.source, kLogSourceWidth);
        return out;
    }
    w.writeText(record.text, kLogShortTextWidth);
    w.writeBytes(std::as_bytes(std::span(record.oldValue).first(kLogValueBlockWire)));
    w.writeBytes(std::as_bytes(std::span(record.newValue).first(kLogValueBlockWire)));
    w.writeText(record.source, kLogSourceWidth);
    w.writeBytes(std::as_bytes(std::span(record.extra)));
    w.writeBe32(record.archiveStart);
    w.writeBe32(record.archiveEnd);
    return out;
}

LogReply decodeLogReply(std::span<const std::byte> reply) {
    LogReply out;
    if (reply.size() < 8)
        return out;
    const std::uint32_t size = be32At(reply, 4);
    out.recordSize = size;
    if (size < kLogRecordShortSize || size > kLogRecordLongSize) {
        out.rejected = true;
        return out;
    }
    const std::size_t count = std::min(reply.size() / size, kMaxLogRecords);
    out.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.records.push_back(decodeLogRecord(reply.subspan(i * size, size)));
    return out;
}

} // namespace kalder
