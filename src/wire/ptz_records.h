#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kalder {

inline constexpr std::size_t kPtzChannelRequestSize = 4;
inline constexpr std::size_t kPtzCommandSize = 4;

// The four direction buttons of the PTZ panel, in the order the panel reports them.
enum class PtzDirection : std::uint8_t { Up = 0, Down = 1, Left = 2, Right = 3 };

// What the four direction buttons drive: the camera's pan and tilt, or its zoom and focus.
enum class PtzMode : std::uint8_t { PanTilt = 0, ZoomFocus = 1 };

// PTZ_MOVE_REQ command numbers beyond the eight direction commands.
namespace PtzCommandNumber {
enum : std::uint8_t {
    PresetSet = 8,
    PresetCall = 9,
    LearnStart = 10,
    LearnEnd = 11,
    LearnCall = 12,
    DomeMenuEnter = 13,
    DomeMenuSelect = 14,
    DomeMenuPrevious = 15,
    DomeMenuLeave = 16,
    TourRun = 17,
};
}

// PTZ_CHANNEL_REQ: byte 0 the channel (0-15), byte 1 the panel mode, bytes 2-3 zero.
struct PtzChannelRequest {
    std::uint8_t channel = 0;
    PtzMode mode = PtzMode::PanTilt;
};
std::array<std::byte, kPtzChannelRequestSize> encodePtzChannelRequest(const PtzChannelRequest& r);
std::optional<PtzChannelRequest> decodePtzChannelRequest(std::span<const std::byte> payload);

// PTZ_CHANNEL_ACK: byte 0 is 1 when the channel has a controllable camera; anything else (or an
// empty payload) means it has none. Further bytes carry nothing the client uses.
bool decodePtzChannelReply(std::span<const std::byte> payload);

// PTZ_MOVE_REQ: byte 0 the command, byte 1 the parameter's low 8 bits, byte 2 zero, byte 3 the
// parameter's high 8 bits. Presets run to 999, so the parameter needs both halves.
struct PtzCommand {
    std::uint8_t command = 0;
    std::uint16_t parameter = 0;
    bool operator==(const PtzCommand&) const = default;
};
std::array<std::byte, kPtzCommandSize> encodePtzCommand(const PtzCommand& command);
std::optional<PtzCommand> decodePtzCommand(std::span<const std::byte> payload);

// The command a held direction button sends in a panel mode: pan/tilt right 0, left 1, up 2,
// down 3; zoom/focus up 4, down 5, right 6, left 7.
std::uint8_t ptzMoveCommand(PtzMode mode, PtzDirection direction);

} // namespace kalder
