#include "sim/firmware_receiver.h"

#include "wire/message_catalogue.h"

#include <cstdio>

namespace kalder::sim {

std::optional<FirmwareReceiver::Outcome>
FirmwareReceiver::handle(const MessageHeader& header, std::span<const std::byte> payload,
                         const Codes& codes) {
    Outcome out;
    const std::uint16_t id = header.messageId();
    if (id == MessageId::FW_UPDATE_REQ) {
        const auto request = decodeFwUpdateRequest(payload);
        if (!request) {
            out.logLine = "fw-request bad-size " + std::to_string(payload.size());
            return out;
        }
        out.logLine = "fw-request slot " + std::to_string(request->componentType) + " time " +
                      std::to_string(request->buildTime) + " name " + request->componentName;
        if (codes.updateNack != 0) {
            m_receiving = false;
            out.replies.push_back({MessageId::FW_UPDATE_NACK, codes.updateNack});
            out.logLine += " refused " + std::to_string(codes.updateNack);
            return out;
        }
        m_receiving = true;
        m_request = *request;
        m_bytes = 0;
        m_messages = 0;
        m_flagsClean = true;
        m_checksum = 2166136261u;
        out.replies.push_back({MessageId::FW_UPDATE_ACK, std::nullopt});
        return out;
    }
    if (id != MessageId::FW_DATA)
        return std::nullopt;
    if (!m_receiving) {
        out.logLine = "fw-data unexpected " + std::to_string(payload.size());
        return out;
    }
    ++m_messages;
    m_bytes += payload.size();
    for (std::byte b : payload)
        m_checksum = (m_checksum ^ std::to_integer<std::uint32_t>(b)) * 16777619u;
    if ((header.fragmentFlags & ~kFragmentLast) != 0)
        m_flagsClean = false;
    const bool last = header.lastFragment();
    if (!last && m_bytes <= kMaxImageBytes)
        return out;

    m_receiving = false;
    char line[200];
    std::snprintf(line, sizeof line, "fw-data slot %u bytes %zu messages %u checksum %08x flags %s",
                  unsigned{m_request.componentType}, m_bytes, m_messages, m_checksum,
                  m_flagsClean ? "ok" : "bad");
    out.logLine = line;
    if (!last || codes.dataFail != 0) {
        const std::int32_t code = codes.dataFail != 0 ? codes.dataFail : 1;
        out.replies.push_back({MessageId::FW_DATA_RX_FAIL, code});
        out.logLine += " rx-fail " + std::to_string(code);
        return out;
    }
    out.replies.push_back({MessageId::FW_DATA_RX_DONE, std::nullopt});
    if (codes.updateFail != 0) {
        out.replies.push_back({MessageId::FW_UPDATE_FAIL, codes.updateFail});
        out.logLine += " update-fail " + std::to_string(codes.updateFail);
        return out;
    }
    out.replies.push_back({MessageId::FW_UPDATE_DONE, std::nullopt});
    out.logLine += " done";
    out.flashed = std::make_pair(m_request.componentType, m_request.buildTime);
    return out;
}

} // namespace kalder::sim
