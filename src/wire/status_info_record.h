#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kalder {

// STATUS_INFO_ACK's reassembled payload: four big-endian words (16 bytes), or with the disks'
// details three more words of one byte per disk (28 bytes).
inline constexpr std::size_t kStatusInfoShortSize = 16;
inline constexpr std::size_t kStatusInfoLongSize = 28;
inline constexpr std::size_t kStatusInfoDisks = 4;

struct StatusInfoRecord {
    std::uint32_t rec_channel_mask = 0; // bit ch: channel ch records in the current mode
    std::uint32_t rec_mode = 0;         // 0..5; anything else has no text
    std::uint32_t disk_size_mb = 0;     // first disk quantity, MB (2^20 bytes)
    std::uint32_t disk_part_mb = 0;     // second disk quantity, MB
    std::array<std::uint8_t, kStatusInfoDisks> disk_present{};
    std::array<std::uint8_t, kStatusInfoDisks> disk_value{};
    std::array<std::uint8_t, kStatusInfoDisks> disk_state{};
    // The reply's length was not 16: the disks' details are shown.
    bool diskDetails = false;
};

// Never fails: a reply shorter than 28 bytes leaves the missing fields zero, bytes past 28 are
// ignored. Only a reply of exactly 16 bytes comes without disk details.
StatusInfoRecord decodeStatusInfo(std::span<const std::byte> payload);
// The recorder's side: 16 bytes without details, 28 with them.
std::vector<std::byte> encodeStatusInfo(const StatusInfoRecord& record);

} // namespace kalder
