#include "wire/status_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

namespace kalder {

std::optional<ChannelConfigRecord> decodeChannelConfigRecord(std::span<const std::byte> payload) {
    if (payload.size() != kChannelConfigRecordSize)
        return std::nullopt;
    ByteReader r(payload);
    ChannelConfigRecord rec;
    rec.word0 = r.readBe32();
    for (auto& c : rec.covert)
        c = r.readU8();
    for (auto& title : rec.titles)
        title = r.readText(32);
    r.seek(540);
    rec.audioChannel = r.readU8();
    rec.archive_pass = r.readText(8);
    if (!r.ok())
        return std::nullopt;
    return rec;
}

std::array<std::byte, kChannelConfigRecordSize>
encodeChannelConfigRecord(const ChannelConfigRecord& rec) {
    std::array<std::byte, kChannelConfigRecordSize> bytes{};
    ByteWriter w(bytes);
    w.writeBe32(rec.word0);
    for (auto c : rec.covert)
        w.writeU8(c);
    for (const auto& title : rec.titles)
        w.writeText(title, 32);
    w.seek(540);
    w.writeU8(rec.audioChannel);
    w.writeText(rec.archive_pass, 8);
    return bytes;
}

std::optional<LiveViewRights> decodeLiveViewRights(std::span<const std::byte> payload) {
    if (payload.size() != kLiveViewRightsSize)
        return std::nullopt;
    ByteReader r(payload);
    LiveViewRights rights;
    for (auto& user : rights.allowed)
        for (auto& channel : user)
            channel = r.readU8();
    return rights;
}

std::array<std::byte, kLiveViewRightsSize> encodeLiveViewRights(const LiveViewRights& rights) {
    std::array<std::byte, kLiveViewRightsSize> bytes{};
    ByteWriter w(bytes);
    for (const auto& user : rights.allowed)
        for (auto channel : user)
            w.writeU8(channel);
    return bytes;
}

std::optional<UserRightsTable> decodeUserRightsTable(std::span<const std::byte> payload) {
    if (payload.size() != kUserRightsTableSize)
        return std::nullopt;
    ByteReader r(payload);
    UserRightsTable table;
    for (auto& right : table.rights)
        for (auto& user : right)
            user = r.readU8();
    for (auto& name : table.names)
        name = r.readText(32);
    for (auto& password : table.passwords)
        password = r.readText(32);
    if (!r.ok())
        return std::nullopt;
    return table;
}

std::array<std::byte, kUserRightsTableSize> encodeUserRightsTable(const UserRightsTable& table) {
    std::array<std::byte, kUserRightsTableSize> bytes{};
    ByteWriter w(bytes);
    for (const auto& right : table.rights)
        for (auto user : right)
            w.writeU8(user);
    for (const auto& name : table.names)
        w.writeText(name, 32);
    for (const auto& password : table.passwords)
        w.writeText(password, 32);
    return bytes;
}

std::optional<RecStatus> decodeRecStatus(std::span<const std::byte> payload) {
    if (payload.size() != kRecStatusSize)
        return std::nullopt;
    ByteReader r(payload);
    RecStatus s;
    s.statusBits = r.readBe32();
    s.recordingMode = r.readBe32();
    s.word2 = r.readBe32();
    s.word3 = r.readBe32();
    return s;
}

std::array<std::byte, kRecStatusSize> encodeRecStatus(const RecStatus& s) {
    std::array<std::byte, kRecStatusSize> bytes{};
    ByteWriter w(bytes);
    w.writeBe32(s.statusBits);
    w.writeBe32(s.recordingMode);
    w.writeBe32(s.word2);
    w.writeBe32(s.word3);
    return bytes;
}

} // namespace kalder
