#include "session/user_rights.h"

#include "wire/hello_record.h"

namespace kalder {

ChannelFlags hiddenChannels(const ChannelConfigRecord& config, const LiveViewRights& liveView,
                            const UserRightsTable& rights, std::size_t userIndex) {
    ChannelFlags hidden{};
    if (userIndex >= kUserCount)
        userIndex = 0;
    const bool covertView = rights.granted(UserRight::CovertView, userIndex);
    for (std::size_t n = 0; n < kChannelCount; ++n) {
        const bool mayWatch = liveView.allowed[userIndex][n] != 0;
        hidden[n] = covertView ? !mayWatch : (config.covert[n] == 1 || !mayWatch);
    }
    return hidden;
}

ChannelFlags covertChannels(const std::array<std::uint8_t, kChannelCount>& covert) {
    ChannelFlags hidden{};
    for (std::size_t n = 0; n < kChannelCount; ++n)
        hidden[n] = covert[n] == 1;
    return hidden;
}

std::optional<std::size_t> findUser(const UserRightsTable& rights, std::string_view userId) {
    const std::string wanted = toLowerAscii(userId);
    for (std::size_t i = 0; i < kUserCount; ++i)
        if (toLowerAscii(rights.names[i]) == wanted)
            return i;
    return std::nullopt;
}

bool mayLogIn(const UserRightsTable& rights, std::size_t user) {
    return rights.granted(UserRight::Login, user) && rights.granted(UserRight::AccessLevel, user);
}

std::string replacePasswordPrefix(std::string_view password, std::string_view tablePassword) {
    std::array<char, 16> field{};
    for (std::size_t i = 0; i < password.size() && i < field.size(); ++i)
        field[i] = password[i];
    const std::string lower = toLowerAscii(tablePassword);
    for (std::size_t i = 0; i < 8; ++i)
        field[i] = i < lower.size() ? lower[i] : '\0';
    std::string result;
    for (char c : field) {
        if (c == '\0')
            break;
        result.push_back(c);
    }
    return result;
}

SearchBackupReaction searchBackupReaction(bool search, bool backup, bool featureBit0) {
    SearchBackupReaction r;
    if (!search && !backup) {
        r.closeRequestWindow = true;
        r.stopPlayback = true;
        r.stopBackup = true;
    } else if (!search) {
        r.stopPlayback = true;
        r.closeRequestWindowPrompt = featureBit0;
        r.rightsMessage = 1;
    } else if (!backup) {
        r.stopBackup = true;
        r.rightsMessage = 2;
    } else {
        r.rightsMessage = 0;
    }
    return r;
}

} // namespace kalder
