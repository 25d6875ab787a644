#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

inline constexpr std::size_t kRecordingStateSize = 4;
inline constexpr std::size_t kTestMailRequestSize = 516; // the mail settings block, unchanged
inline constexpr std::size_t kRecorderTimeSize = 4;

// The recording state values of REC_ON_ACK and REC_OFF_ACK.
inline constexpr std::uint32_t kRecordingStarted = 49;
inline constexpr std::uint32_t kRecordingStartedAlt = 51;
inline constexpr std::uint32_t kRecordingStopped = 50;
inline constexpr std::uint32_t kRecordingStoppedAlt = 52;

// The first word of a REC_ON_ACK / REC_OFF_ACK payload; nothing when it is shorter.
std::optional<std::uint32_t> decodeRecordingState(std::span<const std::byte> payload);

// Whether the recorder records after an acknowledgement: after REC_ON_ACK only 49 and 51 mean
// recording; after REC_OFF_ACK only 50 and 52 mean stopped, any other value still recording.
bool recordingAfterAck(bool onAck, std::uint32_t state);

// DVR_TIME_ACK: the recorder's clock; nothing when the payload is short.
std::optional<std::uint32_t> decodeRecorderTimeReply(std::span<const std::byte> payload);

} // namespace kalder
