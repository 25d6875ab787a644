#pragma once

#include "wire/config_record.h"
#include "wire/message_header.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kalder::sim {

// How the recorder reaches a channel's camera over its serial line (or how the camera is set
// up): address (0: PTZ off), protocol (position in the recorder's protocol table), baud rate
// (index in the baud list).
struct PtzLink {
    std::uint8_t address = 0;
    std::uint8_t protocol = 0;
    std::uint8_t baud = 0;
    friend bool operator==(const PtzLink&, const PtzLink&) = default;
};
inline constexpr std::size_t kPtzChannels = 16;
using PtzLinks = std::array<PtzLink, kPtzChannels>;

// ptz_id, ptz_protocol and ptz_baud of a record; nothing when it is too short to hold them.
std::optional<PtzLinks> readPtzLinks(const ConfigRecord& record);
// Why a camera set up as `camera` does not understand commands sent as `recorder` ("ptz off",
// "address 4, camera 2", ...), or nothing when it does.
std::optional<std::string> ptzLinkMismatch(const PtzLink& recorder, const PtzLink& camera);

// One connection's PTZ state: the channel PTZ_CHANNEL_REQ chose and whether it has a camera.
// Each request becomes a log line ("ptz-channel 3 mode 1 available 1", "ptz-move 9 12 ch 3",
// "ptz-stop ch 3"); PTZ_CHANNEL_REQ gets PTZ_CHANNEL_ACK with byte 0 = 1 when the channel has a
// camera, 0 when not. Commands for a channel without a camera are logged and ignored; so are
// commands the camera does not understand ("... unanswered: address 4, camera 2") because the
// recorder's PTZ setup no longer matches the camera's.
class PtzDevice {
public:
    struct Outcome {
        std::string logLine;
        std::optional<std::uint8_t> channelReply; // PTZ_CHANNEL_ACK's byte 0, when one is due
    };

    // `available` answers whether a channel has a camera, `mismatch` why its camera does not
    // understand the recorder (nothing when it does; no function: always understood). Nothing
    // when the message is not a PTZ message. A channel whose PTZ address is off has no camera
    // as far as the recorder knows.
    using Mismatch = std::function<std::optional<std::string>(unsigned)>;
    std::optional<Outcome> handle(const MessageHeader& header, std::span<const std::byte> payload,
                                  const std::function<bool(unsigned)>& available,
                                  const Mismatch& mismatch = {});

private:
    int m_channel = -1; // -1: no PTZ_CHANNEL_REQ yet
    bool m_available = false;
};

} // namespace kalder::sim
