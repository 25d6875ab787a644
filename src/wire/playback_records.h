#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kalder {

// Payloads of remote playback: the request, the positioned movement, the credit and channel
// words, and the recording header that precedes a recorded frame.

inline constexpr std::size_t kPlayOnRequestSize = 24;
inline constexpr std::size_t kPlayPositionSize = 24;
inline constexpr std::size_t kRecordingFrameHeaderSize = 192;
inline constexpr std::size_t kRecordingTagSize = 16;
inline constexpr std::size_t kRecordingTitleSize = 32;
// The tag that opens every recording header; anything else marks a frame that is dropped.
inline constexpr char kRecordingTag[] = "kaldrvid";

// Kind selector of PLAY_ON_REQ: every kind (an entered date and time), the timeline's 0, or
// 1 << event type from the event list.
inline constexpr std::uint8_t kPlayKindAll = 0x3F;
inline constexpr std::uint8_t kPlayKindTimeline = 0;

// Credits: granted at the start and after each forward or reverse play command, then renewed
// by this many every this many frames received.
inline constexpr std::uint32_t kPlayInitialCredit = 93;
inline constexpr std::uint32_t kPlayCreditRenewal = 48;

// PLAY_ON_REQ (24 bytes, big-endian): channel mask (bit n = channel n), kind selector, eleven
// zero bytes, start and end RecorderTime (end 0: no end).
struct PlayOnRequest {
    std::uint32_t channelMask = 0;
    std::uint8_t kind = kPlayKindAll;
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    bool operator==(const PlayOnRequest&) const = default;
};

std::array<std::byte, kPlayOnRequestSize> encodePlayOnRequest(const PlayOnRequest& request);
// Nothing when the payload is not exactly 24 bytes.
std::optional<PlayOnRequest> decodePlayOnRequest(std::span<const std::byte> payload);

// The payload of PLAY_FORWARD / PLAY_BACKWARD that restarts the stream from a given second:
// playback channel mask, a zero byte, the version byte (1 for recorders of version 1.1 on),
// ten zero bytes, the position and four zero bytes.
struct PlayPosition {
    std::uint32_t channelMask = 0;
    std::uint8_t versionByte = 0;
    std::uint32_t position = 0;

    bool operator==(const PlayPosition&) const = default;
};

std::array<std::byte, kPlayPositionSize> encodePlayPosition(const PlayPosition& position);
std::optional<PlayPosition> decodePlayPosition(std::span<const std::byte> payload);

// PLAY_STEP_DATA (frames granted) and PLAY_CH_CHANGE (shown channels) carry one big-endian word.
std::array<std::byte, 4> encodePlayWord(std::uint32_t value);
std::optional<std::uint32_t> decodePlayWord(std::span<const std::byte> payload);

// The 192-byte little-endian header of a recorded frame. Only the fields the client and the
// simulator use are kept; the rest travel as zeros.
struct RecordingFrameHeader {
    std::string tag = kRecordingTag;               // 16 bytes, zero-terminated
    std::uint32_t titlePresent = 0;                // offset 20
    std::uint32_t frameTime = 0;                   // offset 24, RecorderTime
    std::uint32_t segmentKey = 0;                  // offset 40
    std::array<std::uint8_t, 4> recordingParams{}; // offset 48
    std::string title;                             // offset 96, 32 bytes

    bool operator==(const RecordingFrameHeader&) const = default;
};

std::array<std::byte, kRecordingFrameHeaderSize>
encodeRecordingFrameHeader(const RecordingFrameHeader& header);
// Nothing when fewer than 192 bytes are there. The tag is returned as read (up to its first
// zero byte); tagMatches() says whether it is the recording tag exactly.
std::optional<RecordingFrameHeader> decodeRecordingFrameHeader(std::span<const std::byte> bytes);
// The 16-byte tag field holds "kaldrvid" and its terminating zero.
bool recordingTagMatches(std::span<const std::byte> bytes);

// Speed of a PLAY_DATA speed code (fragment flags bits 5-0) on recorders of version 1.2 on:
// 6-9 reverse at 4, 3, 2, 1 times, 11-14 forward at 1-4 times, anything else unknown (0).
int playSpeedForCode(unsigned code);
// The code of a speed (the recorder's side): 0 for a speed it has no code for.
unsigned playCodeForSpeed(int speed);

// Version byte of the positioned payload, from the recorder's product version.
std::uint8_t playPositionVersionByte(std::uint8_t productMajor, std::uint8_t productMinor);

} // namespace kalder
