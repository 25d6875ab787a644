#include "sim/info_replies.h"

#include "sim/live_frame_builder.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "wire/status_info_record.h"

#include <algorithm>
#include <charconv>

namespace kalder::sim {

namespace {

template <typename T> bool parseInt(std::string_view text, T& out) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parseFlag(std::string_view text, bool& out) {
    if (text == "1" || text == "on" || text == "yes" || text == "true") {
        out = true;
        return true;
    }
    if (text == "0" || text == "off" || text == "no" || text == "false") {
        out = false;
        return true;
    }
    return false;
}

} // namespace

std::optional<std::string> applyStatusSetting(StatusInfoConfig& config, std::string_view key,
                                              std::string_view value) {
    bool ok = false;
    if (key == "disk_size_mb") {
        ok = parseInt(value, config.diskSizeMb);
    } else if (key == "disk_free_mb") {
        ok = parseInt(value, config.diskFreeMb);
    } else if (key == "details") {
        ok = parseFlag(value, config.diskDetails);
    } else if (key == "piece_bytes") {
        ok = parseInt(value, config.pieceBytes) && config.pieceBytes >= 1 &&
             config.pieceBytes <= 65535;
    } else if (key == "refuse") {
        std::int32_t code = 0;
        if (value == "none" || value == "off") {
            config.refuse.reset();
            ok = true;
        } else if ((ok = parseInt(value, code))) {
            config.refuse = code;
        }
    } else if (key == "system_info") {
        ok = parseFlag(value, config.sendSystemInfo);
    } else {
        return "unknown status key '" + std::string(key) + "'";
    }
    if (!ok)
        return "bad value for '" + std::string(key) + "': '" + std::string(value) + "'";
    return std::nullopt;
}

std::vector<std::byte> statusInfoPayload(const StatusInfoConfig& config, unsigned channelCount,
                                         bool recording) {
    StatusInfoRecord record;
    const unsigned channels = std::min(channelCount, 16u);
    record.rec_channel_mask =
        recording ? ((channels >= 16) ? 0xFFFFu : ((1u << channels) - 1u)) : 0;
    record.rec_mode = 0;
    record.disk_size_mb = config.diskSizeMb;
    record.disk_part_mb = config.diskFreeMb;
    record.diskDetails = config.diskDetails;
    record.disk_present = {1, 1, 0, 0};
    record.disk_value = {38, 0, 0, 0};
    record.disk_state = {0, 1, 0, 0};
    return encodeStatusInfo(record);
}

std::vector<std::byte> statusInfoAnswer(const StatusInfoConfig& config, unsigned channelCount,
                                        bool recording, std::uint16_t codeFlags) {
    std::vector<std::byte> wire;
    const auto addMessage = [&](std::uint16_t id, std::span<const std::byte> payload) {
        MessageHeader header = makeHeader(id, static_cast<std::uint16_t>(payload.size()));
        header.code |= codeFlags;
        const auto bytes = encodeHeader(header);
        wire.insert(wire.end(), bytes.begin(), bytes.end());
        wire.insert(wire.end(), payload.begin(), payload.end());
    };
    const auto addPieces = [&](std::uint16_t id, std::span<const std::byte> payload) {
        const std::vector<std::byte> pieces =
            buildFragmentedMessages(payload, id, codeFlags, 0, 0, config.pieceBytes);
        wire.insert(wire.end(), pieces.begin(), pieces.end());
    };
    if (config.sendSystemInfo) {
        const std::vector<std::byte> unasked(40, std::byte{0x5A});
        addPieces(MessageId::SYSTEM_INFO_ACK, unasked);
    }
    if (config.refuse) {
        const auto code = static_cast<std::uint32_t>(*config.refuse);
        const std::byte payload[4] = {std::byte(code >> 24), std::byte(code >> 16),
                                      std::byte(code >> 8), std::byte(code)};
        addMessage(MessageId::STATUS_INFO_NACK, payload);
        return wire;
    }
    addPieces(MessageId::STATUS_INFO_ACK, statusInfoPayload(config, channelCount, recording));
    return wire;
}

} // namespace kalder::sim
