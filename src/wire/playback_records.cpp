#include "wire/playback_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <cstring>

namespace kalder {

std::array<std::byte, kPlayOnRequestSize> encodePlayOnRequest(const PlayOnRequest& request) {
    std::array<std::byte, kPlayOnRequestSize> out{};
    ByteWriter w(out);
    w.writeBe32(request.channelMask);
    w.writeU8(request.kind);
    w.writeZeros(11);
    w.writeBe32(request.start);
    w.writeBe32(request.end);
    return out;
}

std::optional<PlayOnRequest> decodePlayOnRequest(std::span<const std::byte> payload) {
    if (payload.size() != kPlayOnRequestSize)
        return std::nullopt;
    ByteReader r(payload);
    PlayOnRequest request;
    request.channelMask = r.readBe32();
    request.kind = r.readU8();
    r.skip(11);
    request.start = r.readBe32();
    request.end = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return request;
}

std::array<std::byte, kPlayPositionSize> encodePlayPosition(const PlayPosition& position) {
    std::array<std::byte, kPlayPositionSize> out{};
    ByteWriter w(out);
    w.writeBe32(position.channelMask);
    w.writeU8(0);
    w.writeU8(position.versionByte);
    w.writeZeros(10);
    w.writeBe32(position.position);
    w.writeZeros(4);
    return out;
}

std::optional<PlayPosition> decodePlayPosition(std::span<const std::byte> payload) {
    if (payload.size() != kPlayPositionSize)
        return std::nullopt;
    ByteReader r(payload);
    PlayPosition position;
    position.channelMask = r.readBe32();
    r.skip(1);
    position.versionByte = r.readU8();
    r.skip(10);
    position.position = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return position;
}

std::array<std::byte, 4> encodePlayWord(std::uint32_t value) {
    std::array<std::byte, 4> out{};
    ByteWriter w(out);
    w.writeBe32(value);
    return out;
}

std::optional<std::uint32_t> decodePlayWord(std::span<const std::byte> payload) {
    if (payload.size() != 4)
        return std::nullopt;
    ByteReader r(payload);
    return r.readBe32();
}

std::array<std::byte, kRecordingFrameHeaderSize>
encodeRecordingFrameHeader(const RecordingFrameHeader& header) {
    std::array<std::byte, kRecordingFrameHeaderSize> out{};
    ByteWriter w(out);
    // The tag keeps a terminating zero inside its 16 bytes.
    w.writeText(header.tag.substr(0, kRecordingTagSize - 1), kRecordingTagSize);
    w.writeZeros(4);
    w.writeLe32(header.titlePresent);
    w.writeLe32(header.frameTime);
    w.seek(40);
    w.writeLe32(header.segmentKey);
    w.seek(48);
    for (std::uint8_t b : header.recordingParams)
        w.writeU8(b);
    w.seek(96);
    w.writeText(header.title, kRecordingTitleSize);
    return out;
}

std::optional<RecordingFrameHeader> decodeRecordingFrameHeader(std::span<const std::byte> bytes) {
    if (bytes.size() < kRecordingFrameHeaderSize)
        return std::nullopt;
    ByteReader r(bytes.first(kRecordingFrameHeaderSize));
    RecordingFrameHeader header;
    header.tag = r.readText(kRecordingTagSize);
    r.skip(4);
    header.titlePresent = r.readLe32();
    header.frameTime = r.readLe32();
    r.seek(40);
    header.segmentKey = r.readLe32();
    r.seek(48);
    for (std::uint8_t& b : header.recordingParams)
        b = r.readU8();
    r.seek(96);
    header.title = r.readText(kRecordingTitleSize);
    if (!r.ok())
        return std::nullopt;
    return header;
}

bool recordingTagMatches(std::span<const std::byte> bytes) {
    constexpr std::size_t n = sizeof kRecordingTag; // the text and its zero
    if (bytes.size() < n)
        return false;
    return std::memcmp(bytes.data(), kRecordingTag, n) == 0;
}

int playSpeedForCode(unsigned code) {
    switch (code) {
    case 6:
        return -4;
    case 7:
        return -3;
    case 8:
        return -2;
    case 9:
        return -1;
    case 11:
        return 1;
    case 12:
        return 2;
    case 13:
        return 3;
    case 14:
        return 4;
    default:
        return 0;
    }
}

unsigned playCodeForSpeed(int speed) {
    if (speed >= -4 && speed <= -1)
        return static_cast<unsigned>(10 + speed);
    if (speed >= 1 && speed <= 4)
        return static_cast<unsigned>(10 + speed);
    return 0;
}

std::uint8_t playPositionVersionByte(std::uint8_t productMajor, std::uint8_t productMinor) {
    return (productMajor > 1 || (productMajor == 1 && productMinor >= 1)) ? 1 : 0;
}

} // namespace kalder
