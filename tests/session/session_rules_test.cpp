// The session's pure rules: hidden channels, rights reactions, password field, notification
// table, frame assembly.
#include "net/frame_assembler.h"
#include "wire/notification_table.h"
#include "session/user_rights.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(HiddenChannels, CovertViewDecidesWhetherCovertFlagsCount) {
    ChannelConfigRecord config;
    config.covert[0] = 1;
    config.covert[1] = 1;
    config.covert[2] = 2; // only 1 means covert
    LiveViewRights liveView;
    liveView.allowed[3].fill(1);
    liveView.allowed[3][1] = 0;
    liveView.allowed[3][5] = 0;
    UserRightsTable rights;
    struct Case {
        bool covertView;
        ChannelFlags hidden;
    };
    ChannelFlags withRight{};
    withRight[1] = withRight[5] = true;
    ChannelFlags without{};
    without[0] = without[1] = without[5] = true;
    for (const Case& c : {Case{true, withRight}, Case{false, without}}) {
        rights.rights[static_cast<std::size_t>(UserRight::CovertView)][3] = c.covertView;
        EXPECT_EQ(hiddenChannels(config, liveView, rights, 3), c.hidden) << c.covertView;
    }
    EXPECT_EQ(covertChannels(config.covert), (ChannelFlags{true, true}));
}

TEST(UserRows, NamesMatchWithoutCaseAndLoginNeedsRightAndLevel) {
    UserRightsTable t;
    t.names = {"", "Operator", "guest", "", "", "", "", ""};
    EXPECT_EQ(findUser(t, "OPERATOR"), 1u);
    EXPECT_EQ(findUser(t, "guest"), 2u);
    EXPECT_EQ(findUser(t, "nobody"), std::nullopt);
    t.rights[static_cast<std::size_t>(UserRight::Login)][1] = 1;
    EXPECT_FALSE(mayLogIn(t, 1));
    t.rights[static_cast<std::size_t>(UserRight::AccessLevel)][1] = 3;
    EXPECT_TRUE(mayLogIn(t, 1));
    EXPECT_FALSE(mayLogIn(t, 9));
}

TEST(PasswordField, OnlyTheFirstEightBytesFollowTheTable) {
    EXPECT_EQ(replacePasswordPrefix("0123456789abcdef", "NEWPASSWORD"), "newpassw89abcdef");
    EXPECT_EQ(replacePasswordPrefix("0123456789abcdef", "abc"), "abc");
    EXPECT_EQ(replacePasswordPrefix("", "abcdefghij"), "abcdefgh");
    EXPECT_EQ(replacePasswordPrefix("0123456789abcdefEXTRA", ""), "");
}

TEST(SearchBackupRights, EachCombinationStopsWhatItMust) {
    struct Case {
        bool search, backup, featureBit0;
        bool closeWindow, closePrompt, stopPlayback, stopBackup;
        int message;
    };
    const Case cases[] = {
        {false, false, false, true, false, true, true, -1},
        {false, false, true, true, false, true, true, -1},
        {false, true, true, false, true, true, false, 1},
        {false, true, false, false, false, true, false, 1},
        {true, false, false, false, false, false, true, 2},
        {true, true, true, false, false, false, false, 0},
    };
    for (const Case& c : cases) {
        const auto r = searchBackupReaction(c.search, c.backup, c.featureBit0);
        SCOPED_TRACE(testing::Message() << c.search << c.backup << c.featureBit0);
        EXPECT_EQ(r.closeRequestWindow, c.closeWindow);
        EXPECT_EQ(r.closeRequestWindowPrompt, c.closePrompt);
        EXPECT_EQ(r.stopPlayback, c.stopPlayback);
        EXPECT_EQ(r.stopBackup, c.stopBackup);
        EXPECT_EQ(r.rightsMessage, c.message);
    }
}

TEST(NotificationTable, RowsGiveLinesButtonsAndActions) {
    struct Case {
        Notification n;
        std::vector<std::uint16_t> lines;
        NotificationButtons buttons;
        NotificationAction action;
    };
    const Case cases[] = {
        {{0, 0}, {5080}, NotificationButtons::Ok, NotificationAction::None},
        {{1, 1}, {5053}, NotificationButtons::Ok, NotificationAction::None},
        {{3, 3}, {5079, 5071}, NotificationButtons::Ok, NotificationAction::None},
        {{3, 7}, {5079, 5073}, NotificationButtons::Ok, NotificationAction::None},
        {{6, 2}, {5070}, NotificationButtons::Ok, NotificationAction::None},
        {{7, 2},
         {5075, 5056, 5078},
         NotificationButtons::OkCancel,
         NotificationAction::ResendConfiguration},
        {{8, 5},
         {5064, 5077},
         NotificationButtons::OkCancel,
         NotificationAction::RestartAfterUpgrade},
        // A box whose only button said "Cancel" offers OK: there is nothing to cancel.
        {{11, 1}, {5068}, NotificationButtons::Ok, NotificationAction::None},
        {{15, 0}, {5093}, NotificationButtons::Ok, NotificationAction::None},
        {{16, 0},
         {5821, 5822, 5823},
         NotificationButtons::OkCancel,
         NotificationAction::ResetConfiguration},
    };
    for (const Case& c : cases) {
        const NotificationEntry* e = findNotificationEntry(c.n);
        ASSERT_NE(e, nullptr) << c.n.category << "," << c.n.detail;
        const auto lines = notificationLines(*e);
        EXPECT_EQ(std::vector<std::uint16_t>(lines.begin(), lines.end()), c.lines);
        EXPECT_EQ(e->buttons, c.buttons);
        EXPECT_EQ(e->onOk, c.action);
    }
    EXPECT_TRUE(findNotificationEntry({4, 0})->searchResumeVariant);
    EXPECT_TRUE(findNotificationEntry({13, 0})->sizePairVariant);
    for (Notification missing : {Notification{3, 8}, Notification{14, 0}, Notification{8, 0}})
        EXPECT_EQ(findNotificationEntry(missing), nullptr);
}

TEST(FrameAssembler, NeverWritesPastTheBufferAndSkipsTheRestOfAnOversizedFrame) {
    FrameAssembler a;
    ASSERT_EQ(a.capacity(), 1244160u);
    EXPECT_EQ(a.spaceFor(1244160).size(), 1244160u);
    a.commit(1244000);
    EXPECT_TRUE(a.spaceFor(161).empty());
    EXPECT_EQ(a.spaceFor(160).size(), 160u);
    a.dropFragment(false);
    EXPECT_EQ(a.fill(), 0u);
    EXPECT_TRUE(a.skipping());
    EXPECT_TRUE(a.spaceFor(10).empty()); // still the dropped frame
    a.dropFragment(true);
    EXPECT_FALSE(a.skipping());
    EXPECT_EQ(a.spaceFor(10).size(), 10u);
    a.commit(10);
    a.commit(2000000); // refused: would pass the end
    EXPECT_EQ(a.fill(), 10u);
}

} // namespace
} // namespace kalder
