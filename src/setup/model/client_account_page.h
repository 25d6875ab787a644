#pragma once

#include "setup/model/account_rights_page.h"
#include "setup/model/channel_selection.h"
#include "setup/model/setup_context.h"
#include "wire/config_record.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// The Client Account page around its permission boxes (account_rights_page.h): which account
// the page shows, its name, password, level, auto log-out times, the archive password and the
// live-channel sub-page. Owns the account block (`right`, `account_level`, `account_name`,
// `account_password`), `account_logout_1`, `account_logout_2`, `archive_pass` and
// `live_channel`, and of those only accounts 0 .. 5: accounts 6 and 7 go back as received.
//
// Who may change what depends on the logged-in account u and the selected account a, under
// one of two rule sets: the extended rules of records above 4.7, the basic rules otherwise.
inline constexpr std::size_t kEditableAccounts = 6;
inline constexpr std::size_t kAccountTextMaxChars = 8;    // what the boxes accept
inline constexpr std::size_t kAccountStoredMaxChars = 30; // what a field could hold
inline constexpr unsigned kAccountLevels = 2;
inline constexpr unsigned kLogoutTimes = 4; // off, 15 minutes, 30 minutes, one hour
// Codes the recorder keeps for itself: never accepted as a password.
inline constexpr std::array<std::string_view, 2> kReservedPasswords = {"7593", "9618"};

enum class AccountRules { Basic, Extended };
enum class AccountView { Account, AutoLogout, ArchiveLog };
enum class NameAction { Change, Delete, Add };

AccountRules accountRules(RecordVersion version);

struct ClientAccountState {
    AccountRules rules = AccountRules::Basic;
    std::size_t user = 0; // the logged-in account
    std::array<std::string, kSetupAccounts> names;
    std::array<std::string, kSetupAccounts> passwords;
    std::array<unsigned, kSetupAccounts> levels{};
    std::array<std::array<unsigned, 2>, kSetupAccounts> logout{};
    AccountRightsState rights;
};

ClientAccountState readClientAccount(const ConfigRecord& record, const SetupContext& context);

// The accounts the selector offers to `user`: 0 .. 5 for account 0, 1 .. 5 for account 1,
// none for any other.
std::vector<std::size_t> selectableAccounts(std::size_t user);
// The account the page starts on: the logged-in one.
std::size_t initialAccount(const SetupContext& context);

// What the rules let `user` change on account `account`.
bool mayEditName(AccountRules rules, std::size_t user, std::size_t account);
bool mayEditLevel(AccountRules rules, std::size_t user, std::size_t account);
bool mayEditPermissions(AccountRules rules, std::size_t user, std::size_t account);
bool mayEditLogout(AccountRules rules, std::size_t user, std::size_t account);
bool mayEditArchivePassword(AccountRules rules, std::size_t user);
bool mayEditLiveChannels(std::size_t user);

// The view buttons: none with the basic rules, else by the greeting's feature bits. An empty
// list means the Account view alone.
std::vector<AccountView> accountViews(AccountRules rules, bool featureBit0, bool featureBit1);

// The label of each account: its own word for accounts 0 and 1, one word and a number for the
// others (`commonWord` + 1 .. 4 for accounts 2 .. 5).
std::string defaultAccountLabel(std::size_t account, const std::string& first,
                                const std::string& second, const std::string& commonWord);
// What the name row shows: the name; with the extended rules an empty name shows the label.
std::string shownAccountName(const ClientAccountState& state, std::size_t account,
                             const std::string& label);

// The actions the name row offers (none when the rules forbid names for this account).
std::vector<NameAction> nameActions(const ClientAccountState& state, std::size_t account);

// What a name or password box holds: printable characters in capitals, at most 8.
std::string accountTextFromInput(std::u32string_view input);
bool isReservedPassword(std::string_view password);
// The store button: all three boxes filled, the password equal to its confirmation, and not
// a reserved one.
bool accountStoreEnabled(std::string_view name, std::string_view password,
                         std::string_view confirmation);

enum class AccountStore { Stored, DuplicateName, DuplicatePassword, Refused };
// Stores name and password of `account` when no other of accounts 0 .. 5 has the same name,
// or the same password, without regard to case. Nothing is written unless Stored.
AccountStore storeAccount(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                          std::string_view name, std::string_view password,
                          std::string_view confirmation);
// Delete: the name's whole field becomes zero bytes; the password stays.
bool deleteAccountName(ConfigRecord& record, ClientAccountState& state, std::size_t account);

bool setAccountLevel(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                     unsigned level);
// Log-out time `which` (0 or 1) of `account`: index 0 .. 3.
bool setAccountLogout(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                      std::size_t which, unsigned index);
// A permission box clicked; false when the rules keep the stored value (the box springs back).
bool setAccountPermission(ConfigRecord& record, ClientAccountState& state, std::size_t account,
                          std::size_t permission, bool granted);

bool archiveStoreEnabled(std::string_view password, std::string_view confirmation);
// The archive password, its whole field cleared first.
bool storeArchivePassword(ConfigRecord& record, const ClientAccountState& state,
                          std::string_view password, std::string_view confirmation);

// The live-channel sub-page of `account`: byte 16 * account + channel of `live_channel`, with
// the selected-set rule; nothing for a logged-in account above 1.
std::vector<unsigned> setLiveChannel(ConfigRecord& record, const ClientAccountState& state,
                                     std::size_t account, const ChannelSelection& selection,
                                     unsigned channel, bool on);

} // namespace kalder
