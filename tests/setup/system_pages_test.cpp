// The System pages' rules without widgets: the Client Account rules of both record versions,
// the Basic page's languages and video standard, and the small value pages.
#include "setup/model/basic_page.h"
#include "setup/model/client_account_page.h"
#include "setup/model/profile_page.h"
#include "setup/model/system_value_pages.h"
#include "tests/setup/page_test_support.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

using test::expectOnlyFieldsChanged;
using test::patternRecord;

ConfigRecord accountsRecord(std::uint8_t major, std::uint8_t minor) {
    ConfigRecord r = patternRecord(major, minor);
    const char* names[] = {"ADMIN", "MANAGER", "GUARD", "", "NIGHT", "DAY", "SIX", "SEVEN"};
    const char* passwords[] = {"1111", "2222", "3333", "", "5555", "6666", "7777", "8888"};
    for (std::size_t a = 0; a < 8; ++a) {
        r.setText(configField("account_name"), a, names[a], TextFill::Terminate);
        r.setText(configField("account_password"), a, passwords[a], TextFill::Terminate);
    }
    return r;
}

SetupContext contextFor(std::uint8_t major, std::uint8_t minor, std::size_t user) {
    SetupContext c;
    c.version = {major, minor};
    c.userIndex = user;
    return c;
}

TEST(ClientAccountPage, WhoMayChangeWhatUnderBothRuleSets) {
    using R = AccountRules;
    const struct {
        R rules;
        std::size_t user, account;
        bool name, level, permissions, logout;
    } table[] = {
        {R::Basic, 0, 0, false, false, true, false},
        {R::Basic, 0, 3, true, true, true, false},
        {R::Basic, 1, 1, true, true, true, false}, // account 1 may change itself
        {R::Basic, 2, 2, false, false, false, false},
        {R::Extended, 0, 0, true, false, true, true},
        {R::Extended, 0, 1, true, true, true, true},
        {R::Extended, 1, 1, false, false, false, false}, // only accounts 2 .. 5
        {R::Extended, 1, 2, true, true, true, true},
        {R::Extended, 2, 2, false, false, false, false},
        {R::Extended, 0, 6, false, false, false, false}, // 6 and 7 are carried unchanged
    };
    for (const auto& t : table) {
        SCOPED_TRACE(::testing::Message() << int(t.rules) << " u" << t.user << " a" << t.account);
        EXPECT_EQ(mayEditName(t.rules, t.user, t.account), t.name);
        EXPECT_EQ(mayEditLevel(t.rules, t.user, t.account), t.level);
        EXPECT_EQ(mayEditPermissions(t.rules, t.user, t.account), t.permissions);
        EXPECT_EQ(mayEditLogout(t.rules, t.user, t.account), t.logout);
    }
    EXPECT_EQ(accountRules({4, 7}), R::Basic);
    EXPECT_EQ(accountRules({4, 8}), R::Extended);
    EXPECT_EQ(accountRules({5, 0}), R::Extended);
    EXPECT_TRUE(mayEditArchivePassword(R::Extended, 0));
    EXPECT_FALSE(mayEditArchivePassword(R::Extended, 1));
    EXPECT_FALSE(mayEditArchivePassword(R::Basic, 0));

    EXPECT_EQ(selectableAccounts(0), (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(selectableAccounts(1), (std::vector<std::size_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(selectableAccounts(2).empty());

    using V = AccountView;
    EXPECT_TRUE(accountViews(R::Basic, true, true).empty());
    EXPECT_EQ(accountViews(R::Extended, true, true),
              (std::vector<V>{V::Account, V::AutoLogout, V::ArchiveLog}));
    EXPECT_EQ(accountViews(R::Extended, true, false), (std::vector<V>{V::Account, V::ArchiveLog}));
    EXPECT_EQ(accountViews(R::Extended, false, true), (std::vector<V>{V::Account, V::AutoLogout}));
    EXPECT_TRUE(accountViews(R::Extended, false, false).empty());
}

TEST(ClientAccountPage, StoreRefusesDuplicatesReservedAndMismatchedPasswords) {
    const ConfigRecord before = accountsRecord(4, 8);
    ConfigRecord r = before;
    ClientAccountState s = readClientAccount(r, contextFor(4, 8, 0));

    for (const char* reserved : {"7593", "9618"})
        EXPECT_FALSE(accountStoreEnabled("NEW", reserved, reserved)) << reserved;
    EXPECT_FALSE(accountStoreEnabled("NEW", "1234", "1235"));
    EXPECT_FALSE(accountStoreEnabled("", "1234", "1234"));
    EXPECT_TRUE(accountStoreEnabled("NEW", "75931", "75931"));

    // Account 3 renamed to account 1's name in other letter case; then to a used password.
    EXPECT_EQ(storeAccount(r, s, 3, "manager", "4444", "4444"), AccountStore::DuplicateName);
    EXPECT_EQ(storeAccount(r, s, 3, "YARD", "5555", "5555"), AccountStore::DuplicatePassword);
    EXPECT_EQ(r, before);
    // Accounts 6 and 7 do not count: their password may be shared.
    EXPECT_EQ(storeAccount(r, s, 3, "SEVEN", "7777", "7777"), AccountStore::Stored);
    EXPECT_EQ(r.text(configField("account_name"), 3), "SEVEN");
    EXPECT_EQ(r.text(configField("account_password"), 3), "7777");
    // A name is written with one NUL; the bytes after it stay as received.
    EXPECT_EQ(r.bytes()[5696 + 3 * 32 + 6], before.bytes()[5696 + 3 * 32 + 6]);
    // The stored name counts at once.
    EXPECT_EQ(storeAccount(r, s, 4, "Seven", "9999", "9999"), AccountStore::DuplicateName);

    // Delete clears the whole name field; the password stays.
    ClientAccountState basic = readClientAccount(r, contextFor(4, 7, 0));
    EXPECT_EQ(nameActions(basic, 2),
              (std::vector<NameAction>{NameAction::Change, NameAction::Delete}));
    ASSERT_TRUE(deleteAccountName(r, basic, 2));
    for (std::size_t i = 0; i < 32; ++i)
        ASSERT_EQ(r.bytes()[5696 + 2 * 32 + i], std::byte{0}) << i;
    EXPECT_EQ(r.text(configField("account_password"), 2), "3333");
    EXPECT_EQ(nameActions(basic, 2), (std::vector<NameAction>{NameAction::Add}));
    EXPECT_TRUE(nameActions(basic, 0).empty()); // 4.7: account 0's name cannot change
    EXPECT_EQ(nameActions(s, 0), (std::vector<NameAction>{NameAction::Change}));
    expectOnlyFieldsChanged(before, r,
                            {&configField("account_name"), &configField("account_password")});
    for (std::size_t a : {6, 7})
        EXPECT_EQ(r.text(configField("account_name"), a),
                  before.text(configField("account_name"), a));

    EXPECT_EQ(accountTextFromInput(U"guard 12345"), "GUARD 12");
}

TEST(ClientAccountPage, PermissionsLevelsLogoutArchiveAndLiveChannels) {
    const ConfigRecord before = accountsRecord(4, 8);
    ConfigRecord r = before;
    ClientAccountState manager = readClientAccount(r, contextFor(4, 8, 1));
    EXPECT_FALSE(setAccountPermission(r, manager, 1, 0, true)); // 4.8: not itself
    EXPECT_TRUE(setAccountPermission(r, manager, 2, 0, true));
    EXPECT_FALSE(setAccountLevel(r, manager, 1, 1));
    EXPECT_TRUE(setAccountLevel(r, manager, 5, 1));
    EXPECT_FALSE(setAccountLevel(r, manager, 5, 2));
    EXPECT_TRUE(setAccountLogout(r, manager, 4, 1, 3));
    EXPECT_FALSE(setAccountLogout(r, manager, 4, 1, 4));
    EXPECT_EQ(r.bytes()[6604 + 4], std::byte{3});
    EXPECT_FALSE(storeArchivePassword(r, manager, "ARCH", "ARCH")); // account 0 only

    ClientAccountState admin = readClientAccount(r, contextFor(4, 8, 0));
    // Account 0 keeps its remote-setup right whatever is clicked.
    EXPECT_FALSE(setAccountPermission(r, admin, 0, kRemoteSetupPermission, false));
    EXPECT_TRUE(setAccountPermission(r, admin, 0, 0, false));
    EXPECT_FALSE(storeArchivePassword(r, admin, "ARCH", "ARCX"));
    ASSERT_TRUE(storeArchivePassword(r, admin, "ARCH", "ARCH"));
    EXPECT_EQ(r.bytes()[6540 + 4], std::byte{0});
    EXPECT_EQ(r.bytes()[6540 + 31], std::byte{0}); // the whole field cleared

    // Live channels of account 3: byte 6616 + 48 + ch, the selected set; nothing for user 2.
    ChannelSelection sel;
    sel.channels = 8;
    sel.checked[1] = sel.checked[6] = true;
    EXPECT_EQ(setLiveChannel(r, admin, 3, sel, 6, false), (std::vector<unsigned>{1, 6}));
    EXPECT_EQ(r.bytes()[6616 + 48 + 6], std::byte{0});
    const ConfigRecord frozen = r;
    ClientAccountState guard = readClientAccount(r, contextFor(4, 8, 2));
    EXPECT_TRUE(setLiveChannel(r, guard, 2, sel, 1, true).empty());
    EXPECT_FALSE(setAccountPermission(r, guard, 2, 0, true));
    EXPECT_EQ(r, frozen);
    EXPECT_EQ(initialAccount(contextFor(4, 8, 2)), 2u);

    expectOnlyFieldsChanged(before, r,
                            {&configField("right"), &configField("account_level"),
                             &configField("account_logout_2"), &configField("archive_pass"),
                             &configField("live_channel")});
    EXPECT_EQ(defaultAccountLabel(4, "ADMIN", "MANAGER", "USER"), "USER3");
    EXPECT_EQ(shownAccountName(admin, 3, "USER2"), "USER2"); // extended: empty shows the label
}

TEST(BasicPage, LanguagesFromEitherTable) {
    SetupContext c;
    c.tables.sysEtcInfo.assign(320, std::byte{0});
    const std::uint8_t numbers[] = {1, 3, 0, 13, 14};
    for (std::size_t i = 0; i < std::size(numbers); ++i)
        c.tables.sysEtcInfo[i] = std::byte{numbers[i]};
    std::vector<LanguageEntry> list = recorderLanguages(c, 31);
    ASSERT_EQ(list.size(), 3u); // 0 and 14 are no language
    EXPECT_EQ(list[0].name, "English");
    EXPECT_EQ(list[1].name, "French");
    EXPECT_EQ(list[2].name, "Japanese");
    EXPECT_EQ(list[2].tableIndex, 3u); // past a gap the entry stores its own place

    // The names table takes precedence; known names in the client's words, others as sent.
    c.tables.sysEtcInfoExPresent = true;
    c.tables.sysEtcInfoEx.assign(3200, std::byte{0});
    const char* names[] = {"korean", "Klingon", "S.CHINESE"};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t k = 0; names[i][k]; ++k)
            c.tables.sysEtcInfoEx[16 * i + k] = static_cast<std::byte>(names[i][k]);
    // A name filling all 16 bytes without a NUL is cut there.
    for (std::size_t k = 0; k < 16; ++k)
        c.tables.sysEtcInfoEx[16 * 3 + k] = std::byte{'Q'};
    list = recorderLanguages(c, 31);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].name, "Korean");
    EXPECT_EQ(list[1].name, "Klingon");
    EXPECT_EQ(list[2].name, "Simplified Chinese");
    EXPECT_EQ(list[3].name, std::string(16, 'Q'));
    EXPECT_EQ(recorderLanguages(c, 2).size(), 2u);
}

TEST(BasicPage, VideoStandardResetsTheRecordingRates) {
    // The default distributions the reset uses (PAL 100, NTSC 120 CIF images a second).
    auto firstOf = [](const std::array<unsigned, kRecChannels>& rates, unsigned n) {
        return std::vector<unsigned>(rates.begin(), rates.begin() + n);
    };
    EXPECT_EQ(firstOf(defaultDistribution(100, kRes2Cif, 4), 4),
              (std::vector<unsigned>{13, 13, 12, 12}));
    EXPECT_EQ(firstOf(defaultDistribution(100, kRes4Cif, 4), 4),
              (std::vector<unsigned>{7, 6, 6, 6}));
    std::vector<unsigned> ntsc16(16, 2);
    ntsc16[14] = ntsc16[15] = 1;
    EXPECT_EQ(firstOf(defaultDistribution(120, kRes4Cif, 16), 16), ntsc16);

    const struct {
        unsigned channels;
        unsigned recResolution;
        unsigned recRate;
        unsigned firstRate;
    } cases[] = {{4, 0, 6, 7}, {4, 2, 25, 7}, {8, 1, 6, 4}, {12, 2, 6, 0}, {16, 0, 1, 2}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.channels);
        ConfigRecord before = patternRecord(4, 8);
        before.setValue(configField("video_standard"), 0, 0);
        before.setValue(configField("rec_resolution"), 0, t.recResolution);
        ConfigRecord r = before;
        SetupContext c;
        c.channelNum = t.channels;
        EXPECT_FALSE(chooseVideoStandard(r, c, 0)); // the same standard changes nothing
        EXPECT_EQ(r, before);
        ASSERT_TRUE(chooseVideoStandard(r, c, 1)); // to PAL
        EXPECT_EQ(r.value(configField("video_standard")), 1u);
        EXPECT_EQ(r.value(configField("rec_rate")), t.recRate);
        for (const char* name : {"profile_a_rate", "profile_b_rate", "profile_c_rate",
                                 "profile_d_rate", "profile_e_rate"}) {
            const ConfigField* f = findConfigField(name);
            EXPECT_EQ(r.value(*f, 0), t.firstRate) << name;
            for (unsigned ch = t.channels; ch < 16; ++ch)
                EXPECT_EQ(r.value(*f, ch), before.value(*f, ch)) << name << ch;
        }
        for (unsigned p = 0; p < 6; ++p) {
            EXPECT_EQ(r.value(configField("resolution"), 16 * p), 0u);
            if (t.channels < 16) {
                EXPECT_EQ(r.value(configField("resolution"), 16 * p + 15),
                          before.value(configField("resolution"), 16 * p + 15));
            }
        }
        expectOnlyFieldsChanged(before, r,
                                {&configField("video_standard"), &configField("resolution"),
                                 &configField("rec_rate"), &configField("profile_a_rate"),
                                 &configField("profile_b_rate"), &configField("profile_c_rate"),
                                 &configField("profile_d_rate"), &configField("profile_e_rate")});
    }
}

TEST(SystemValuePages, SensorDaysSmartAndEtc) {
    const ConfigRecord before = patternRecord(4, 8);
    ConfigRecord r = before;
    ChannelSelection sel;
    sel.channels = 4;
    sel.checked[0] = sel.checked[2] = true;
    EXPECT_EQ(setSensorType(r, sel, 2, SensorType::On), (std::vector<unsigned>{0, 2}));
    EXPECT_EQ(r.bytes()[3088 + 2], std::byte{2});
    setSensorType(r, sel, 1, SensorType::None);
    EXPECT_EQ(r.bytes()[3088 + 1], std::byte{0});
    setSensorType(r, sel, 3, SensorType::Off);
    EXPECT_EQ(r.bytes()[3088 + 3], std::byte{1});

    const struct {
        int position;
        unsigned stored;
    } days[] = {{0, 0}, {1, 1}, {45, 45}, {99, 99}, {120, 99}, {-1, 0}};
    for (const auto& d : days) {
        ASSERT_TRUE(setAutoDeleteDays(r, d.position));
        EXPECT_EQ(r.value(configField("auto_delete_days")), d.stored) << d.position;
    }
    ASSERT_TRUE(setSmartValue(r, 7));
    EXPECT_EQ(smartValueText(r.value(configField("smart_value")), "min", "Off"), "07 min");
    EXPECT_EQ(smartValueText(0, "min", "Off"), "Off");
    EXPECT_TRUE(setSmartFlag(r, 1, true));
    EXPECT_FALSE(setSmartFlag(r, 2, true));

    r.setValue(configField("etc_choice_1"), 0, 1);
    EXPECT_FALSE(setEtcChoice(r, 0, 1)); // already stored: nothing changes
    EXPECT_TRUE(setEtcChoice(r, 0, 0));
    EXPECT_FALSE(setEtcChoice(r, 1, 2));
    expectOnlyFieldsChanged(before, r,
                            {&configField("sensor_type"), &configField("auto_delete_days"),
                             &configField("smart_value"), &configField("smart_flag_2"),
                             &configField("etc_choice_1")});
}

} // namespace
} // namespace kalder
