#include "setup/model/account_rights_page.h"

namespace kalder {

AccountRightsState readAccountRights(const ConfigRecord& record) {
    AccountRightsState state;
    for (std::size_t a = 0; a < kSetupAccounts; ++a) {
        state.names[a] = record.text(configField("account_name"), a);
        for (std::size_t k = 0; k < kSetupPermissions; ++k)
            state.permissions[a][k] = record.right(a, k);
    }
    return state;
}

bool permissionEditable(std::size_t account, std::size_t permission) {
    if (account >= kSetupAccounts || permission >= kSetupPermissions)
        return false;
    return !(account == 0 && permission == kRemoteSetupPermission);
}

bool writePermission(ConfigRecord& record, std::size_t account, std::size_t permission,
                     bool granted) {
    if (!permissionEditable(account, permission))
        return false;
    return record.setRight(account, permission, granted);
}

std::string accountLabel(const AccountRightsState& state, std::size_t account) {
    if (account >= kSetupAccounts)
        return {};
    if (!state.names[account].empty())
        return state.names[account];
    return "Account " + std::to_string(account + 1);
}

} // namespace kalder
