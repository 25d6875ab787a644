#include "wire/frame_info.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <algorithm>

namespace kalder {

std::optional<FrameInfoBlock> decodeFrameInfoBlock(std::span<const std::byte> frame) {
    if (frame.size() < kFrameInfoBlockSize)
        return std::nullopt;
    ByteReader r(frame.first(kFrameInfoBlockSize));
    FrameInfoBlock b;
    b.frameMagic = r.readLe32();
    r.skip(4);
    const std::uint32_t word2 = r.readLe32();
    b.channel = word2 & 0x0F;
    b.audioChannelNibble = (word2 >> 4) & 0x0F;
    b.resolutionCode = (word2 >> 8) & 0x0F;
    b.totalLength = word2 >> 12;
    b.infoWord = r.readLe32();
    b.lineStandard625 = ((r.readLe32() >> 23) & 1) != 0;
    const std::uint32_t lengths = r.readLe32();
    b.videoLength = lengths & 0xFFFFF;
    b.audioLength = lengths >> 20;
    b.audioMarker = r.readLe16();
    b.infoHalf = r.readLe16();
    b.frameType = r.readU8() & 0x03;
    if (!r.ok())
        return std::nullopt;
    return b;
}

std::array<std::byte, kFrameInfoBlockSize> encodeFrameInfoBlock(const FrameInfoBlock& b) {
    std::array<std::byte, kFrameInfoBlockSize> bytes{};
    ByteWriter w(bytes);
    w.writeLe32(b.frameMagic);
    w.writeLe32(0);
    w.writeLe32((b.channel & 0x0Fu) | ((b.audioChannelNibble & 0x0Fu) << 4) |
                ((b.resolutionCode & 0x0Fu) << 8) | ((b.totalLength & 0xFFFFFu) << 12));
    w.writeLe32(b.infoWord);
    w.writeLe32(b.lineStandard625 ? (1u << 23) : 0u);
    w.writeLe32((b.videoLength & 0xFFFFFu) | ((b.audioLength & 0xFFFu) << 20));
    w.writeLe16(b.audioMarker);
    w.writeLe16(b.infoHalf);
    w.writeU8(b.frameType & 0x03);
    return bytes;
}

PictureSize pictureSizeFor(std::uint8_t resolutionCode, bool lineStandard625) {
    switch (resolutionCode) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
        return {704, static_cast<std::uint16_t>(lineStandard625 ? 576 : 480)};
    case 5:
    case 9:
        return {704, static_cast<std::uint16_t>(lineStandard625 ? 288 : 240)};
    default:
        return {352, static_cast<std::uint16_t>(lineStandard625 ? 288 : 240)};
    }
}

bool isUsablePictureSize(std::uint16_t width, std::uint16_t height) {
    if (width == 352 || width == 360)
        return height == 240 || height == 288;
    if (width == 704 || width == 720)
        return height == 240 || height == 288 || height == 480 || height == 576;
    return false;
}

std::optional<std::array<std::byte, kAudioElementBytes>>
audioElementOf(const FrameDescriptor& descriptor, std::span<const std::byte> frame) {
    const std::size_t start = kFrameInfoBlockSize + descriptor.videoLength + kLiveAudioOffset;
    if (descriptor.audioLength == 0 || start >= frame.size())
        return std::nullopt;
    const std::size_t available = std::min(
        {std::size_t{descriptor.audioLength / 4}, frame.size() - start, kAudioElementBytes});
    std::array<std::byte, kAudioElementBytes> element;
    element.fill(std::byte{0xFF}); // mu-law silence
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(start), available, element.begin());
    return element;
}

FrameDescriptor makeFrameDescriptor(const FrameInfoBlock& block, std::uint32_t streamGeneration) {
    FrameDescriptor d;
    d.channel = block.channel;
    d.frameType = block.frameType;
    d.audioChannel = block.audioMarker != 0 ? block.audioChannelNibble : 255;
    d.infoWord = block.infoWord;
    d.infoHalf = block.infoHalf;
    d.blockLength = block.videoLength + static_cast<std::uint32_t>(kFrameInfoBlockSize);
    const PictureSize size = pictureSizeFor(block.resolutionCode, block.lineStandard625);
    d.width = size.width;
    d.height = size.height;
    d.streamGeneration = streamGeneration;
    d.videoLength = block.videoLength;
    d.audioLength = block.audioLength;
    return d;
}

} // namespace kalder
