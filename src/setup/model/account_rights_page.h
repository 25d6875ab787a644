#pragma once

#include "wire/config_record.h"

#include <array>
#include <cstddef>
#include <string>

namespace kalder {

// The permissions part of the Client Account page. Owns the `right` array only.
inline constexpr std::size_t kSetupAccounts = 8;
inline constexpr std::size_t kSetupPermissions = 8;

// The page's eight boxes, top to bottom, and the permission each one edits: stop recording,
// covert view, remote setup, login, search, restart, PTZ, backup.
inline constexpr std::array<std::size_t, kSetupPermissions> kPermissionOfBox = {0, 5, 1, 6,
                                                                                2, 7, 4, 3};
inline constexpr std::size_t kRemoteSetupPermission = 1;

struct AccountRightsState {
    std::array<std::string, kSetupAccounts> names;
    // permissions[account][permission]
    std::array<std::array<bool, kSetupPermissions>, kSetupAccounts> permissions{};
};

AccountRightsState readAccountRights(const ConfigRecord& record);

// The first account keeps the remote-setup right: without it nobody could ever open the
// recorder's setup again.
bool permissionEditable(std::size_t account, std::size_t permission);

// Writes one permission when the page may change it; false (nothing written) otherwise.
bool writePermission(ConfigRecord& record, std::size_t account, std::size_t permission,
                     bool granted);

// The selector's text for an account: its name, or "Account N" (1-based) when it has none.
std::string accountLabel(const AccountRightsState& state, std::size_t account);

} // namespace kalder
