#include "sim/ptz_device.h"

#include "wire/message_catalogue.h"
#include "wire/ptz_records.h"

namespace kalder::sim {

std::optional<PtzLinks> readPtzLinks(const ConfigRecord& record) {
    const ConfigField& id = configField("ptz_id");
    const ConfigField& protocol = configField("ptz_protocol");
    const ConfigField& baud = configField("ptz_baud");
    if (id.end() > record.recordLength() || protocol.end() > record.recordLength() ||
        baud.end() > record.recordLength())
        return std::nullopt;
    PtzLinks links;
    for (std::size_t ch = 0; ch < kPtzChannels; ++ch) {
        links[ch].address = static_cast<std::uint8_t>(record.value(id, ch));
        links[ch].protocol = static_cast<std::uint8_t>(record.value(protocol, ch));
        links[ch].baud = static_cast<std::uint8_t>(record.value(baud, ch));
    }
    return links;
}

std::optional<std::string> ptzLinkMismatch(const PtzLink& recorder, const PtzLink& camera) {
    if (recorder.address == 0)
        return std::string("ptz off");
    // The wrong baud rate garbles every byte and the wrong protocol every command, whatever
    // the address; only then does the address count.
    if (recorder.baud != camera.baud)
        return "baud " + std::to_string(recorder.baud) + ", camera " + std::to_string(camera.baud);
    if (recorder.protocol != camera.protocol)
        return "protocol " + std::to_string(recorder.protocol) + ", camera " +
               std::to_string(camera.protocol);
    if (recorder.address != camera.address)
        return "address " + std::to_string(recorder.address) + ", camera " +
               std::to_string(camera.address);
    return std::nullopt;
}

std::optional<PtzDevice::Outcome> PtzDevice::handle(const MessageHeader& header,
                                                    std::span<const std::byte> payload,
                                                    const std::function<bool(unsigned)>& available,
                                                    const Mismatch& mismatch) {
    Outcome out;
    const auto whyNot = [&]() -> std::optional<std::string> {
        if (!mismatch || m_channel < 0)
            return std::nullopt;
        return mismatch(static_cast<unsigned>(m_channel));
    };
    switch (header.messageId()) {
    case MessageId::PTZ_CHANNEL_REQ: {
        const auto request = decodePtzChannelRequest(payload);
        if (!request) {
            out.logLine = "ptz-channel bad-size " + std::to_string(payload.size());
            return out;
        }
        m_channel = request->channel;
        m_available = request->channel < 16 && available(request->channel);
        // PTZ switched off for the channel in the recorder's setup: no camera to offer.
        if (m_available && whyNot() == std::optional<std::string>("ptz off"))
            m_available = false;
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
        else if (const auto why = whyNot())
            out.logLine += " unanswered: " + *why;
        return out;
    }
    case MessageId::PTZ_MOVE_STOP:
        out.logLine = "ptz-stop ch " + std::to_string(m_channel);
        if (!m_available)
            out.logLine += " ignored";
        else if (const auto why = whyNot())
            out.logLine += " unanswered: " + *why;
        return out;
    default:
        return std::nullopt;
    }
}

} // namespace kalder::sim
