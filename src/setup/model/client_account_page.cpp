#include "setup/model/client_account_page.h"

#include <algorithm>

namespace kalder {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool editable(std::size_t account) {
    return account < kEditableAccounts;
}

} // namespace

AccountRules accountRules(RecordVersion version) {
    return version.above(4, 7) ? AccountRules::Extended : AccountRules::Basic;
}

ClientAccountState readClientAccount(const ConfigRecord& record, const SetupContext& context) {
    ClientAccountState state;
    state.rules = accountRules(context.version);
    state.user = context.userIndex;
    state.rights = readAccountRights(record);
    for (std::size_t a = 0; a < kSetupAccounts; ++a) {
        state.names[a] = record.text(configField("account_name"), a);
        state.passwords[a] = record.text(configField("account_password"), a);
        state.levels[a] = record.value(configField("account_level"), a);
        state.logout[a] = {record.value(configField("account_logout_1"), a),
                           record.value(configField("account_logout_2"), a)};
    }
    return state;
}

std::vector<std::size_t> selectableAccounts(std::size_t user) {
    if (user > 1)
        return {};
    std::vector<std::size_t> accounts;
    for (std::size_t a = user; a < kEditableAccounts; ++a)
        accounts.push_back(a);
    return accounts;
}

std::size_t initialAccount(const SetupContext& context) {
    return std::min(context.userIndex, kSetupAccounts - 1);
}

bool mayEditName(AccountRules rules, std::size_t user, std::size_t account) {
    if (!editable(account))
        return false;
    if (rules == AccountRules::Basic)
        return user <= 1 && account >= 1;
    return user == 0 || (user == 1 && account >= 2);
}

bool mayEditLevel(AccountRules rules, std::size_t user, std::size_t account) {
    if (!editable(account))
        return false;
    if (rules == AccountRules::Basic)
        return user <= 1 && account >= 1;
    return (user == 0 && account >= 1) || (user == 1 && account >= 2);
}

bool mayEditPermissions(AccountRules rules, std::size_t user, std::size_t account) {
    if (!editable(account))
        return false;
    if (rules == AccountRules::Basic)
        return user <= 1;
    return user == 0 || (user == 1 && account >= 2);
}

bool mayEditLogout(AccountRules rules, std::size_t user, std::size_t account) {
    return rules == AccountRules::Extended && mayEditPermissions(rules, user, account);
}

bool mayEditArchivePassword(AccountRules rules, std::size_t user) {
    return rules == AccountRules::Extended && user == 0;
}

bool mayEditLiveChannels(std::size_t user) {
    return user <= 1;
}

std::vector<AccountView> accountViews(AccountRules rules, bool featureBit0, bool featureBit1) {
    if (rules == AccountRules::Basic || (!featureBit0 && !featureBit1))
        return {};
    std::vector<AccountView> views{AccountView::Account};
    if (featureBit1)
        views.push_back(AccountView::AutoLogout);
    if (featureBit0)
        views.push_back(AccountView::ArchiveLog);
    return views;
}

std::string defaultAccountLabel(std::size_t account, const std::string& first,
                                const std::string& second, const std::string& commonWord) {
    if (account == 0)
        return first;
    if (account == 1)
        return second;
    return commonWord + std::to_string(account - 1);
}

std::string shownAccountName(const ClientAccountState& state, std::size_t account,
                             const std::string& label) {
    if (account >= kSetupAccounts)
        return {};
    if (state.names[account].empty() && state.rules == AccountRules::Extended)
        return label;
    return state.names[account];
}

std::vector<NameAction> nameActions(const ClientAccountState& state, std::size_t account) {
    if (!mayEditName(state.rules, state.user, account))
        return {};
    if (state.rules == AccountRules::Extended)
        return {NameAction::Change};
    if (state.names[account].empty())
        return {NameAction::Add};
    return {NameAction::Change, NameAction::Delete};
}

std::string accountTextFromInput(std::u32string_view input) {
    std::string text;
    for (char32_t c : input) {
        if (text.size() == kAccountTextMaxChars)
            break;
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
        if (c >= 0x20 && c < 0x7F)
            text.push_back(static_cast<char>(c));
    }
    return text;
}

bool isReservedPassword(std::string_view password) {
    return std::find(kReservedPasswords.begin(), kReservedPasswords.end(), password) !=
           kReservedPasswords.end();
}

bool accountStoreEnabled(std::string_view name, std::string_view password,
                         std::string_view confirmation) {
    return !name.empty() && !password.empty() && !confirmation.empty() &&
           password == confirmation && !isReservedPassword(password);
}

AccountStore storeAccount(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                          std::string_view name, std::string_view password,
                          std::string_view confirmation) {
    if (!mayEditName(state.rules, state.user, account) ||
        !accountStoreEnabled(name, password, confirmation))
        return AccountStore::Refused;
    for (std::size_t other = 0; other < kEditableAccounts; ++other)
        if (other != account && sameIgnoringCase(state.names[other], name))
            return AccountStore::DuplicateName;
    for (std::size_t other = 0; other < kEditableAccounts; ++other)
        if (other != account && sameIgnoringCase(state.passwords[other], password))
            return AccountStore::DuplicatePassword;
    const std::string_view keptName = name.substr(0, kAccountStoredMaxChars);
    const std::string_view keptPassword = password.substr(0, kAccountStoredMaxChars);
    record.setText(configField("account_name"), account, keptName, TextFill::Terminate);
    record.setText(configField("account_password"), account, keptPassword, TextFill::Terminate);
    state.names[account] = std::string(keptName);
    state.passwords[account] = std::string(keptPassword);
    state.rights.names[account] = state.names[account];
    return AccountStore::Stored;
}

bool deleteAccountName(ConfigRecord& record, ClientAccountState& state, std::size_t account) {
    const std::vector<NameAction> actions = nameActions(state, account);
    if (std::find(actions.begin(), actions.end(), NameAction::Delete) == actions.end())
        return false;
    record.setText(configField("account_name"), account, {}, TextFill::ClearField);
    state.names[account].clear();
    state.rights.names[account].clear();
    return true;
}

bool setAccountLevel(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                     unsigned level) {
    if (!mayEditLevel(state.rules, state.user, account) || level >= kAccountLevels)
        return false;
    state.levels[account] = level;
    return record.setValue(configField("account_level"), account, level);
}

bool setAccountLogout(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                      std::size_t which, unsigned index) {
    if (!mayEditLogout(state.rules, state.user, account) || which > 1 || index >= kLogoutTimes)
        return false;
    state.logout[account][which] = index;
    return record.setValue(which == 0 ? configField("account_logout_1")
                                      : configField("account_logout_2"),
                           account, index);
}

bool setAccountPermission(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                          std::size_t permission, bool granted) {
    if (!mayEditPermissions(state.rules, state.user, account))
        return false;
    if (!writePermission(record, account, permission, granted))
        return false;
    state.rights.permissions[account][permission] = granted;
    return true;
}

bool archiveStoreEnabled(std::string_view password, std::string_view confirmation) {
    return !password.empty() && password == confirmation;
}

bool storeArchivePassword(ConfigRecord& record, const ClientAccountState& state,
                          std::string_view password, std::string_view confirmation) {
    if (!mayEditArchivePassword(state.rules, state.user) ||
        !archiveStoreEnabled(password, confirmation))
        return false;
    return record.setText(configField("archive_pass"), 0, password, TextFill::ClearField);
}

std::vector<unsigned> setLiveChannel(ConfigRecord& record, const ClientAccountState& state,
                                     std::size_t account, const ChannelSelection& selection,
                                     unsigned channel, bool on) {
    if (!mayEditLiveChannels(state.user) || !editable(account))
        return {};
    return writeSelected(record, configField("live_channel"), 16 * account, selection, channel,
                         on ? 1 : 0);
}

} // namespace kalder
