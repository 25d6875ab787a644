#include "wire/message_header.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

namespace kalder {

MessageHeader makeHeader(std::uint16_t id, std::uint16_t payloadLength) {
    MessageHeader header;
    header.code = codeForId(id);
    header.payloadLength = payloadLength;
    return header;
}

std::array<std::byte, kHeaderSize> encodeHeader(const MessageHeader& header) {
    std::array<std::byte, kHeaderSize> bytes{};
    ByteWriter w(bytes);
    w.writeBe32(header.code);
    w.writeBe32((std::uint32_t(header.fragmentFlags) << 16) | header.payloadLength);
    w.writeBe32(header.headerWord2);
    w.writeBe32(header.headerWord3);
    return bytes;
}

MessageHeader decodeHeader(std::span<const std::byte, kHeaderSize> bytes) {
    ByteReader r(bytes);
    MessageHeader header;
    header.code = static_cast<std::uint16_t>(r.readBe32() & 0xFFFF);
    const std::uint32_t word1 = r.readBe32();
    header.payloadLength = static_cast<std::uint16_t>(word1 & 0xFFFF);
    header.fragmentFlags = static_cast<std::uint16_t>(word1 >> 16);
    header.headerWord2 = r.readBe32();
    header.headerWord3 = r.readBe32();
    return header;
}

std::optional<NackPayload> decodeNackPayload(std::span<const std::byte> payload) {
    if (payload.empty())
        return std::nullopt;
    NackPayload nack;
    // A short payload: the bytes present are the code's leading (most significant) bytes.
    std::array<std::byte, 4> code{};
    for (std::size_t i = 0; i < code.size() && i < payload.size(); ++i)
        code[i] = payload[i];
    ByteReader codeReader(code);
    nack.errorCode = static_cast<std::int32_t>(codeReader.readBe32());
    if (payload.size() == 12) {
        ByteReader r(payload.subspan(4));
        nack.errorDetail = std::array<std::uint32_t, 2>{r.readBe32(), r.readBe32()};
    }
    return nack;
}

} // namespace kalder
