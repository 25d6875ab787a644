#pragma once

#include "wire/firmware_records.h"
#include "wire/message_header.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder::sim {

// One connection's firmware upload: FW_UPDATE_REQ announces a component, FW_DATA chunks follow
// until the one with fragment flag bit 14, then the recorder reports reception and the result
// of flashing. Knobs (reply codes, 0 = positive) decide each answer.
class FirmwareReceiver {
public:
    // The largest image the recorder takes; a longer upload fails its reception.
    static constexpr std::size_t kMaxImageBytes = 64u << 20;

    struct Codes {
        std::int32_t updateNack = 0;
        std::int32_t dataFail = 0;
        std::int32_t updateFail = 0;
    };
    struct Reply {
        std::uint16_t id = 0;
        std::optional<std::int32_t> code; // a NackPayload when set
    };
    struct Outcome {
        std::vector<Reply> replies;
        std::string logLine; // empty: nothing worth a line (a middle chunk)
        // Set when a component was flashed: its slot and build time.
        std::optional<std::pair<std::uint8_t, std::uint32_t>> flashed;
    };

    // Nothing when the message is not a firmware message.
    std::optional<Outcome> handle(const MessageHeader& header, std::span<const std::byte> payload,
                                  const Codes& codes);

private:
    bool m_receiving = false;
    FwUpdateRequest m_request;
    std::size_t m_bytes = 0;
    unsigned m_messages = 0;
    bool m_flagsClean = true;               // no flag bit but 14, and 14 only on the last chunk
    std::uint32_t m_checksum = 2166136261u; // FNV-1a over the image
};

} // namespace kalder::sim
