#include "wire/device_records.h"

#include "wire/byte_reader.h"

namespace kalder {

std::optional<std::uint32_t> decodeRecordingState(std::span<const std::byte> payload) {
    ByteReader r(payload);
    const std::uint32_t state = r.readBe32();
    if (!r.ok())
        return std::nullopt;
    return state;
}

bool recordingAfterAck(bool onAck, std::uint32_t state) {
    if (onAck)
        return state == kRecordingStarted || state == kRecordingStartedAlt;
    return !(state == kRecordingStopped || state == kRecordingStoppedAlt);
}

std::optional<std::uint32_t> decodeRecorderTimeReply(std::span<const std::byte> payload) {
    return decodeRecordingState(payload); // the same one big-endian word
}

} // namespace kalder
