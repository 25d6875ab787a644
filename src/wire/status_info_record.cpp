#include "wire/status_info_record.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <algorithm>

namespace kalder {

StatusInfoRecord decodeStatusInfo(std::span<const std::byte> payload) {
    // A short reply shows zeros for what it lacks: read from a zero-padded copy of the first
    // 28 bytes.
    std::array<std::byte, kStatusInfoLongSize> bytes{};
    std::copy_n(payload.begin(), std::min(payload.size(), bytes.size()), bytes.begin());
    ByteReader reader(bytes);
    StatusInfoRecord record;
    record.rec_channel_mask = reader.readBe32();
    record.rec_mode = reader.readBe32();
    record.disk_size_mb = reader.readBe32();
    record.disk_part_mb = reader.readBe32();
    for (auto* field : {&record.disk_present, &record.disk_value, &record.disk_state})
        for (std::uint8_t& b : *field)
            b = reader.readU8();
    record.diskDetails = payload.size() != kStatusInfoShortSize;
    return record;
}

std::vector<std::byte> encodeStatusInfo(const StatusInfoRecord& record) {
    std::vector<std::byte> bytes(record.diskDetails ? kStatusInfoLongSize : kStatusInfoShortSize);
    ByteWriter writer(bytes);
    writer.writeBe32(record.rec_channel_mask);
    writer.writeBe32(record.rec_mode);
    writer.writeBe32(record.disk_size_mb);
    writer.writeBe32(record.disk_part_mb);
    if (record.diskDetails) {
        for (const auto* field : {&record.disk_present, &record.disk_value, &record.disk_state})
            for (std::uint8_t b : *field)
                writer.writeU8(b);
    }
    return bytes;
}

} // namespace kalder
