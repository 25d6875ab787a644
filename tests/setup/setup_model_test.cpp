// The setup pages' rules without widgets.
#include "setup/model/account_rights_page.h"
#include "setup/model/camera_name_page.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

ConfigRecord recordOf(std::size_t length, std::byte fill = std::byte{'x'}) {
    return ConfigRecord::fromRecordBytes(std::vector<std::byte>(length, fill));
}

TEST(CameraNamePage, InputIsCutToThirtySingleByteCharacters) {
    EXPECT_EQ(cameraTitleFromInput(U"Front door"), "Front door");
    EXPECT_EQ(cameraTitleFromInput(std::u32string(40, U'a')), std::string(30, 'a'));
    // Latin-1 letters stay (one byte each); what the code page lacks is dropped.
    EXPECT_EQ(cameraTitleFromInput(U"Caf\u00e9 \u20ac1\u4e2d"), "Caf\xe9 1");
    EXPECT_EQ(cameraTitleFromInput(U"a\tb\nc"), "abc");
}

TEST(CameraNamePage, WritesOnlyShownChannelsAndKeepsTheRestOfTheField) {
    ConfigRecord r = recordOf(8176);
    SetupContext four;
    four.channelNum = 4;
    const CameraNameState state = readCameraNames(r, four);
    EXPECT_EQ(state.channels, 4u);
    EXPECT_TRUE(writeCameraName(r, state, 3, "Yard"));
    EXPECT_EQ(r.text(configField("camera_title"), 3), "Yard");
    EXPECT_EQ(r.bytes()[88 + 3 * 32 + 5], std::byte{'x'}); // after the NUL: as received
    EXPECT_FALSE(writeCameraName(r, state, 4, "Hidden"));  // not a channel of this recorder
    EXPECT_EQ(r.bytes()[88 + 4 * 32], std::byte{'x'});
    EXPECT_FALSE(writeCameraName(r, state, 0, std::string(31, 'a')));
}

TEST(AccountRightsPage, BoxesMapToTheirPermissionsAndTheFirstAccountKeepsSetup) {
    ConfigRecord r = recordOf(8176, std::byte{0});
    ASSERT_TRUE(r.setText(configField("account_name"), 0, "ADMIN", TextFill::ClearField));
    // Every box writes the array the layout gives it: box b edits 5624 + 8 * permission.
    const std::size_t offsets[] = {5624, 5664, 5632, 5672, 5640, 5680, 5656, 5648};
    for (std::size_t b = 0; b < kSetupPermissions; ++b) {
        ASSERT_TRUE(writePermission(r, 2, kPermissionOfBox[b], true));
        EXPECT_EQ(r.bytes()[offsets[b] + 2], std::byte{1}) << b;
    }
    EXPECT_FALSE(writePermission(r, 0, kRemoteSetupPermission, false));
    EXPECT_TRUE(writePermission(r, 0, 0, true));
    EXPECT_FALSE(writePermission(r, 8, 0, true));

    const AccountRightsState state = readAccountRights(r);
    EXPECT_TRUE(state.permissions[2][kRemoteSetupPermission]);
    EXPECT_FALSE(state.permissions[1][kRemoteSetupPermission]);
    EXPECT_EQ(accountLabel(state, 0), "ADMIN");
    EXPECT_EQ(accountLabel(state, 3), "Account 4");
}

} // namespace
} // namespace kalder
