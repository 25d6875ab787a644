#pragma once

#include "wire/status_records.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kalder {

using ChannelFlags = std::array<bool, kChannelCount>;

// Hidden state of each channel after a DB_CHANGE, for user `userIndex`: with the covert-view
// right only the live-view table hides a channel; without it a covert channel is hidden too.
ChannelFlags hiddenChannels(const ChannelConfigRecord& config, const LiveViewRights& liveView,
                            const UserRightsTable& rights, std::size_t userIndex);

// Hidden state when the covert-view right is missing, after a RIGHT_CHANGE: covert channels.
ChannelFlags covertChannels(const std::array<std::uint8_t, kChannelCount>& covert);

// The row of the rights table whose name matches `userId` (both lower-cased), if any.
std::optional<std::size_t> findUser(const UserRightsTable& rights, std::string_view userId);

// The user of row `user` may log in: login right and a non-zero access level.
bool mayLogIn(const UserRightsTable& rights, std::size_t user);

// The session's 16-byte password field with its first 8 bytes replaced by the first 8 bytes of
// `tablePassword` (lower-cased); the text ends at the first zero byte.
std::string replacePasswordPrefix(std::string_view password, std::string_view tablePassword);

// What the search and backup rights leave of remote playback and backup.
struct SearchBackupReaction {
    bool closeRequestWindow = false;       // the slot-20 window and its password prompt
    bool closeRequestWindowPrompt = false; // only the slot-20 window's prompt (feature bit 0)
    bool stopPlayback = false;
    bool stopBackup = false;
    int rightsMessage = -1; // wParam of 21077 to the slot-20 window; -1 none
};
SearchBackupReaction searchBackupReaction(bool search, bool backup, bool featureBit0);

} // namespace kalder
