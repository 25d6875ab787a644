#pragma once

#include "wire/message_header.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kalder::sim {

// One connection's PTZ state: the channel PTZ_CHANNEL_REQ chose and whether it has a camera.
// Each request becomes a log line ("ptz-channel 3 mode 1 available 1", "ptz-move 9 12 ch 3",
// "ptz-stop ch 3"); PTZ_CHANNEL_REQ gets PTZ_CHANNEL_ACK with byte 0 = 1 when the channel has a
// camera, 0 when not. Commands for a channel without a camera are logged and ignored.
class PtzDevice {
public:
    struct Outcome {
        std::string logLine;
        std::optional<std::uint8_t> channelReply; // PTZ_CHANNEL_ACK's byte 0, when one is due
    };

    // `available` answers whether a channel has a camera. Nothing when the message is not a
    // PTZ message.
    std::optional<Outcome> handle(const MessageHeader& header, std::span<const std::byte> payload,
                                  const std::function<bool(unsigned)>& available);

private:
    int m_channel = -1; // -1: no PTZ_CHANNEL_REQ yet
    bool m_available = false;
};

} // namespace kalder::sim
