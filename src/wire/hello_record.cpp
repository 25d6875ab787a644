#include "wire/hello_record.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <utility>

namespace kalder {

std::string toLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::array<std::byte, kHelloPayloadSize> encodeHelloPayload(const HelloPayload& hello) {
    std::array<std::byte, kHelloPayloadSize> bytes{};
    ByteWriter w(bytes);
    w.writeText(toLowerAscii(hello.userId), 16);
    w.writeText(toLowerAscii(hello.password), 16);
    return bytes;
}

std::optional<HelloPayload> decodeHelloPayload(std::span<const std::byte> payload) {
    if (payload.size() != kHelloPayloadSize)
        return std::nullopt;
    ByteReader r(payload);
    HelloPayload hello;
    hello.userId = r.readText(16);
    hello.password = r.readText(16);
    return hello;
}

std::optional<HelloRecord> decodeHelloRecord(std::span<const std::byte> payload) {
    if (payload.size() != kHelloRecordSize)
        return std::nullopt;
    ByteReader r(payload);
    HelloRecord h;
    h.protocol_major_ver = r.readU8();
    h.protocol_minor_ver = r.readU8();
    h.product_number = r.readU8();
    h.product_major_ver = r.readU8();
    h.product_minor_ver = r.readU8();
    h.front_ver = r.readU8();
    h.channel_num = r.readU8();
    h.account = r.readU8();
    for (auto& b : h.mac)
        b = r.readU8();
    h.sub_product_num_major = r.readU8();
    h.sub_product_num_minor = r.readU8();
    h.flags = r.readU8();
    r.seek(48);
    for (auto& name : h.firmName)
        name = r.readText(32);
    for (auto& ver : h.firmVer)
        ver = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return h;
}

std::array<std::byte, kHelloRecordSize> encodeHelloRecord(const HelloRecord& h) {
    std::array<std::byte, kHelloRecordSize> bytes{};
    ByteWriter w(bytes);
    w.writeU8(h.protocol_major_ver);
    w.writeU8(h.protocol_minor_ver);
    w.writeU8(h.product_number);
    w.writeU8(h.product_major_ver);
    w.writeU8(h.product_minor_ver);
    w.writeU8(h.front_ver);
    w.writeU8(h.channel_num);
    w.writeU8(h.account);
    for (auto b : h.mac)
        w.writeU8(b);
    w.writeU8(h.sub_product_num_major);
    w.writeU8(h.sub_product_num_minor);
    w.writeU8(h.flags);
    w.seek(48);
    for (const auto& name : h.firmName)
        w.writeText(name, 32);
    for (auto ver : h.firmVer)
        w.writeBe32(ver);
    return bytes;
}

void rearrangeFirmwareSlots(HelloRecord& record) {
    // slot <- recorder entry
    constexpr std::array<std::pair<std::size_t, std::size_t>, 5> kMoves = {
        {{0, 0}, {3, 2}, {4, 5}, {5, 3}, {6, 4}}};
    const auto names = record.firmName;
    const auto versions = record.firmVer;
    record.firmName = {};
    record.firmVer = {};
    for (const auto& [slot, entry] : kMoves) {
        record.firmName[slot] = names[entry];
        record.firmVer[slot] = versions[entry];
    }
}

} // namespace kalder
