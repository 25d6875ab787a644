#pragma once

#include "wire/channel_count.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kalder {

inline constexpr std::size_t kUserCount = 8;

inline constexpr std::size_t kChannelConfigRecordSize = 596; // DB_CHANGE
inline constexpr std::size_t kLiveViewRightsSize = 128;      // NETLIVE_CH_CHANGE
inline constexpr std::size_t kUserRightsTableSize = 584;     // RIGHT_CHANGE
inline constexpr std::size_t kSysEtcInfoSize = 320;          // SYS_ETC_INFO
inline constexpr std::size_t kSysEtcInfoExSize = 3200;       // SYS_ETC_INFO_EX
inline constexpr std::size_t kDstTableSize = 1204;           // DST_INFO
inline constexpr std::size_t kRecStatusSize = 16;            // REC_STATUS

// DB_CHANGE: channel titles, covert flags, audio channel and archive password.
struct ChannelConfigRecord {
    std::uint32_t word0 = 0;
    std::array<std::uint8_t, kChannelCount> covert{}; // 1 = covert
    std::array<std::string, kChannelCount> titles;    // at most 32 bytes each
    std::uint8_t audioChannel = 0;                    // byte 540
    std::string archive_pass;                         // bytes 541-548

    bool operator==(const ChannelConfigRecord&) const = default;
};
std::optional<ChannelConfigRecord> decodeChannelConfigRecord(std::span<const std::byte> payload);
std::array<std::byte, kChannelConfigRecordSize>
encodeChannelConfigRecord(const ChannelConfigRecord& record);

// NETLIVE_CH_CHANGE: which user may watch which channel live (user-major, one byte each).
struct LiveViewRights {
    std::array<std::array<std::uint8_t, kChannelCount>, kUserCount> allowed{};
    bool operator==(const LiveViewRights&) const = default;
};
std::optional<LiveViewRights> decodeLiveViewRights(std::span<const std::byte> payload);
std::array<std::byte, kLiveViewRightsSize> encodeLiveViewRights(const LiveViewRights& rights);

// The nine per-user rights of RIGHT_CHANGE, in record order.
enum class UserRight : std::uint8_t {
    StopRecording = 0,
    RemoteSetup = 1,
    Search = 2,
    Backup = 3,
    Ptz = 4,
    CovertView = 5,
    Login = 6,
    Restart = 7,
    AccessLevel = 8, // `account_level`; 0 means the user cannot log in
};
inline constexpr std::size_t kUserRightCount = 9;

// RIGHT_CHANGE: rights, names and passwords of the eight users.
struct UserRightsTable {
    std::array<std::array<std::uint8_t, kUserCount>, kUserRightCount> rights{};
    std::array<std::string, kUserCount> names;     // at most 32 bytes each
    std::array<std::string, kUserCount> passwords; // at most 32 bytes each

    bool granted(UserRight right, std::size_t user) const {
        return user < kUserCount && rights[static_cast<std::size_t>(right)][user] != 0;
    }
    std::uint8_t value(UserRight right, std::size_t user) const {
        return user < kUserCount ? rights[static_cast<std::size_t>(right)][user] : 0;
    }
    bool operator==(const UserRightsTable&) const = default;
};
std::optional<UserRightsTable> decodeUserRightsTable(std::span<const std::byte> payload);
std::array<std::byte, kUserRightsTableSize> encodeUserRightsTable(const UserRightsTable& table);

// REC_STATUS: four words; word 1 below 6 means recording.
struct RecStatus {
    std::uint32_t statusBits = 0;
    std::uint32_t recordingMode = 0;
    std::uint32_t word2 = 0;
    std::uint32_t word3 = 0;
    bool recording() const { return recordingMode < 6; }
};
std::optional<RecStatus> decodeRecStatus(std::span<const std::byte> payload);
std::array<std::byte, kRecStatusSize> encodeRecStatus(const RecStatus& status);

} // namespace kalder
