#include "sim/ptz_device.h"

#include "wire/message_catalogue.h"
#include "wire/ptz_records.h"

namespace kalder::sim {

std::optional<PtzDevice::Outcome>
PtzDevice::handle(const MessageHeader& header, std::span<const std::byte> payload,
                  const std::function<bool(unsigned)>& available) {
    Outcome out;
    switch (header.messageId()) {
    case MessageId::PTZ_CHANNEL_REQ: {
        const auto request = decodePtzChannelRequest(payload);
        if (!request) {
            out.logLine = "ptz-channel bad-size " + std::to_string(payload.size());
            return out;
        }
        m_channel = request->channel;
        m_available = request->channel < 16 && available(request->channel);
        out.logLine = "ptz-channel " + std::to_string(m_channel) + " mode " +
                      std::to_string(static_cast<int>(request->mode)) + " available " +
                      (m_available ? "1" : "0");
        out.channelReply = m_available ? 1 : 0;
        return out;
    }
    case MessageId::PTZ_MOVE_REQ: {
        const auto command = decodePtzCommand(payload);
        if (!command) {
            out.logLine = "ptz-move bad-size " + std::to_string(payload.size());
            return out;
        }
        out.logLine = "ptz-move " + std::to_string(command->command) + " " +
                      std::to_string(command->parameter) + " ch " + std::to_string(m_channel);
        if (!m_available)
            out.logLine += " ignored";
        return out;
    }
    case MessageId::PTZ_MOVE_STOP:
        out.logLine = "ptz-stop ch " + std::to_string(m_channel);
        if (!m_available)
            out.logLine += " ignored";
        return out;
    default:
        return std::nullopt;
    }
}

} // namespace kalder::sim
