#include "wire/ptz_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

namespace kalder {

std::array<std::byte, kPtzChannelRequestSize> encodePtzChannelRequest(const PtzChannelRequest& r) {
    std::array<std::byte, kPtzChannelRequestSize> bytes{};
    ByteWriter w(bytes);
    w.writeU8(r.channel);
    w.writeU8(static_cast<std::uint8_t>(r.mode));
    w.writeZeros(2);
    return bytes;
}

std::optional<PtzChannelRequest> decodePtzChannelRequest(std::span<const std::byte> payload) {
    if (payload.size() != kPtzChannelRequestSize)
        return std::nullopt;
    ByteReader r(payload);
    PtzChannelRequest request;
    request.channel = r.readU8();
    request.mode = r.readU8() == 1 ? PtzMode::ZoomFocus : PtzMode::PanTilt;
    return request;
}

bool decodePtzChannelReply(std::span<const std::byte> payload) {
    ByteReader r(payload);
    const std::uint8_t available = r.readU8();
    return r.ok() && available == 1;
}

std::array<std::byte, kPtzCommandSize> encodePtzCommand(const PtzCommand& command) {
    std::array<std::byte, kPtzCommandSize> bytes{};
    ByteWriter w(bytes);
    w.writeU8(command.command);
    w.writeU8(static_cast<std::uint8_t>(command.parameter & 0xFF));
    w.writeU8(0);
    w.writeU8(static_cast<std::uint8_t>(command.parameter >> 8));
    return bytes;
}

std::optional<PtzCommand> decodePtzCommand(std::span<const std::byte> payload) {
    if (payload.size() != kPtzCommandSize)
        return std::nullopt;
    ByteReader r(payload);
    PtzCommand command;
    command.command = r.readU8();
    const std::uint8_t low = r.readU8();
    r.skip(1);
    const std::uint8_t high = r.readU8();
    command.parameter = static_cast<std::uint16_t>(low | (high << 8));
    return command;
}

std::uint8_t ptzMoveCommand(PtzMode mode, PtzDirection direction) {
    static constexpr std::uint8_t kPanTilt[4] = {2, 3, 1, 0};   // up, down, left, right
    static constexpr std::uint8_t kZoomFocus[4] = {4, 5, 7, 6}; // up, down, left, right
    const auto index = static_cast<std::size_t>(direction) & 3;
    return mode == PtzMode::ZoomFocus ? kZoomFocus[index] : kPanTilt[index];
}

} // namespace kalder
