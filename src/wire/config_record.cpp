#include "wire/config_record.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace kalder {

namespace {

// The order in which the recorder's own code converts; the order has no effect on the result.
// The four PTZ arrays at 4320 .. 4447 are one run of 64 u16.
constexpr ByteOrderRun kRuns[] = {
    {4, 4, 1},     {648, 2, 2},  {3504, 4, 2},   {4216, 2, 2},
    {4320, 2, 64}, {4448, 4, 5}, {4600, 2, 512}, {6400, 2, 64},
};

void swapRuns(std::span<std::byte> record) {
    if constexpr (std::endian::native == std::endian::big)
        return;
    for (const ByteOrderRun& run : kRuns) {
        for (std::size_t i = 0; i < run.count; ++i) {
            const std::size_t at = run.offset + i * run.width;
            if (at + run.width > record.size())
                break;
            std::byte* p = record.data() + at;
            std::reverse(p, p + run.width);
        }
    }
}

} // namespace

const ConfigField* findConfigField(std::string_view name) {
    for (const ConfigField& f : configFields())
        if (f.name == name)
            return &f;
    return nullptr;
}

std::span<const ByteOrderRun> configByteOrderRuns() {
    return kRuns;
}

void configToHostOrder(std::span<std::byte> record) {
    swapRuns(record);
}

void configToNetworkOrder(std::span<std::byte> record) {
    swapRuns(record);
}

std::uint32_t configCrc32(std::span<const std::byte> bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt: feed very long inputs in pieces.
    const auto* p = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const uInt n = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
        crc = crc32(crc, p, n);
        p += n;
        left -= n;
    }
    return static_cast<std::uint32_t>(crc);
}

bool verifyConfigTransfer(std::span<const std::byte> payload) {
    if (payload.size() < kConfigCrcSize)
        return false;
    ByteReader reader(payload);
    const std::uint32_t sent = reader.readBe32();
    return reader.ok() && sent == configCrc32(payload.subspan(kConfigCrcSize));
}

std::vector<std::byte> sealConfigTransfer(std::span<const std::byte> record, std::size_t length,
                                          std::span<const std::byte> tail) {
    if (length < kConfigCrcSize)
        return {};
    std::vector<std::byte> payload(length, std::byte{0});
    const std::size_t recordLength = length - kConfigCrcSize;
    const std::size_t fromRecord = std::min(recordLength, record.size());
    std::copy_n(record.begin(), fromRecord, payload.begin() + kConfigCrcSize);
    const std::size_t fromTail = std::min(recordLength - fromRecord, tail.size());
    std::copy_n(tail.begin(), fromTail, payload.begin() + kConfigCrcSize + fromRecord);
    ByteWriter writer(payload);
    writer.writeBe32(configCrc32(std::span(payload).subspan(kConfigCrcSize)));
    return payload;
}

std::optional<ConfigRecord> ConfigRecord::fromTransfer(std::span<const std::byte> payload) {
    if (!verifyConfigTransfer(payload))
        return std::nullopt;
    ConfigRecord record = fromRecordBytes(payload.subspan(kConfigCrcSize));
    return record;
}

ConfigRecord ConfigRecord::fromRecordBytes(std::span<const std::byte> record) {
    ConfigRecord r;
    const std::size_t kept = std::min(record.size(), kConfigRecordCapacity);
    std::copy_n(record.begin(), kept, r.m_bytes.begin());
    r.m_tail.assign(record.begin() + static_cast<std::ptrdiff_t>(kept), record.end());
    r.m_transferLength = record.size() + kConfigCrcSize;
    return r;
}

std::vector<std::byte> ConfigRecord::seal() const {
    return sealConfigTransfer(m_bytes, m_transferLength, m_tail);
}

std::uint32_t ConfigRecord::value(const ConfigField& field, std::size_t index) const {
    if (index >= field.count || field.end() > m_bytes.size())
        return 0;
    // Read in place; an element running past the record reads as 0.
    const std::size_t at = field.offset + index * field.width;
    const std::size_t length = field.kind == FieldClass::Be32   ? 4
                               : field.kind == FieldClass::Be16 ? 2
                                                                : 1;
    if (at + length > m_bytes.size())
        return 0;
    switch (field.kind) {
    case FieldClass::Byte:
        return byteAt(at);
    case FieldClass::Be16:
        return std::uint32_t(byteAt(at)) << 8 | byteAt(at + 1);
    case FieldClass::Be32:
        return std::uint32_t(byteAt(at)) << 24 | std::uint32_t(byteAt(at + 1)) << 16 |
               std::uint32_t(byteAt(at + 2)) << 8 | byteAt(at + 3);
    case FieldClass::Text:
        break;
    }
    return 0;
}

bool ConfigRecord::setValue(const ConfigField& field, std::size_t index, std::uint32_t value) {
    if (index >= field.count || field.end() > m_bytes.size())
        return false;
    ByteWriter writer(m_bytes);
    writer.seek(field.offset + index * field.width);
    switch (field.kind) {
    case FieldClass::Byte:
        if (value > 0xFF)
            return false;
        writer.writeU8(static_cast<std::uint8_t>(value));
        return writer.ok();
    case FieldClass::Be16:
        if (value > 0xFFFF)
            return false;
        writer.writeBe16(static_cast<std::uint16_t>(value));
        return writer.ok();
    case FieldClass::Be32:
        writer.writeBe32(value);
        return writer.ok();
    case FieldClass::Text:
        break;
    }
    return false;
}

std::string ConfigRecord::text(const ConfigField& field, std::size_t index) const {
    if (field.kind != FieldClass::Text || index >= field.count || field.end() > m_bytes.size())
        return {};
    ByteReader reader(m_bytes);
    reader.seek(field.offset + index * field.width);
    return reader.readText(field.width);
}

bool ConfigRecord::setText(const ConfigField& field, std::size_t index, std::string_view text,
                           TextFill fill) {
    if (field.kind != FieldClass::Text || index >= field.count || field.end() > m_bytes.size() ||
        field.width == 0)
        return false;
    const std::size_t start = field.offset + index * field.width;
    const std::size_t n = std::min<std::size_t>(text.size(), field.width - 1u);
    std::byte* p = m_bytes.data() + start;
    if (fill == TextFill::ClearField)
        std::memset(p, 0, field.width);
    if (n)
        std::memcpy(p, text.data(), n);
    p[n] = std::byte{0};
    return true;
}

bool ConfigRecord::right(std::size_t account, std::size_t permission) const {
    if (account >= 8 || permission >= 8)
        return false;
    return value(configField("right"), 8 * permission + account) != 0;
}

bool ConfigRecord::setRight(std::size_t account, std::size_t permission, bool granted) {
    if (account >= 8 || permission >= 8)
        return false;
    return setValue(configField("right"), 8 * permission + account, granted ? 1 : 0);
}

} // namespace kalder
