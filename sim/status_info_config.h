#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalder::sim {

// What the simulated recorder answers to STATUS_INFO_REQ ([status] section of the INI file,
// --set status.key=value).
struct StatusInfoConfig {
    std::uint32_t diskSizeMb = 1907729; // first quantity: a 2 TB disk
    std::uint32_t diskFreeMb = 1258291; // second quantity: what is left of it
    bool diskDetails = true;            // 28-byte reply with four disks' details, else 16 bytes
    unsigned pieceBytes = 10;           // payload bytes per STATUS_INFO_ACK piece (1-65535)
    std::optional<std::int32_t> refuse; // answer STATUS_INFO_NACK with this code instead
    bool sendSystemInfo = false;        // also send an unasked SYSTEM_INFO_ACK ahead of it
};

// One key of the [status] section; an error text, or nothing.
std::optional<std::string> applyStatusSetting(StatusInfoConfig& config, std::string_view key,
                                              std::string_view value);

} // namespace kalder::sim
