#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kMaxPayloadLength = 65535;

// Code word: message id in bits 15-7, audio flag in bit 3, sub-code in bits 2-0.
inline constexpr std::uint16_t kCodeAudioFlag = 0x0008;
inline constexpr std::uint16_t kKeepAliveCode = 0xFF80; // id 511; 0xFF80-0xFFFF all carry it

// Fragment flags: bit 14 ends the data item, bits 9-6 carry a channel, bits 5-0 a play speed.
inline constexpr std::uint16_t kFragmentLast = 0x4000;
inline constexpr std::uint16_t kFragmentChannelShift = 6;
inline constexpr std::uint16_t kFragmentChannelMask = 0x03C0;
inline constexpr std::uint16_t kFragmentSpeedMask = 0x003F;

constexpr std::uint16_t codeForId(std::uint16_t id) {
    return static_cast<std::uint16_t>(id << 7);
}
constexpr std::uint16_t idForCode(std::uint16_t code) {
    return static_cast<std::uint16_t>(code >> 7);
}

// The 16-byte header in host view. On the wire each 32-bit word travels big-endian with the
// first-named 16-bit field in its low half, so `fragmentFlags` precedes `payloadLength`.
struct MessageHeader {
    std::uint16_t code = 0;
    std::uint16_t payloadLength = 0;
    std::uint16_t fragmentFlags = 0;
    std::uint32_t headerWord2 = 0;
    std::uint32_t headerWord3 = 0;

    std::uint16_t messageId() const { return idForCode(code); }
    bool audioFlag() const { return (code & kCodeAudioFlag) != 0; }
    bool lastFragment() const { return (fragmentFlags & kFragmentLast) != 0; }
    unsigned fragmentChannel() const {
        return (fragmentFlags & kFragmentChannelMask) >> kFragmentChannelShift;
    }
    void setFragmentChannel(unsigned channel) {
        fragmentFlags =
            static_cast<std::uint16_t>((fragmentFlags & ~kFragmentChannelMask) |
                                       ((channel << kFragmentChannelShift) & kFragmentChannelMask));
    }

    bool operator==(const MessageHeader&) const = default;
};

// A header for a message with `id`, every other field zero.
MessageHeader makeHeader(std::uint16_t id, std::uint16_t payloadLength = 0);

std::array<std::byte, kHeaderSize> encodeHeader(const MessageHeader& header);
// Decodes a received header. The upper half of word 0 is ignored.
MessageHeader decodeHeader(std::span<const std::byte, kHeaderSize> bytes);

// Reply code of a negative reply or a farewell.
struct NackPayload {
    std::int32_t errorCode = 0;
    // Present only when the payload is exactly 12 bytes long.
    std::optional<std::array<std::uint32_t, 2>> errorDetail;
};

// Decodes a negative reply's payload. A payload of 1-3 bytes gives the bytes that are there
// with the missing low-order bytes taken as zero; an empty payload gives nothing.
std::optional<NackPayload> decodeNackPayload(std::span<const std::byte> payload);

} // namespace kalder
