#pragma once

#include "wire/message_header.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace kalder {

// One A_TALK_DATA payload: the same shape as the audio section of a live frame. Bytes 0-1,535
// are zero, bytes 1,536-2,047 hold 512 bytes (64 ms) of 8 kHz mu-law sound.
inline constexpr std::size_t kTalkPacketSize = 2048;
inline constexpr std::size_t kTalkSoundOffset = 1536;
inline constexpr std::size_t kTalkSoundSize = kTalkPacketSize - kTalkSoundOffset;

using TalkPacket = std::array<std::byte, kTalkPacketSize>;

// Builds a packet from 512 captured bytes; a shorter capture is padded with mu-law silence
// (0xFF), a longer one is cut.
TalkPacket encodeTalkPacket(std::span<const std::byte> sound);

// The recorder's side: the 512 sound bytes of a received payload, or nothing when the payload is
// not exactly one packet long.
std::optional<std::array<std::byte, kTalkSoundSize>>
decodeTalkPacket(std::span<const std::byte> payload);

// The header of one talk message: A_TALK_DATA, 2,048 payload bytes, last-fragment flag (bit 14).
MessageHeader talkHeader();

// The session's talk slot (18) holds the front end's talk sender through this: the session only
// ever destroys it, which stops capture and the sender thread.
class TalkSlotObject {
public:
    virtual ~TalkSlotObject() = default;
};

} // namespace kalder
