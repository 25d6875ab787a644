#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

inline constexpr std::size_t kFrameInfoBlockSize = 40;
inline constexpr std::uint32_t kFrameMagic = 0x000001FF;
// Largest assembled frame: 720 x 576 x 3.
inline constexpr std::size_t kFrameAssemblySize = 1244160;
// Frame types of the block.
inline constexpr std::uint8_t kFrameTypeKey = 1;
inline constexpr std::uint8_t kFrameTypeNeverDecoded = 3;
// Live audio: the element handed to the player lies at this offset of the audio data.
inline constexpr std::size_t kLiveAudioOffset = 1536;
// The player's element (64 ms of 8 kHz mu-law); kAudioElementSize of the player's interface.
inline constexpr std::size_t kAudioElementBytes = 512;

// The 40-byte block that starts every frame (live, playback, backup). Little-endian, unlike the
// rest of the protocol.
struct FrameInfoBlock {
    std::uint32_t frameMagic = kFrameMagic;
    std::uint8_t channel = 0;            // byte 8 bits 0-3
    std::uint8_t audioChannelNibble = 0; // byte 8 bits 4-7
    std::uint8_t resolutionCode = 0;     // byte 9 bits 0-3
    std::uint32_t totalLength = 0;       // bits 12-31 of bytes 8-11: block + video + audio
    std::uint32_t infoWord = 0;          // frame time, seconds
    bool lineStandard625 = false;        // bit 23 of bytes 16-19
    std::uint32_t videoLength = 0;       // bits 0-19 of bytes 20-23
    std::uint32_t audioLength = 0;       // bits 20-31 of bytes 20-23
    std::uint16_t audioMarker = 0;       // non-zero: the frame names an audio channel
    std::uint16_t infoHalf = 0;          // milliseconds of the frame time
    std::uint8_t frameType = 0;          // bits 0-1 of byte 28

    bool operator==(const FrameInfoBlock&) const = default;
};

// Decodes the first 40 bytes of `frame`; nothing when fewer are there. The magic is returned as
// read: the caller decides what a wrong magic means.
std::optional<FrameInfoBlock> decodeFrameInfoBlock(std::span<const std::byte> frame);
// Encodes a block; fields wider than their bit fields are cut to their width.
std::array<std::byte, kFrameInfoBlockSize> encodeFrameInfoBlock(const FrameInfoBlock& block);

struct PictureSize {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    bool operator==(const PictureSize&) const = default;
};

// Picture size from the resolution code and the line standard.
PictureSize pictureSizeFor(std::uint8_t resolutionCode, bool lineStandard625);
// Width 352/360 with height 240/288, or width 704/720 with height 240/288/480/576.
bool isUsablePictureSize(std::uint16_t width, std::uint16_t height);

// The client's 64-byte description of a frame, built from its block by every producer.
struct FrameDescriptor {
    std::uint8_t channel = 0;
    std::uint8_t frameType = 0;
    std::uint8_t audioChannel = 255; // 255: the frame names no audio channel
    std::uint32_t infoWord = 0;
    std::uint32_t infoHalf = 0;
    std::uint32_t blockLength = 0; // videoLength + 40
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t streamGeneration = 0;
    std::uint32_t videoLength = 0;
    std::uint32_t audioLength = 0;
    std::array<char, 32> title{}; // empty in live view; the players fill it

    bool usable() const { return isUsablePictureSize(width, height); }
    bool keyFrame() const { return frameType == kFrameTypeKey; }
};

FrameDescriptor makeFrameDescriptor(const FrameInfoBlock& block, std::uint32_t streamGeneration);

// The sound element a frame carries for the player: audioLength / 4 bytes, 1,536 bytes after the
// end of the video, cut or padded with mu-law silence to 512 bytes, and only from bytes that are
// there (`frame` starts with the frame info block). Nothing when the frame holds none of it.
std::optional<std::array<std::byte, kAudioElementBytes>>
audioElementOf(const FrameDescriptor& descriptor, std::span<const std::byte> frame);

} // namespace kalder
